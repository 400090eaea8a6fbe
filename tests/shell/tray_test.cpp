// Putting the main window away into the tray and bringing it back, with and without a tray.
#include "testmachine.h"

#include "shell/icons.h"
#include "shell/mainwindow.h"
#include "shell/varnel.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace varnel;

namespace {

// One copy of the program on fakes, its windows built but not started; optionally without any tray
// service at all.
struct Rig {
    FakeNetwork network;
    TestMachine machine{network, "PC01"};
    FakeTray& tray = machine.tray;

    explicit Rig(bool withTrayService = true) { machine.Create(withTrayService); }
    Varnel& App() { return *machine.app; }
    MainWindow& Form() { return App().Window(); }
};

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rig> m_rig;
    MainWindow& Form() { return m_rig->Form(); }
    MainWindowParts Ui() { return MainWindowParts(Form()); }
    FakeTray& Tray() { return m_rig->tray; }

    void ShowWindow() { m_rig->machine.Show(); }
    void PutAway() {
        Ui().AutoTray();
        QVERIFY(Tray().shown);
        QVERIFY(!Form().isVisible());
    }

private Q_SLOTS:
    void init() { m_rig = std::make_unique<Rig>(); }
    void cleanup() { m_rig.reset(); }

    void hidingAddsTheIconWithTheCaptionAsTip() {
        ShowWindow();
        Ui().AutoTray();
        QVERIFY(Tray().shown);
        // The caption, then the unread count on a line of its own.
        QCOMPARE(Tray().tip.section(u'\n', 0, 0), QStringLiteral("Varnel for Windows95"));
        QCOMPARE(Tray().icon.cacheKey(), Form().windowIcon().cacheKey());
        QVERIFY(!Form().isVisible());
    }

    void withoutATrayHidingLeavesTheWindowShown() {
        Tray().available = false;
        ShowWindow();
        Ui().AutoTray();
        QCOMPARE(Tray().adds, 1);
        QVERIFY(!Tray().shown);
        QVERIFY(Form().isVisible());
    }

    void hidingTwiceChangesNothing() {
        ShowWindow();
        PutAway();
        Ui().AutoTray(); // the icon is already there: the add fails
        QCOMPARE(Tray().adds, 2);
        QVERIFY(Tray().shown);
        QVERIFY(!Form().isVisible());
    }

    void restoringBringsTheWindowBackAndRemovesTheIcon() {
        ShowWindow();
        PutAway();
        Ui().PM_Reraise->trigger();
        QVERIFY(!Tray().shown);
        QVERIFY(Form().isVisible());
        QVERIFY(!Form().isMinimized());
    }

    void restoringWhileShownChangesNothing() {
        Tray().available = false;
        ShowWindow();
        Form().showMinimized();
        QTRY_COMPARE(Tray().adds, 1);
        Ui().PM_Reraise->trigger(); // nothing in the tray to remove
        QCOMPARE(Tray().removes, 1);
        QVERIFY(Form().isMinimized()); // the failed remove left the window as it was
    }

    void minimisingGoesToTheTray() {
        ShowWindow();
        Form().showMinimized();
        QTRY_VERIFY(Tray().shown);
        QTRY_VERIFY(!Form().isVisible());
        Tray().DoubleClick();
        QVERIFY(!Tray().shown);
        QVERIFY(Form().isVisible());
        QVERIFY(!Form().isMinimized());
    }

    void minimisingWithoutATrayJustMinimises() {
        Tray().available = false;
        ShowWindow();
        Form().showMinimized();
        QTRY_COMPARE(Tray().adds, 1);
        QTest::qWait(20);
        QVERIFY(Form().isVisible());
        QVERIFY(Form().isMinimized());
        QVERIFY(!Tray().shown);
    }

    void minimisingWithoutATrayServiceJustMinimises() {
        m_rig = std::make_unique<Rig>(false);
        ShowWindow();
        Form().showMinimized();
        QTest::qWait(20);
        QVERIFY(Form().isVisible());
        QVERIFY(Form().isMinimized());
        Ui().AutoTray();
        Ui().PM_Reraise->trigger();
        Ui().CheckMail();
        QVERIFY(Form().isVisible());
        QCOMPARE(Tray().adds + Tray().removes + Tray().modifies, 0);
    }

    void trayMenuExitRestoresBeforeClosing() {
        ShowWindow();
        PutAway();
        QSignalSpy finished(&m_rig->App(), &Varnel::Finished);
        Ui().PM_Close->trigger();
        QCOMPARE(Tray().removes, 1);
        QVERIFY(!Tray().shown); // no icon left behind
        QVERIFY(Form().Closed());
        QCOMPARE(finished.count(), 1);
    }

    void trayMenuOpensAtThePointerAndCancelDoesNothing() {
        ShowWindow();
        PutAway();
        Tray().RightClick(QPoint(40, 30));
        QTRY_VERIFY(Ui().PM_Tray->isVisible());
        QCOMPARE(Ui().PM_Tray->pos(), QPoint(40, 30));
        Ui().PM_Cancel->trigger();
        Ui().PM_Tray->hide();
        QVERIFY(Tray().shown);
        QVERIFY(!Form().isVisible());
        QVERIFY(!Form().Closed());

        Ui().PM_Reraise->trigger();
        QVERIFY(!Tray().shown);
        QVERIFY(Form().isVisible());
    }

    void iconUpdatesReachTheTrayOnlyAfterTheFirstHiding() {
        m_rig->App().Start(); // each mail check passes the window's icon on
        ShowWindow();
        Form().setWindowIcon(icons::MailState(true));
        Ui().CheckMail();
        QCOMPARE(Tray().modifies, 0);

        PutAway();
        Form().setWindowIcon(icons::MailState(false));
        Ui().CheckMail();
        QCOMPARE(Tray().modifies, 1);
        QCOMPARE(Tray().icon.cacheKey(), Form().windowIcon().cacheKey());

        // Back on the screen the modify fails and the tray keeps nothing new.
        Ui().PM_Reraise->trigger();
        const qint64 before = Tray().icon.cacheKey();
        Form().setWindowIcon(icons::MailState(true));
        Ui().CheckMail();
        QCOMPARE(Tray().modifies, 2);
        QCOMPARE(Tray().icon.cacheKey(), before);
    }

    void autoTrayFiresOnceAndPutsTheWindowAway() {
        ShowWindow();
        Ui().Tm_AutoTray->start();
        QTRY_VERIFY_WITH_TIMEOUT(Tray().shown, 5000);
        QVERIFY(!Form().isVisible());
        QVERIFY(!Ui().Tm_AutoTray->isActive());
        QCOMPARE(Tray().adds, 1);
    }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"

// The window from the keyboard alone: help, the panes in Tab order, the focus seen.
#include "testmachine.h"

#include "shell/helpwindow.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTextBrowser>

using namespace varnel;

namespace {

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void f1OpensTheHelpAndEscapeClosesIt() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.Start();
        Activate(pc.Window());
        QVERIFY(!pc.Window().Help());
        QTest::keyClick(pc.Parts().TV_Network, Qt::Key_F1);
        HelpWindow* help = pc.Window().Help();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QTest::keyClick(help->Browser(), Qt::Key_Escape); // the help's own text has the keyboard
        QVERIFY(!help->isVisible());
        QVERIFY(pc.Window().isVisible());
    }

    void tabVisitsTreeListAndMemoInTurn_data() {
        QTest::addColumn<bool>("composing");
        QTest::newRow("send box") << false;
        QTest::newRow("new mail (the memo is editable)") << true;
    }

    void tabVisitsTreeListAndMemoInTurn() {
        QFETCH(bool, composing);
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        if (composing)
            ui.Mn_ViewMake->trigger();
        Activate(pc.Window());
        ui.TV_Network->setFocus(Qt::TabFocusReason);
        QList<QWidget*> visited;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget());
        }
        QCOMPARE(visited, (QList<QWidget*>{ui.LV_View, ui.Mm_Message, ui.TV_Network}));
        QCOMPARE(ui.Mm_Message->toPlainText(), QString()); // no tab typed on the way
    }

    // The pane that has the keyboard looks different from the same pane without it.
    void theFocusedPaneIsDrawnDifferently() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        Activate(pc.Window());
        const QList<QWidget*> panes = {ui.TV_Network, ui.LV_View, ui.Mm_Message};
        for (QWidget* pane : panes) {
            QWidget* other = pane == ui.TV_Network ? static_cast<QWidget*>(ui.Mm_Message) : ui.TV_Network;
            other->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(other->hasFocus());
            const QImage without = pane->grab().toImage();
            pane->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(pane->hasFocus());
            const QImage with = pane->grab().toImage();
            QVERIFY2(without != with, qPrintable(pane->objectName()));
        }
    }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"

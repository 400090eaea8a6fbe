// Two whole copies of the program in one process, each on its own loopback address with real UDP
// on the mail port, finding each other through the directory file: the road of one mail from the
// title prompt to the read receipt, and the files both leave behind.
#include "faketray.h"
#include "mainwindowparts.h"
#include "ownnetwork.h"
#include "scriptedprompt.h"
#include "widgetinput.h"

#include "platform/directoryprovider.h"
#include "platform/fake/fakeclock.h"
#include "platform/fake/fakemailboxfiles.h"
#include "platform/fake/fakesettingsstore.h"
#include "platform/hostaddresses.h"
#include "platform/udpendpoint.h"
#include "shell/maillistmodel.h"
#include "shell/mainwindow.h"
#include "shell/titledialog.h"
#include "shell/varnel.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

using namespace varnel;

namespace {

// One machine: real endpoint and directory listing, everything else in memory.
struct Machine {
    Machine(const QString& directory, const QByteArray& name, const char* address, const QDateTime& time)
        : endpoint(addresses, QHostAddress(QString::fromLatin1(address))),
          provider(addresses, "OFFICE", directory, name), clock(time) {
        clock.advance = false;
        store.values[QStringLiteral("Popup")] = 1;
        Services s{&endpoint, &provider, &store, &files, &clock, &prompt, &tray};
        app = std::make_unique<Varnel>(s);
    }
    MainWindow& Window() { return app->Window(); }
    const MailBox* SendBox() const { return app->Post().MailBoxOf(Box::Send); }
    const MailBox* ReceiveBox() const { return app->Post().MailBoxOf(Box::Receive); }

    HostAddresses addresses;
    UdpEndpoint endpoint;
    DirectoryProvider provider;
    FakeSettingsStore store;
    FakeMailboxFiles files;
    FakeClock clock;
    ScriptedPrompt prompt;
    FakeTray tray;
    std::unique_ptr<Varnel> app;
};

void DoubleClickHost(const MainWindowParts& u, const QString& name) {
    const QList<QTreeWidgetItem*> found =
        u.TV_Network->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    DoubleClickNode(u.TV_Network, found[0]);
}

QByteArray Rec(char letter, const QByteArray& fields, const QByteArray& body) {
    return QByteArray(1, '\x07') + letter + '\\' + fields + '\x08' + body;
}

} // namespace

class TwoMachinesTest : public QObject {
    Q_OBJECT

public:
    // Runs before the application object exists: the mail port is then ours alone.
    static void initMain() { EnterOwnNetwork(); }

private Q_SLOTS:
    void aMailTravelsFromTheTitlePromptToTheReadReceipt() {
        QTemporaryDir dir;
        const QString directory = dir.filePath(QStringLiteral("network.txt"));
        QFile file(directory);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# two machines on loopback\nOFFICE pca 127.0.0.2\nOFFICE pcb 127.0.0.3\n");
        file.close();

        const QDateTime sendTime(QDate(1998, 2, 23), QTime(9, 5, 7));
        const QDateTime readTime(QDate(1998, 2, 23), QTime(13, 30, 0));
        Machine a(directory, "pca", "127.0.0.2", sendTime);
        Machine b(directory, "pcb", "127.0.0.3", readTime);
        a.app->Start();
        b.app->Start();
        QVERIFY2(a.prompt.boxes.isEmpty(), qPrintable(a.prompt.Texts().join(u'|')));
        QVERIFY2(b.prompt.boxes.isEmpty(), qPrintable(b.prompt.Texts().join(u'|')));
        QCOMPARE(a.app->Post().LocalHostName(), QByteArray("pca"));
        QCOMPARE(b.app->Post().LocalHostName(), QByteArray("pcb"));

        // A writes to B and to itself, picking both in the tree.
        MainWindow& wa = a.Window();
        const MainWindowParts ua(wa);
        ua.Mn_ViewMake->trigger();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<TitleDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            Type(Named<QLineEdit>(*dialog, "Ed_Title"), QStringLiteral("会議のお知らせ"));
            QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Return);
        });
        DoubleClickHost(ua, QStringLiteral("pcb"));
        DoubleClickHost(ua, QStringLiteral("pca"));
        QCOMPARE(ua.LV_Model->rowCount(), 2);
        QTest::keyClicks(ua.Mm_Message, QStringLiteral("3F room at 10"));
        QTest::keyClick(ua.Mm_Message, Qt::Key_Return);
        Type(ua.Mm_Message, QStringLiteral("資料持参"));
        QTest::mouseClick(ua.SB_MailSend, Qt::LeftButton);
        QCOMPARE(ua.LV_Model->rowCount(), 0);
        QVERIFY(ua.Mm_Message->toPlainText().isEmpty());

        const QByteArray title = "\x89\xEF\x8B\x63\x82\xCC\x82\xA8\x92\x6D\x82\xE7\x82\xB9";
        const QByteArray body = "3F room at 10\r\n\x8E\x91\x97\xBF\x8E\x9D\x8E\x51\r\n";
        const QByteArray sent = "1998/02/23 9:05:07";
        const QByteArray read = "1998/02/23 13:30:00";
        const QByteArray toB = title + "\\pca\\pcb\\" + sent + '\\';
        const QByteArray toA = title + "\\pca\\pca\\" + sent + '\\';
        QCOMPARE(a.SendBox()->Text(), Rec('S', toA, body) + Rec('S', toB, body));

        // B takes it in at its next tick, answers, and announces it.
        QTRY_COMPARE_WITH_TIMEOUT(b.ReceiveBox()->Text(), Rec('G', toB, body), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(b.prompt.Texts().contains(QStringLiteral("1通のメールが届きました")), 5000);
        QCOMPARE(b.prompt.boxes.last().caption, QStringLiteral("Varnel for Windows95"));
        QCOMPARE(b.prompt.boxes.last().icon, QMessageBox::Information);
        QVERIFY(MainWindowParts(b.Window()).UnreadIcon());
        // A's copies turn Delivered as the receipts come back (A's own among them).
        QTRY_COMPARE_WITH_TIMEOUT(a.SendBox()->Text(), Rec('G', toA, body) + Rec('G', toB, body), 10000);

        // B opens it: the read receipt carries B's time of opening.
        MainWindow& wb = b.Window();
        const MainWindowParts ub(wb);
        ub.Mn_ViewRead->trigger();
        QCOMPARE(ub.LV_Model->rowCount(), 1);
        ub.ClickRow(0);
        QCOMPARE(ub.Mm_Message->toPlainText(), QStringLiteral("3F room at 10\n資料持参\n"));
        QCOMPARE(b.ReceiveBox()->Text(), Rec('R', toB + read, body));
        QTRY_COMPARE_WITH_TIMEOUT(a.SendBox()->Text(), Rec('G', toA, body) + Rec('R', toB + read, body),
                                  10000);
        QTRY_VERIFY_WITH_TIMEOUT(!ub.UnreadIcon(), 5000);

        // Both close; their files hold exactly these bytes.
        wa.close();
        wb.close();
        QCOMPARE(a.files.files.value(QStringLiteral("vnsend.txt")),
                 Rec('G', toA, body) + Rec('R', toB + read, body));
        QCOMPARE(a.files.files.value(QStringLiteral("vnread.txt")), Rec('G', toA, body));
        QCOMPARE(b.files.files.value(QStringLiteral("vnsend.txt")), QByteArray());
        QCOMPARE(b.files.files.value(QStringLiteral("vnread.txt")), Rec('R', toB + read, body));
    }
};

QTEST_MAIN(TwoMachinesTest)
#include "twomachines_test.moc"

// The mail check of the window: arrivals stored and announced, receipts applied, the list and the
// icon kept current, and ticks that run inside an open box.
#include "records.h"
#include "testmachine.h"

#include "shell/maillistmodel.h"
#include "shell/prompt.h"

#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace varnel;

namespace {

QByteArray Mail(char letter, const QByteArray& title, const QByteArray& from, const QByteArray& to,
                const QByteArray& body = "b\r\n") {
    return test::Mail{letter, title, from, to, "1998/02/23 9:00:00", {}, body}.Record();
}

QByteArray HeaderOf(const QByteArray& record) {
    return record.left(record.indexOf(kHeaderEnd) + 1);
}

// Puts datagrams (with their zero byte) into the machine's endpoint as if they had arrived.
void Arrive(TestMachine& pc, const QList<QByteArray>& texts) {
    for (const QByteArray& text : texts)
        pc.endpoint.Inject(text + '\0');
}

} // namespace

class ReceiveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newMailIsStoredAnsweredAndAnnouncedOnce_data() {
        QTest::addColumn<bool>("popup");
        QTest::addColumn<bool>("front");
        QTest::newRow("box in front") << true << true;
        QTest::newRow("box") << true << false;
        QTest::newRow("front without popup: no box") << false << true;
    }
    void newMailIsStoredAnsweredAndAnnouncedOnce() {
        QFETCH(bool, popup);
        QFETCH(bool, front);
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        FakeEndpoint& sender = net.AddHost("PC02");
        sender.Open();
        pc.store.values[QStringLiteral("Popup")] = int(popup);
        pc.store.values[QStringLiteral("Front")] = int(front);
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewRead->trigger();
        QVERIFY(!ui.UnreadIcon());
        const QByteArray m1 = Mail('S', "one", "PC02", "PC01");
        const QByteArray m2 = Mail('S', "two", "PC02", "PC01");
        const QByteArray m3 = Mail('S', "three", "PC02", "PC01");
        Arrive(pc, {m1, m2, m3});
        sender.TakeAll(); // the start-up probe
        ui.CheckMail();

        QByteArray g1 = m1, g2 = m2, g3 = m3;
        g1[1] = g2[1] = g3[1] = 'G';
        QCOMPARE(pc.ReceiveBox()->Text(), g3 + g2 + g1);
        QCOMPARE(sender.Waiting(), 3);
        for (const QByteArray& expected : {g1, g2, g3}) {
            QByteArray receipt;
            QVERIFY(sender.ReadNext(receipt));
            QCOMPARE(receipt, HeaderOf(expected) + '\0');
        }
        if (popup) {
            QCOMPARE(pc.prompt.boxes.size(), 1);
            QCOMPARE(pc.prompt.boxes[0].text, QStringLiteral("3通のメールが届きました"));
            QCOMPARE(pc.prompt.boxes[0].caption, QStringLiteral("Varnel for Windows95"));
            QCOMPARE(pc.prompt.boxes[0].icon, QMessageBox::Information);
            QCOMPARE(pc.prompt.boxes[0].foreground, front);
        } else {
            QVERIFY(pc.prompt.boxes.isEmpty());
        }
        QCOMPARE(ui.LV_Model->rowCount(), 3);
        QVERIFY(ui.UnreadIcon());
    }

    void aDiskThatFailsIsToldOnceAndTheReceiptWaitsForIt() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        net.AddHost("PC02");
        pc.files.Fail(QStringLiteral("vnread.txt"));
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.CheckMail();
        QVERIFY(pc.prompt.boxes.isEmpty()); // nothing changed yet, nothing to tell
        const int probes = int(net.SentTo("PC02").size());
        Arrive(pc, {Mail('S', "one", "PC02", "PC01")});
        ui.CheckMail();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QCOMPARE(pc.prompt.boxes[0].caption, QStringLiteral("ﾛｰｶﾙｴﾗｰ"));
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("/fake/vnread.txt")));
        QVERIFY(pc.prompt.boxes[0].text.contains(pc.files.reason));
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 1); // kept and shown all the same
        QCOMPARE(net.SentTo("PC02").size(), probes);
        Arrive(pc, {Mail('S', "two", "PC02", "PC01")});
        ui.CheckMail();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QCOMPARE(net.SentTo("PC02").size(), probes);

        pc.files.Heal(QStringLiteral("vnread.txt"));
        ui.CheckMail();
        QCOMPARE(net.SentTo("PC02").size(), probes + 2);
        QVERIFY(pc.files.files.value(QStringLiteral("vnread.txt.journal")).contains("two"));
    }

    void twelveWaitingMailsAreTakenInOneCheck() {
        LoneMachine pc;
        pc.store.values[QStringLiteral("Popup")] = 1;
        pc.Start();
        for (int k = 0; k < 12; ++k)
            Arrive(pc, {Mail('S', "m" + QByteArray::number(k), "PC09", "PC01")});
        pc.Parts().CheckMail();
        QCOMPARE(pc.prompt.Texts(), QStringList{QStringLiteral("12通のメールが届きました")});
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 12);
    }

    void whileComposingArrivalsLeaveTheRowsAndTextAlone() {
        LoneMachine pc;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        ui.LV_Model->AppendRow(QStringLiteral("draft"), "PC01", "PC02");
        ui.Mm_Message->setPlainText(QStringLiteral("half written"));
        Arrive(pc, {Mail('S', "x", "PC02", "PC01"), Mail('G', "y", "PC01", "PC02")});
        ui.CheckMail();
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 1);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("half written"));
    }

    void receiptsUpdateTheSendBoxViewWithoutABox() {
        LoneMachine pc;
        pc.store.values[QStringLiteral("Popup")] = 1;
        const QByteArray sent = Mail('S', "t", "PC01", "PC02");
        pc.files.files[QStringLiteral("vnsend.txt")] = sent;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QCOMPARE(ui.LV_Model->Image(0), int(Sent));
        QByteArray read = HeaderOf(sent);
        read[1] = 'R';
        read.insert(read.size() - 1, "1998/02/23 9:30:00");
        QByteArray delivered = HeaderOf(sent);
        delivered[1] = 'G';
        Arrive(pc, {read, delivered}); // the read receipt first: the delivery receipt wins
        ui.CheckMail();
        QVERIFY(pc.prompt.boxes.isEmpty());
        QCOMPARE(ui.LV_Model->Image(0), int(Delivered));
        QCOMPARE(ui.LV_Model->CellText(0, 4), QString());
        Arrive(pc, {read});
        ui.CheckMail();
        QCOMPARE(ui.LV_Model->Image(0), int(Opened));
        QCOMPARE(ui.LV_Model->CellText(0, 4), QStringLiteral("1998/02/23 9:30:00"));
    }

    void aTickInsideTheOpenBoxIsSafeAndAnnouncesItsOwnMail() {
        LoneMachine pc;
        pc.store.values[QStringLiteral("Popup")] = 1;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        int depth = 0;
        pc.prompt.whileOpen = [&] {
            if (depth++ == 0) {
                Arrive(pc, {Mail('S', "second", "PC02", "PC01")});
                ui.CheckMail(); // the box's loop dispatches the next tick
            }
        };
        Arrive(pc, {Mail('S', "first", "PC02", "PC01")});
        ui.CheckMail();
        QCOMPARE(pc.prompt.Texts(), (QStringList{QStringLiteral("1通のメールが届きました"),
                                                 QStringLiteral("1通のメールが届きました")}));
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 2);
        QCOMPARE(pc.ReceiveBox()->Header(0).title, QByteArray("second"));
    }

    // The timer itself drives the check: inside the box that one tick opened, the next ticks take
    // in further mail, answer it and open a further box on top.
    void theTimerGoesOnTickingInsideTheArrivalBox() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        FakeEndpoint& sender = net.AddHost("PC02");
        sender.Open();
        pc.store.values[QStringLiteral("Popup")] = 1;
        pc.Start();
        pc.Parts().Tm_CheckMail->setInterval(10);
        pc.prompt.whileOpen = [&] {
            if (pc.prompt.boxes.size() > 1)
                return;
            Arrive(pc, {Mail('S', "second", "PC02", "PC01")});
            QTRY_COMPARE_WITH_TIMEOUT(pc.prompt.boxes.size(), 2, 5000);
            QCOMPARE(sender.Waiting(), 2); // both receipts left while the first box was open
        };
        Arrive(pc, {Mail('S', "first", "PC02", "PC01")});
        QTRY_COMPARE_WITH_TIMEOUT(pc.prompt.boxes.size(), 2, 5000);
        QCOMPARE(pc.prompt.Texts(), (QStringList{QStringLiteral("1通のメールが届きました"),
                                                 QStringLiteral("1通のメールが届きました")}));
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 2);
    }

    void arrivalBoxesPileUpOnlySoHighAndMailGoesOnBeingTakenIn() {
        LoneMachine pc;
        MessageBoxPrompt realBoxes;
        pc.boxes = &realBoxes;
        pc.store.values[QStringLiteral("Popup")] = 1;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        const auto openBoxes = [&] {
            return pc.Window()
                .findChildren<QMessageBox*>(QStringLiteral("NoticeBox"), Qt::FindDirectChildrenOnly)
                .size();
        };
        const int limit = MessageBoxPrompt::kMaxNoticeBoxes;
        for (int i = 1; i <= limit + 2; ++i) {
            Arrive(pc, {Mail('S', "m" + QByteArray::number(i), "PC02", "PC01")});
            ui.CheckMail();
        }
        QCOMPARE(openBoxes(), limit);
        QCOMPARE(pc.ReceiveBox()->MarkCount(), limit + 2);
        // One box closed: the next mail has its box again.
        delete pc.Window().findChild<QMessageBox*>(QStringLiteral("NoticeBox"));
        QCOMPARE(openBoxes(), limit - 1);
        Arrive(pc, {Mail('S', "last", "PC02", "PC01")});
        ui.CheckMail();
        QCOMPARE(openBoxes(), limit);
        qDeleteAll(pc.Window().findChildren<QMessageBox*>(QStringLiteral("NoticeBox")));
    }

    void aCloseWhileTheBoxIsOpenEndsTheTickSafely() {
        LoneMachine pc;
        pc.store.values[QStringLiteral("Popup")] = 1;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        pc.prompt.whileOpen = [&] { ui.Mn_MailClose->trigger(); };
        Arrive(pc, {Mail('S', "last", "PC02", "PC01")});
        ui.CheckMail();
        QCOMPARE(pc.finished->count(), 1);
        QVERIFY(!pc.ReceiveBox());
        QVERIFY(pc.files.files.value(QStringLiteral("vnread.txt")).contains("last"));
        ui.CheckMail(); // a tick already queued does nothing
    }

    void theIconShowsUnreadMailUntilTheLastIsOpened() {
        LoneMachine pc;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.CheckMail();
        QVERIFY(!ui.UnreadIcon());
        Arrive(pc, {Mail('S', "a", "PC02", "PC01")});
        ui.CheckMail();
        QVERIFY(ui.UnreadIcon());
        ui.Mn_ViewRead->trigger();
        ui.ClickRow(0);
        QVERIFY(!ui.UnreadIcon()); // as soon as the last is opened
        ui.CheckMail();
        QVERIFY(!ui.UnreadIcon());
    }
};

QTEST_MAIN(ReceiveTest)
#include "receive_test.moc"

// The mail list as a person uses it: switching views, showing and opening mail, saving without
// sending, deleting one and all.
#include "records.h"
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/maillistmodel.h"
#include "shell/titledialog.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

using namespace varnel;

namespace {

QByteArray Rec(char letter, const QByteArray& title, const QByteArray& from, const QByteArray& to,
               const QByteArray& sent, const QByteArray& read, const QByteArray& body) {
    return test::Mail{letter, title, from, to, sent, read, body}.Record();
}

// Adds a machine of the tree as a recipient, as a double click on it does.
void DoubleClickHost(const MainWindowParts& ui, const QString& host) {
    const QList<QTreeWidgetItem*> found =
        ui.TV_Network->findItems(host, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    DoubleClickNode(ui.TV_Network, found[0]);
}

const QByteArray kT1 = "1998/02/23 9:00:00";

} // namespace

class ViewsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void switchingViewsMovesTheMarksAndEmptiesTheListAndMemo() {
        LoneMachine pc;
        pc.files.files[QStringLiteral("vnsend.txt")] = Rec('S', "a", "PC01", "PC02", kT1, "", "x\r\n");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.ClickRow(0);
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("x\n"));

        struct Step {
            QAction* action;
            QToolButton* button;
            bool sendEnabled;
            bool memoEditable;
        } steps[] = {{ui.Mn_ViewRead, ui.SB_ViewRead, false, false},
                     {ui.Mn_ViewMake, ui.SB_ViewMake, true, true},
                     {ui.Mn_ViewSend, ui.SB_ViewSend, true, false}};
        for (const Step& step : steps) {
            ui.Mm_Message->setPlainText(QStringLiteral("left over"));
            step.action->trigger();
            QVERIFY(step.action->isChecked());
            QVERIFY(step.button->isChecked());
            QCOMPARE(ui.SB_MailSend->isEnabled(), step.sendEnabled);
            QVERIFY(ui.Mm_Message->toPlainText().isEmpty());
            QCOMPARE(ui.Mm_Message->isReadOnly(), !step.memoEditable);
            QCOMPARE(ui.SelectedRow(), -1);
        }
        // The tool buttons switch too.
        QTest::mouseClick(ui.SB_ViewRead, Qt::LeftButton);
        QVERIFY(ui.Mn_ViewRead->isChecked());
    }

    void aSendBoxFileIsShownAsRowsInFileOrder() {
        LoneMachine pc;
        pc.files.files[QStringLiteral("vnsend.txt")] =
            Rec('R', "\x89\xEF\x8B\x63", "PC01", "PC02", kT1, "1998/02/23 9:10:00", "a\r\n") +
            Rec('K', "second", "PC01", "PC03", kT1, "", "") +
            Rec('G', "third", "PC01", "PC04", kT1, "", "c\r\n");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QCOMPARE(ui.LV_Model->rowCount(), 3);
        QCOMPARE(ui.LV_Model->columnCount(), 5);
        QCOMPARE(ui.LV_Model->Image(0), int(Opened));
        QCOMPARE(ui.LV_Model->Image(1), int(Saved));
        QCOMPARE(ui.LV_Model->Image(2), int(Delivered));
        const QStringList first{QStringLiteral("会議"), QStringLiteral("PC01"), QStringLiteral("PC02"),
                                QString::fromLatin1(kT1), QStringLiteral("1998/02/23 9:10:00")};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(ui.LV_Model->CellText(0, c), first[c]);
        QCOMPARE(ui.LV_Model->CellText(1, 2), QStringLiteral("PC03"));
        QVERIFY(ui.LV_Model->CellText(2, 4).isEmpty());
    }

    void anUnreadMailIsOpenedOnceWithItsReadReceipt() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        FakeEndpoint& sender = net.AddHost("PC02");
        sender.Open();
        const QByteArray mail = Rec('G', "hello", "PC02", "PC01", kT1, "", "line 1\r\nline 2\r\n");
        pc.files.files[QStringLiteral("vnread.txt")] = mail + Rec('R', "old", "PC02", "PC01", kT1, "x", "");
        pc.clock.Set(QDateTime(QDate(1998, 2, 24), QTime(10, 0, 0)));
        pc.clock.advance = false;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewRead->trigger();
        sender.TakeAll(); // whatever the start-up sent here

        ui.ClickRow(0); // a click, with the change notices of the selection
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("line 1\nline 2\n"));
        QCOMPARE(ui.LV_Model->Image(0), int(Opened));
        const QByteArray opened =
            Rec('R', "hello", "PC02", "PC01", kT1, "1998/02/24 10:00:00", "line 1\r\nline 2\r\n");
        QVERIFY(pc.ReceiveBox()->Text().startsWith(opened));
        QCOMPARE(sender.Waiting(), 1);
        QByteArray receipt;
        QVERIFY(sender.ReadNext(receipt));
        QCOMPARE(receipt, opened.left(opened.indexOf(kHeaderEnd) + 1) + '\0');
        // The read time shows at once.
        QCOMPARE(ui.LV_Model->CellText(0, 4), QStringLiteral("1998/02/24 10:00:00"));

        // Again, by click and by keyboard: shown, but no second receipt and no change.
        ui.ClickRow(1);
        ui.ClickRow(0);
        QTest::keyClick(ui.LV_View, Qt::Key_Down);
        QTest::keyClick(ui.LV_View, Qt::Key_Up);
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("line 1\nline 2\n"));
        QCOMPARE(sender.Waiting(), 0);
        QVERIFY(pc.ReceiveBox()->Text().startsWith(opened));
        // An empty part of the list empties the memo.
        QTest::mouseClick(ui.LV_View->viewport(), Qt::LeftButton, {},
                          QPoint(5, ui.LV_View->viewport()->height() - 3));
        QVERIFY(ui.Mm_Message->toPlainText().isEmpty());
    }

    void openingTheOlderOfTwoCopiesChangesThatCopy() {
        LoneMachine pc;
        const QByteArray copy = Rec('G', "twice", "PC02", "PC01", kT1, "", "b\r\n");
        pc.files.files[QStringLiteral("vnread.txt")] = copy + copy;
        pc.clock.advance = false;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewRead->trigger();
        ui.ClickRow(1);
        QCOMPARE(pc.ReceiveBox()->StatusOf(0), int(Delivered));
        QCOMPARE(pc.ReceiveBox()->StatusOf(1), int(Opened));
        QCOMPARE(pc.ReceiveBox()->Header(1).readTime, pc.clock.TimeText());
        QCOMPARE(pc.ReceiveBox()->Header(0).readTime, QByteArray());
        // Opening the newer one later gives it its own single read time.
        ui.ClickRow(0);
        QCOMPARE(pc.ReceiveBox()->StatusOf(0), int(Opened));
        QCOMPARE(pc.ReceiveBox()->Header(0).readTime, pc.clock.TimeText());
    }

    void aSendBoxMailIsShownWithoutAnyChange() {
        LoneMachine pc;
        const QByteArray text = Rec('G', "t", "PC01", "PC02", kT1, "", "body\r\n");
        pc.files.files[QStringLiteral("vnsend.txt")] = text;
        pc.Start();
        pc.Parts().ClickRow(0);
        QCOMPARE(pc.Parts().Mm_Message->toPlainText(), QStringLiteral("body\n"));
        QCOMPARE(pc.SendBox()->Text(), text);
    }

    void composingAndSavingWithoutSendingStoresOneSavedCopyPerRow() {
        LoneMachine pc("PC01", {"PC01", "PC02", "PC03"});
        pc.clock.advance = false;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        AnswerTitle(QStringLiteral("会議"));
        DoubleClickHost(ui, QStringLiteral("PC02"));
        DoubleClickHost(ui, QStringLiteral("PC03"));
        DoubleClickHost(ui, QStringLiteral("PC01"));
        DoubleClickHost(ui, QStringLiteral("PC03")); // already a recipient
        QCOMPARE(ui.LV_Model->rowCount(), 3);
        QCOMPARE(ui.LV_Model->Title(2), QStringLiteral("会議"));
        QCOMPARE(ui.LV_Model->SenderBytes(1), QByteArray("PC01"));
        QTest::keyClicks(ui.Mm_Message, QStringLiteral("first line"));
        QTest::keyClick(ui.Mm_Message, Qt::Key_Return);
        Type(ui.Mm_Message, QStringLiteral("二行目"));

        ui.PM_ViewSave->trigger();
        const QByteArray time = pc.clock.TimeText();
        const QByteArray body = "first line\r\n\x93\xF1\x8D\x73\x96\xDA\r\n";
        QCOMPARE(pc.SendBox()->Text(), Rec('K', "\x89\xEF\x8B\x63", "PC01", "PC01", time, "", body) +
                                           Rec('K', "\x89\xEF\x8B\x63", "PC01", "PC03", time, "", body) +
                                           Rec('K', "\x89\xEF\x8B\x63", "PC01", "PC02", time, "", body));
        QCOMPARE(ui.LV_Model->rowCount(), 0);
        QVERIFY(ui.Mm_Message->toPlainText().isEmpty());
        QVERIFY(ui.Mn_ViewMake->isChecked());
    }

    void savingWithoutRecipientsKeepsTheText() {
        LoneMachine pc;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        QTest::keyClicks(ui.Mm_Message, QStringLiteral("keep me"));
        ui.PM_ViewSave->trigger();
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("keep me"));
        QVERIFY(pc.SendBox()->Text().isEmpty());
    }

    void aTitleWhoseBytesHoldTheSeparatorIsRefusedByName() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        AnswerTitle(QStringLiteral("t"));
        DoubleClickHost(ui, QStringLiteral("PC02"));
        // The title dialog refuses it; a title edited in place in the list is refused at the send.
        ui.LV_Model->setData(ui.LV_Model->index(0, 0), QStringLiteral("表計算"));
        QTest::keyClicks(ui.Mm_Message, QStringLiteral("text"));
        ui.PM_ViewSave->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("「表」")));
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("切れて")));
        QVERIFY(!pc.prompt.boxes[0].text.contains(QStringLiteral("0x")));
        QVERIFY(pc.SendBox()->Text().isEmpty());
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("text"));
        // Sending is refused the same way, and nothing goes out.
        const qsizetype before = net.sent.size();
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QCOMPARE(net.sent.size(), before);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
    }

    void aCharacterWithoutACP932FormIsRefusedByName() {
        LoneMachine pc("PC01", {"PC01", "PC02"});
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        AnswerTitle(QStringLiteral("ok"));
        DoubleClickHost(ui, QStringLiteral("PC02"));
        ui.Mm_Message->setPlainText(QStringLiteral("café"));
        ui.PM_ViewSave->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QVERIFY2(pc.prompt.boxes[0].text.contains(QStringLiteral("「é」(U+00E9)")),
                 qPrintable(pc.prompt.boxes[0].text));
        ui.Mm_Message->setPlainText(QStringLiteral("line\nring \a bell"));
        ui.PM_ViewSave->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QVERIFY2(pc.prompt.boxes[1].text.contains(QStringLiteral("制御文字 U+0007")),
                 qPrintable(pc.prompt.boxes[1].text));
        ui.Mm_Message->setPlainText(QStringLiteral("smile \U0001F600"));
        ui.PM_ViewSave->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 3);
        QVERIFY(pc.prompt.boxes[2].text.contains(QStringLiteral("U+1F600")));
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("smile \U0001F600"));
        QVERIFY(pc.SendBox()->Text().isEmpty());
    }

    void aBackspaceInTheBodyIsRefusedLikeABellWhenSavingAndWhenSending() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        AnswerTitle(QStringLiteral("ok"));
        DoubleClickHost(ui, QStringLiteral("PC02"));
        const QString pasted = QStringLiteral("typo\b fixed");
        ui.Mm_Message->setPlainText(pasted);
        ui.PM_ViewSave->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QVERIFY2(pc.prompt.boxes[0].text.contains(QStringLiteral("制御文字 U+0008")),
                 qPrintable(pc.prompt.boxes[0].text));
        const qsizetype before = net.sent.size();
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QVERIFY2(pc.prompt.boxes[1].text.contains(QStringLiteral("制御文字 U+0008")),
                 qPrintable(pc.prompt.boxes[1].text));
        QCOMPARE(net.sent.size(), before);
        QVERIFY(pc.SendBox()->Text().isEmpty());
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.Mm_Message->toPlainText(), pasted);
    }

    void deletingOneAndAllInEachView() {
        LoneMachine pc("PC01", {"PC01", "PC02", "PC03"});
        const QByteArray a = Rec('S', "a", "PC01", "PC02", kT1, "", "");
        const QByteArray b = Rec('G', "b", "PC01", "PC02", kT1, "", "");
        const QByteArray c = Rec('K', "c", "PC01", "PC02", kT1, "", "");
        pc.files.files[QStringLiteral("vnsend.txt")] = a + b + c;
        pc.files.files[QStringLiteral("vnread.txt")] = a + b;
        pc.Start();
        MainWindow& w = pc.Window();
        const MainWindowParts ui = pc.Parts();

        // No selection: the tool button does nothing.
        QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
        QCOMPARE(pc.SendBox()->Text(), a + b + c);

        ui.ClickRow(1);
        QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
        QCOMPARE(pc.SendBox()->Text(), a + c);
        QCOMPARE(ui.LV_Model->rowCount(), 2);
        QCOMPARE(ui.SelectedRow(), -1);

        ui.Mn_ViewRead->trigger();
        ui.ClickRow(0);
        ui.PM_ViewDelete->trigger();
        QCOMPARE(pc.ReceiveBox()->Text(), b);
        pc.prompt.yesNoAnswers = {true, true, true};
        ui.Mn_DelAll->trigger();
        QVERIFY(pc.ReceiveBox()->Text().isEmpty());
        QCOMPARE(pc.SendBox()->Text(), a + c);

        ui.Mn_ViewMake->trigger();
        AnswerTitle(QStringLiteral("t"));
        DoubleClickHost(ui, QStringLiteral("PC02"));
        DoubleClickHost(ui, QStringLiteral("PC03"));
        QTest::keyClicks(ui.Mm_Message, QStringLiteral("typed"));
        ui.ClickRow(0);
        ui.PM_ViewDelete->trigger();
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray("PC03"));
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("typed"));
        ui.PM_ViewAllDelete->trigger();
        QCOMPARE(ui.LV_Model->rowCount(), 0);
        QVERIFY(ui.Mm_Message->toPlainText().isEmpty());

        ui.Mn_ViewSend->trigger();
        ui.PM_ViewAllDelete->trigger();
        QVERIFY(pc.SendBox()->Text().isEmpty());
        w.close();
        QCOMPARE(pc.files.files.value(QStringLiteral("vnsend.txt")), QByteArray());
    }

    void doubleClicksOutsideTheNewMessageViewOrOnAWorkgroupDoNothing() {
        LoneMachine pc("PC01", {"PC01", "PC02"});
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        DoubleClickHost(ui, QStringLiteral("PC02")); // send box view
        QCOMPARE(ui.LV_Model->rowCount(), 0);
        ui.Mn_ViewMake->trigger();
        DoubleClickNode(ui.TV_Network, ui.TV_Network->topLevelItem(0));
        QCOMPARE(ui.LV_Model->rowCount(), 0);
    }
};

QTEST_MAIN(ViewsTest)
#include "views_test.moc"

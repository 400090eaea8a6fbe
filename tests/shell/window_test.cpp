// The window a person lives in: the keyboard, a tree that follows the network, the unread count,
// what 送信 says, and a reply that never carries another mail's text.
#include "records.h"
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/helpwindow.h"
#include "text/cp932.h"

#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextBrowser>

using namespace varnel;

namespace {

QByteArray Sjis(const QString& text) {
    QByteArray bytes;
    cp932::Encode(text, bytes);
    return bytes;
}

QByteArray Mail(char letter, const QString& title, const QByteArray& from = "PC02") {
    return test::Mail{
        .letter = letter, .title = Sjis(title), .sender = from, .recipient = "PC01", .body = "x\r\n"}
        .Record();
}

void Activate(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window); // offscreen gives it back after a dialog only so
    QTRY_COMPARE(QApplication::activeWindow(), &window);
}

// A new mail to the given machines, titled 件名.
void Compose(const MainWindowParts& ui, const QStringList& hosts, const QString& text) {
    ui.Mn_ViewMake->trigger();
    AnswerTitle(QStringLiteral("件名"));
    for (const QString& host : hosts)
        DoubleClickNode(ui.TV_Network, Node(ui.TV_Network, host));
    ui.Mm_Message->setPlainText(text);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keysReachHelpPanesAndSending() {
        FakeNetwork net;
        TestMachine pc1(net, "PC01", {"PC01", "PC02"});
        TestMachine pc2(net, "PC02", {"PC01", "PC02"});
        pc2.Start();
        pc1.Start();
        const MainWindowParts ui = pc1.Parts();
        Activate(pc1.Window());
        QTest::keyClick(ui.TV_Network, Qt::Key_F1);
        QVERIFY(ui.Help() && ui.Help()->isVisible());
        QTest::keyClick(ui.Help()->Browser(), Qt::Key_Escape);
        QVERIFY(!ui.Help()->isVisible());

        // Tab goes round tree, list and text (no tab typed), and the pane with the keys looks so.
        ui.Mn_ViewMake->trigger();
        ui.TV_Network->setFocus(Qt::TabFocusReason);
        for (QWidget* next : QList<QWidget*>{ui.LV_View, ui.Mm_Message, ui.TV_Network}) {
            const QImage before = next->grab().toImage();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
            QVERIFY2(next->grab().toImage() != before, qPrintable(next->objectName()));
        }
        QCOMPARE(ui.Mm_Message->toPlainText(), QString());

        // Enter or Space on a workgroup does nothing, on a machine adds it once; Ctrl+Enter sends.
        ui.TV_Network->setCurrentItem(ui.TV_Network->topLevelItem(0));
        QTest::keyClick(ui.TV_Network, Qt::Key_Return);
        QTest::keyClick(ui.TV_Network, Qt::Key_Space);
        QCOMPARE(ui.LV_Model->rowCount(), 0);
        AnswerTitle(QStringLiteral("キーだけで"));
        ui.TV_Network->setCurrentItem(Node(ui.TV_Network, QStringLiteral("PC02")));
        QTest::keyClick(ui.TV_Network, Qt::Key_Space);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QTest::keyClick(ui.TV_Network, Qt::Key_Return);
        QTest::keyClick(ui.TV_Network, Qt::Key_Enter);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        Activate(pc1.Window());
        ui.Mm_Message->setFocus();
        Type(ui.Mm_Message, QStringLiteral("本文"));
        QTest::keyClick(ui.Mm_Message, Qt::Key_Return, Qt::ControlModifier);
        const MainWindowParts there = pc2.Parts();
        there.CheckMail();
        there.Mn_ViewRead->trigger();
        QCOMPARE(there.LV_Model->Title(0), QStringLiteral("キーだけで"));
    }

    void theTreeFollowsTheNetworkKeepingWhatThePersonDid() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.provider.AddGroup("LAB").AddMachine("LAB", "PC05");
        pc.Start();
        QTreeWidget* tree = pc.Parts().TV_Network;
        QVERIFY(Node(tree, QStringLiteral("PC01"))->font(0).bold());
        QVERIFY(!Node(tree, QStringLiteral("PC02"))->font(0).bold());
        tree->collapseItem(tree->topLevelItem(1));
        QTreeWidgetItem* picked = Node(tree, QStringLiteral("PC02"));
        tree->setCurrentItem(picked);

        // A machine starts, a workgroup appears, a machine ends: the next watch tick shows it.
        pc.provider.AddGroup("SALES").AddMachine("SALES", "PC09").AddMachine("WORKGROUP", "PC03");
        pc.provider.hosts.removeIf([](const auto& entry) { return entry.second.remoteName == "\\\\PC05"; });
        QMetaObject::invokeMethod(Named<QTimer>(pc.Window(), "Tm_NetWatch"), "timeout");
        QStringList shape;
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* group = tree->topLevelItem(g);
            shape.append(group->text(0) + QString::number(group->childCount()) + u"-+"[group->isExpanded()]);
        }
        QCOMPARE(shape, (QStringList{u"WORKGROUP3+"_qs, u"LAB0-"_qs, u"SALES1+"_qs}));
        QCOMPARE(tree->currentItem(), picked);
        QVERIFY(picked->isSelected());
    }

    void theUnreadCountFollowsArrivalsAndOpenings() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.files.files[QStringLiteral("vnread.txt")] = Mail('G', u"a"_qs) + Mail('R', u"b"_qs);
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        auto* count = Named<QLabel>(pc.Window(), "Lb_Unread");
        pc.endpoint.Inject(Mail('S', u"c"_qs) + '\0');
        ui.CheckMail();
        QCOMPARE(count->text(), QStringLiteral("未読メール 2通"));
        QVERIFY(pc.tray.tip.endsWith(QStringLiteral("\n未読メール 2通")));
        ui.Mn_ViewRead->trigger();
        for (const QString& left :
             {QStringLiteral("未読メール 1通"), QStringLiteral("未読メールはありません")}) {
            int unread = 0;
            while (ui.LV_Model->Image(unread) != 2) // the closed envelope
                ++unread;
            QTest::mouseClick(ui.LV_View->viewport(), Qt::LeftButton, {},
                              ui.LV_View->visualRect(ui.LV_Model->index(unread, 1)).center());
            QCOMPARE(count->text(), left); // at once, not at the next check
            QVERIFY(pc.tray.tip.endsWith(u'\n' + left));
        }
    }

    void sendingSaysWhatLeftAndWhatToDo() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02", "PC03"}); // PC03 is nowhere
        net.AddHost("PC02").Open();
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        // A title dialog cancelled (Escape, or the close box) adds no recipient.
        for (const bool escape : {true, false}) {
            QTimer::singleShot(0, [escape] {
                QWidget* dialog = QApplication::activeModalWidget();
                escape ? QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Escape)
                       : void(dialog->close());
            });
            DoubleClickNode(ui.TV_Network, Node(ui.TV_Network, u"PC02"_qs));
            QCOMPARE(ui.LV_Model->rowCount(), 0);
        }
        ui.Mn_MailSend->trigger();
        QVERIFY(pc.prompt.boxes.value(0).text.contains(QStringLiteral("ダブルクリック")));
        Compose(ui, {u"PC02"_qs, u"PC03"_qs}, u"本文"_qs);
        ui.Mn_MailSend->trigger();
        // The copy to PC03 waits to go with the retries (it is not kept as saved), as the bar says.
        QCOMPARE(pc.Window().statusBar()->currentMessage(),
                 u"1通のメールを送信しました。1通は送信待ちです（相手につながると自動で送られます）。"_qs);

        // Over the limit: the count of characters too many, pinned at it and one short of it.
        const QString text = QStringLiteral("あいう").repeated(2700) + u"abc"_qs;
        Compose(ui, {u"PC02"_qs}, text);
        const QRegularExpression over(QStringLiteral("あと (\\d+) 文字"));
        const auto tooMany = [&] {
            ui.Mn_MailSend->trigger();
            return over.match(pc.prompt.boxes.last().text).captured(1).toInt();
        };
        const int n = tooMany();
        QVERIFY(n > 1);
        ui.Mm_Message->setPlainText(text.left(text.size() - n + 1));
        QCOMPARE(tooMany(), 1);
        ui.Mm_Message->setPlainText(text.left(text.size() - n));
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.Window().statusBar()->currentMessage(), u"1通のメールを送信しました。"_qs);
    }

    // Writing to ux3, then Ctrl+R on a mail from ux1: every answer to the question.
    void aReplyAsksFirstAndNeverCarriesTheDraft_data() {
        QTest::addColumn<int>("answer"); // -1: unscripted, the default
        QTest::newRow("default: keep writing") << -1;
        QTest::newRow("keep writing") << 0;
        QTest::newRow("save into 送信BOX") << 1;
        QTest::newRow("discard") << 2;
    }

    void aReplyAsksFirstAndNeverCarriesTheDraft() {
        QFETCH(int, answer);
        const bool replied = answer > 0;
        const QString draft = QStringLiteral("下書き：ux3あての大事な報告文です。");
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "UX1", "UX3"});
        FakeEndpoint& ux1 = net.AddHost("UX1");
        FakeEndpoint& ux3 = net.AddHost("UX3");
        ux1.Open();
        ux3.Open();
        pc.files.files[QStringLiteral("vnread.txt")] = Mail('R', u"会議"_qs, "UX1");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        Compose(ui, {u"UX3"_qs}, draft);
        ui.Mn_ViewRead->trigger();
        ui.LV_View->setCurrentIndex(ui.LV_Model->index(0, 0));
        pc.prompt.choiceAnswers = answer >= 0 ? QList<int>{answer} : QList<int>{};
        Named<QAction>(pc.Window(), "Mn_MailReply")->trigger();
        QCOMPARE(pc.prompt.choicesOffered.value(0).size(), 3);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray(replied ? "UX1" : "UX3"));
        QCOMPARE(ui.Mm_Message->toPlainText(), replied ? QString() : draft);

        ux1.TakeAll();
        ux3.TakeAll();
        ui.Mn_MailSend->trigger();
        const QList<QByteArray> toUx1 = ux1.TakeAll();
        QCOMPARE(toUx1.size(), replied ? 1 : 0);
        QVERIFY(!toUx1.value(0).contains(Sjis(draft)));
        QCOMPARE(ux3.TakeAll().value(0).contains(Sjis(draft)), !replied);
        ui.Mn_ViewSend->trigger();
        int saved = 0; // the draft kept for ux3 as saved, with its text
        for (int r = 0; r < ui.LV_Model->rowCount(); ++r) {
            if (ui.LV_Model->Image(r) == 0 && ui.LV_Model->CellText(r, 2) == u"UX3"_qs)
                ++saved;
        }
        QCOMPARE(saved, answer == 1 ? 1 : 0);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"

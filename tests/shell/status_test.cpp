// What the status bar and the tray icon's tip tell while the window is open.
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/titledialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

using namespace varnel;

namespace {

QByteArray Mail(char letter, const QByteArray& title) {
    return QByteArray(1, '\x07') + letter + '\\' + title + "\\PC02\\PC01\\1998/02/23 9:00:00\\\x08" + "b\r\n";
}

// A new mail to the given machines, the first answering the title dialog.
void Compose(const MainWindowParts& ui, const QStringList& hosts, const QString& text) {
    ui.Mn_ViewMake->trigger();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TitleDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        Type(Named<QLineEdit>(*dialog, "Ed_Title"), QStringLiteral("件名"));
        QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Return);
    });
    for (const QString& host : hosts)
        DoubleClickNode(ui.TV_Network, ui.TV_Network->findItems(host, Qt::MatchRecursive).value(0));
    ui.Mm_Message->setPlainText(text);
}

} // namespace

class StatusTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theUnreadCountFollowsArrivalsAndOpenings() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.files.files[QStringLiteral("vnread.txt")] = Mail('G', "a") + Mail('R', "b") + Mail('G', "c");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        auto* count = Named<QLabel>(pc.Window(), "Lb_Unread");
        ui.CheckMail();
        QCOMPARE(count->text(), QStringLiteral("未読メール 2通"));
        pc.Window().HideToTray();
        QVERIFY(pc.tray.tip.endsWith(QStringLiteral("\n未読メール 2通")));
        pc.Window().RestoreFromTray();

        // One arrives.
        pc.endpoint.Inject(Mail('S', "d") + '\0');
        ui.CheckMail();
        QCOMPARE(count->text(), QStringLiteral("未読メール 3通"));
        QVERIFY(pc.tray.tip.endsWith(QStringLiteral("\n未読メール 3通")));

        // Opening them counts down at once, without waiting for the next check.
        ui.Mn_ViewRead->trigger();
        for (const QString& expected : {QStringLiteral("未読メール 2通"), QStringLiteral("未読メール 1通"),
                                        QStringLiteral("未読メールはありません")}) {
            int unread = -1;
            for (int r = 0; r < ui.LV_Model->rowCount() && unread < 0; ++r) {
                if (ui.LV_Model->Image(r) == 2) // the closed envelope: delivered, unread
                    unread = r;
            }
            QVERIFY(unread >= 0);
            const QModelIndex index = ui.LV_Model->index(unread, 1);
            QTest::mouseClick(ui.LV_View->viewport(), Qt::LeftButton, {},
                              ui.LV_View->visualRect(index).center());
            QCOMPARE(count->text(), expected);
            QVERIFY(pc.tray.tip.endsWith(u'\n' + expected));
        }
    }

    void sendingSaysWhatLeftAndWhatToDoWithoutRecipients() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02", "PC03"}); // PC03 is nowhere on the network
        net.AddHost("PC02").Open();
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        ui.Mm_Message->setPlainText(QStringLiteral("宛先なし"));
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("ダブルクリック")));
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("宛先なし"));

        Compose(ui, {QStringLiteral("PC02"), QStringLiteral("PC03")}, QStringLiteral("本文"));
        ui.Mn_MailSend->trigger();
        QCOMPARE(
            pc.Window().statusBar()->currentMessage(),
            QStringLiteral(
                "1通のメールを送信しました。1通は送れなかったため、送信BOXに「保存」として残しました。"));
    }

    // The refusal names how many characters too many; that many fewer is sent, one fewer still not.
    void aTextOverTheLimitIsToldHowManyCharactersTooMany() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        net.AddHost("PC02").Open();
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        Compose(ui, {QStringLiteral("PC02")},
                QStringLiteral("あいう").repeated(2700) + QStringLiteral("abc"));
        const QRegularExpression over(QStringLiteral("あと (\\d+) 文字"));
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        const int tooMany = over.match(pc.prompt.boxes.last().text).captured(1).toInt();
        QVERIFY(tooMany > 1);
        const QString text = ui.Mm_Message->toPlainText();
        ui.Mm_Message->setPlainText(text.left(text.size() - tooMany + 1));
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QCOMPARE(over.match(pc.prompt.boxes.last().text).captured(1), QStringLiteral("1"));
        ui.Mm_Message->setPlainText(text.left(text.size() - tooMany));
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QCOMPARE(pc.Window().statusBar()->currentMessage(), QStringLiteral("1通のメールを送信しました。"));
    }
};

QTEST_MAIN(StatusTest)
#include "status_test.moc"

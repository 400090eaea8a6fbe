// A reply never takes over the mail being written, and no text goes out under another's recipient.
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/titledialog.h"
#include "text/cp932.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace varnel;

namespace {

QByteArray Sjis(const QString& text) {
    QByteArray bytes;
    cp932::Encode(text, bytes);
    return bytes;
}

// Every datagram waiting at an endpoint, read out.
QList<QByteArray> Received(FakeEndpoint& endpoint) {
    QList<QByteArray> all;
    QByteArray datagram;
    while (endpoint.PendingSize() >= 0 && endpoint.ReadNext(datagram))
        all.append(datagram);
    return all;
}

} // namespace

class ReplyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aReplyAsksFirstAndNeverCarriesTheDraft_data() {
        QTest::addColumn<int>("answer"); // -1: unscripted, the default
        QTest::addColumn<bool>("replyStarted");
        QTest::newRow("default: keep writing") << -1 << false;
        QTest::newRow("keep writing") << 0 << false;
        QTest::newRow("save into 送信BOX") << 1 << true;
        QTest::newRow("discard") << 2 << true;
    }

    void aReplyAsksFirstAndNeverCarriesTheDraft() {
        QFETCH(int, answer);
        QFETCH(bool, replyStarted);
        const QString draftText = QStringLiteral("下書き：ux3あての大事な報告文です。");
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "UX1", "UX3"});
        FakeEndpoint& ux1 = net.AddHost("UX1");
        FakeEndpoint& ux3 = net.AddHost("UX3");
        ux1.Open();
        ux3.Open();
        pc.files.files[QStringLiteral("vnread.txt")] = QByteArray("\x07R\\") + Sjis(QStringLiteral("会議")) +
                                                       "\\UX1\\PC01\\1998/02/23 9:00:00\\\x08" + "x\r\n";
        pc.Start();
        const MainWindowParts ui = pc.Parts();

        // A mail to ux3 being written.
        ui.Mn_ViewMake->trigger();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<TitleDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            Type(Named<QLineEdit>(*dialog, "Ed_Title"), QStringLiteral("報告"));
            QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Return);
        });
        DoubleClickNode(ui.TV_Network,
                        ui.TV_Network->findItems(QStringLiteral("UX3"), Qt::MatchRecursive)[0]);
        Type(ui.Mm_Message, draftText);

        // Ctrl+R on the mail from ux1.
        ui.Mn_ViewRead->trigger();
        QTest::mouseClick(ui.LV_View->viewport(), Qt::LeftButton, {},
                          ui.LV_View->visualRect(ui.LV_Model->index(0, 1)).center());
        if (answer >= 0)
            pc.prompt.choiceAnswers = {answer};
        Named<QAction>(pc.Window(), "Mn_MailReply")->trigger();
        QCOMPARE(pc.prompt.choicesOffered.size(), 1);
        QCOMPARE(pc.prompt.choicesOffered[0].size(), 3);
        QCOMPARE(ui.Mn_ViewMake->isChecked(), true);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray(replyStarted ? "UX1" : "UX3"));
        QCOMPARE(ui.Mm_Message->toPlainText(), replyStarted ? QString() : draftText);

        // 送信: whatever leaves for ux1 holds nothing of the draft; the draft reaches ux3 only when
        // the person went on with it and sent it.
        Received(ux1);
        Received(ux3);
        if (replyStarted)
            Type(ui.Mm_Message, QStringLiteral("了解です"));
        ui.Mn_MailSend->trigger();
        const QByteArray secret = Sjis(draftText);
        const QList<QByteArray> toUx1 = Received(ux1);
        const QList<QByteArray> toUx3 = Received(ux3);
        QCOMPARE(toUx1.size(), replyStarted ? 1 : 0);
        QCOMPARE(toUx3.size(), replyStarted ? 0 : 1);
        for (const QByteArray& datagram : toUx1)
            QVERIFY(!datagram.contains(secret));
        for (const QByteArray& datagram : toUx3)
            QVERIFY(datagram.contains(secret));

        // Saved, the draft waits in 送信BOX for ux3 with its text.
        ui.Mn_ViewSend->trigger();
        int savedForUx3 = 0;
        for (int r = 0; r < ui.LV_Model->rowCount(); ++r) {
            if (ui.LV_Model->CellText(r, 2) != QStringLiteral("UX3") || ui.LV_Model->Image(r) != 0)
                continue;
            ++savedForUx3;
            QTest::mouseClick(ui.LV_View->viewport(), Qt::LeftButton, {},
                              ui.LV_View->visualRect(ui.LV_Model->index(r, 1)).center());
            QCOMPARE(ui.Mm_Message->toPlainText().trimmed(), draftText);
        }
        QCOMPARE(savedForUx3, answer == 1 ? 1 : 0);
    }
};

QTEST_MAIN(ReplyTest)
#include "reply_test.moc"

// What the status bar and the tray icon's tip tell while the window is open.
#include "testmachine.h"

#include <QLabel>
#include <QTest>

using namespace varnel;

namespace {

QByteArray Mail(char letter, const QByteArray& title) {
    return QByteArray(1, '\x07') + letter + '\\' + title + "\\PC02\\PC01\\1998/02/23 9:00:00\\\x08" + "b\r\n";
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
};

QTEST_MAIN(StatusTest)
#include "status_test.moc"

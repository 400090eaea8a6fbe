// Start-up and close of one whole copy on fakes: the order of the steps, the failure boxes, what is
// written at the close and what never is.
#include "records.h"
#include "testmachine.h"

#include "shell/maillistmodel.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace varnel;

namespace {

const QString kLocalError = QStringLiteral("ﾛｰｶﾙｴﾗｰ");

QMap<QString, QVariant> StoredSettings() {
    return {{QStringLiteral("Tray"), 0},
            {QStringLiteral("Popup"), 1},
            {QStringLiteral("Front"), 0},
            {QStringLiteral("SendFina"), QStringLiteral("s.txt")},
            {QStringLiteral("ReadFina"), QStringLiteral("r.txt")}};
}

} // namespace

class LifecycleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aWorkingStartRunsEveryStepInOrder() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC00", "PC01"});
        pc.files.files[QStringLiteral("vnsend.txt")] =
            test::Mail{.letter = 'S', .recipient = "PC00"}.Record();
        Varnel& app = pc.Start();
        MainWindow& w = pc.Window();
        const MainWindowParts ui = pc.Parts();

        QVERIFY(pc.prompt.boxes.isEmpty());
        QVERIFY(pc.endpoint.IsOpen());
        QCOMPARE(app.Settings().SendFina, QStringLiteral("vnsend.txt")); // the settings were read
        QCOMPARE(ui.TV_Network->topLevelItemCount(), 1);
        QCOMPARE(ui.TV_Network->topLevelItem(0)->childCount(), 2);
        QCOMPARE(app.Post().LocalHostName(), QByteArray("PC01"));
        // One probe went to the machine listed before this one, one to this one.
        QCOMPARE(net.SentTo("PC00").size(), 1);
        QVERIFY(ui.Mn_ViewSend->isChecked());
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QVERIFY(ui.Mm_Message->toPlainText().isEmpty());
        QVERIFY(ui.Tm_CheckMail->isActive());
        QVERIFY(!ui.Tm_AutoTray->isActive());
        QVERIFY(w.isVisible());
        QCOMPARE(pc.finished->count(), 0);
    }

    void theTraySettingStartsTheAutoTrayTimer() {
        LoneMachine pc;
        pc.store.values[QStringLiteral("Tray")] = QStringLiteral("1");
        pc.Start();
        QVERIFY(pc.Parts().Tm_AutoTray->isActive());
        QCOMPARE(pc.Parts().Tm_AutoTray->interval(), 2000);
    }

    void anEndpointThatCannotOpenEndsTheProgramWritingNothing() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.endpoint.failOpen = true;
        pc.store.values = StoredSettings();
        pc.files.files[QStringLiteral("s.txt")] = "old send box";
        pc.Start();

        QCOMPARE(pc.prompt.boxes.size(), 1);
        QCOMPARE(pc.prompt.boxes[0].text, QStringLiteral("メールスロットの作成に失敗しました"));
        QCOMPARE(pc.prompt.boxes[0].caption, kLocalError);
        QCOMPARE(pc.prompt.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(pc.prompt.boxes[0].owner.data(), &pc.Window());
        QCOMPARE(pc.finished->count(), 1);
        QVERIFY(pc.files.saves.isEmpty());
        QCOMPARE(pc.files.files.value(QStringLiteral("s.txt")), QByteArray("old send box"));
        QCOMPARE(pc.store.writes, 0);
        QCOMPARE(pc.store.values, StoredSettings());
        QVERIFY(!pc.Window().isVisible());
        QVERIFY(!pc.Parts().Tm_CheckMail->isActive());
        // Nothing was probed or listed for a program that is ending.
        QVERIFY(net.sent.isEmpty());
    }

    void aSettingsStoreThatCannotOpenEndsTheProgram() {
        LoneMachine pc;
        pc.store.openable = false;
        pc.Start();
        QCOMPARE(pc.prompt.Texts(), QStringList{QStringLiteral("レジストリエラー")});
        QCOMPARE(pc.prompt.boxes[0].caption, kLocalError);
        QCOMPARE(pc.finished->count(), 1);
        QVERIFY(pc.files.saves.isEmpty());
        QVERIFY(!pc.endpoint.IsOpen());
    }

    void aSettingOfTheWrongKindShowsTheErrorBoxAndEndsWithoutWriting() {
        LoneMachine pc;
        pc.store.values = StoredSettings();
        pc.store.values[QStringLiteral("Popup")] = QStringLiteral("yes");
        pc.Start();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QCOMPARE(pc.prompt.boxes[0].text, QStringLiteral("'Popup' のﾃﾞｰﾀ型が不正です."));
        QCOMPARE(pc.prompt.boxes[0].caption, QStringLiteral("Varnel for Windows95"));
        QCOMPARE(pc.prompt.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(pc.finished->count(), 1);
        QCOMPARE(pc.store.writes, 0);
        QVERIFY(pc.files.saves.isEmpty());
        QVERIFY(!pc.endpoint.IsOpen());
    }

    void withoutNetworkTheProgramWarnsTwiceAndRunsOnTheSendBox() {
        LoneMachine pc;
        pc.provider.failGroups = true;
        Varnel& app = pc.Start();
        QCOMPARE(pc.prompt.Texts(), (QStringList{QStringLiteral("ネットワークが見つかりません"),
                                                 QStringLiteral("ホストネーム検出エラー")}));
        QCOMPARE(pc.prompt.boxes[1].caption, kLocalError);
        QCOMPARE(pc.finished->count(), 0);
        QCOMPARE(pc.Parts().TV_Network->topLevelItemCount(), 0);
        QVERIFY(!app.Post().NetworkFound());
        QVERIFY(app.Post().LocalHostName().isEmpty());
        QVERIFY(pc.Parts().Mn_ViewSend->isChecked());
        QVERIFY(pc.Parts().Tm_CheckMail->isActive());
    }

    void whatTheListingCouldNotUseIsToldOnceAtStartUpAndTheStartGoesOn() {
        LoneMachine pc;
        pc.provider.notice = {QStringLiteral("/n.txt"), {{3, UnusableLine::Fields, "a b c d"}}};
        for (int n = 4; n <= 13; ++n)
            pc.provider.notice.lines.append({n, UnusableLine::Reason(n % 5), "x"});
        pc.Start();
        QCOMPARE(pc.prompt.Texts(),
                 QStringList{QStringLiteral(
                     "ネットワーク一覧ファイル /n.txt の次の行は使えないため、読み飛ばしました。\n"
                     "\n3 行目: 「ワークグループ ホスト名 [アドレス]」の形ではありません"
                     "\n4 行目: Shift-JIS にない文字があります"
                     "\n5 行目: 「ワークグループ ホスト名 [アドレス]」の形ではありません"
                     "\n6 行目: アドレスが正しくありません"
                     "\n7 行目: 名前が 29 バイトを超えています"
                     "\n8 行目: 制御文字か、読めないバイトがあります"
                     "\n9 行目: Shift-JIS にない文字があります"
                     "\n10 行目: 「ワークグループ ホスト名 [アドレス]」の形ではありません"
                     "\n11 行目: アドレスが正しくありません"
                     "\n12 行目: 名前が 29 バイトを超えています"
                     "\nほか 1 行")});
        QCOMPARE(pc.prompt.boxes[0].caption, kLocalError);
        QCOMPARE(pc.prompt.boxes[0].icon, QMessageBox::Warning);
        QVERIFY(pc.Window().findChild<QTimer*>(QStringLiteral("Tm_CheckMail"))->isActive());

        // A re-detection tells nothing, whatever the listing has to say then.
        pc.provider.notice = {QStringLiteral("/n.txt"), {{1, UnusableLine::Fields, "again"}}};
        pc.Window().findChild<QAction*>(QStringLiteral("Mn_ViewNet"))->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
    }

    void aFirstRunWritesTheDefaultsAndEmptyFilesAtTheClose() {
        LoneMachine pc;
        pc.Start();
        pc.Window().close();
        QCOMPARE(pc.finished->count(), 1);
        // The five settings, and beside them what the window keeps for the next run.
        QCOMPARE(QStringList(pc.store.values.keyBegin(), pc.store.values.keyEnd()),
                 (QStringList{QStringLiteral("Columns"), QStringLiteral("Draft"), QStringLiteral("Front"),
                              QStringLiteral("ListOrder"), QStringLiteral("Panes"), QStringLiteral("Popup"),
                              QStringLiteral("ReadFina"), QStringLiteral("SendFina"), QStringLiteral("Tray"),
                              QStringLiteral("WindowGeometry")}));
        QCOMPARE(pc.store.values.value(QStringLiteral("Tray")), QVariant(0));
        QCOMPARE(pc.store.values.value(QStringLiteral("SendFina")), QVariant(QStringLiteral("vnsend.txt")));
        QCOMPARE(pc.files.saves, (QStringList{QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt")}));
        QCOMPARE(pc.files.files.value(QStringLiteral("vnread.txt")), QByteArray());
        QVERIFY(!pc.endpoint.IsOpen());
    }

    void everyExitCommandRunsTheSameCloseStepsOnce_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("close box") << 0;
        QTest::newRow("menu Varnelの終了") << 1;
        QTest::newRow("tool bar 終了") << 2;
        QTest::newRow("tray menu Varnelの終了") << 3;
    }
    void everyExitCommandRunsTheSameCloseStepsOnce() {
        QFETCH(int, way);
        LoneMachine pc;
        pc.Start();
        MainWindow& w = pc.Window();
        const MainWindowParts ui = pc.Parts();
        ui.AutoTray();
        if (way != 3)
            ui.PM_Reraise->trigger();
        switch (way) {
        case 0:
            w.close();
            break;
        case 1:
            ui.Mn_MailClose->trigger();
            break;
        case 2:
            QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
            break;
        case 3:
            ui.PM_Close->trigger();
            QVERIFY(!pc.tray.shown); // no icon is left behind
            break;
        }
        QCOMPARE(pc.finished->count(), 1);
        QCOMPARE(pc.files.saves.size(), 2);
        QCOMPARE(pc.store.writes, 5 + 5); // the settings and the window's five
        QVERIFY(!ui.Tm_CheckMail->isActive());
        // A second request before the loop ends: the settings again, no mailbox twice.
        w.RequestClose();
        QCOMPARE(pc.files.saves.size(), 2);
        QCOMPARE(pc.endpoint.closes, 1);
    }

    void aMailboxThatCannotBeWrittenAnywhereMayBeTriedAgainAndIsThenWrittenElsewhere() {
        LoneMachine pc;
        pc.files.Fail(QStringLiteral("vnsend.txt"));
        pc.prompt.retryAnswers = {true, false};
        pc.Start();
        pc.clock.advance = false;
        const QByteArray saved = test::Mail{.letter = 'K', .sendTime = pc.clock.TimeText()}.Record();
        QCOMPARE(pc.app->Post().SaveWithoutSending({{"title", "PC01", "PC02"}}, "body").stored, 1);
        pc.Window().close();
        QCOMPARE(pc.prompt.boxes.size(), 3);
        QVERIFY(pc.prompt.boxes[0].retryQuestion);
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("/fake/vnsend.txt")));
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("ディスクがいっぱいです")));
        QCOMPARE(pc.files.saves.count(QStringLiteral("vnsend.txt")), 2);
        // Declined: the mailbox goes to a file of its own elsewhere, and the person learns where.
        QCOMPARE(pc.files.files.value(QStringLiteral("rescued/vnsend.txt")), saved);
        QVERIFY(pc.prompt.boxes[2].text.contains(QStringLiteral("/fake/rescued/vnsend.txt")));
        // The other mailbox is still written.
        QVERIFY(pc.files.files.contains(QStringLiteral("vnread.txt")));
    }

    void aRefusedSettingIsShownAndTheMailboxesAreStillSaved() {
        LoneMachine pc;
        pc.store.refused.insert(QStringLiteral("Popup"));
        pc.Start();
        pc.Window().close();
        QCOMPARE(pc.prompt.Texts(), QStringList{QStringLiteral("'Popup' の設定に失敗しました.")});
        QCOMPARE(pc.prompt.boxes[0].icon, QMessageBox::Critical);
        QVERIFY(!pc.store.values.contains(QStringLiteral("SendFina")));
        QCOMPARE(pc.files.saves.size(), 2);
    }

    void aFileCutAtAZeroByteIsKeptAsBakBeforeItIsReplaced() {
        LoneMachine pc;
        static const char kFile[] = "\x07G\\t\\A\\PC01\\x\\\x08"
                                    "a\r\n\0lost?";
        const QByteArray original(kFile, sizeof kFile - 1);
        pc.files.files[QStringLiteral("vnread.txt")] = original;
        pc.Start();
        QCOMPARE(pc.ReceiveBox()->Text(), original.left(original.indexOf('\0')));
        // Told before the window opens: which file, what was kept, where the copy is.
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QCOMPARE(pc.prompt.boxes[0].caption, kLocalError);
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("/fake/vnread.txt は")));
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("1 通")));
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("/fake/vnread.txt.bak に残しました")));
        pc.Window().close();
        QCOMPARE(pc.files.files.value(QStringLiteral("vnread.txt.bak")), original);
        QCOMPARE(pc.files.files.value(QStringLiteral("vnread.txt")), original.left(original.indexOf('\0')));
        QVERIFY(!pc.files.files.contains(QStringLiteral("vnsend.txt.bak")));
    }

    void aCloseWhileAStartUpNoticeIsOpenEndsTheStartUp() {
        LoneMachine pc;
        pc.store.values = StoredSettings();
        pc.store.values[QStringLiteral("SendFina")] = QString();
        pc.store.values[QStringLiteral("ReadFina")] = QString();
        pc.prompt.whileOpen = [&] { pc.Parts().Mn_MailClose->trigger(); };
        pc.Start();
        QCOMPARE(pc.prompt.boxes.size(), 1); // the second refusal is not shown to a closing program
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("SendFina の値「」")));
        QCOMPARE(pc.finished->count(), 1);
        QVERIFY(!pc.app->Post().MailBoxesOpen());
        QVERIFY(!pc.Parts().Tm_CheckMail->isActive());
        // The default names were used, and the stored values are left as they were.
        QVERIFY(pc.files.files.contains(QStringLiteral("vnsend.txt")));
        QCOMPARE(pc.store.values.value(QStringLiteral("ReadFina")), QVariant(QString()));
    }

    void theWindowAlwaysOpensOnTheSendBoxView() {
        LoneMachine pc;
        pc.Create();
        const MainWindowParts ui = pc.Parts();
        QVERIFY(ui.SB_ViewSend->isChecked());
        QVERIFY(!ui.Mn_ViewSend->isChecked() && !ui.Mn_ViewRead->isChecked() && !ui.Mn_ViewMake->isChecked());
        pc.app->Start();
        QVERIFY(ui.Mn_ViewSend->isChecked());
        QVERIFY(ui.SB_MailSend->isEnabled());
    }
};

QTEST_MAIN(LifecycleTest)
#include "lifecycle_test.moc"

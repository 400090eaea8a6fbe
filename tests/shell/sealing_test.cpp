#include "named.h"
#include "ownnetwork.h"
#include "records.h"
#include "testmachine.h"

#include "shell/infodialog.h"
#include "shell/settingdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace varnel {
namespace {

// Another machine's side of sealed mail: its identity, keys and sealing endpoint, on the network.
struct Sender {
    Sender(FakeNetwork& network, const QByteArray& host, const QByteArray& name, const TestMachine& to)
        : sealing(network.AddHost(host), identity, keyring) {
        sealing.SetLocalName(name);
        keyring.Learn("PC02", to.identity.PublicKey());
    }
    void Mail(const QByteArray& title) {
        test::Mail mail;
        mail.letter = 'S';
        mail.title = title;
        sealing.SendTo("PC02", mail.Datagram());
    }
    Identity identity = Identity::Generate();
    Keyring keyring;
    SealingEndpoint sealing;
};

QString ToolTipOf(const MainWindowParts& ui, int row) {
    return ui.LV_View->model()->index(row, 0).data(Qt::ToolTipRole).toString();
}

class SealingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    static void initMain() { EnterOwnNetwork(); }

    void theListTellsSealedFromPlainAndAKeyChangeIsAskedOnce() {
        FakeNetwork network;
        TestMachine pc(network, "PC02", {"PC01", "PC02"});
        pc.Seal();
        pc.Start();
        Sender pc01(network, "PC01", "PC01", pc);
        pc01.Mail("sealed");
        test::Mail forged;
        forged.letter = 'S';
        forged.title = "plain";
        pc.endpoint.Inject(forged.Datagram());
        MainWindowParts ui = pc.Parts();
        ui.CheckMail();
        ui.Mn_ViewRead->trigger();
        QCOMPARE(pc.ReceiveBox()->Header(0).title, QByteArray("plain"));
        QCOMPARE(ToolTipOf(ui, 0), QStringLiteral("[封印なし]"));
        QVERIFY(ToolTipOf(ui, 1).isEmpty());

        // Another key under PC01's name: kept, marked, asked about once; はい pins it.
        Sender impostor(network, "PC09", "PC01", pc);
        pc.prompt.yesNoAnswers = {true};
        impostor.Mail("impostor");
        ui.CheckMail();
        impostor.Mail("again");
        ui.CheckMail();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        const QString question = pc.prompt.boxes[0].text;
        QVERIFY(question.contains(QString::fromLatin1(Fingerprint(pc01.identity.PublicKey()).first(17))));
        QVERIFY(question.contains(QString::fromLatin1(Fingerprint(impostor.identity.PublicKey()).first(17))));
        QCOMPARE(pc.keyring.Pinned("PC01"), impostor.identity.PublicKey());
        QCOMPARE(ToolTipOf(ui, 1), QStringLiteral("[鍵が違う]")); // before it was accepted
        QVERIFY(ToolTipOf(ui, 0).isEmpty());
    }

    void theDialogsShowTheFingerprintAndKeepSealedOnly() {
        FakeNetwork network;
        TestMachine pc(network, "PC02", {"PC01", "PC02"});
        pc.Seal();
        pc.Start();
        const QString own = QString::fromLatin1(Fingerprint(pc.identity.PublicKey()));
        QVERIFY(Named<QLabel>(pc.app->InfoWindow(), "LB_Fingerprint")->text().contains(own.first(35)));

        SettingDialog& setting = pc.app->SettingWindow();
        setting.show();
        Named<QCheckBox>(setting, "CB_SealedOnly")->setChecked(true);
        QTest::mouseClick(Named<QPushButton>(setting, "Btn_OK"), Qt::LeftButton);
        QCOMPARE(pc.store.values.value(QStringLiteral("SealedOnly")).toInt(), 1);

        test::Mail plain;
        plain.letter = 'S';
        pc.endpoint.Inject(plain.Datagram());
        pc.Parts().CheckMail();
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 0);
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("封印メールのみ")));
    }
};

} // namespace
} // namespace varnel

QTEST_MAIN(varnel::SealingTest)
#include "sealing_test.moc"

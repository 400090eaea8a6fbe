#include "records.h"
#include "testmachine.h"

#include "shell/icons.h"
#include "store/mailrecord.h"
#include "transport/retryschedule.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace varnel;

namespace {

// The copy that PC01 has on its way to PC02, a machine that is listed but never answers.
struct Waiting {
    Waiting() {
        test::Mail copy{'S', "t", "PC01", "PC02"};
        pc.files.files[QStringLiteral("vnsend.txt")] = copy.Record();
        pc.Start();
        pc.Parts().Mn_ViewSend->trigger();
    }
    QString Count() { return Named<QLabel>(pc.Window(), "St_Waiting")->text(); }
    QVariant FirstRow(int role) { return pc.Parts().LV_Model->data(pc.Parts().LV_Model->index(0, 0), role); }

    FakeNetwork net;
    TestMachine pc{net, "PC01", {"PC01", "PC02"}};
};

QImage Picture(const QVariant& icon) {
    return icon.value<QIcon>().pixmap(16).toImage();
}

} // namespace

class DeliveryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aWaitingCopyShowsItAndSavingItUnsentStopsIt() {
        Waiting w;
        const MainWindowParts ui = w.pc.Parts();
        ui.CheckMail(); // the start-up try
        QCOMPARE(w.Count(), QStringLiteral("送信待ち 1通"));
        QCOMPARE(Picture(w.FirstRow(Qt::DecorationRole)), Picture(icons::Waiting()));
        QVERIFY(w.FirstRow(Qt::ToolTipRole).toString().contains(QStringLiteral("（1 回送りました）")));
        // The tree's watch is no network detection: the copy keeps its pause. ネットワーク再検出 is one.
        QMetaObject::invokeMethod(Named<QTimer>(w.pc.Window(), "Tm_NetWatch"), "timeout");
        ui.CheckMail();
        QVERIFY(w.FirstRow(Qt::ToolTipRole).toString().contains(QStringLiteral("（1 回送りました）")));
        ui.Mn_ViewNet->trigger();
        ui.CheckMail();
        QVERIFY(w.FirstRow(Qt::ToolTipRole).toString().contains(QStringLiteral("（2 回送りました）")));

        ui.LV_View->setCurrentIndex(ui.LV_Model->index(0, 0));
        ui.PM_ViewSave->trigger();
        ui.CheckMail();
        QCOMPARE(ui.LV_Model->Image(0), int(Saved));
        QCOMPARE(w.Count(), QString());
        QVERIFY(w.FirstRow(Qt::ToolTipRole).isNull());
    }

    void aDayLongWaitAndABlockedPortAreEachToldOnce() {
        Waiting w;
        w.pc.provider.running = {"PC02"};
        const QDateTime sent = w.pc.clock.Now();
        for (qint64 s = 0; s <= RetrySchedule::kBlockedSpanMs / 1000 + 60; s += 30) {
            w.pc.clock.Set(sent.addSecs(s));
            w.pc.Parts().CheckMail();
        }
        QCOMPARE(w.pc.prompt.boxes.size(), 1);
        QVERIFY(w.pc.prompt.boxes[0].text.startsWith(
            QStringLiteral("PC02 の Varnel はネットワークに見えています")));
        QVERIFY(w.pc.prompt.boxes[0].text.contains(QStringLiteral("UDP 20595")));
        w.pc.clock.Set(sent.addSecs(24 * 3600));
        w.pc.Parts().CheckMail();
        w.pc.Parts().CheckMail();
        QCOMPARE(w.pc.prompt.boxes.size(), 2);
        QVERIFY(w.pc.prompt.boxes[1].text.contains(QStringLiteral("24 時間たっても")));
        QVERIFY(w.pc.prompt.boxes[1].text.contains(QStringLiteral("・「t」→ PC02")));
    }
};

QTEST_MAIN(DeliveryTest)
#include "delivery_test.moc"

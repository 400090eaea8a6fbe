// The network tree as it follows the network while the program runs.
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/titledialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace varnel;

namespace {

// The tree as text: "GROUP[HOST,HOST]" for each workgroup, in order.
QStringList Shape(const QTreeWidget* tree) {
    QStringList shape;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = tree->topLevelItem(g);
        QStringList hosts;
        for (int h = 0; h < group->childCount(); ++h)
            hosts.append(group->child(h)->text(0));
        shape.append(group->text(0) + u'[' + hosts.join(u',') + u']');
    }
    return shape;
}

QTreeWidgetItem* Node(const QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found[0] : nullptr;
}

void RemoveMachine(FakeProvider& provider, const QByteArray& name) {
    provider.hosts.removeIf([&](const auto& entry) { return entry.second.remoteName == "\\\\" + name; });
}

} // namespace

class LiveTreeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theTreeFollowsTheNetworkKeepingWhatThePersonDid() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.provider.groups.clear();
        pc.provider.hosts.clear();
        pc.provider.AddGroup("OFFICE").AddGroup("LAB");
        pc.provider.AddMachine("OFFICE", "PC01").AddMachine("OFFICE", "PC02").AddMachine("LAB", "PC05");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QTreeWidget* tree = ui.TV_Network;
        auto* watch = Named<QTimer>(pc.Window(), "Tm_NetWatch");
        QVERIFY(watch->isActive());
        const auto tick = [watch] {
            QMetaObject::invokeMethod(watch, "timeout", Qt::DirectConnection);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        };

        // This machine stands out; the workgroups come open.
        QVERIFY(Node(tree, QStringLiteral("PC01"))->font(0).bold());
        QVERIFY(!Node(tree, QStringLiteral("PC01"))->icon(0).isNull());
        QVERIFY(!Node(tree, QStringLiteral("PC02"))->font(0).bold());
        QVERIFY(tree->topLevelItem(1)->isExpanded());

        // The person closes LAB and picks PC02.
        tree->collapseItem(tree->topLevelItem(1));
        QTreeWidgetItem* picked = Node(tree, QStringLiteral("PC02"));
        tree->setCurrentItem(picked);

        // A machine starts, a workgroup appears, a machine ends: no command needed.
        pc.provider.AddGroup("SALES").AddMachine("SALES", "PC09").AddMachine("OFFICE", "PC03");
        RemoveMachine(pc.provider, "PC05");
        tick();
        QCOMPARE(Shape(tree), (QStringList{QStringLiteral("OFFICE[PC01,PC02,PC03]"), QStringLiteral("LAB[]"),
                                           QStringLiteral("SALES[PC09]")}));
        QCOMPARE(tree->currentItem(), picked);
        QVERIFY(picked->isSelected());
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QVERIFY(!tree->topLevelItem(1)->isExpanded());
        QVERIFY(tree->topLevelItem(2)->isExpanded());

        // ネットワーク再検出 keeps them too.
        RemoveMachine(pc.provider, "PC03");
        ui.Mn_ViewNet->trigger();
        QCOMPARE(Shape(tree), (QStringList{QStringLiteral("OFFICE[PC01,PC02]"), QStringLiteral("LAB[]"),
                                           QStringLiteral("SALES[PC09]")}));
        QCOMPARE(tree->currentItem(), picked);
        QVERIFY(!tree->topLevelItem(1)->isExpanded());
        QVERIFY(Node(tree, QStringLiteral("PC01"))->font(0).bold());

        // A machine that came later is a recipient like any other.
        ui.Mn_ViewMake->trigger();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<TitleDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            Type(Named<QLineEdit>(*dialog, "Ed_Title"), QStringLiteral("件名"));
            QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Return);
        });
        DoubleClickNode(tree, Node(tree, QStringLiteral("PC09")));
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray("PC09"));
    }
};

QTEST_MAIN(LiveTreeTest)
#include "livetree_test.moc"

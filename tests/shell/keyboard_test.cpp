// The window from the keyboard alone: help, the panes in Tab order, the focus seen.
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/helpwindow.h"
#include "shell/titledialog.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QTextBrowser>

using namespace varnel;

namespace {

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// Answers the title dialog, when it opens, with the title typed and Enter.
void AnswerTitle(const QString& title, bool* asked) {
    QTimer::singleShot(0, [title, asked] {
        auto* dialog = qobject_cast<TitleDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        *asked = true;
        Type(Named<QLineEdit>(*dialog, "Ed_Title"), title);
        QTest::keyClick(Named<QLineEdit>(*dialog, "Ed_Title"), Qt::Key_Return);
    });
}

QTreeWidgetItem* Node(const QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found[0] : nullptr;
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void f1OpensTheHelpAndEscapeClosesIt() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.Start();
        Activate(pc.Window());
        QVERIFY(!pc.Parts().Help());
        QTest::keyClick(pc.Parts().TV_Network, Qt::Key_F1);
        HelpWindow* help = pc.Parts().Help();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QTest::keyClick(help->Browser(), Qt::Key_Escape); // the help's own text has the keyboard
        QVERIFY(!help->isVisible());
        QVERIFY(pc.Window().isVisible());
    }

    void tabVisitsTreeListAndMemoInTurn_data() {
        QTest::addColumn<bool>("composing");
        QTest::newRow("send box") << false;
        QTest::newRow("new mail (the memo is editable)") << true;
    }

    void tabVisitsTreeListAndMemoInTurn() {
        QFETCH(bool, composing);
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        if (composing)
            ui.Mn_ViewMake->trigger();
        Activate(pc.Window());
        ui.TV_Network->setFocus(Qt::TabFocusReason);
        QList<QWidget*> visited;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget());
        }
        QCOMPARE(visited, (QList<QWidget*>{ui.LV_View, ui.Mm_Message, ui.TV_Network}));
        QCOMPARE(ui.Mm_Message->toPlainText(), QString()); // no tab typed on the way
    }

    // Enter on a machine adds it as a double click does; Ctrl+Enter in the text sends.
    void aMailIsWrittenAndSentFromTheKeyboard() {
        FakeNetwork net;
        TestMachine pc1(net, "PC01", {"PC01", "PC02", "PC03"});
        TestMachine pc2(net, "PC02", {"PC01", "PC02", "PC03"});
        pc2.Start();
        pc1.Start();
        const MainWindowParts ui = pc1.Parts();
        Activate(pc1.Window());
        ui.Mn_ViewMake->trigger();
        QTreeWidget* tree = ui.TV_Network;
        tree->setFocus(Qt::TabFocusReason);

        tree->setCurrentItem(tree->topLevelItem(0)); // a workgroup: nothing
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(ui.LV_Model->rowCount(), 0);
        bool asked = false;
        AnswerTitle(QStringLiteral("キーだけで"), &asked);
        tree->setCurrentItem(Node(tree, QStringLiteral("PC02")));
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(asked);
        QTest::keyClick(tree, Qt::Key_Enter); // already a recipient
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray("PC02"));
        QCOMPARE(ui.LV_Model->Title(0), QStringLiteral("キーだけで"));

        // The desktop gives the window back its keyboard after the dialog (offscreen does not).
        QApplication::setActiveWindow(&pc1.Window());
        QTRY_COMPARE(QApplication::activeWindow(), &pc1.Window());
        ui.Mm_Message->setFocus(Qt::TabFocusReason);
        Type(ui.Mm_Message, QStringLiteral("本文"));
        QTest::keyClick(ui.Mm_Message, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(ui.Mm_Message->toPlainText(), QString()); // sent, not a new line
        const MainWindowParts there = pc2.Parts();
        there.CheckMail();
        there.Mn_ViewRead->trigger();
        QCOMPARE(there.LV_Model->rowCount(), 1);
        QCOMPARE(there.LV_Model->Title(0), QStringLiteral("キーだけで"));
    }

    // The pane that has the keyboard looks different from the same pane without it.
    void theFocusedPaneIsDrawnDifferently() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        Activate(pc.Window());
        const QList<QWidget*> panes = {ui.TV_Network, ui.LV_View, ui.Mm_Message};
        for (QWidget* pane : panes) {
            QWidget* other = pane == ui.TV_Network ? static_cast<QWidget*>(ui.Mm_Message) : ui.TV_Network;
            other->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(other->hasFocus());
            const QImage without = pane->grab().toImage();
            pane->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(pane->hasFocus());
            const QImage with = pane->grab().toImage();
            QVERIFY2(without != with, qPrintable(pane->objectName()));
        }
    }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"

// The main window on the offscreen platform: layout, menus, command routing, enabling rules, the
// dragging bars, the memo's bytes and the mail list.
#include "records.h"
#include "testmachine.h"

#include "shell/composer.h"
#include "shell/helpwindow.h"
#include "shell/maillistmodel.h"
#include "shell/mainwindow.h"
#include "shell/varnel.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

using namespace varnel;

Q_DECLARE_METATYPE(varnel::View)

namespace {

// One copy of the program on fakes, its windows built but not started.
struct Rig {
    FakeNetwork network;
    TestMachine machine{network, "PC01"};
    Varnel& app = machine.Create();
    MainWindow& Form() { return machine.Window(); }
    void StartWith(const QByteArray& sendBox, const QByteArray& receiveBox = {}) {
        machine.files.files = {{QStringLiteral("vnsend.txt"), sendBox},
                               {QStringLiteral("vnread.txt"), receiveBox}};
        app.Start();
    }
};

QByteArray Record(char letter, const QByteArray& title, const QByteArray& body = "line\r\n",
                  const QByteArray& read = {}) {
    return test::Mail{.letter = letter, .title = title, .readTime = read, .body = body}.Record();
}

// Opens a menu as the person would and closes it again; its enabling rules run on opening.
void OpenAndClose(QMenu* menu) {
    menu->popup(QPoint(10, 10));
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

struct MenuEntry {
    QString name;
    QString text;
    bool separator;
};

QList<MenuEntry> Entries(const QMenu* menu) {
    QList<MenuEntry> entries;
    for (const QAction* a : menu->actions())
        entries.append(
            {a->objectName(), a->isSeparator() ? QStringLiteral("-") : a->text(), a->isSeparator()});
    return entries;
}

void CompareEntries(const QMenu* menu, const QList<MenuEntry>& expected) {
    const QList<MenuEntry> got = Entries(menu);
    QCOMPARE(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].name, expected[i].name);
        QCOMPARE(got[i].text, expected[i].text);
        QCOMPARE(got[i].separator, expected[i].separator);
    }
}

MenuEntry Item(const char* name, const QString& text) {
    return {QLatin1String(name), text, false};
}
MenuEntry Sep(const char* name) {
    return {QLatin1String(name), QStringLiteral("-"), true};
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rig> m_rig;
    MainWindow& Form() { return m_rig->Form(); }
    MainWindowParts Ui() { return MainWindowParts(Form()); }

    // Shows the window with its client area at the design size (the first size may be wider, for the
    // font in use).
    void ShowWindow() {
        Form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form()));
        const QSize client = Form().centralWidget()->size();
        Form().resize(Form().size() - QSize(client.width() - 613, client.height() - 462));
        QTRY_COMPARE(Form().centralWidget()->size(), QSize(613, 462));
    }
    // Switches the view through the view menu, as the person does.
    void SwitchTo(View view) {
        QAction* item = view == View::Send   ? Ui().Mn_ViewSend
                        : view == View::Read ? Ui().Mn_ViewRead
                                             : Ui().Mn_ViewMake;
        item->trigger();
    }
    // A view with one row, selected or not.
    void PrepareView(View view, bool rowSelected) {
        m_rig->StartWith(Record('S', "sent"), Record('R', "read", "line\r\n", "1998/02/24 10:00:00"));
        SwitchTo(view);
        if (view == View::Make)
            Ui().LV_Model->AppendRow(QStringLiteral("title"), "PC01", "PC02");
        QCOMPARE(Ui().LV_Model->rowCount(), 1);
        if (rowSelected)
            Ui().ClickRow(0, 1);
        QCOMPARE(Ui().SelectedRow(), rowSelected ? 0 : -1);
    }

private Q_SLOTS:
    void init() {
        QGuiApplication::clipboard()->clear();
        m_rig = std::make_unique<Rig>();
    }
    void cleanup() { m_rig.reset(); }

    void windowHasTheDesignLayout() {
        MainWindow& f = Form();
        const MainWindowParts u = Ui();
        ShowWindow();
        QCOMPARE(f.objectName(), QStringLiteral("Form1"));
        QCOMPARE(f.windowTitle(), QStringLiteral("Varnel for Windows95"));
        QVERIFY(!f.windowIcon().isNull());

        QCOMPARE(u.Panel1->geometry(), QRect(0, 0, 613, 41));
        QCOMPARE(u.TV_Network->geometry(), QRect(0, 41, 121, 421));
        QCOMPARE(u.Pn_HMove->geometry(), QRect(121, 41, 3, 421));
        QCOMPARE(u.Pn_Right->geometry(), QRect(124, 41, 489, 421));
        QCOMPARE(u.LV_View->geometry(), QRect(0, 0, 489, 249));
        QCOMPARE(u.Pn_VMove->geometry(), QRect(0, 249, 489, 3));
        QCOMPARE(u.Mm_Message->geometry(), QRect(0, 252, 489, 169));
        QCOMPARE(u.Pn_HMove->cursor().shape(), Qt::SizeHorCursor);
        QCOMPARE(u.Pn_VMove->cursor().shape(), Qt::SizeVerCursor);

        QVERIFY(u.TV_Network->isHeaderHidden());
        QCOMPARE(u.TV_Network->indentation(), 19);
        QCOMPARE(u.TV_Network->editTriggers(), QAbstractItemView::NoEditTriggers);

        QVERIFY(!u.LV_View->rootIsDecorated());
        QCOMPARE(u.LV_View->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(!u.LV_View->isSortingEnabled()); // the header sorts the rows, the view itself never
        QVERIFY(u.LV_View->header()->sectionsClickable());
        const QStringList captions = {QStringLiteral("メール名"), QStringLiteral("送信者"),
                                      QStringLiteral("受信者"), QStringLiteral("送信時間"),
                                      QStringLiteral("受信時間")};
        // The title and the times keep their design widths at least; the host columns give up what
        // their text does not need when the room is short, and the title takes the room left.
        const QList<int> widths = {100, 80, 80, 110, 110};
        QCOMPARE(u.LV_View->model()->columnCount(), 5);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(u.LV_View->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
            if (c == 0 || c >= 3)
                QVERIFY(u.LV_View->header()->sectionSize(c) >= widths[c]);
        }

        QVERIFY(u.Mm_Message->isReadOnly());
        QCOMPARE(u.Mm_Message->lineWrapMode(), QPlainTextEdit::WidgetWidth);

        for (QTimer* timer : {u.Tm_AutoTray, u.Tm_CheckMail}) {
            QVERIFY(!timer->isActive());
            QCOMPARE(timer->interval(), 2000);
        }
        QCOMPARE(f.findChild<QTimer*>(QStringLiteral("Tm_AutoTray")), u.Tm_AutoTray);
        QCOMPARE(f.findChild<QTimer*>(QStringLiteral("Tm_CheckMail")), u.Tm_CheckMail);
    }

    void toolBarButtonsSitWhereDesigned() {
        const MainWindowParts u = Ui();
        struct Expect {
            QToolButton* button;
            const char* name;
            int left;
            QString tip;
        };
        const QList<Expect> expected = {
            {u.SB_MailSend, "SB_MailSend", 8, QStringLiteral("メール送信")},
            {u.SpeedButton2, "SpeedButton2", 40, QStringLiteral("削除")},
            {u.SpeedButton3, "SpeedButton3", 72, QStringLiteral("終了")},
            {u.SpeedButton4, "SpeedButton4", 104, QStringLiteral("ネットワーク検出")},
            {u.SB_ViewSend, "SB_ViewSend", 152, QStringLiteral("送信BOX")},
            {u.SB_ViewRead, "SB_ViewRead", 176, QStringLiteral("受信BOX")},
            {u.SB_ViewMake, "SB_ViewMake", 200, QStringLiteral("メッセージ作成")},
        };
        for (const Expect& e : expected) {
            QCOMPARE(e.button->objectName(), QLatin1String(e.name));
            QCOMPARE(e.button->parentWidget(), u.Panel1);
            QCOMPARE(e.button->geometry(), QRect(e.left, 8, 25, 25));
            QCOMPARE(e.button->toolTip(), e.tip);
            QVERIFY(e.button->autoRaise());
            QCOMPARE(e.button->focusPolicy(), Qt::NoFocus);
            QCOMPARE(e.button->iconSize(), QSize(16, 16));
            QVERIFY(!e.button->icon().isNull());
        }
        // At creation the send box button is down and no view menu item carries the check mark.
        QVERIFY(u.SB_ViewSend->isChecked());
        QVERIFY(!u.SB_ViewRead->isChecked());
        QVERIFY(!u.SB_ViewMake->isChecked());
        QVERIFY(!u.SB_MailSend->isCheckable());
        QVERIFY(!u.Mn_ViewSend->isChecked());
        QVERIFY(!u.Mn_ViewRead->isChecked());
        QVERIFY(!u.Mn_ViewMake->isChecked());
        QCOMPARE(u.CurrentView(), View::Send);
    }

    void menusHoldEveryItemInOrder() {
        MainWindow& f = Form();
        const MainWindowParts u = Ui();
        QStringList top;
        for (const QAction* a : f.menuBar()->actions())
            top.append(a->text());
        QCOMPARE(top, QStringList({QStringLiteral("メール(&M)"), QStringLiteral("編集(&E)"),
                                   QStringLiteral("表示(&V)"), QStringLiteral("情報(&H)")}));
        QCOMPARE(u.Mn_Mail->objectName(), QStringLiteral("Mn_Mail"));
        QCOMPARE(u.Mn_Info->objectName(), QStringLiteral("Mn_Info"));

        CompareEntries(u.Mn_Mail, {Item("Mn_MailMake", QStringLiteral("メッセージ作成")), Sep("N6"),
                                   Item("Mn_MailSend", QStringLiteral("送信")),
                                   Item("Mn_MailReply", QStringLiteral("返信")), Sep("N2"),
                                   Item("Mn_MailDel", QStringLiteral("削除")), Sep("N1"),
                                   Item("Mn_MailClose", QStringLiteral("Varnelの終了"))});
        CompareEntries(u.Mn_MailDel, {Item("Mn_DelSelect", QStringLiteral("選択したﾒｰﾙを削除")),
                                      Item("Mn_DelAll", QStringLiteral("全て削除"))});
        CompareEntries(u.Mn_Edit, {Item("Mn_EditCopy", QStringLiteral("コピー")),
                                   Item("Mn_EditPast", QStringLiteral("貼り付け")),
                                   Item("Mn_EditCut", QStringLiteral("切り取り")), Sep("N4"),
                                   Item("Mn_EditSetting", QStringLiteral("設定"))});
        CompareEntries(u.Mn_View, {Item("Mn_ViewNet", QStringLiteral("ネットワーク再検出")), Sep("N5"),
                                   Item("Mn_ViewSend", QStringLiteral("送信BOX")),
                                   Item("Mn_ViewRead", QStringLiteral("受信BOX")),
                                   Item("Mn_ViewMake", QStringLiteral("メッセージ作成"))});
        CompareEntries(u.Mn_Info, {Item("Mn_InfoHelp", QStringLiteral("ヘルプ")), Sep("N3"),
                                   Item("Mn_InfoInfo", QStringLiteral("情報"))});
        CompareEntries(u.PM_View, {Item("PM_ViewSend", QStringLiteral("送信")),
                                   Item("PM_ViewReply", QStringLiteral("返信")), Sep("N12"),
                                   Item("PM_ViewSave", QStringLiteral("送信せずに保存")), Sep("N10"),
                                   Item("PM_ViewDelete", QStringLiteral("削除")),
                                   Item("PM_ViewAllDelete", QStringLiteral("全て削除")), Sep("N9"),
                                   Item("PM_ViewCancel", QStringLiteral("キャンセル"))});
        CompareEntries(u.PM_Tray, {Item("PM_Cancel", QStringLiteral("キャンセル")), Sep("N7"),
                                   Item("PM_Reraise", QStringLiteral("元に戻す")), Sep("N8"),
                                   Item("PM_Close", QStringLiteral("Varnelの終了"))});
        // No item has a keyboard shortcut but 送信 (Ctrl+Enter), 返信 (Ctrl+R) and ヘルプ (F1).
        for (const QAction* a : f.findChildren<QAction*>()) {
            const QKeySequence expected =
                a->objectName() == QLatin1String("Mn_MailSend") ? QKeySequence(QStringLiteral("Ctrl+Enter"))
                : a->objectName() == QLatin1String("Mn_MailReply") ? QKeySequence(QStringLiteral("Ctrl+R"))
                : a->objectName() == QLatin1String("Mn_InfoHelp")  ? QKeySequence(Qt::Key_F1)
                                                                   : QKeySequence();
            QVERIFY2(a->shortcut() == expected, qPrintable(a->objectName()));
        }
    }

    void viewSwitchingMovesMarkButtonAndSendButton_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<View>("view");
        QTest::addColumn<bool>("sendEnabled");
        QTest::newRow("menu receive box") << QStringLiteral("Mn_ViewRead") << View::Read << false;
        QTest::newRow("menu send box") << QStringLiteral("Mn_ViewSend") << View::Send << true;
        QTest::newRow("menu new message") << QStringLiteral("Mn_ViewMake") << View::Make << true;
        QTest::newRow("mail menu new message") << QStringLiteral("Mn_MailMake") << View::Make << true;
        QTest::newRow("button receive box") << QStringLiteral("SB_ViewRead") << View::Read << false;
        QTest::newRow("button send box") << QStringLiteral("SB_ViewSend") << View::Send << true;
        QTest::newRow("button new message") << QStringLiteral("SB_ViewMake") << View::Make << true;
    }
    void viewSwitchingMovesMarkButtonAndSendButton() {
        QFETCH(QString, command);
        QFETCH(View, view);
        QFETCH(bool, sendEnabled);
        MainWindow& f = Form();
        const MainWindowParts u = Ui();
        ShowWindow();
        // Start from a different view, so the switch is seen.
        (view == View::Read ? u.Mn_ViewMake : u.Mn_ViewRead)->trigger();
        if (auto* button = f.findChild<QToolButton*>(command))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            f.findChild<QAction*>(command)->trigger();

        QCOMPARE(u.CurrentView(), view);
        QCOMPARE(u.Mn_ViewSend->isChecked(), view == View::Send);
        QCOMPARE(u.Mn_ViewRead->isChecked(), view == View::Read);
        QCOMPARE(u.Mn_ViewMake->isChecked(), view == View::Make);
        QCOMPARE(u.SB_ViewSend->isChecked(), view == View::Send);
        QCOMPARE(u.SB_ViewRead->isChecked(), view == View::Read);
        QCOMPARE(u.SB_ViewMake->isChecked(), view == View::Make);
        QCOMPARE(u.SB_MailSend->isEnabled(), sendEnabled);
        QCOMPARE(u.Mm_Message->isReadOnly(), view != View::Make);
    }

    void mailMenuEnabling_data() {
        QTest::addColumn<View>("view");
        QTest::addColumn<bool>("rowSelected");
        QTest::addColumn<bool>("send");
        QTest::addColumn<bool>("deleteSelected");
        QTest::newRow("send box, row") << View::Send << true << true << true;
        QTest::newRow("send box, no row") << View::Send << false << true << false;
        QTest::newRow("receive box, row") << View::Read << true << false << true;
        QTest::newRow("receive box, no row") << View::Read << false << false << false;
        QTest::newRow("new message, row") << View::Make << true << true << true;
        QTest::newRow("new message, no row") << View::Make << false << true << false;
    }
    void mailMenuEnabling() {
        QFETCH(View, view);
        QFETCH(bool, rowSelected);
        QFETCH(bool, send);
        QFETCH(bool, deleteSelected);
        const MainWindowParts u = Ui();
        ShowWindow();
        PrepareView(view, rowSelected);
        // Start from the opposite state, so every item is seen to be set.
        for (QAction* a : {u.Mn_MailSend, u.Mn_DelSelect})
            a->setEnabled(!(a == u.Mn_MailSend ? send : deleteSelected));
        // The rules hold while the menu is open.
        u.Mn_Mail->popup(QPoint(10, 10));
        QTRY_VERIFY(u.Mn_Mail->isVisible());
        QCOMPARE(u.Mn_MailSend->isEnabled(), send);
        QCOMPARE(u.Mn_DelSelect->isEnabled(), deleteSelected);
        QVERIFY(u.Mn_DelAll->isEnabled());
        QVERIFY(u.Mn_MailMake->isEnabled());
        QVERIFY(u.Mn_MailClose->isEnabled());
        u.Mn_Mail->hide();
        // The tool bar's delete button is never disabled; the send button follows the view.
        QVERIFY(u.SpeedButton2->isEnabled());
        QCOMPARE(u.SB_MailSend->isEnabled(), send);
    }

    void editMenuEnabling_data() {
        QTest::addColumn<View>("view");
        QTest::addColumn<bool>("memoSelection");
        QTest::addColumn<bool>("clipboardText");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<bool>("cut");
        for (View view : {View::Send, View::Read, View::Make}) {
            const char* name = view == View::Send   ? "send box"
                               : view == View::Read ? "receive box"
                                                    : "new message";
            for (bool selection : {false, true}) {
                for (bool clip : {false, true}) {
                    const bool make = view == View::Make;
                    QTest::addRow("%s, selection %d, clipboard %d", name, selection, clip)
                        << view << selection << clip << selection << (make && clip) << (make && selection);
                }
            }
        }
    }
    void editMenuEnabling() {
        QFETCH(View, view);
        QFETCH(bool, memoSelection);
        QFETCH(bool, clipboardText);
        QFETCH(bool, copy);
        QFETCH(bool, paste);
        QFETCH(bool, cut);
        const MainWindowParts u = Ui();
        ShowWindow();
        PrepareView(view, view != View::Make); // a shown mail puts text in the memo
        if (view == View::Make) {
            u.Mm_Message->setFocus();
            QTest::keyClicks(u.Mm_Message, QStringLiteral("typed text"));
        }
        QVERIFY(!u.Mm_Message->toPlainText().isEmpty());
        if (memoSelection)
            u.Mm_Message->selectAll();
        if (clipboardText)
            QGuiApplication::clipboard()->setText(QStringLiteral("on the clipboard"));
        else
            QGuiApplication::clipboard()->clear();
        for (QAction* a : {u.Mn_EditCopy, u.Mn_EditPast, u.Mn_EditCut, u.Mn_EditSetting})
            a->setEnabled(false);

        OpenAndClose(u.Mn_Edit);
        QCOMPARE(u.Mn_EditCopy->isEnabled(), copy);
        QCOMPARE(u.Mn_EditPast->isEnabled(), paste);
        QCOMPARE(u.Mn_EditCut->isEnabled(), cut);
        QVERIFY(u.Mn_EditSetting->isEnabled());
    }

    void viewPopupEnabling_data() {
        QTest::addColumn<View>("view");
        QTest::addColumn<bool>("rowSelected");
        QTest::addColumn<bool>("networkFound");
        QTest::addColumn<bool>("send");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("remove");
        for (bool net : {true, false}) {
            QTest::addRow("row, new message, net %d", net)
                << View::Make << true << net << net << true << true;
            QTest::addRow("row, send box, net %d", net) << View::Send << true << net << net << true << true;
            QTest::addRow("row, receive box, net %d", net)
                << View::Read << true << net << false << false << true;
            QTest::addRow("no row, new message, net %d", net)
                << View::Make << false << net << false << true << false;
            QTest::addRow("no row, send box, net %d", net)
                << View::Send << false << net << false << false << false;
            QTest::addRow("no row, receive box, net %d", net)
                << View::Read << false << net << false << false << false;
        }
    }
    void viewPopupEnabling() {
        QFETCH(View, view);
        QFETCH(bool, rowSelected);
        QFETCH(bool, networkFound);
        QFETCH(bool, send);
        QFETCH(bool, save);
        QFETCH(bool, remove);
        const MainWindowParts u = Ui();
        ShowWindow();
        PrepareView(view, rowSelected);
        if (!networkFound) {
            m_rig->machine.provider.failGroups = true;
            u.Mn_ViewNet->trigger();
        }
        u.PM_ViewSend->setEnabled(!send);
        u.PM_ViewSave->setEnabled(!save);
        u.PM_ViewDelete->setEnabled(!remove);
        u.PM_ViewAllDelete->setEnabled(false);
        u.PM_ViewCancel->setEnabled(false); // the rules never touch it

        OpenAndClose(u.PM_View);
        QCOMPARE(u.PM_ViewSend->isEnabled(), send);
        QCOMPARE(u.PM_ViewSave->isEnabled(), save);
        QCOMPARE(u.PM_ViewDelete->isEnabled(), remove);
        QVERIFY(u.PM_ViewAllDelete->isEnabled());
        QVERIFY(!u.PM_ViewCancel->isEnabled());
    }

    void listContextMenuOpensThePopupWithItsRules() {
        const MainWindowParts u = Ui();
        ShowWindow();
        PrepareView(View::Read, true);
        u.PM_ViewDelete->setEnabled(false);
        const QPoint at = u.LV_View->visualRect(u.LV_Model->index(0, 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, u.LV_View->viewport()->mapToGlobal(at));
        QApplication::sendEvent(u.LV_View->viewport(), &event);
        QTRY_VERIFY(u.PM_View->isVisible());
        QVERIFY(u.PM_ViewDelete->isEnabled());
        QVERIFY(!u.PM_ViewSend->isEnabled()); // nothing to send from the receive box
        u.PM_View->hide();
    }

    void deleteCommandsReachTheListOperations() {
        const MainWindowParts u = Ui();
        ShowWindow();
        m_rig->StartWith(Record('S', "one") + Record('K', "two") + Record('S', "three"));
        u.Mn_ViewSend->trigger();
        QCOMPARE(u.LV_Model->rowCount(), 3);

        // The tool button with nothing selected does nothing.
        QTest::mouseClick(u.SpeedButton2, Qt::LeftButton);
        QCOMPARE(m_rig->machine.SendBox()->MarkCount(), 3);

        u.ClickRow(1, 1);
        QTest::mouseClick(u.SpeedButton2, Qt::LeftButton);
        QCOMPARE(m_rig->machine.SendBox()->MarkCount(), 2);
        QCOMPARE(u.LV_Model->Title(1), QStringLiteral("three"));

        u.ClickRow(0, 1);
        u.Mn_DelSelect->trigger();
        QCOMPARE(u.LV_Model->rowCount(), 1);
        m_rig->machine.prompt.yesNoAnswers = {true};
        u.Mn_DelAll->trigger();
        QCOMPARE(m_rig->machine.SendBox()->MarkCount(), 0);
        QCOMPARE(u.LV_Model->rowCount(), 0);
    }

    void networkCommandsListTheNetworkAgain() {
        const MainWindowParts u = Ui();
        const int before = m_rig->machine.provider.groupListings;
        u.Mn_ViewNet->trigger();
        QVERIFY(m_rig->machine.provider.groupListings > before);
        const int afterMenu = m_rig->machine.provider.groupListings;
        QTest::mouseClick(u.SpeedButton4, Qt::LeftButton);
        QVERIFY(m_rig->machine.provider.groupListings > afterMenu);
        QVERIFY(m_rig->machine.prompt.boxes.isEmpty()); // no message on this path
    }

    void exitCommandsCloseTheWindow_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("menu") << QStringLiteral("Mn_MailClose");
        QTest::newRow("tool bar") << QStringLiteral("SpeedButton3");
    }
    void exitCommandsCloseTheWindow() {
        QFETCH(QString, command);
        MainWindow& f = Form();
        ShowWindow();
        QSignalSpy finished(&m_rig->app, &Varnel::Finished);
        if (auto* button = f.findChild<QToolButton*>(command))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            f.findChild<QAction*>(command)->trigger();
        QVERIFY(f.Closed());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_rig->machine.tray.removes, 0); // not from the tray: nothing to take out of it
    }

    void dragBarWidensAndNarrowsTheTreeWithinLimits() {
        MainWindow& f = Form();
        const MainWindowParts u = Ui();
        ShowWindow();
        QWidget* bar = u.Pn_HMove;
        // Moves without a pressed button change nothing.
        QTest::mouseMove(bar, QPoint(-20, 10));
        QCOMPARE(u.TV_Network->width(), 121);

        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 10));
        QTest::mouseMove(bar, QPoint(-76, 10)); // to 45 px
        QCOMPARE(u.TV_Network->width(), 45);
        QCOMPARE(u.Pn_HMove->x(), 45);
        QCOMPARE(u.Pn_Right->x(), 48);
        QCOMPARE(u.Pn_Right->width(), 613 - 48);
        QTest::mouseMove(bar, QPoint(-10, 10)); // below 50: no narrower
        QCOMPARE(u.TV_Network->width(), 45);
        QTest::mouseMove(bar, QPoint(30, 10)); // back to the right: wider
        QCOMPARE(u.TV_Network->width(), 75);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(30, 10));
        QTest::mouseMove(bar, QPoint(30, 10)); // released: the bar stays
        QCOMPARE(u.TV_Network->width(), 75);

        // The right-hand limit is the window's outer width less 50.
        const int outer = f.frameGeometry().width();
        QTest::mousePress(bar, Qt::RightButton, {}, QPoint(0, 10)); // any button drags
        QTest::mouseMove(bar, QPoint(outer - 50 - 75 + 5, 10));
        QCOMPARE(u.TV_Network->width(), outer - 50 + 5);
        QTest::mouseMove(bar, QPoint(4, 10));
        QCOMPARE(u.TV_Network->width(), outer - 50 + 5);
        QTest::mouseMove(bar, QPoint(-15, 10));
        QCOMPARE(u.TV_Network->width(), outer - 50 - 10);
        QTest::mouseRelease(bar, Qt::RightButton, {}, QPoint(-15, 10));
        QTest::mouseMove(bar, QPoint(5, 10));
        QCOMPARE(u.TV_Network->width(), outer - 50 - 10);
    }

    void dragBarMovesTheListMemoBoundaryWithinLimits() {
        const MainWindowParts u = Ui();
        ShowWindow();
        QWidget* bar = u.Pn_VMove;
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(10, 1));
        QTest::mouseMove(bar, QPoint(10, 129)); // memo 169 -> 40 px
        QCOMPARE(u.LV_View->height(), 378);
        QCOMPARE(u.Mm_Message->height(), 40);
        QCOMPARE(u.Pn_VMove->y(), 378);
        QTest::mouseMove(bar, QPoint(10, 10)); // memo below 50: no lower
        QCOMPARE(u.LV_View->height(), 378);
        QTest::mouseMove(bar, QPoint(10, -338)); // list to 40 px
        QCOMPARE(u.LV_View->height(), 40);
        QCOMPARE(u.Mm_Message->height(), 421 - 43);
        QTest::mouseMove(bar, QPoint(10, -5)); // list below 50: no higher
        QCOMPARE(u.LV_View->height(), 40);
        QTest::mouseMove(bar, QPoint(10, 20));
        QCOMPARE(u.LV_View->height(), 60);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(10, 20));
        QTest::mouseMove(bar, QPoint(10, 40));
        QCOMPARE(u.LV_View->height(), 60);
    }

    void panesFollowTheWindowSize() {
        MainWindow& f = Form();
        const MainWindowParts u = Ui();
        ShowWindow();
        f.resize(f.width() + 100, f.height() + 50);
        QTRY_COMPARE(f.centralWidget()->width(), 713);
        // The tree and the list keep their share of the window.
        const int tree = qRound(121.0 * 713 / 613);
        QCOMPARE(u.TV_Network->width(), tree);
        QCOMPARE(u.Pn_Right->width(), 713 - tree - 3);
        const int list = qRound(249.0 * u.Pn_Right->height() / 421);
        QCOMPARE(u.LV_View->height(), list);
        QCOMPARE(u.Mm_Message->height(), u.Pn_Right->height() - list - 3);
    }

    void messageBytesAreTheMemoLinesInCp932_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty memo") << QString() << QByteArray();
        QTest::newRow("one line") << QStringLiteral("abc") << QByteArray("abc\r\n");
        QTest::newRow("two lines") << QStringLiteral("a\nb") << QByteArray("a\r\nb\r\n");
        QTest::newRow("final line break") << QStringLiteral("a\n") << QByteArray("a\r\n");
        QTest::newRow("empty line inside") << QStringLiteral("a\n\nb") << QByteArray("a\r\n\r\nb\r\n");
        QTest::newRow("only a line break") << QStringLiteral("\n") << QByteArray("\r\n");
        QTest::newRow("kanji") << QStringLiteral("日本") << QByteArray("\x93\xfa\x96\x7b\r\n");
        QTest::newRow("half-width katakana") << QStringLiteral("ｱｲ") << QByteArray("\xb1\xb2\r\n");
        const QString longLine(300, u'x');
        QTest::newRow("long line wrapped on screen") << longLine << QByteArray(300, 'x') + "\r\n";
    }
    void messageBytesAreTheMemoLinesInCp932() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const MainWindowParts u = Ui();
        ShowWindow();
        u.Mn_ViewMake->trigger();
        u.Mm_Message->setPlainText(text);
        if (text.size() == 300) // the point of the row: the memo shows it on several lines
            QVERIFY(u.Mm_Message->document()->firstBlock().layout()->lineCount() > 1);
        QByteArray body = "stale";
        QString bad = QStringLiteral("stale");
        QVERIFY(BodyBytes(u.Mm_Message->toPlainText(), body, bad));
        QCOMPARE(body, bytes);
        QVERIFY(bad.isEmpty());
    }

    void messageBytesNameACharacterCp932CannotHold() {
        const MainWindowParts u = Ui();
        u.Mn_ViewMake->trigger();
        const QString smile = QString::fromUcs4(U"\U0001F600");
        u.Mm_Message->setPlainText(QStringLiteral("ok\nno ") + smile);
        QByteArray body;
        QString bad;
        QVERIFY(!BodyBytes(u.Mm_Message->toPlainText(), body, bad));
        QCOMPARE(bad, smile);
        QVERIFY(body.isEmpty());
        QCOMPARE(u.Mm_Message->toPlainText(), QStringLiteral("ok\nno ") + smile); // nothing typed is lost
    }

    void clipboardCommandsActOnTheMemoWhateverHasFocus() {
        const MainWindowParts u = Ui();
        ShowWindow();
        u.Mn_ViewMake->trigger();
        u.Mm_Message->setFocus();
        QTest::keyClicks(u.Mm_Message, QStringLiteral("hello"));
        u.Mm_Message->selectAll();
        u.TV_Network->setFocus();

        u.Mn_EditCopy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("hello"));
        u.Mn_EditCut->trigger();
        QVERIFY(u.Mm_Message->toPlainText().isEmpty());
        u.Mn_EditPast->trigger();
        u.Mn_EditPast->trigger();
        QCOMPARE(u.Mm_Message->toPlainText(), QStringLiteral("hellohello"));
    }

    void shownMailCannotBeCutOrPastedInto() {
        const MainWindowParts u = Ui();
        ShowWindow();
        PrepareView(View::Send, true);
        const QString shown = u.Mm_Message->toPlainText();
        QVERIFY(!shown.isEmpty());
        u.Mm_Message->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        // Even when reached while disabled, the read-only memo refuses.
        u.Mn_EditCut->trigger();
        u.Mn_EditPast->trigger();
        QCOMPARE(u.Mm_Message->toPlainText(), shown);
        u.Mn_EditCopy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), shown);
    }

    void helpOpensOneNonModalWindowAtItsContents() {
        const MainWindowParts u = Ui();
        ShowWindow();
        QVERIFY(!u.Help());
        u.Mn_InfoHelp->trigger();
        HelpWindow* help = u.Help();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QVERIFY(!help->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        help->close();
        u.Mn_InfoHelp->trigger();
        QCOMPARE(u.Help(), help);
        QTRY_VERIFY(help->isVisible());
    }
    void mailboxRowsShowTheRecordsInTextOrder() {
        const MainWindowParts u = Ui();
        ShowWindow();
        // "会議" in CP932, a read mail with its read time, a delivered one and a saved one.
        m_rig->StartWith(Record('R', "\x89\xef\x8b\x63", "a\r\n", "1998/02/24 10:00:00") +
                         Record('G', "second") + Record('K', "third"));
        u.Mn_ViewSend->trigger();
        MailListModel& m = *u.LV_Model;
        QVERIFY(!m.Composing());
        QCOMPARE(m.rowCount(), 3);
        QCOMPARE(m.CellText(0, 0), QStringLiteral("会議"));
        QCOMPARE(m.CellText(0, 1), QStringLiteral("PC01"));
        QCOMPARE(m.CellText(0, 2), QStringLiteral("PC02"));
        QCOMPARE(m.CellText(0, 3), QStringLiteral("1998/02/23 9:05:07"));
        QCOMPARE(m.CellText(0, 4), QStringLiteral("1998/02/24 10:00:00"));
        QCOMPARE(m.CellText(1, 4), QString());
        QCOMPARE(m.Title(2), QStringLiteral("third"));
        QCOMPARE(m.Image(0), 3);
        QCOMPARE(m.Image(1), 2);
        QCOMPARE(m.Image(2), 0);
        QCOMPARE(m.Image(3), -1);
        QCOMPARE(m.CellText(3, 0), QString());
        QCOMPARE(m.data(m.index(1, 1)).toString(), QStringLiteral("PC01"));
        QVERIFY(!m.data(m.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!m.data(m.index(0, 1), Qt::DecorationRole).isValid());
        QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(m.SenderBytes(0).isEmpty()); // only recipient rows carry bytes of their own
        QVERIFY(!u.LV_View->viewport()->grab().isNull());
    }

    void listEndsAtARecordWithAnUnknownLetter() {
        const MainWindowParts u = Ui();
        m_rig->StartWith(Record('S', "first") + Record('X', "odd") + Record('K', "after"));
        u.Mn_ViewSend->trigger();
        QCOMPARE(u.LV_Model->rowCount(), 1);
        QCOMPARE(u.LV_Model->Title(0), QStringLiteral("first"));
    }

    void listKeepsWhatItWasFilledWithUntilRefilled() {
        const MainWindowParts u = Ui();
        ShowWindow();
        m_rig->StartWith(Record('S', "first") + Record('S', "second"));
        u.Mn_ViewSend->trigger();
        QCOMPARE(u.LV_Model->Title(1), QStringLiteral("second"));
        // The mailbox changes and even goes away (as at the close); the list shows its rows safely.
        m_rig->app.Post().DeleteAll(Box::Send);
        QCOMPARE(u.LV_Model->Title(1), QStringLiteral("second"));
        m_rig->app.RequestClose();
        QVERIFY(!m_rig->machine.SendBox());
        QCOMPARE(u.LV_Model->rowCount(), 2);
        QCOMPARE(u.LV_Model->Title(0), QStringLiteral("first"));
        QVERIFY(!u.LV_View->viewport()->grab().isNull());
        u.Mn_ViewSend->trigger();
        QCOMPARE(u.LV_Model->rowCount(), 0);
    }

    void setImageChangesOnlyThePictureInTheList() {
        const MainWindowParts u = Ui();
        m_rig->StartWith({}, Record('S', "first"));
        u.Mn_ViewRead->trigger();
        QSignalSpy changed(u.LV_Model, &QAbstractItemModel::dataChanged);
        u.LV_Model->SetImage(0, 3);
        QCOMPARE(u.LV_Model->Image(0), 3);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
        QCOMPARE(m_rig->machine.ReceiveBox()->StatusOf(0), 1);
        u.LV_Model->SetImage(0, 3); // no change, no notice
        u.LV_Model->SetImage(0, 7); // not a picture
        u.LV_Model->SetImage(5, 1); // not a row
        QCOMPARE(changed.count(), 1);
        QCOMPARE(u.LV_Model->Image(0), 3);
    }

    void recipientRowsHoldTheirBytesAndEditableTitles() {
        const MainWindowParts u = Ui();
        ShowWindow();
        u.Mn_ViewMake->trigger();
        MailListModel& m = *u.LV_Model;
        QVERIFY(m.Composing());
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.AppendRow(QStringLiteral("会議"), "PC01", "\x83\x7a\x83\x58\x83\x67"), 0); // "ホスト"
        QCOMPARE(m.AppendRow(QStringLiteral("会議"), "PC01", "PC03"), 1);
        QCOMPARE(m.SenderBytes(0), QByteArray("PC01"));
        QCOMPARE(m.RecipientBytes(0), QByteArray("\x83\x7a\x83\x58\x83\x67"));
        QCOMPARE(m.CellText(0, 2), QStringLiteral("ホスト"));
        QCOMPARE(m.CellText(0, 3), QString());
        QCOMPARE(m.CellText(0, 4), QString());
        QCOMPARE(m.Image(1), 0);
        QVERIFY(m.flags(m.index(0, 0)) & Qt::ItemIsEditable);
        QVERIFY(!(m.flags(m.index(0, 2)) & Qt::ItemIsEditable));

        // Edit the title of the second row in place: select it, then the edit key.
        u.ClickRow(1, 0);
        QTest::keyClick(u.LV_View, Qt::Key_F2);
        QLineEdit* editor = nullptr;
        QTRY_VERIFY((editor = u.LV_View->viewport()->findChild<QLineEdit*>()));
        QTRY_VERIFY(editor->hasFocus());
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("new title"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(m.Title(1), QStringLiteral("new title"));
        QCOMPARE(m.Title(0), QStringLiteral("会議"));

        m.RemoveRowAt(0);
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(m.RecipientBytes(0), QByteArray("PC03"));
        m.RemoveRowAt(4);
        QCOMPARE(m.rowCount(), 1);
        m.ClearRows();
        QCOMPARE(m.rowCount(), 0);
        QVERIFY(m.Composing());
    }

    void mailboxRowsCannotBeEditedOrGrowRecipients() {
        const MainWindowParts u = Ui();
        ShowWindow();
        m_rig->StartWith(Record('S', "first"));
        u.Mn_ViewSend->trigger();
        u.ClickRow(0, 0);
        QTest::keyClick(u.LV_View, Qt::Key_F2);
        QTest::qWait(20);
        QVERIFY(!u.LV_View->viewport()->findChild<QLineEdit*>());
        QVERIFY(!u.LV_Model->setData(u.LV_Model->index(0, 0), QStringLiteral("changed")));
        QCOMPARE(u.LV_Model->AppendRow(QStringLiteral("t"), "A", "B"), -1);
        u.LV_Model->RemoveRowAt(0);
        QCOMPARE(u.LV_Model->rowCount(), 1);
        QCOMPARE(u.LV_Model->Title(0), QStringLiteral("first"));
    }

    void headerClickSortsTheRowsOfTheListsOwnModel() {
        const MainWindowParts u = Ui();
        ShowWindow();
        m_rig->StartWith(Record('S', "b") + Record('S', "a") + Record('S', "c"));
        u.Mn_ViewSend->trigger();
        QHeaderView* header = u.LV_View->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
        QCOMPARE(u.LV_Model->Title(0), QStringLiteral("a"));
        QCOMPARE(u.LV_Model->Title(2), QStringLiteral("c"));
        QCOMPARE(u.LV_View->indexAt(u.LV_View->visualRect(u.LV_Model->index(0, 0)).center()).row(), 0);
        QCOMPARE(u.LV_View->model(), u.LV_Model);
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"

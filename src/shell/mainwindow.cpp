#include "shell/mainwindow.h"

#include "shell/arrivalnotice.h"
#include "shell/clientarea.h"
#include "shell/composer.h"
#include "shell/deliveryview.h"
#include "shell/dialogsupport.h"
#include "shell/helpwindow.h"
#include "shell/icons.h"
#include "shell/infodialog.h"
#include "shell/lifecycle.h"
#include "shell/mailcheck.h"
#include "shell/maillistmodel.h"
#include "shell/mailviews.h"
#include "shell/networktree.h"
#include "shell/sessionmemory.h"
#include "shell/settingdialog.h"
#include "shell/texts.h"
#include "shell/trayservice.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <array>

namespace varnel {

namespace {

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void AddSeparator(QMenu* menu, const char* name) {
    QAction* separator = menu->addSeparator();
    if (name)
        separator->setObjectName(QLatin1String(name));
}

QMenu* AddMenu(QWidget* parentMenu, const char* name, const QString& caption) {
    QMenu* menu = nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(parentMenu))
        menu = bar->addMenu(caption);
    else
        menu = qobject_cast<QMenu*>(parentMenu)->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

// A tool button that shows its action: the action's check mark moves the button, never the reverse.
class CommandButton final : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void checkStateSet() override { QAbstractButton::checkStateSet(); }
};

} // namespace

MainWindow::MainWindow(Varnel& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(texts::Caption());
    setFont(icons::UiFont());
    setWindowIcon(icons::Window());

    m_client = new ClientArea(this);
    setCentralWidget(m_client);
    BuildMenus();
    BuildToolBar();

    m_views = std::make_unique<MailViews>(app, *m_client->ToolPanel(), *m_client->MailList(),
                                          *m_client->MailModel(), *m_client->Memo());
    m_network = std::make_unique<NetworkTree>(app, *m_client->NetworkTree());
    m_tray = std::make_unique<WindowTray>(*this, app.Platform().tray);
    m_arrivalNotice = std::make_unique<ArrivalNotice>(app, *this, *m_views, *m_tray);
    m_mailCheck = std::make_unique<MailCheck>(app, *this, *m_views, *m_tray, *m_arrivalNotice);
    m_composer = std::make_unique<Composer>(app, *this, *m_views, *m_client->MailModel(), *m_client->Memo(),
                                            *m_network);
    m_lifecycle = std::make_unique<Lifecycle>(app, *this, *m_network, *m_views, *m_mailCheck, *m_tray);
    m_memory = std::make_unique<SessionMemory>(app, *this, *m_client, *m_views);
    m_lifecycle->rememberWindow = [this] { m_memory->Save(); };
    m_delivery = std::make_unique<DeliveryView>(app, *this, *m_client->MailModel());
    m_mailCheck->afterCheck = [this] { m_delivery->Update(); };

    // The status bar: the unread count always, and a word after a command.
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(false);
    m_unreadLabel = new QLabel(statusBar());
    m_unreadLabel->setObjectName(QStringLiteral("Lb_Unread"));
    // Without a size grip the last label would touch the window's edge.
    m_unreadLabel->setContentsMargins(0, 0, 6, 0);
    statusBar()->addPermanentWidget(m_unreadLabel);
    ShowUnreadCount(0);

    WireCommands();

    // The design sizes are those of the client area; the menu bar comes on top of it, the status
    // bar (the unread count, the count of waiting copies) below.
    const QSize design = m_client->FirstSize();
    resize(design.width(),
           design.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The working parts go first, so no change notice of a widget coming apart reaches them.
MainWindow::~MainWindow() = default;

// Every tool button shows the menu's own action: one command, one enabling state, one handler.
void MainWindow::BuildToolBar() {
    struct Button {
        QAction* command;
        const char* name;
        int left;
        const char16_t* tip;
        icons::Tool glyph;
    };
    const std::array<Button, 7> buttons = {{
        {m_send, "SB_MailSend", 8, u"メール送信", icons::Tool::Send},
        {m_deleteSelected, "SpeedButton2", 40, u"削除", icons::Tool::Delete},
        {m_exit, "SpeedButton3", 72, u"終了", icons::Tool::Exit},
        {m_rescanNetwork, "SpeedButton4", 104, u"ネットワーク検出", icons::Tool::Network},
        {m_viewSendBox, "SB_ViewSend", 152, u"送信BOX", icons::Tool::SendBox},
        {m_viewReceiveBox, "SB_ViewRead", 176, u"受信BOX", icons::Tool::ReadBox},
        {m_viewCompose, "SB_ViewMake", 200, u"メッセージ作成", icons::Tool::Compose},
    }};
    QWidget* panel = m_client->ToolPanel();
    for (const Button& b : buttons) {
        // The menus show no pictures and no tips; the buttons show both.
        b.command->setToolTip(QString::fromUtf16(b.tip));
        b.command->setIcon(icons::ToolGlyph(b.glyph));
        b.command->setIconVisibleInMenu(false);
        auto* button = new CommandButton(panel);
        button->setObjectName(QLatin1String(b.name));
        button->setDefaultAction(b.command);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(b.left, 8, 25, 25);
        button->setIconSize(QSize(16, 16));
    }
    // Before the first view is shown the send box button is down, while no menu item is checked yet.
    panel->findChild<QToolButton*>(QStringLiteral("SB_ViewSend"))->setChecked(true);
}

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    m_mailMenu = AddMenu(bar, "Mn_Mail", QStringLiteral("メール(&M)"));
    m_compose = AddItem(m_mailMenu, "Mn_MailMake", QStringLiteral("メッセージ作成"));
    AddSeparator(m_mailMenu, "N6");
    m_send = AddItem(m_mailMenu, "Mn_MailSend", QStringLiteral("送信"));
    m_reply = AddItem(m_mailMenu, "Mn_MailReply", QStringLiteral("返信"));
    m_reply->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    // Ctrl+Enter (either Enter key) sends from wherever the focus is; the menu shows the first one,
    // "Ctrl+Enter", beside 送信.
    m_send->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Enter), QKeySequence(Qt::CTRL | Qt::Key_Return)});
    AddSeparator(m_mailMenu, "N2");
    QMenu* deleteMenu = AddMenu(m_mailMenu, "Mn_MailDel", QStringLiteral("削除"));
    m_deleteSelected = AddItem(deleteMenu, "Mn_DelSelect", QStringLiteral("選択したﾒｰﾙを削除"));
    m_deleteAll = AddItem(deleteMenu, "Mn_DelAll", QStringLiteral("全て削除"));
    AddSeparator(m_mailMenu, "N1");
    m_exit = AddItem(m_mailMenu, "Mn_MailClose", QStringLiteral("Varnelの終了"));

    m_editMenu = AddMenu(bar, "Mn_Edit", QStringLiteral("編集(&E)"));
    m_copy = AddItem(m_editMenu, "Mn_EditCopy", QStringLiteral("コピー"));
    m_paste = AddItem(m_editMenu, "Mn_EditPast", QStringLiteral("貼り付け"));
    m_cut = AddItem(m_editMenu, "Mn_EditCut", QStringLiteral("切り取り"));
    AddSeparator(m_editMenu, "N4");
    m_openSettings = AddItem(m_editMenu, "Mn_EditSetting", QStringLiteral("設定"));

    QMenu* viewMenu = AddMenu(bar, "Mn_View", QStringLiteral("表示(&V)"));
    m_rescanNetwork = AddItem(viewMenu, "Mn_ViewNet", QStringLiteral("ネットワーク再検出"));
    AddSeparator(viewMenu, "N5");
    m_viewSendBox = AddItem(viewMenu, "Mn_ViewSend", QStringLiteral("送信BOX"));
    m_viewReceiveBox = AddItem(viewMenu, "Mn_ViewRead", QStringLiteral("受信BOX"));
    m_viewCompose = AddItem(viewMenu, "Mn_ViewMake", QStringLiteral("メッセージ作成"));
    // The check mark shows the current view; none is set until the window is first shown.
    auto* viewGroup = new QActionGroup(this);
    viewGroup->setObjectName(QStringLiteral("ViewGroup"));
    viewGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* item : {m_viewSendBox, m_viewReceiveBox, m_viewCompose}) {
        item->setCheckable(true);
        viewGroup->addAction(item);
    }

    QMenu* infoMenu = AddMenu(bar, "Mn_Info", QStringLiteral("情報(&H)"));
    m_openHelp = AddItem(infoMenu, "Mn_InfoHelp", QStringLiteral("ヘルプ"));
    m_openHelp->setShortcut(QKeySequence(Qt::Key_F1));
    AddSeparator(infoMenu, "N3");
    m_openInfo = AddItem(infoMenu, "Mn_InfoInfo", QStringLiteral("情報"));

    m_listMenu = new QMenu(this);
    m_listMenu->setObjectName(QStringLiteral("PM_View"));
    m_sendFromList = AddItem(m_listMenu, "PM_ViewSend", QStringLiteral("送信"));
    m_replyFromList = AddItem(m_listMenu, "PM_ViewReply", QStringLiteral("返信"));
    AddSeparator(m_listMenu, "N12");
    m_saveWithoutSending = AddItem(m_listMenu, "PM_ViewSave", QStringLiteral("送信せずに保存"));
    AddSeparator(m_listMenu, "N10");
    m_deleteFromList = AddItem(m_listMenu, "PM_ViewDelete", QStringLiteral("削除"));
    m_deleteAllFromList = AddItem(m_listMenu, "PM_ViewAllDelete", QStringLiteral("全て削除"));
    AddSeparator(m_listMenu, "N9");
    AddItem(m_listMenu, "PM_ViewCancel", QStringLiteral("キャンセル")); // closes the menu, nothing more

    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("PM_Tray"));
    AddItem(m_trayMenu, "PM_Cancel", QStringLiteral("キャンセル")); // closes the menu, nothing more
    AddSeparator(m_trayMenu, "N7");
    m_restore = AddItem(m_trayMenu, "PM_Reraise", QStringLiteral("元に戻す"));
    AddSeparator(m_trayMenu, "N8");
    m_exitFromTray = AddItem(m_trayMenu, "PM_Close", QStringLiteral("Varnelの終了"));
}

// Every command of the menus, the tool bar, the tree and the tray reaches its handler here.
void MainWindow::WireCommands() {
    const auto onAction = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, handler);
    };
    MailViews& views = *m_views;
    Composer& composer = *m_composer;
    Lifecycle& lifecycle = *m_lifecycle;

    // The send command goes straight to the composer.
    connect(m_send, &QAction::triggered, &composer, &Composer::Send);
    const auto deleteSelected = [&views] { views.DeleteSelected(); };
    onAction(m_deleteSelected, deleteSelected);
    onAction(m_deleteFromList, deleteSelected);
    const auto deleteAll = [&views] { views.DeleteAll(); };
    onAction(m_deleteAll, deleteAll);
    onAction(m_deleteAllFromList, deleteAll);
    onAction(m_exit, [&lifecycle] { lifecycle.RequestClose(); });
    // From the tray menu the window comes back first, so no icon is left behind in the tray.
    onAction(m_exitFromTray, [this, &lifecycle] {
        m_tray->RestoreFromTray();
        lifecycle.RequestClose();
    });
    onAction(m_rescanNetwork, [this] { m_network->Rescan(); });
    onAction(m_viewSendBox, [&views] { views.SwitchTo(View::Send); });
    onAction(m_viewReceiveBox, [&views] { views.SwitchTo(View::Read); });
    const auto compose = [&views] { views.SwitchTo(View::Make); };
    onAction(m_viewCompose, compose);
    onAction(m_compose, compose);
    // The clipboard commands act on the memo whatever has the focus; the memo itself refuses to cut
    // or paste while it is read-only.
    QPlainTextEdit* memo = m_client->Memo();
    onAction(m_copy, [memo] { memo->copy(); });
    onAction(m_paste, [memo] { memo->paste(); });
    onAction(m_cut, [memo] { memo->cut(); });
    onAction(m_openSettings, [this] { m_app.SettingWindow().exec(); });
    onAction(m_openHelp, [this] { ShowHelp(); });
    onAction(m_openInfo, [this] { m_app.InfoWindow().exec(); });
    onAction(m_sendFromList, [&composer] { composer.SendFromList(); });
    const auto reply = [&composer] { composer.Reply(); };
    onAction(m_reply, reply);
    onAction(m_replyFromList, reply);
    // The key deletes the selected mails as 削除 does, only where the list has the focus (in the memo
    // it deletes text).
    auto* deleteKey = new QShortcut(QKeySequence(QKeySequence::Delete), m_client->MailList());
    deleteKey->setContext(Qt::WidgetShortcut);
    deleteKey->setObjectName(QStringLiteral("LV_DeleteKey"));
    connect(deleteKey, &QShortcut::activated, this, deleteSelected);
    onAction(m_saveWithoutSending, [&composer] { composer.SaveWithoutSending(); });
    onAction(m_restore, [this] { m_tray->RestoreFromTray(); });
    // A double click on a machine, or Enter or Space on it, adds it as a recipient.
    connect(m_client->NetworkTree(), &QTreeWidget::itemActivated, this,
            [&composer] { composer.AddRecipient(); });
    auto* spaceKey = new QShortcut(QKeySequence(Qt::Key_Space), m_client->NetworkTree());
    spaceKey->setContext(Qt::WidgetShortcut);
    spaceKey->setObjectName(QStringLiteral("TV_AddKey"));
    connect(spaceKey, &QShortcut::activated, &composer, &Composer::AddRecipient);

    connect(m_mailMenu, &QMenu::aboutToShow, this, [this] { UpdateMailMenu(); });
    // The key works whatever the menu showed last time; the handler itself refuses what it cannot do.
    // 選択したﾒｰﾙを削除 is also the tool bar's delete button, which is never disabled.
    connect(m_mailMenu, &QMenu::aboutToHide, this, [this] {
        m_reply->setEnabled(true);
        m_deleteSelected->setEnabled(true);
    });
    connect(m_editMenu, &QMenu::aboutToShow, this, [this] { UpdateEditMenu(); });
    connect(m_listMenu, &QMenu::aboutToShow, this, [this] { UpdateListMenu(); });
    QTreeView* list = m_client->MailList();
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
        // Opening the menu applies the enabling rules (aboutToShow).
        m_listMenu->popup(list->viewport()->mapToGlobal(pos));
    });
    connect(&views, &MailViews::ViewChanged, this, [this](View view) { ShowViewMarks(view); });
    connect(m_mailCheck.get(), &MailCheck::UnreadChanged, this,
            [this](int count) { ShowUnreadCount(count); });
    // A mail opened in the list changes its picture there: the count follows at once.
    connect(m_client->MailModel(), &QAbstractItemModel::dataChanged, this,
            [this] { m_mailCheck->ShowUnread(); });

    if (TrayService* tray = m_app.Platform().tray) {
        connect(tray, &TrayService::DoubleClicked, this, [this] { m_tray->RestoreFromTray(); });
        connect(tray, &TrayService::MenuRequested, this,
                [this](const QPoint& pos) { m_trayMenu->popup(pos); });
    }
}

void MainWindow::ShowViewMarks(View view) {
    QAction* mark = view == View::Send   ? m_viewSendBox
                    : view == View::Read ? m_viewReceiveBox
                                         : m_viewCompose;
    mark->setChecked(true);
    // A button follows its action's changes; the send box button was down before any action was.
    for (QToolButton* button : m_client->ToolPanel()->findChildren<QToolButton*>())
        if (button->isCheckable())
            button->setChecked(button->defaultAction()->isChecked());
    m_send->setEnabled(MailMenuRules(view, false).send);
}

void MainWindow::UpdateMailMenu() {
    const MailMenuState s = MailMenuRules(m_views->CurrentView(), m_views->SelectedRow() != -1);
    m_send->setEnabled(s.send);
    m_deleteSelected->setEnabled(s.deleteSelected);
    m_reply->setEnabled(ReplyRule(m_views->CurrentView(), m_views->SelectedRow() != -1));
}

void MainWindow::UpdateEditMenu() {
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    const EditMenuState s = EditMenuRules(
        m_views->CurrentView(), m_client->Memo()->textCursor().hasSelection(), clip && clip->hasText());
    m_copy->setEnabled(s.copy);
    m_paste->setEnabled(s.paste);
    m_cut->setEnabled(s.cut);
    m_openSettings->setEnabled(s.setting);
}

void MainWindow::UpdateListMenu() {
    const ViewPopupState s =
        ViewPopupRules(m_views->CurrentView(), m_views->SelectedRow() != -1, m_app.Post().NetworkFound());
    m_sendFromList->setEnabled(s.send);
    m_replyFromList->setEnabled(ReplyRule(m_views->CurrentView(), m_views->SelectedRow() != -1));
    m_saveWithoutSending->setEnabled(s.save);
    m_deleteFromList->setEnabled(s.remove);
    m_deleteAllFromList->setEnabled(s.removeAll);
}

void MainWindow::ShowUnreadCount(int count) {
    const QString text = texts::UnreadCount(count);
    m_unreadLabel->setText(text);
    m_tray->SetTip(texts::Caption() + u'\n' + text);
}

void MainWindow::ShowHelp() {
    if (!m_help) {
        m_help = new HelpWindow(this);
        m_help->setWindowFlag(Qt::Window, true);
        CentreOverOwner(m_help, this);
    }
    m_help->ShowContents();
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::Start() {
    m_lifecycle->Start();
    if (!m_lifecycle->Closed() && m_lifecycle->SettingsRead())
        m_memory->Restore();
}

void MainWindow::RequestClose() {
    m_lifecycle->RequestClose();
}

bool MainWindow::Closed() const {
    return m_lifecycle->Closed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_lifecycle->RequestClose();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_tray)
        m_tray->WindowStateChanged();
}

} // namespace varnel

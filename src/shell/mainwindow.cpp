#include "shell/mainwindow.h"

#include "shell/helpwindow.h"
#include "shell/icons.h"
#include "shell/maillistmodel.h"
#include "shell/trayservice.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <array>

namespace varnel {

namespace {

constexpr int kClientWidth = 613;
constexpr int kClientHeight = 462;
constexpr int kToolBarHeight = 41;
constexpr int kBarThickness = 3;
// A pane narrower (or lower) than this is not shrunk further by its dragging bar.
constexpr int kDragLimit = 50;

const QString kCaption = QStringLiteral("Varnel for Windows95");

// Enabling rules, one function per menu, from the state alone.
struct MailMenuState {
    bool send;
    bool deleteSelected;
};
MailMenuState MailMenuRules(TForm1::View view, bool rowSelected) {
    return {view != TForm1::View::Read, rowSelected};
}

struct EditMenuState {
    bool copy;
    bool paste;
    bool cut;
    bool setting;
};
EditMenuState EditMenuRules(TForm1::View view, bool memoSelection, bool clipboardText) {
    // Outside the new-message view the memo only shows stored mail, which must not change.
    const bool composing = view == TForm1::View::Make;
    return {memoSelection, composing && clipboardText, composing && memoSelection, true};
}

struct ViewPopupState {
    bool send;
    bool save;
    bool remove;
    bool removeAll;
};
ViewPopupState ViewPopupRules(TForm1::View view, bool rowSelected, bool networkFound) {
    ViewPopupState s{false, false, false, true};
    if (rowSelected) {
        s.send = view != TForm1::View::Read;
        s.save = view == TForm1::View::Make;
        s.remove = true;
    } else {
        s.save = view == TForm1::View::Make;
    }
    // Nothing goes out while the last listing found no machine.
    if (!networkFound)
        s.send = false;
    return s;
}

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

QFrame* DragBar(QWidget* parent, const char* name, Qt::CursorShape cursor) {
    auto* bar = new QFrame(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFrameShape(QFrame::NoFrame);
    bar->setCursor(cursor);
    return bar;
}

} // namespace

TForm1::TForm1(Varnel& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setFont(icons::UiFont());
    setWindowIcon(icons::Window());

    BuildLayout();
    BuildToolBar();
    BuildMenus();

    Tm_AutoTray = new QTimer(this);
    Tm_AutoTray->setObjectName(QStringLiteral("Tm_AutoTray"));
    Tm_AutoTray->setInterval(2000);
    Tm_CheckMail = new QTimer(this);
    Tm_CheckMail->setObjectName(QStringLiteral("Tm_CheckMail"));
    Tm_CheckMail->setInterval(2000);

    WireCommands();

    // The design sizes are those of the client area; the menu bar comes on top of it.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TForm1::~TForm1() {
    // The list's change notices must not reach the handlers while the window comes apart.
    if (LV_View)
        LV_View->disconnect(this);
    if (LV_View && LV_View->selectionModel())
        LV_View->selectionModel()->disconnect(this);
    if (LV_Model)
        LV_Model->disconnect(this);
}

void TForm1::BuildLayout() {
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(m_client);

    Panel1 = new QWidget(m_client);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    TV_Network = new QTreeWidget(m_client);
    TV_Network->setObjectName(QStringLiteral("TV_Network"));
    TV_Network->setHeaderHidden(true);
    TV_Network->setColumnCount(1);
    TV_Network->setIndentation(19);
    TV_Network->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV_Network->setExpandsOnDoubleClick(true);
    // The tree keeps the window background even where its parent has another colour.
    TV_Network->viewport()->setBackgroundRole(QPalette::Base);

    Pn_HMove = DragBar(m_client, "Pn_HMove", Qt::SizeHorCursor);

    Pn_Right = new QWidget(m_client);
    Pn_Right->setObjectName(QStringLiteral("Pn_Right"));

    LV_Model = new MailListModel(this);
    LV_Model->setObjectName(QStringLiteral("LV_Model"));
    LV_View = new QTreeView(Pn_Right);
    LV_View->setObjectName(QStringLiteral("LV_View"));
    LV_View->setRootIsDecorated(false);
    LV_View->setItemsExpandable(false);
    LV_View->setUniformRowHeights(true); // keeps a refill of a large mailbox cheap
    LV_View->setAllColumnsShowFocus(true);
    LV_View->setSortingEnabled(false);
    LV_View->setSelectionMode(QAbstractItemView::SingleSelection);
    LV_View->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_View->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
    LV_View->setContextMenuPolicy(Qt::CustomContextMenu);
    LV_View->setModel(LV_Model);
    QHeaderView* header = LV_View->header();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    const std::array<int, MailListModel::kColumns> widths = {100, 80, 80, 110, 110};
    for (int col = 0; col < MailListModel::kColumns; ++col)
        header->resizeSection(col, widths[size_t(col)]);

    Pn_VMove = DragBar(Pn_Right, "Pn_VMove", Qt::SizeVerCursor);

    Mm_Message = new QPlainTextEdit(Pn_Right);
    Mm_Message->setObjectName(QStringLiteral("Mm_Message"));
    Mm_Message->setReadOnly(true);
    Mm_Message->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    // Tab order: tree, list, memo, tool bar.
    setTabOrder(TV_Network, LV_View);
    setTabOrder(LV_View, Mm_Message);

    m_client->installEventFilter(this);
    Pn_Right->installEventFilter(this);
    Pn_HMove->installEventFilter(this);
    Pn_VMove->installEventFilter(this);

    m_client->resize(kClientWidth, kClientHeight);
    LayoutClient();
}

void TForm1::BuildToolBar() {
    struct Button {
        QToolButton** slot;
        const char* name;
        int left;
        const char16_t* tip;
        icons::Tool glyph;
    };
    const std::array<Button, 7> buttons = {{
        {&SB_MailSend, "SB_MailSend", 8, u"メール送信", icons::Tool::Send},
        {&SpeedButton2, "SpeedButton2", 40, u"削除", icons::Tool::Delete},
        {&SpeedButton3, "SpeedButton3", 72, u"終了", icons::Tool::Exit},
        {&SpeedButton4, "SpeedButton4", 104, u"ネットワーク検出", icons::Tool::Network},
        {&SB_ViewSend, "SB_ViewSend", 152, u"送信BOX", icons::Tool::SendBox},
        {&SB_ViewRead, "SB_ViewRead", 176, u"受信BOX", icons::Tool::ReadBox},
        {&SB_ViewMake, "SB_ViewMake", 200, u"メッセージ作成", icons::Tool::Compose},
    }};
    for (const Button& b : buttons) {
        auto* button = new QToolButton(Panel1);
        button->setObjectName(QLatin1String(b.name));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(b.left, 8, 25, 25);
        button->setToolTip(QString::fromUtf16(b.tip));
        button->setIcon(icons::ToolGlyph(b.glyph));
        button->setIconSize(QSize(16, 16));
        *b.slot = button;
    }

    // The three view buttons are one radio group: exactly one is down.
    auto* group = new QButtonGroup(Panel1);
    group->setObjectName(QStringLiteral("ViewButtons"));
    group->setExclusive(true);
    for (QToolButton* button : {SB_ViewSend, SB_ViewRead, SB_ViewMake}) {
        button->setCheckable(true);
        group->addButton(button);
    }
    SB_ViewSend->setChecked(true);
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    Mn_Mail = AddMenu(bar, "Mn_Mail", QStringLiteral("メール(&M)"));
    Mn_MailMake = AddItem(Mn_Mail, "Mn_MailMake", QStringLiteral("メッセージ作成"));
    AddSeparator(Mn_Mail, "N6");
    Mn_MailSend = AddItem(Mn_Mail, "Mn_MailSend", QStringLiteral("送信"));
    AddSeparator(Mn_Mail, "N2");
    Mn_MailDel = AddMenu(Mn_Mail, "Mn_MailDel", QStringLiteral("削除"));
    Mn_DelSelect = AddItem(Mn_MailDel, "Mn_DelSelect", QStringLiteral("選択したﾒｰﾙを削除"));
    Mn_DelAll = AddItem(Mn_MailDel, "Mn_DelAll", QStringLiteral("全て削除"));
    AddSeparator(Mn_Mail, "N1");
    Mn_MailClose = AddItem(Mn_Mail, "Mn_MailClose", QStringLiteral("Varnelの終了"));

    Mn_Edit = AddMenu(bar, "Mn_Edit", QStringLiteral("編集(&E)"));
    Mn_EditCopy = AddItem(Mn_Edit, "Mn_EditCopy", QStringLiteral("コピー"));
    Mn_EditPast = AddItem(Mn_Edit, "Mn_EditPast", QStringLiteral("貼り付け"));
    Mn_EditCut = AddItem(Mn_Edit, "Mn_EditCut", QStringLiteral("切り取り"));
    AddSeparator(Mn_Edit, "N4");
    Mn_EditSetting = AddItem(Mn_Edit, "Mn_EditSetting", QStringLiteral("設定"));

    Mn_View = AddMenu(bar, "Mn_View", QStringLiteral("表示(&V)"));
    Mn_ViewNet = AddItem(Mn_View, "Mn_ViewNet", QStringLiteral("ネットワーク再検出"));
    AddSeparator(Mn_View, "N5");
    Mn_ViewSend = AddItem(Mn_View, "Mn_ViewSend", QStringLiteral("送信BOX"));
    Mn_ViewRead = AddItem(Mn_View, "Mn_ViewRead", QStringLiteral("受信BOX"));
    Mn_ViewMake = AddItem(Mn_View, "Mn_ViewMake", QStringLiteral("メッセージ作成"));
    // The check mark among these three is the program's record of the current view; none is set
    // until the window is first shown.
    auto* viewGroup = new QActionGroup(this);
    viewGroup->setObjectName(QStringLiteral("ViewGroup"));
    viewGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* item : {Mn_ViewSend, Mn_ViewRead, Mn_ViewMake}) {
        item->setCheckable(true);
        viewGroup->addAction(item);
    }

    Mn_Info = AddMenu(bar, "Mn_Info", QStringLiteral("情報(&H)"));
    Mn_InfoHelp = AddItem(Mn_Info, "Mn_InfoHelp", QStringLiteral("ヘルプ"));
    AddSeparator(Mn_Info, "N3");
    Mn_InfoInfo = AddItem(Mn_Info, "Mn_InfoInfo", QStringLiteral("情報"));

    PM_View = new QMenu(this);
    PM_View->setObjectName(QStringLiteral("PM_View"));
    PM_ViewSend = AddItem(PM_View, "PM_ViewSend", QStringLiteral("送信"));
    AddSeparator(PM_View, "N12");
    PM_ViewSave = AddItem(PM_View, "PM_ViewSave", QStringLiteral("送信せずに保存"));
    AddSeparator(PM_View, "N10");
    PM_ViewDelete = AddItem(PM_View, "PM_ViewDelete", QStringLiteral("削除"));
    PM_ViewAllDelete = AddItem(PM_View, "PM_ViewAllDelete", QStringLiteral("全て削除"));
    AddSeparator(PM_View, "N9");
    PM_ViewCancel = AddItem(PM_View, "PM_ViewCancel", QStringLiteral("キャンセル"));

    PM_Tray = new QMenu(this);
    PM_Tray->setObjectName(QStringLiteral("PM_Tray"));
    PM_Cancel = AddItem(PM_Tray, "PM_Cancel", QStringLiteral("キャンセル"));
    AddSeparator(PM_Tray, "N7");
    PM_Reraise = AddItem(PM_Tray, "PM_Reraise", QStringLiteral("元に戻す"));
    AddSeparator(PM_Tray, "N8");
    PM_Close = AddItem(PM_Tray, "PM_Close", QStringLiteral("Varnelの終了"));
}

void TForm1::WireCommands() {
    auto route = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    auto routeButton = [this](QToolButton* button, void (TForm1::*handler)()) {
        connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    };

    route(Mn_MailSend, &TForm1::Mn_MailSendClick);
    routeButton(SB_MailSend, &TForm1::Mn_MailSendClick);
    route(Mn_DelSelect, &TForm1::PM_ViewDeleteClick);
    routeButton(SpeedButton2, &TForm1::PM_ViewDeleteClick);
    route(Mn_DelAll, &TForm1::PM_ViewAllDeleteClick);
    route(Mn_MailClose, &TForm1::Mn_MailCloseClick);
    routeButton(SpeedButton3, &TForm1::Mn_MailCloseClick);
    // From the tray menu the window comes back first, so no icon is left behind in the tray.
    connect(PM_Close, &QAction::triggered, this, [this] {
        RestoreFromTray();
        Mn_MailCloseClick();
    });
    route(Mn_ViewNet, &TForm1::Mn_ViewNetClick);
    routeButton(SpeedButton4, &TForm1::Mn_ViewNetClick);
    route(Mn_ViewSend, &TForm1::Mn_ViewSendClick);
    routeButton(SB_ViewSend, &TForm1::Mn_ViewSendClick);
    route(Mn_ViewRead, &TForm1::Mn_ViewReadClick);
    routeButton(SB_ViewRead, &TForm1::Mn_ViewReadClick);
    route(Mn_ViewMake, &TForm1::Mn_ViewMakeClick);
    route(Mn_MailMake, &TForm1::Mn_ViewMakeClick);
    routeButton(SB_ViewMake, &TForm1::Mn_ViewMakeClick);
    route(Mn_EditCopy, &TForm1::Mn_EditCopyClick);
    route(Mn_EditPast, &TForm1::Mn_EditPastClick);
    route(Mn_EditCut, &TForm1::Mn_EditCutClick);
    route(Mn_EditSetting, &TForm1::Mn_EditSettingClick);
    route(Mn_InfoHelp, &TForm1::Mn_InfoHelpClick);
    route(Mn_InfoInfo, &TForm1::Mn_InfoInfoClick);
    route(PM_ViewSend, &TForm1::PM_ViewSendClick);
    route(PM_ViewSave, &TForm1::PM_ViewSaveClick);
    route(PM_ViewDelete, &TForm1::PM_ViewDeleteClick);
    route(PM_ViewAllDelete, &TForm1::PM_ViewAllDeleteClick);
    route(PM_Reraise, &TForm1::PM_ReraiseClick);

    connect(Mn_Mail, &QMenu::aboutToShow, this, [this] { Mn_MailClick(); });
    connect(Mn_Edit, &QMenu::aboutToShow, this, [this] { Mn_EditClick(); });
    connect(PM_View, &QMenu::aboutToShow, this, [this] { PM_ViewPopup(); });
    connect(LV_View, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // Opening the menu applies the enabling rules (aboutToShow).
        PM_View->popup(LV_View->viewport()->mapToGlobal(pos));
    });

    // A click and every change notice of the list show the selected mail; the handler guards itself
    // against running inside itself.
    connect(LV_View, &QAbstractItemView::clicked, this, [this] { LV_ViewClick(); });
    connect(LV_View->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { LV_ViewClick(); });
    connect(LV_View->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { LV_ViewClick(); });
    connect(LV_Model, &QAbstractItemModel::dataChanged, this, [this] { LV_ViewClick(); });

    connect(TV_Network, &QTreeWidget::itemDoubleClicked, this, [this] { TV_NetworkDblClick(); });

    connect(Tm_AutoTray, &QTimer::timeout, this, [this] { Tm_AutoTrayTimer(); });
    // Queued, so the timer's own event is over when the handler runs: a timer does not fire again
    // while its event is being handled, and the check must go on inside the arrival box it opens.
    connect(
        Tm_CheckMail, &QTimer::timeout, this, [this] { Tm_CheckMailTimer(); }, Qt::QueuedConnection);

    if (TrayService* tray = m_app.services.tray) {
        connect(tray, &TrayService::DoubleClicked, this, [this] { RestoreFromTray(); });
        connect(tray, &TrayService::MenuRequested, this, [this](const QPoint& pos) { PM_Tray->popup(pos); });
    }
}

TForm1::View TForm1::CurrentView() const {
    if (Mn_ViewSend->isChecked())
        return View::Send;
    if (Mn_ViewRead->isChecked())
        return View::Read;
    if (Mn_ViewMake->isChecked())
        return View::Make;
    return View::Send;
}

void TForm1::SetView(View view) {
    switch (view) {
    case View::Send:
        Mn_ViewSend->setChecked(true);
        SB_ViewSend->setChecked(true);
        break;
    case View::Read:
        Mn_ViewRead->setChecked(true);
        SB_ViewRead->setChecked(true);
        break;
    case View::Make:
        Mn_ViewMake->setChecked(true);
        SB_ViewMake->setChecked(true);
        break;
    }
    SB_MailSend->setEnabled(view != View::Read);
}

int TForm1::SelectedRow() const {
    const QModelIndexList rows = LV_View->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows) {
        if (first == -1 || index.row() < first)
            first = index.row();
    }
    return first;
}

bool TForm1::MessageBytes(QByteArray& body, QString& badChar) const {
    body.clear();
    badChar.clear();
    QString text = Mm_Message->toPlainText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar::LineSeparator, QChar(u'\n'));
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    if (text.isEmpty())
        return true;
    // The memo's line list: every logical line, the empty one after a final line break left out.
    QStringList lines = text.split(QChar(u'\n'));
    if (lines.size() > 1 && lines.constLast().isEmpty())
        lines.removeLast();
    QString joined;
    for (const QString& line : std::as_const(lines)) {
        joined += line;
        joined += QStringLiteral("\r\n");
    }
    QByteArray bytes;
    if (!cp932::Encode(joined, bytes, &badChar))
        return false;
    body = bytes;
    return true;
}

void TForm1::Mn_MailClick() {
    const MailMenuState s = MailMenuRules(CurrentView(), SelectedRow() != -1);
    Mn_MailSend->setEnabled(s.send);
    Mn_DelSelect->setEnabled(s.deleteSelected);
}

void TForm1::Mn_EditClick() {
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    const EditMenuState s =
        EditMenuRules(CurrentView(), Mm_Message->textCursor().hasSelection(), clip && clip->hasText());
    Mn_EditCopy->setEnabled(s.copy);
    Mn_EditPast->setEnabled(s.paste);
    Mn_EditCut->setEnabled(s.cut);
    Mn_EditSetting->setEnabled(s.setting);
}

void TForm1::PM_ViewPopup() {
    const ViewPopupState s =
        ViewPopupRules(CurrentView(), SelectedRow() != -1, m_app.netBrowser.NetworkFound);
    PM_ViewSend->setEnabled(s.send);
    PM_ViewSave->setEnabled(s.save);
    PM_ViewDelete->setEnabled(s.remove);
    PM_ViewAllDelete->setEnabled(s.removeAll);
}

// The clipboard commands act on the memo whatever has the focus; the memo itself refuses to cut or
// paste while it is read-only.
void TForm1::Mn_EditCopyClick() {
    Mm_Message->copy();
}

void TForm1::Mn_EditPastClick() {
    Mm_Message->paste();
}

void TForm1::Mn_EditCutClick() {
    Mm_Message->cut();
}

void TForm1::Mn_InfoHelpClick() {
    if (!m_help) {
        m_help = new HelpWindow(this);
        m_help->setWindowFlag(Qt::Window, true);
    }
    m_help->ShowContents();
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void TForm1::LayoutClient() {
    const int w = m_client->width();
    const int h = m_client->height();
    const int paneHeight = std::max(0, h - kToolBarHeight);
    const int tree = std::clamp(m_treeWidth, 0, std::max(0, w));
    Panel1->setGeometry(0, 0, w, kToolBarHeight);
    TV_Network->setGeometry(0, kToolBarHeight, tree, paneHeight);
    Pn_HMove->setGeometry(tree, kToolBarHeight, kBarThickness, paneHeight);
    const int rightLeft = tree + kBarThickness;
    Pn_Right->setGeometry(rightLeft, kToolBarHeight, std::max(0, w - rightLeft), paneHeight);
    LayoutRight();
}

void TForm1::LayoutRight() {
    const int w = Pn_Right->width();
    const int h = Pn_Right->height();
    const int list = std::clamp(m_listHeight, 0, std::max(0, h));
    LV_View->setGeometry(0, 0, w, list);
    Pn_VMove->setGeometry(0, list, w, kBarThickness);
    const int memoTop = list + kBarThickness;
    Mm_Message->setGeometry(0, memoTop, w, std::max(0, h - memoTop));
}

bool TForm1::DragBarEvent(QObject* bar, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_dragging = true;
        return true;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return true;
    case QEvent::MouseMove:
        break;
    default:
        return false;
    }
    if (!m_dragging)
        return true;
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (bar == Pn_HMove) {
        const int x = at.x();
        const int width = TV_Network->width();
        // The limits look at the size before the move, so one move may pass them by its length.
        if (width < kDragLimit && x < 0)
            return true;
        if (width > frameGeometry().width() - kDragLimit && x > 0)
            return true;
        m_treeWidth = std::max(0, width + x);
        LayoutClient();
    } else {
        const int y = at.y();
        const int height = LV_View->height();
        if (height < kDragLimit && y < 0)
            return true;
        if (Mm_Message->height() < kDragLimit && y > 0)
            return true;
        m_listHeight = std::max(0, height + y);
        LayoutRight();
    }
    return true;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Pn_HMove || watched == Pn_VMove)
        return DragBarEvent(watched, event);
    if (event->type() == QEvent::Resize) {
        if (watched == m_client)
            LayoutClient();
        else if (watched == Pn_Right)
            LayoutRight();
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace varnel

#include "shell/clientarea.h"

#include "shell/maillistmodel.h"

#include <QFrame>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <array>

namespace varnel {

namespace {

constexpr int kToolBarHeight = 41;
constexpr int kBarThickness = 3;
// A pane narrower (or lower) than this is not shrunk further by its dragging bar.
constexpr int kDragLimit = 50;

QFrame* DragBar(QWidget* parent, const char* name, Qt::CursorShape cursor) {
    auto* bar = new QFrame(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFrameShape(QFrame::NoFrame);
    bar->setCursor(cursor);
    return bar;
}

} // namespace

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ClientArea"));

    m_toolPanel = new QWidget(this);
    m_toolPanel->setObjectName(QStringLiteral("Panel1"));

    m_networkTree = new QTreeWidget(this);
    m_networkTree->setObjectName(QStringLiteral("TV_Network"));
    m_networkTree->setHeaderHidden(true);
    m_networkTree->setColumnCount(1);
    m_networkTree->setIndentation(19);
    m_networkTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_networkTree->setExpandsOnDoubleClick(true);
    // The tree keeps the window background even where its parent has another colour.
    m_networkTree->viewport()->setBackgroundRole(QPalette::Base);

    m_treeBar = DragBar(this, "Pn_HMove", Qt::SizeHorCursor);

    m_rightPane = new QWidget(this);
    m_rightPane->setObjectName(QStringLiteral("Pn_Right"));

    m_mailModel = new MailListModel(this);
    m_mailModel->setObjectName(QStringLiteral("LV_Model"));
    m_mailList = new QTreeView(m_rightPane);
    m_mailList->setObjectName(QStringLiteral("LV_View"));
    m_mailList->setRootIsDecorated(false);
    m_mailList->setItemsExpandable(false);
    m_mailList->setUniformRowHeights(true); // keeps a refill of a large mailbox cheap
    m_mailList->setAllColumnsShowFocus(true);
    m_mailList->setSortingEnabled(false);
    m_mailList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_mailList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_mailList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::SelectedClicked);
    m_mailList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_mailList->setModel(m_mailModel);
    QHeaderView* header = m_mailList->header();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    const std::array<int, MailListModel::kColumns> widths = {100, 80, 80, 110, 110};
    for (int col = 0; col < MailListModel::kColumns; ++col)
        header->resizeSection(col, widths[size_t(col)]);

    m_listBar = DragBar(m_rightPane, "Pn_VMove", Qt::SizeVerCursor);

    m_memo = new QPlainTextEdit(m_rightPane);
    m_memo->setObjectName(QStringLiteral("Mm_Message"));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    // Tab order: tree, list, memo, tool bar.
    setTabOrder(m_networkTree, m_mailList);
    setTabOrder(m_mailList, m_memo);

    installEventFilter(this);
    m_rightPane->installEventFilter(this);
    m_treeBar->installEventFilter(this);
    m_listBar->installEventFilter(this);

    resize(DesignSize());
    LayoutClient();
}

void ClientArea::LayoutClient() {
    const int w = width();
    const int h = height();
    const int paneHeight = std::max(0, h - kToolBarHeight);
    const int tree = std::clamp(m_treeWidth, 0, std::max(0, w));
    m_toolPanel->setGeometry(0, 0, w, kToolBarHeight);
    m_networkTree->setGeometry(0, kToolBarHeight, tree, paneHeight);
    m_treeBar->setGeometry(tree, kToolBarHeight, kBarThickness, paneHeight);
    const int rightLeft = tree + kBarThickness;
    m_rightPane->setGeometry(rightLeft, kToolBarHeight, std::max(0, w - rightLeft), paneHeight);
    LayoutRight();
}

void ClientArea::LayoutRight() {
    const int w = m_rightPane->width();
    const int h = m_rightPane->height();
    const int list = std::clamp(m_listHeight, 0, std::max(0, h));
    m_mailList->setGeometry(0, 0, w, list);
    m_listBar->setGeometry(0, list, w, kBarThickness);
    const int memoTop = list + kBarThickness;
    m_memo->setGeometry(0, memoTop, w, std::max(0, h - memoTop));
}

bool ClientArea::DragBarEvent(QObject* bar, QEvent* event) {
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
    if (bar == m_treeBar) {
        const int x = at.x();
        const int width = m_networkTree->width();
        // The limits look at the size before the move, so one move may pass them by its length. The
        // right-hand one is measured on the whole window, frame included.
        if (width < kDragLimit && x < 0)
            return true;
        if (width > window()->frameGeometry().width() - kDragLimit && x > 0)
            return true;
        m_treeWidth = std::max(0, width + x);
        LayoutClient();
    } else {
        const int y = at.y();
        const int height = m_mailList->height();
        if (height < kDragLimit && y < 0)
            return true;
        if (m_memo->height() < kDragLimit && y > 0)
            return true;
        m_listHeight = std::max(0, height + y);
        LayoutRight();
    }
    return true;
}

bool ClientArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_treeBar || watched == m_listBar)
        return DragBarEvent(watched, event);
    if (event->type() == QEvent::Resize) {
        if (watched == this)
            LayoutClient();
        else if (watched == m_rightPane)
            LayoutRight();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace varnel

#include "shell/clientarea.h"

#include "shell/maillistmodel.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <array>

namespace varnel {

namespace {

constexpr int kToolBarHeight = 41;
constexpr int kDesignTreeWidth = 121;
constexpr int kDesignListHeight = 249;
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

ClientArea::ClientArea(QWidget* parent)
    : QWidget(parent), m_treeShare(double(kDesignTreeWidth) / DesignSize().width()),
      m_listShare(double(kDesignListHeight) / (DesignSize().height() - kToolBarHeight)) {
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
    m_mailList->setSelectionMode(QAbstractItemView::ExtendedSelection); // Shift, Ctrl, Ctrl+A
    m_mailList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_mailList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::SelectedClicked);
    m_mailList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_mailList->setModel(m_mailModel);
    QHeaderView* header = m_mailList->header();
    header->setSortIndicatorShown(false); // sorting by a column is the MailFinder's
    header->setStretchLastSection(false);
    const std::array<int, MailListModel::kColumns> widths = {100, 80, 80, 110, 110};
    for (int col = 0; col < MailListModel::kColumns; ++col)
        header->resizeSection(col, widths[size_t(col)]);
    header->setMinimumSectionSize(20);
    connect(header, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
        if (col == 0 && !m_fitting && m_mailList->isVisible())
            m_titleWidth = size;
    });
    connect(m_mailModel, &QAbstractItemModel::modelReset, this, [this] { FitColumns(); });
    connect(m_mailModel, &QAbstractItemModel::rowsInserted, this, [this] { FitColumns(); });
    connect(m_mailModel, &QAbstractItemModel::dataChanged, this, [this] { FitColumns(); });

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
    m_mailList->viewport()->installEventFilter(this);

    resize(DesignSize());
    LayoutClient();
}

void ClientArea::LayoutClient() {
    const int w = width();
    const int h = height();
    const int paneHeight = std::max(0, h - kToolBarHeight);
    const int tree = std::clamp(qRound(m_treeShare * w), 0, std::max(0, w));
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
    const int list = std::clamp(qRound(m_listShare * h), 0, std::max(0, h));
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
        m_treeShare = double(std::max(0, width + x)) / std::max(1, this->width());
        LayoutClient();
    } else {
        const int y = at.y();
        const int height = m_mailList->height();
        if (height < kDragLimit && y < 0)
            return true;
        if (m_memo->height() < kDragLimit && y > 0)
            return true;
        m_listShare = double(std::max(0, height + y)) / std::max(1, m_rightPane->height());
        LayoutRight();
    }
    return true;
}

bool ClientArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_treeBar || watched == m_listBar)
        return DragBarEvent(watched, event);
    if (event->type() == QEvent::Resize) {
        if (watched == m_mailList->viewport())
            FitColumns();
        else if (watched == this)
            LayoutClient();
        else if (watched == m_rightPane)
            LayoutRight();
    }
    return QWidget::eventFilter(watched, event);
}

ClientArea::PaneSizes ClientArea::Panes() const {
    return {m_networkTree->width(), m_mailList->height(), size()};
}

void ClientArea::SetPanes(const PaneSizes& panes) {
    if (panes.client.width() <= 0 || panes.client.height() <= kToolBarHeight)
        return;
    m_treeShare = std::clamp(double(panes.treeWidth) / panes.client.width(), 0.0, 1.0);
    m_listShare = std::clamp(double(panes.listHeight) / (panes.client.height() - kToolBarHeight), 0.0, 1.0);
    LayoutClient();
}

QList<int> ClientArea::ColumnWidths() const {
    QList<int> widths;
    for (int col = 0; col < MailListModel::kColumns; ++col)
        widths.append(col == 0 ? m_titleWidth : m_mailList->header()->sectionSize(col));
    return widths;
}

void ClientArea::SetColumnWidths(const QList<int>& widths) {
    if (widths.size() != MailListModel::kColumns)
        return;
    QHeaderView* header = m_mailList->header();
    for (int col = 1; col < MailListModel::kColumns; ++col)
        header->resizeSection(col, std::clamp(widths[col], 20, 2000));
    m_titleWidth = std::clamp(widths[0], 0, 2000);
    FitColumns();
}

int ClientArea::TimeColumnWidth() const {
    const QFontMetrics metrics(m_mailList->font());
    QChar widest = u'0';
    for (char16_t d = u'0'; d <= u'9'; ++d) {
        if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widest))
            widest = QChar(d);
    }
    QString sample = QStringLiteral("0000/00/00 00:00:00");
    sample.replace(u'0', widest);
    // The item's text margin on either side, as the style lays out a cell, and a little air.
    const int margin =
        m_mailList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_mailList) + 1;
    return metrics.horizontalAdvance(sample) + 2 * margin + 4;
}

void ClientArea::FitColumns() {
    if (m_fitting)
        return;
    m_fitting = true;
    QHeaderView* header = m_mailList->header();
    int others = 0;
    for (int col = 1; col < MailListModel::kColumns; ++col) {
        int need = std::max(header->sectionSizeHint(col),
                            static_cast<const QAbstractItemView*>(m_mailList)->sizeHintForColumn(col));
        if (col >= 3)
            need = std::max(need, TimeColumnWidth());
        else
            need = std::min(need, 240); // a long host name does not push the times out of sight
        if (header->sectionSize(col) < need)
            header->resizeSection(col, need);
        others += header->sectionSize(col);
    }
    const int title = std::max(header->sectionSizeHint(0), m_titleWidth);
    header->resizeSection(0, std::max(title, m_mailList->viewport()->width() - others));
    m_fitting = false;
}

} // namespace varnel

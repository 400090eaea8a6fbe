#include "shell/mailfinder.h"

#include "shell/maillistmodel.h"
#include "shell/texts.h"
#include "text/textfold.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>

namespace varnel {

namespace {

// The field starts right of the tool buttons, or over the list when that stands further right.
constexpr int kFieldLeft = 236;
constexpr int kMargin = 8;

} // namespace

MailFinder::MailFinder(QWidget& toolPanel, QTreeView& list, MailListModel& model)
    : m_panel(toolPanel), m_list(list), m_model(model) {
    m_bar = new QWidget(&toolPanel);
    m_bar->setObjectName(QStringLiteral("SearchBar"));
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(0, 0, 0, 0);
    m_field = new QLineEdit(m_bar);
    m_field->setObjectName(QStringLiteral("SearchField"));
    m_field->setPlaceholderText(texts::SearchPlaceholder());
    m_field->setToolTip(texts::SearchTip());
    m_field->setClearButtonEnabled(true);
    m_count = new QLabel(m_bar);
    m_count->setObjectName(QStringLiteral("SearchCount"));
    layout->addWidget(m_field, 1);
    layout->addWidget(m_count);
    connect(m_field, &QLineEdit::textChanged, this, &MailFinder::Typed);

    auto* find = new QShortcut(QKeySequence(QKeySequence::Find), &list);
    find->setObjectName(QStringLiteral("SearchKey"));
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_field->setFocus(Qt::ShortcutFocusReason);
        m_field->selectAll();
    });
    m_field->installEventFilter(this); // Escape empties it

    // The header sorts; the view itself never does (its sorting stays off), so the box's order is
    // the list's until a column is chosen.
    QHeaderView* header = list.header();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &MailFinder::HeaderClicked);
    auto* reset = new QAction(texts::BoxOrder(), header);
    reset->setObjectName(QStringLiteral("LV_SortReset"));
    header->addAction(reset);
    header->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(reset, &QAction::triggered, this, &MailFinder::ResetOrder);
    ShowSortIndicator();

    m_panel.installEventFilter(this);
    if (QWidget* pane = m_list.parentWidget())
        pane->installEventFilter(this);
    Place();
    m_count->hide();
}

bool MailFinder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field) {
        // The field takes Escape only while it holds something, so the key goes on to the window
        // otherwise.
        const bool escape =
            (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier;
        if (escape && !m_field->text().isEmpty()) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                m_field->clear();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        Place();
    return QObject::eventFilter(watched, event);
}

void MailFinder::Place() {
    const int listLeft = m_panel.mapFromGlobal(m_list.mapToGlobal(QPoint(0, 0))).x();
    const int left = std::max(kFieldLeft, listLeft);
    const int height = m_bar->sizeHint().height();
    m_bar->setGeometry(left, (m_panel.height() - height) / 2, std::max(0, m_panel.width() - kMargin - left),
                       height);
}

void MailFinder::Typed(const QString& text) {
    const QString query = textfold::FoldQuery(text);
    if (query == m_query)
        return;
    m_query = query;
    Changed();
}

void MailFinder::HeaderClicked(int column) {
    if (m_composing || column < 0 || column >= MailListModel::kColumns) {
        ShowSortIndicator(); // a click in the new-message view sorts nothing
        return;
    }
    const auto clicked = static_cast<MailColumn>(column);
    if (m_column != clicked) {
        m_column = clicked;
        m_descending = false;
    } else if (!m_descending) {
        m_descending = true;
    } else {
        m_column.reset();
    }
    ShowSortIndicator();
    Changed();
}

void MailFinder::ResetOrder() {
    if (!m_column)
        return;
    m_column.reset();
    ShowSortIndicator();
    Changed();
}

void MailFinder::ShowSortIndicator() {
    QHeaderView* header = m_list.header();
    const bool shown = m_column && !m_composing;
    header->setSortIndicatorShown(shown);
    if (shown)
        header->setSortIndicator(int(*m_column), m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MailFinder::Changed() {
    if (m_composing)
        return;
    m_sameBoxes = true;
    Q_EMIT RowsChanged();
    m_sameBoxes = false;
}

std::vector<int> MailFinder::RowsOf(BoxRows& rows, const MailBox& box) {
    if (!m_query.isEmpty() && (!rows.matches || rows.matchedQuery != m_query)) {
        // A longer query matches among what the shorter one matched.
        const bool narrower =
            rows.matches && !rows.matchedQuery.isEmpty() && m_query.contains(rows.matchedQuery);
        rows.matches = rows.index.Find(m_query, narrower ? &*rows.matches : nullptr);
        rows.matchedQuery = m_query;
    }
    if (!m_column)
        return *rows.matches;
    if (!rows.sorted || rows.sorted->column != *m_column || rows.sorted->descending != m_descending)
        rows.sorted =
            Sorted{*m_column, m_descending, SortedRecords(box, rows.index, *m_column, m_descending)};
    if (m_query.isEmpty())
        return rows.sorted->records;
    std::vector<char> matching(size_t(rows.index.Count()), 0);
    for (int record : *rows.matches)
        matching[size_t(record)] = 1;
    std::vector<int> shown;
    shown.reserve(rows.matches->size());
    for (int record : rows.sorted->records) {
        if (matching[size_t(record)])
            shown.push_back(record);
    }
    return shown;
}

void MailFinder::ShowMailBox(View view, const MailBox* box) {
    m_composing = false;
    m_field->setEnabled(true);
    ShowSortIndicator();
    if (!box || view == View::Make) {
        m_model.ShowMailBox(nullptr);
    } else {
        BoxRows& rows = m_boxes[view == View::Send ? 0 : 1];
        if (!m_sameBoxes) {
            if (rows.index.Sync(*box)) {
                rows.sorted.reset();
                rows.matches.reset();
            } else if (m_column == MailColumn::ReadTime) {
                rows.sorted.reset(); // opening a mail gives it a read time without a refill
            }
        }
        if (m_query.isEmpty() && !m_column)
            m_model.ShowMailBox(box);
        else
            m_model.ShowMailBox(box, RowsOf(rows, *box));
    }
    m_count->setVisible(!m_query.isEmpty());
    m_count->setText(texts::MatchCount(m_model.rowCount()));
}

void MailFinder::ShowCompose() {
    m_composing = true;
    m_field->setEnabled(false);
    m_count->hide();
    ShowSortIndicator();
}

void MailFinder::ClearSearch() {
    m_field->clear();
}

QString MailFinder::OrderText() const {
    if (!m_column)
        return {};
    return QStringLiteral("%1,%2").arg(int(*m_column)).arg(m_descending ? 1 : 0);
}

void MailFinder::SetOrderText(const QString& text) {
    const QStringList parts = text.split(u',');
    bool columnOk = false;
    bool directionOk = false;
    const int column = parts.value(0).toInt(&columnOk);
    const int direction = parts.value(1).toInt(&directionOk);
    if (parts.size() != 2 || !columnOk || !directionOk || column < 0 || column >= MailListModel::kColumns ||
        (direction != 0 && direction != 1))
        return;
    m_column = static_cast<MailColumn>(column);
    m_descending = direction == 1;
    ShowSortIndicator();
    Changed(); // the list may be filled already
}

} // namespace varnel

#include "shell/mailviews.h"

#include "seal/sealdesk.h"
#include "shell/mailfinder.h"
#include "shell/maillistmodel.h"
#include "shell/prompt.h"
#include "shell/sealnotices.h"
#include "shell/texts.h"
#include "shell/titledialog.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QHash>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTreeView>

#include <algorithm>

namespace varnel {

MailViews::MailViews(Varnel& app, QWidget& toolPanel, QTreeView& list, MailListModel& model,
                     QPlainTextEdit& memo)
    : m_app(app), m_list(list), m_model(model), m_memo(memo),
      m_finder(std::make_unique<MailFinder>(toolPanel, list, model)) {
    connect(m_finder.get(), &MailFinder::RowsChanged, this, [this] { RefillKeepingSelection(); });
    // A click and every change notice of the list show the selected mail; the handler guards itself
    // against running inside itself.
    connect(&m_list, &QAbstractItemView::clicked, this, [this] { ShowSelectedMail(); });
    connect(m_list.selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { ShowSelectedMail(); });
    connect(m_list.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowSelectedMail(); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] { ShowSelectedMail(); });
}

Box MailViews::ShownBox() const {
    return m_view == View::Send ? Box::Send : Box::Receive;
}

MailViews::~MailViews() = default;

int MailViews::RecordOfRow(int row) const {
    return m_model.Composing() ? row : m_model.RecordAt(row);
}

int MailViews::SelectedCount() const {
    int count = 0;
    for (const QItemSelectionRange& range : m_list.selectionModel()->selection())
        count += range.height();
    return count;
}

int MailViews::SelectedRow() const {
    const QItemSelectionModel& selection = *m_list.selectionModel();
    const QModelIndex current = m_list.currentIndex();
    if (current.isValid() && selection.isRowSelected(current.row()))
        return RecordOfRow(current.row());
    int first = -1;
    for (const QItemSelectionRange& range : selection.selection()) {
        if (first == -1 || range.top() < first)
            first = range.top();
    }
    return first < 0 ? -1 : RecordOfRow(first);
}

std::vector<int> MailViews::SelectedRecords() const {
    std::vector<int> records;
    for (const QItemSelectionRange& range : m_list.selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            records.push_back(RecordOfRow(row));
    }
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}

void MailViews::SetView(View view) {
    m_view = view;
    Q_EMIT ViewChanged(view);
}

void MailViews::SwitchTo(View view) {
    if (m_view == View::Make)
        m_draft = CurrentDraft();
    SetView(view);
    ShowView();
    if (view == View::Make) {
        PutDraft(m_draft);
        m_draft = {};
    }
}

Draft MailViews::CurrentDraft() const {
    if (m_view != View::Make)
        return m_draft;
    Draft draft;
    for (int r = 0; r < m_model.rowCount(); ++r)
        draft.rows.append({m_model.Title(r), m_model.SenderBytes(r), m_model.RecipientBytes(r)});
    draft.text = m_memo.toPlainText();
    return draft;
}

void MailViews::SetDraft(const Draft& draft) {
    m_draft = draft;
}

// Later recipients take the title dialog's text, so it is given the draft's title again.
void MailViews::PutDraft(const Draft& draft) {
    for (const Draft::Row& row : draft.rows)
        m_model.AppendRow(row.title, row.sender, row.recipient);
    if (!draft.rows.isEmpty())
        m_app.TitleWindow().SetTitle(draft.rows.first().title);
    m_memo.setPlainText(draft.text);
    m_memo.moveCursor(QTextCursor::End);
}

void MailViews::BeginOnSendBox() {
    SetView(View::Send);
    m_memo.clear();
}

void MailViews::ShowView() {
    QScopedValueRollback guard(m_showing, true); // the refill's own change notices show nothing
    if (m_view == View::Make) {
        m_finder->ShowCompose();
        m_model.ShowCompose();
        m_list.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
        m_memo.clear();
        m_memo.setReadOnly(false);
    } else {
        SetSealMark();
        m_finder->ShowMailBox(m_view, m_app.Post().MailBoxOf(ShownBox()));
        m_list.setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_memo.clear();
        m_memo.setReadOnly(true);
    }
    m_list.clearSelection();
    m_list.setCurrentIndex(QModelIndex());
}

void MailViews::SetSealMark() {
    const SealDesk* desk = m_app.Post().Seals();
    if (!desk) {
        m_model.SetSealMark({});
        return;
    }
    if (ShownBox() == Box::Receive) {
        m_model.SetSealMark(
            [desk](const QByteArray& key, int) { return sealtexts::MailMark(desk, desk->ArrivedAs(key)); });
    } else {
        // A copy saved without sending never went anywhere.
        m_model.SetSealMark([desk](const QByteArray& key, int image) {
            return image == Saved ? QString() : sealtexts::SentMark(desk, desk->WentSealed(key));
        });
    }
}

void MailViews::SelectRowsQuietly(const std::vector<int>& rows, int current) {
    QScopedValueRollback guard(m_showing, true);
    QItemSelection selection;
    const int last = m_model.columnCount() - 1;
    for (size_t k = 0; k < rows.size();) {
        size_t end = k + 1; // a run of rows one after another is one range
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        selection.select(m_model.index(rows[k], 0), m_model.index(rows[end - 1], last));
        k = end;
    }
    QItemSelectionModel& model = *m_list.selectionModel();
    model.select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (current >= 0) {
        model.setCurrentIndex(m_model.index(current, 0), QItemSelectionModel::NoUpdate);
        m_list.scrollTo(m_model.index(current, 0));
    }
}

// The selected records are found again by their keys (and which of the records with that key each
// was), as arrivals in front of them move them down and a new search or order moves their rows.
void MailViews::RefillKeepingSelection() {
    if (m_view == View::Make) {
        return;
    }
    const std::vector<int> selected = SelectedRecords();
    const int shown = SelectedRow();
    // Record -> (key, how many records before it have that key), from the box the list showed.
    struct Identity {
        QByteArray key;
        int occurrence = 0;
        bool shown = false;
    };
    QHash<QByteArray, QList<Identity>> wanted;
    if (const MailBox* before = m_model.Shown(); before && !selected.empty()) {
        QHash<QByteArray, int> seen;
        QByteArray key;
        size_t next = 0;
        for (int i = 0; i <= selected.back() && next < selected.size(); ++i) {
            if (!before->KeyOf(i, key))
                key.clear();
            const int occurrence = seen[key]++;
            if (i == selected[next]) {
                wanted[key].append({key, occurrence, i == shown});
                ++next;
            }
        }
    }
    const MailBox* box = m_app.Post().MailBoxOf(ShownBox());
    {
        QScopedValueRollback guard(m_showing, true);
        m_finder->ShowMailBox(m_view, box);
    }
    std::vector<int> rows;
    int current = -1;
    if (box && !wanted.isEmpty()) {
        QHash<QByteArray, int> seen;
        QByteArray key;
        for (int i = 0; i < m_model.ListedRecords(); ++i) {
            if (!box->KeyOf(i, key))
                key.clear();
            const auto found = wanted.constFind(key);
            if (found == wanted.constEnd())
                continue;
            const int occurrence = seen[key]++;
            const int row = m_model.RowOf(i);
            for (const Identity& identity : *found) {
                if (identity.occurrence != occurrence || row < 0)
                    continue;
                rows.push_back(row);
                if (identity.shown)
                    current = row;
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    SelectRowsQuietly(rows, current);
    if (current < 0)
        m_memo.clear(); // the mail shown is gone, or no longer among the rows
}

bool MailViews::ShowReceivedMail(const QByteArray& key) {
    if (!m_app.Post().MailBoxesOpen())
        return false;
    SwitchTo(View::Read);
    const MailBox* box = m_model.Shown();
    QByteArray found;
    for (int i = 0; box && i < m_model.ListedRecords(); ++i) {
        if (!box->KeyOf(i, found) || found != key)
            continue;
        // The notice names this mail: a search that hides it gives way.
        if (m_model.RowOf(i) < 0 && m_finder->Searching())
            m_finder->ClearSearch();
        const QModelIndex index = m_model.index(m_model.RowOf(i), 0);
        if (!index.isValid())
            return false;
        m_list.scrollTo(index);
        m_list.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
        return true;
    }
    return false;
}

// Shows the mail under the cursor. A received mail shown by itself for the first time becomes
// Opened: its own record takes the letter R and the read time, and that header goes back to the
// sender as the read receipt. Among several selected rows an unread mail is not opened, and so its
// text is not shown either: the person has not chosen to read it.
void MailViews::ShowSelectedMail() {
    if (m_showing || m_view == View::Make)
        return;
    QScopedValueRollback guard(m_showing, true);
    m_memo.clear();
    const int r = SelectedRow();
    const int row = m_model.RowOf(r);
    const MailBox* box = m_app.Post().MailBoxOf(ShownBox());
    if (r < 0 || row < 0 || !box)
        return;
    const bool unread = m_view == View::Read && m_model.Image(row) == Delivered;
    if (unread && SelectedCount() > 1) {
        m_memo.setPlainText(texts::UnopenedAmongMany());
        return;
    }

    QStringList lines;
    QByteArray line;
    for (int j = 0; box->BodyLine(r, j, line); ++j)
        lines.append(cp932::Decode(line));
    m_memo.setPlainText(lines.join(u'\n'));

    if (!unread)
        return;
    m_model.SetImage(row, Opened);
    m_app.Post().Open(r);
    m_model.ReloadRow(row, *box); // its read time shows at once
}

void MailViews::DeleteSelected() {
    const std::vector<int> selected = SelectedRecords();
    if (selected.empty())
        return;
    if (m_view == View::Make) {
        for (auto row = selected.rbegin(); row != selected.rend(); ++row)
            m_model.RemoveRowAt(*row);
        return;
    }
    if (selected.size() == 1) {
        m_app.Post().Delete(ShownBox(), selected.front());
    } else {
        const QString question = texts::ConfirmDeleteSelected(int(selected.size()));
        if (!m_app.Platform().prompt->AskYesNo(m_list.window(), question, texts::Caption()))
            return;
        m_app.Post().DeleteMany(ShownBox(), selected);
    }
    ShowView();
}

bool MailViews::ConfirmDeleteAll() {
    QString text;
    switch (m_view) {
    case View::Make:
        if (m_model.rowCount() == 0 && m_memo.toPlainText().isEmpty())
            return true;
        text = texts::ConfirmDiscardDraft();
        break;
    case View::Send:
    case View::Read: {
        const int count = m_app.Post().Count(ShownBox());
        if (count == 0)
            return true;
        text = texts::ConfirmDeleteAll(m_view == View::Send ? texts::SendBoxName() : texts::ReceiveBoxName(),
                                       count);
        break;
    }
    }
    return m_app.Platform().prompt->AskYesNo(m_list.window(), text, texts::Caption());
}

void MailViews::DeleteAll() {
    if (!ConfirmDeleteAll())
        return;
    switch (m_view) {
    case View::Make:
        m_model.ClearRows();
        m_memo.clear();
        break;
    case View::Send:
    case View::Read:
        m_app.Post().DeleteAll(ShownBox());
        break;
    }
    ShowView();
}

} // namespace varnel

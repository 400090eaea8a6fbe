#include "shell/mailviews.h"

#include "shell/maillistmodel.h"
#include "shell/prompt.h"
#include "shell/texts.h"
#include "shell/titledialog.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTreeView>

namespace varnel {

MailViews::MailViews(Varnel& app, QTreeView& list, MailListModel& model, QPlainTextEdit& memo)
    : m_app(app), m_list(list), m_model(model), m_memo(memo) {
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

int MailViews::SelectedRow() const {
    const QModelIndexList rows = m_list.selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows) {
        if (first == -1 || index.row() < first)
            first = index.row();
    }
    return first;
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
        m_model.ShowCompose();
        m_list.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
        m_memo.clear();
        m_memo.setReadOnly(false);
    } else {
        m_model.ShowMailBox(m_app.Post().MailBoxOf(ShownBox()));
        m_list.setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_memo.clear();
        m_memo.setReadOnly(true);
    }
    m_list.clearSelection();
    m_list.setCurrentIndex(QModelIndex());
}

void MailViews::SelectRowQuietly(int row) {
    QScopedValueRollback guard(m_showing, true);
    const QModelIndex index = m_model.index(row, 0);
    m_list.selectionModel()->setCurrentIndex(index,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list.scrollTo(index);
}

// The selected record is found again by its key (and which of the records with that key it was), as
// arrivals in front of it move it down.
void MailViews::RefillKeepingSelection() {
    if (m_view == View::Make) {
        return;
    }
    const int selected = SelectedRow();
    const QByteArray key = m_model.KeyAt(selected);
    int occurrence = 0;
    for (int r = 0; r < selected; ++r)
        occurrence += m_model.KeyAt(r) == key ? 1 : 0;
    const MailBox* box = m_app.Post().MailBoxOf(ShownBox());
    {
        QScopedValueRollback guard(m_showing, true);
        m_model.ShowMailBox(box);
    }
    if (selected < 0 || key.isEmpty()) {
        m_memo.clear();
        return;
    }
    for (int r = 0; r < m_model.rowCount(); ++r) {
        if (m_model.KeyAt(r) == key && occurrence-- == 0) {
            SelectRowQuietly(r);
            return;
        }
    }
    m_memo.clear(); // the mail is gone
}

bool MailViews::ShowReceivedMail(const QByteArray& key) {
    if (!m_app.Post().MailBoxesOpen())
        return false;
    SwitchTo(View::Read);
    for (int r = 0; r < m_model.rowCount(); ++r) {
        if (m_model.KeyAt(r) == key) {
            const QModelIndex index = m_model.index(r, 0);
            m_list.scrollTo(index);
            m_list.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
            return true;
        }
    }
    return false;
}

// Shows the selected mail. A received mail shown for the first time becomes Opened: its own record
// takes the letter R and the read time, and that header goes back to the sender as the read receipt.
void MailViews::ShowSelectedMail() {
    if (m_showing || m_view == View::Make)
        return;
    QScopedValueRollback guard(m_showing, true);
    m_memo.clear();
    const int r = SelectedRow();
    const MailBox* box = m_app.Post().MailBoxOf(ShownBox());
    if (r < 0 || !box)
        return;

    QStringList lines;
    QByteArray line;
    for (int j = 0; box->BodyLine(r, j, line); ++j)
        lines.append(cp932::Decode(line));
    m_memo.setPlainText(lines.join(u'\n'));

    if (m_view != View::Read || m_model.Image(r) != Delivered)
        return;
    m_model.SetImage(r, Opened);
    m_app.Post().Open(r);
    m_model.ReloadRow(r, *box); // its read time shows at once
}

void MailViews::DeleteSelected() {
    const int r = SelectedRow();
    if (r < 0)
        return;
    switch (m_view) {
    case View::Make:
        m_model.RemoveRowAt(r);
        return;
    case View::Send:
    case View::Read:
        m_app.Post().Delete(ShownBox(), r);
        break;
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

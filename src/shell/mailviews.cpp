#include "shell/mailviews.h"

#include "shell/maillistmodel.h"
#include "shell/varnel.h"
#include "store/mailrecord.h"
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
    SetView(view);
    ShowView();
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
        m_model.ShowMailBox(m_view == View::Send ? m_app.sendBox.get() : m_app.receiveBox.get());
        m_list.setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_memo.clear();
        m_memo.setReadOnly(true);
    }
    m_list.clearSelection();
    m_list.setCurrentIndex(QModelIndex());
}

// Shows the selected mail. A received mail shown for the first time becomes Opened: its own record
// takes the letter R and the read time, and that header goes back to the sender as the read receipt.
void MailViews::ShowSelectedMail() {
    if (m_showing || m_view == View::Make)
        return;
    QScopedValueRollback guard(m_showing, true);
    m_memo.clear();
    const int r = SelectedRow();
    MailBox* box = m_view == View::Send ? m_app.sendBox.get() : m_app.receiveBox.get();
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
    const QByteArray time = m_app.services.clock->TimeText();
    box->SetStatusAt(r, Opened);
    box->InsertReadTime(r, time);
    QByteArray header;
    if (box->HeaderOf(r, header) && m_app.courier)
        m_app.courier->SendReadReceipt(header);
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
        if (m_app.sendBox)
            m_app.sendBox->DeleteRecord(r);
        break;
    case View::Read:
        if (m_app.receiveBox)
            m_app.receiveBox->DeleteRecord(r);
        break;
    }
    ShowView();
}

void MailViews::DeleteAll() {
    switch (m_view) {
    case View::Make:
        m_model.ClearRows();
        m_memo.clear();
        break;
    case View::Send:
        if (m_app.sendBox)
            m_app.sendBox->Clear();
        break;
    case View::Read:
        if (m_app.receiveBox)
            m_app.receiveBox->Clear();
        break;
    }
    ShowView();
}

} // namespace varnel

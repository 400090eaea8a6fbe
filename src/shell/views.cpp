#include "shell/maillistmodel.h"
#include "shell/mainwindow.h"
#include "shell/prompt.h"
#include "shell/varnel.h"
#include "store/mailrecord.h"
#include "text/cp932.h"

#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTreeView>

namespace varnel {

void TForm1::Mn_ViewSendClick() {
    SetView(View::Send);
    ShowView();
}

void TForm1::Mn_ViewReadClick() {
    SetView(View::Read);
    ShowView();
}

void TForm1::Mn_ViewMakeClick() {
    SetView(View::Make);
    ShowView();
}

// Refills the list for the current view and empties the memo. In the new-message view this discards
// the mail being written.
bool TForm1::ShowView() {
    QScopedValueRollback guard(m_showing, true); // the refill's own change notices show nothing
    if (CurrentView() == View::Make) {
        LV_Model->ShowCompose();
        LV_View->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::SelectedClicked);
        Mm_Message->clear();
        Mm_Message->setReadOnly(false);
    } else {
        LV_Model->ShowMailBox(CurrentView() == View::Send ? m_app.sendBox.get() : m_app.receiveBox.get());
        LV_View->setEditTriggers(QAbstractItemView::NoEditTriggers);
        Mm_Message->clear();
        Mm_Message->setReadOnly(true);
    }
    LV_View->clearSelection();
    LV_View->setCurrentIndex(QModelIndex());
    return true;
}

// Shows the selected mail. A received mail shown for the first time becomes Opened: its own record
// takes the letter R and the read time, and that header goes back to the sender as the read receipt.
void TForm1::LV_ViewClick() {
    if (m_showing || CurrentView() == View::Make)
        return;
    QScopedValueRollback guard(m_showing, true);
    Mm_Message->clear();
    const int r = SelectedRow();
    MailBox* box = CurrentView() == View::Send ? m_app.sendBox.get() : m_app.receiveBox.get();
    if (r < 0 || !box)
        return;

    QStringList lines;
    QByteArray line;
    for (int j = 0; box->BodyLine(r, j, line); ++j)
        lines.append(cp932::Decode(line));
    Mm_Message->setPlainText(lines.join(u'\n'));

    if (CurrentView() != View::Read || LV_Model->Image(r) != Delivered)
        return;
    LV_Model->SetImage(r, Opened);
    const QByteArray time = m_app.services.clock->TimeText();
    box->SetStatusAt(r, Opened);
    box->InsertReadTime(r, time);
    QByteArray header;
    if (box->HeaderOf(r, header) && m_app.courier)
        m_app.courier->SendReadReceipt(header);
}

void TForm1::PM_ViewSendClick() {
    if (CurrentView() == View::Make)
        SendComposed();
    else if (CurrentView() == View::Send)
        SendSelected(); // the receive box holds nothing to send: its rows are not send box records
}

// Stores the mail being written in the send box, one Saved copy per recipient row, without sending.
// With no recipient rows nothing is stored and the text stays.
void TForm1::PM_ViewSaveClick() {
    if (CurrentView() != View::Make || !m_app.sendBox)
        return;
    QList<Recipient> rows;
    QByteArray body;
    QString bad;
    if (!RowBytes(rows) || rows.isEmpty())
        return;
    if (!MessageBytes(body, bad)) {
        RefuseCharacter(bad, QStringLiteral("本文"));
        return;
    }
    if (!CheckOutgoing(rows, body, false))
        return;
    const QByteArray time = m_app.services.clock->TimeText();
    for (const Recipient& row : rows) {
        const QByteArray record = BuildHeader('K', row.title, row.sender, row.recipient, time) + body;
        if (!m_app.sendBox->Prepend(record)) {
            TellBoxFull(QStringLiteral("送信BOX"));
            break;
        }
    }
    ShowView();
}

void TForm1::PM_ViewDeleteClick() {
    const int r = SelectedRow();
    if (r < 0)
        return;
    switch (CurrentView()) {
    case View::Make:
        LV_Model->RemoveRowAt(r);
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

void TForm1::PM_ViewAllDeleteClick() {
    switch (CurrentView()) {
    case View::Make:
        LV_Model->ClearRows();
        Mm_Message->clear();
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

void TForm1::TellBoxFull(const QString& box) {
    m_app.services.prompt->Show(this,
                                QStringLiteral("%1がいっぱいです。不要なメールを削除してください。").arg(box),
                                QStringLiteral("Varnel for Windows95"), QMessageBox::Warning);
}

} // namespace varnel

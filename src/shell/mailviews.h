#pragma once

#include "shell/commandrules.h"
#include "shell/draft.h"

#include <QByteArray>

#include <QObject>
#include <memory>
#include <vector>

class QPlainTextEdit;
class QTreeView;

namespace varnel {

class MailFinder;
class MailListModel;
class Varnel;
enum class Box;

// The mail list and the memo under it: which view is shown, filling the list for it (through the
// search and the order of the MailFinder), showing the mail under the cursor (and opening an unread
// one when it alone is selected), deleting the selected rows or all.
class MailViews final : public QObject {
    Q_OBJECT
public:
    MailViews(Varnel& app, QWidget& toolPanel, QTreeView& list, MailListModel& model, QPlainTextEdit& memo);
    ~MailViews() override;

    View CurrentView() const { return m_view; }
    // The selected mail (the one under the cursor when several are selected) as its record index in
    // the mailbox, or in the new-message view its row; -1 when none is selected.
    int SelectedRow() const;
    // Every selected one the same way, small to large.
    std::vector<int> SelectedRecords() const;
    MailFinder& Finder() { return *m_finder; }

    // Marks the view as current (menu check mark and tool button follow through ViewChanged).
    void SetView(View view);
    // Marks the view and shows it. Leaving the new-message view keeps the mail being written aside;
    // coming back brings it back.
    void SwitchTo(View view);
    // Refills the list for the current view and empties the memo. In the new-message view this
    // discards the mail being written.
    void ShowView();
    // The start-up view: the send box, with an empty memo; the list is filled once the mailboxes
    // are read.
    void BeginOnSendBox();

    // Refills the mailbox view after arrivals or receipts, or for a new search or order; the selected
    // mails stay selected and the one shown stays shown.
    void RefillKeepingSelection();
    // Shows the receive box with the (first) mail of this record key selected and opened.
    bool ShowReceivedMail(const QByteArray& key);

    // The mail being written: from the widgets while the new-message view is shown, else the one
    // kept aside. SetDraft replaces the one kept aside (at start-up, before any view is shown).
    Draft CurrentDraft() const;
    void SetDraft(const Draft& draft);

    // Every selected row; two or more mails only after one question (いいえ by default).
    void DeleteSelected();
    // Asks first (いいえ by default) when there is anything to delete.
    void DeleteAll();

Q_SIGNALS:
    void ViewChanged(View view);

private:
    // How the list marks mail that is not sealed, for the box shown.
    void SetSealMark();
    // The mailbox the list shows in the send and receive views.
    Box ShownBox() const;
    void ShowSelectedMail();
    void PutDraft(const Draft& draft);
    bool ConfirmDeleteAll();
    // Selects the rows (and makes the row current) without showing anything.
    void SelectRowsQuietly(const std::vector<int>& rows, int current);
    int RecordOfRow(int row) const;
    // How many rows are selected.
    int SelectedCount() const;

    Varnel& m_app;
    QTreeView& m_list;
    MailListModel& m_model;
    QPlainTextEdit& m_memo;
    std::unique_ptr<MailFinder> m_finder;
    View m_view = View::Send;
    bool m_showing = false; // guards the showing steps against re-entry from change notices
    Draft m_draft;          // the mail being written, while another view is shown
};

} // namespace varnel

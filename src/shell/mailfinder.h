#pragma once

#include "shell/commandrules.h"
#include "store/mailorder.h"
#include "store/mailsearch.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QTreeView;
class QWidget;

namespace varnel {

class MailListModel;

// The search field above the mail list (`SearchField`, with the count of matches beside it) and the
// order of the list's rows. What is typed keeps the rows of the mailbox shown whose title, sender,
// recipient or text hold it, width and case folded; a click on a column header sorts by that
// column, the next one reverses, the third brings back the box's own order, newest first (so does
// 新しい順に戻す in the header's menu). Rows are only shown: no mailbox changes, no mail is opened.
class MailFinder final : public QObject {
    Q_OBJECT
public:
    MailFinder(QWidget& toolPanel, QTreeView& list, MailListModel& model);

    // Fills the list with the box's records that match, in the chosen order. The folded texts follow
    // the box: call it after every change of the box, as for any refill.
    void ShowMailBox(View view, const MailBox* box);
    // The new-message view: nothing to search or sort; the query waits for the next mailbox view.
    void ShowCompose();
    // Something is typed in the field.
    bool Searching() const { return !m_query.isEmpty(); }
    // Empties the field, as Escape does.
    void ClearSearch();

    // The chosen order for the next start: "column,0" small to large, "column,1" large to small,
    // empty for the box's order. SetOrderText passes over a text it cannot read.
    QString OrderText() const;
    void SetOrderText(const QString& text);

Q_SIGNALS:
    // What is typed or the order changed: the mailbox view shown takes its rows anew (ShowMailBox).
    void RowsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Sorted {
        MailColumn column;
        bool descending;
        std::vector<int> records;
    };
    struct BoxRows {
        MailSearchIndex index;
        std::optional<Sorted> sorted; // the last order, while no record came or went
        QString matchedQuery;         // what matches holds the records for
        std::optional<std::vector<int>> matches;
    };

    void Typed(const QString& text);
    void HeaderClicked(int column);
    void ResetOrder();
    void ShowSortIndicator();
    void Changed();
    void Place();
    std::vector<int> RowsOf(BoxRows& rows, const MailBox& box);

    QWidget& m_panel;
    QTreeView& m_list;
    MailListModel& m_model;
    QWidget* m_bar = nullptr;
    QLineEdit* m_field = nullptr;
    QLabel* m_count = nullptr;

    QString m_query; // folded
    std::optional<MailColumn> m_column;
    bool m_descending = false;
    std::array<BoxRows, 2> m_boxes; // send box, receive box
    bool m_sameBoxes = false;       // while RowsChanged is out: no mailbox changed since the last fill
    bool m_composing = false;
};

} // namespace varnel

#pragma once

#include "store/mailbox.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace varnel {

// The folded text of every record of one mailbox (title, sender, recipient and body; see textfold.h),
// so that what the person types is looked for with one scan over ready texts, not by decoding the
// mailbox again at each key.
//
// Sync follows the mailbox as it changes: a record that is still there keeps its folded text (known
// by its key and the length of its body), so new mail in front and deletions cost only what they
// touch. The mailbox itself is never changed, and neither is its order.
class MailSearchIndex {
public:
    // The indexed fields, in header order.
    enum Field { Title = 0, Sender = 1, Recipient = 2 };

    // One entry per listed record (while StatusOf is not -1), in the mailbox's order. True when a
    // record came or went since the last Sync.
    bool Sync(const MailBox& box);
    void Clear() { m_entries.clear(); }
    int Count() const { return int(m_entries.size()); }

    // The records, in mailbox order, whose title, sender, recipient or body hold the folded query.
    // An empty query matches all; one that cannot match (textfold::NeverMatches) none. With within,
    // only those records (ascending) are looked at: the matches of a shorter query that this one holds.
    std::vector<int> Find(QStringView foldedQuery, const std::vector<int>* within = nullptr) const;

    // The folded field of record i, for ordering by name; empty outside the index.
    QStringView FoldedField(int i, Field field) const;

private:
    struct Entry {
        size_t id = 0;  // the record's key and body length, hashed
        QString folded; // title, sender, recipient, body, each followed by textfold::kNoMatch
        int fieldEnds[3] = {0, 0, 0};
    };
    static size_t IdOf(const MailBox& box, int i);
    // Folded in scratch first, then copied at its length.
    static Entry Fold(const MailBox& box, int i, size_t id, QString& scratch);
    const Entry* EntryAt(int i) const;
    bool Holds(int i, QStringView foldedQuery) const;

    // Oldest first, so mail put in front of the box is appended: record i is entry Count() - 1 - i.
    std::vector<Entry> m_entries;
};

} // namespace varnel

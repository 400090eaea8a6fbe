#pragma once

#include "store/mailbox.h"
#include "store/mailsearch.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <limits>
#include <vector>

namespace varnel {

// Orders for looking at a mailbox: which record stands on which row. The mailbox keeps its own
// order (newest first); an order is a list of its record indices.

// The columns of the list, in header order: names and times.
enum class MailColumn : int { Title = 0, Sender = 1, Recipient = 2, SendTime = 3, ReadTime = 4 };

// The records 0..index.Count()-1 ordered by the column, small to large, or large to small when
// descending. Names order as a reader expects (width and case folded, numbers by their value:
// PC2 before PC10); times as times. Equal values keep the mailbox's order either way.
std::vector<int> SortedRecords(const MailBox& box, const MailSearchIndex& index, MailColumn column,
                               bool descending);

// A time text ("1998/02/23 9:05:07", also with a two-digit year, or without the seconds or the time)
// as a number that orders as the time does: -1 for an empty text, kNotATime for anything else.
inline constexpr qint64 kNotATime = std::numeric_limits<qint64>::max();
qint64 TimeOrder(QByteArrayView text);

// A folded name as a text whose plain order is the reader's order: every run of digits stands as
// its length and its digits, without leading zeros.
QString NameOrder(QStringView foldedName);

} // namespace varnel

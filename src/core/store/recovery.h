#pragma once

#include "store/journal.h"

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace varnel::recovery {

struct TakenBack {
    QByteArray text;
    int mails = 0;     // records put in front of the text
    int unapplied = 0; // edits that were no whole new mail (opened, deleted, receipts ...)
};

// What a journal that cannot be replayed still holds: every whole mail record that its edits
// [from, end) put in is taken into text, newest first, unless a record with the same key and body
// is there already (so taking back twice adds nothing). Nothing passes cap.
TakenBack TakeBack(QByteArrayView text, const std::vector<journal::Edit>& edits, size_t from, qsizetype cap);

} // namespace varnel::recovery

#include "store/recovery.h"

#include "store/mailbox.h"
#include "store/mailrecord.h"

#include <QSet>

namespace varnel::recovery {
namespace {

QByteArray Identity(QByteArrayView key, QByteArrayView body) {
    QByteArray id(key.data(), key.size());
    id.append('\0'); // never part of a key or a body
    id.append(body);
    return id;
}

// The whole records of bytes that an edit put in: from a record mark through its header end mark
// and a body up to the next record mark or the end. False when they are not records only.
bool Records(QByteArrayView inserted, std::vector<QByteArrayView>& records) {
    records.clear();
    if (inserted.isEmpty() || inserted.front() != kRecordMark)
        return false;
    for (qsizetype at = 0; at < inserted.size();) {
        qsizetype next = inserted.indexOf(kRecordMark, at + 1);
        if (next < 0)
            next = inserted.size();
        const QByteArrayView record = inserted.sliced(at, next - at);
        const qsizetype end = record.indexOf(kHeaderEnd);
        if (end < 0 || record.sliced(end + 1).contains(kHeaderEnd) ||
            KeyOfHeader(record.first(end + 1)).isEmpty())
            return false;
        records.push_back(record);
        at = next;
    }
    return true;
}

} // namespace

TakenBack TakeBack(QByteArrayView text, const std::vector<journal::Edit>& edits, size_t from, qsizetype cap) {
    TakenBack result;
    MailBox box;
    QSet<QByteArray> there;
    if (box.SetText(text)) {
        for (int i = 0; i < box.MarkCount(); ++i) {
            QByteArray header;
            if (box.HeaderOf(i, header))
                there.insert(Identity(KeyOfHeader(header), box.Body(i)));
        }
    }
    std::vector<QByteArrayView> found;
    std::vector<QByteArrayView> records;
    for (size_t k = from; k < edits.size(); ++k) {
        const journal::Edit& edit = edits[k];
        if (edit.removed != 0 || !Records(edit.inserted, records)) {
            ++result.unapplied;
            continue;
        }
        for (const QByteArrayView record : records) {
            const qsizetype end = record.indexOf(kHeaderEnd);
            const QByteArray id = Identity(KeyOfHeader(record.first(end + 1)), record.sliced(end + 1));
            if (!there.contains(id)) {
                there.insert(id);
                found.push_back(record);
            }
        }
    }
    qsizetype size = text.size();
    for (auto record = found.rbegin(); record != found.rend(); ++record) {
        if (record->size() > cap - size) {
            ++result.unapplied;
            continue;
        }
        result.text.append(*record);
        size += record->size();
        ++result.mails;
    }
    result.text.append(text);
    return result;
}

} // namespace varnel::recovery

#include "store/mailsearch.h"

#include "store/mailrecord.h"
#include "text/textfold.h"

#include <QHash>
#include <unordered_map>

namespace varnel {

size_t MailSearchIndex::IdOf(const MailBox& box, int i) {
    const QByteArrayView text(box.Text());
    const int s = box.RecordStart(i);
    const int e = box.HeaderEnd(i);
    if (s < 0 || e < s)
        return qHashMulti(0, i, -1);
    const QByteArrayView header = text.sliced(s, e - s + 1);
    const QByteArrayView key = header.size() > 3 ? header.sliced(3) : QByteArrayView();
    qsizetype last = key.size() - 1; // the header is short; the last separator stands near its end
    while (last >= 0 && key[last] != kSeparator)
        --last;
    // A receipt or the reading changes the status letter and the read time, never the key nor the
    // body, so the same mail keeps its id.
    const int next = box.RecordStart(i + 1);
    const qsizetype rest = (next < 0 ? text.size() : next) - e;
    return qHashMulti(0, last < 0 ? key : key.first(last), rest);
}

MailSearchIndex::Entry MailSearchIndex::Fold(const MailBox& box, int i, size_t id, QString& scratch) {
    Entry entry;
    entry.id = id;
    scratch.clear();
    for (int field = Title; field <= Recipient; ++field) {
        textfold::AppendFoldedCp932(box.FieldView(i, field), scratch);
        entry.fieldEnds[field] = int(scratch.size());
        scratch.append(QChar(textfold::kNoMatch));
    }
    textfold::AppendFoldedCp932(box.BodyView(i), scratch);
    scratch.append(QChar(textfold::kNoMatch));
    entry.folded = QString(scratch.constData(), scratch.size()); // exactly as long as it is
    return entry;
}

bool MailSearchIndex::Sync(const MailBox& box) {
    int count = 0;
    while (box.StatusOf(count) != -1)
        ++count;
    std::vector<Entry> old = std::move(m_entries);
    m_entries.clear();
    m_entries.reserve(size_t(count));
    // Oldest first: what is left of the old entries comes in the same order, new mail after it. An
    // old entry passed over is a deleted record; where the two part ways, the old ones are looked up.
    size_t next = 0;
    std::unordered_map<size_t, size_t> oldAt;
    bool looked = false;
    bool changed = int(old.size()) != count;
    QString scratch;
    for (int k = 0; k < count; ++k) {
        const int i = count - 1 - k;
        const size_t id = IdOf(box, i);
        if (next < old.size() && old[next].id != id) {
            if (!looked) {
                for (size_t j = old.size(); j-- > next;)
                    oldAt[old[j].id] = j; // the first of equal ids wins
                looked = true;
            }
            const auto found = oldAt.find(id);
            if (found != oldAt.end() && found->second >= next)
                next = found->second;
        }
        if (next < old.size() && old[next].id == id) {
            changed = changed || next != size_t(k);
            m_entries.push_back(std::move(old[next++]));
        } else {
            changed = true;
            m_entries.push_back(Fold(box, i, id, scratch));
        }
    }
    return changed;
}

const MailSearchIndex::Entry* MailSearchIndex::EntryAt(int i) const {
    if (i < 0 || i >= Count())
        return nullptr;
    return &m_entries[size_t(Count() - 1 - i)];
}

bool MailSearchIndex::Holds(int i, QStringView foldedQuery) const {
    const Entry* entry = EntryAt(i);
    return entry && QStringView(entry->folded).indexOf(foldedQuery) >= 0;
}

std::vector<int> MailSearchIndex::Find(QStringView foldedQuery, const std::vector<int>* within) const {
    std::vector<int> found;
    if (textfold::NeverMatches(foldedQuery))
        return found;
    if (within) {
        for (int i : *within) {
            if (foldedQuery.isEmpty() || Holds(i, foldedQuery))
                found.push_back(i);
        }
        return found;
    }
    found.reserve(size_t(Count()));
    for (int i = 0; i < Count(); ++i) {
        if (foldedQuery.isEmpty() || Holds(i, foldedQuery))
            found.push_back(i);
    }
    return found;
}

QStringView MailSearchIndex::FoldedField(int i, Field field) const {
    const Entry* entry = EntryAt(i);
    if (!entry || field < Title || field > Recipient)
        return {};
    const int from = field == Title ? 0 : entry->fieldEnds[field - 1] + 1;
    return QStringView(entry->folded).sliced(from, entry->fieldEnds[field] - from);
}

} // namespace varnel

#include "store/recordplaces.h"

#include "store/mailbox.h"
#include "store/mailrecord.h"

#include <algorithm>
#include <cstring>

namespace varnel {

RecordPlaces::RecordPlaces(MailBox& box, Wanted wanted) : m_box(box), m_wanted(std::move(wanted)) {
    m_watcher = m_box.AddWatcher([this](qsizetype at, qsizetype removed, QByteArrayView inserted) {
        Edited(at, removed, inserted.size());
    });
    Rebuild();
}

RecordPlaces::~RecordPlaces() {
    m_box.RemoveWatcher(m_watcher);
}

void RecordPlaces::Rebuild() {
    std::vector<Id> gone;
    for (const auto& entry : m_order)
        gone.push_back(entry.second);
    m_order.clear();
    m_records.clear();
    m_byKey.clear();
    std::vector<Id> added;
    Scan(0, m_box.Text().size(), m_order, added);
    if (m_listener && (!gone.empty() || !added.empty()))
        m_listener(gone, added);
}

void RecordPlaces::Edited(qsizetype at, qsizetype removed, qsizetype inserted) {
    const QByteArray& text = m_box.Text();
    const int size = int(text.size());
    const int oldSize = size - int(inserted) + int(removed);
    // The edit may change the record it starts in, whose mark stands at or before it; the bytes in
    // front of the edit are the same in the old and the new text.
    qsizetype start = at;
    if (size > 0) {
        const qsizetype mark = text.lastIndexOf(kRecordMark, std::min<qsizetype>(at, size - 1));
        if (mark >= 0)
            start = std::min(start, mark);
    }
    const int behind = oldSize - int(at) - int(removed);
    const int delta = int(inserted) - int(removed);
    const auto byPlace = [](int fromEnd, const std::pair<int, Id>& entry) { return fromEnd < entry.first; };
    const auto keep = std::upper_bound(m_order.begin(), m_order.end(), behind, byPlace);
    const auto front = std::upper_bound(keep, m_order.end(), std::max(behind, oldSize - int(start)), byPlace);

    std::vector<Id> gone;
    for (auto it = keep; it != front; ++it) {
        const Record& record = m_records.at(it->second);
        m_byKey.remove(record.keyHash, it->second);
        m_records.erase(it->second);
        gone.push_back(it->second);
    }
    std::vector<std::pair<int, Id>> moved(front, m_order.end());
    for (auto& [fromEnd, id] : moved) {
        fromEnd += delta;
        m_records.at(id).fromEnd = fromEnd;
    }
    m_order.erase(keep, m_order.end());
    std::vector<Id> added;
    Scan(start, at + inserted, m_order, added);
    m_order.insert(m_order.end(), moved.begin(), moved.end());
    if (m_listener && (!gone.empty() || !added.empty()))
        m_listener(gone, added);
}

void RecordPlaces::Scan(qsizetype from, qsizetype to, std::vector<std::pair<int, Id>>& found,
                        std::vector<Id>& added) {
    const QByteArray& text = m_box.Text();
    const int size = int(text.size());
    std::vector<int> marks;
    for (const char* p = text.constData() + from; from < to;) {
        p = static_cast<const char*>(std::memchr(p, kRecordMark, size_t(to - from)));
        if (p == nullptr)
            break;
        marks.push_back(int(p - text.constData()));
        ++p;
        from = p - text.constData();
    }
    // Added from the back of the range, so that the order stays smallest distance first.
    for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
        const int position = *it;
        if (position + 1 >= size || !m_wanted(text[position + 1]))
            continue;
        const QByteArray key = KeyOfHeader(HeaderAt(position));
        if (key.isEmpty())
            continue;
        const Id id = m_nextId++;
        const size_t hash = qHash(key);
        m_byKey.insert(hash, id);
        m_records.emplace(id, Record{size - position, hash, text[position + 1]});
        found.emplace_back(size - position, id);
        added.push_back(id);
    }
}

QByteArray RecordPlaces::HeaderAt(int position) const {
    const QByteArray& text = m_box.Text();
    if (position < 0 || position >= text.size() || text[position] != kRecordMark)
        return {};
    const QByteArrayView rest =
        QByteArrayView(text).sliced(position, std::min<qsizetype>(kMaxHeader, text.size() - position));
    const qsizetype end = rest.indexOf(kHeaderEnd);
    if (end < 0 || rest.first(end).sliced(1).contains(kRecordMark))
        return {};
    return rest.first(end + 1).toByteArray();
}

const RecordPlaces::Record* RecordPlaces::Find(Id id) const {
    const auto it = m_records.find(id);
    return it == m_records.end() ? nullptr : &it->second;
}

int RecordPlaces::PositionOf(Id id) const {
    const Record* record = Find(id);
    return record ? int(m_box.Text().size()) - record->fromEnd : -1;
}

QList<RecordPlaces::Id> RecordPlaces::WithKey(QByteArrayView key) const {
    QList<Id> ids = m_byKey.values(qHash(key));
    ids.removeIf([this, key](Id id) { return KeyOf(id) != key; });
    // Newest first: the greatest distance from the end.
    std::sort(ids.begin(), ids.end(), [this](Id a, Id b) { return Find(a)->fromEnd > Find(b)->fromEnd; });
    return ids;
}

QByteArray RecordPlaces::KeyOf(Id id) const {
    return KeyOfHeader(HeaderOf(id));
}

QByteArray RecordPlaces::HeaderOf(Id id) const {
    return HeaderAt(PositionOf(id));
}

QByteArray RecordPlaces::BodyOf(Id id) const {
    const int position = PositionOf(id);
    const QByteArray header = HeaderAt(position);
    if (header.isEmpty())
        return {};
    const QByteArray& text = m_box.Text();
    const char* begin = text.constData() + position + header.size();
    const char* end = std::find_if(begin, text.constData() + text.size(),
                                   [](char c) { return c == kRecordMark || c == kHeaderEnd; });
    return QByteArray(begin, end - begin);
}

} // namespace varnel

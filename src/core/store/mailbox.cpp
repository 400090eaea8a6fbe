#include "store/mailbox.h"

#include "store/mailrecord.h"
#include "transport/textfields.h"

#include <algorithm>
#include <climits>
#include <cstring>

// The answers are those of counting marks from the start of the text for every lookup; the mark
// index only finds the positions without the rescan. A mailbox text holds at most Cap() bytes and
// never a zero byte: every text handed in is taken up to its first zero byte, as on the wire.

namespace varnel {
namespace {

bool IsMark(char c) {
    return c == kRecordMark || c == kHeaderEnd;
}

// Where the key of the header s..e stands: after its first separator, before its last. False when
// there is no such header or the key would be empty.
bool KeySpan(QByteArrayView text, int s, int e, qsizetype& from, qsizetype& length) {
    if (s < 0 || e < 0 || e < s)
        return false;
    const QByteArrayView header = text.sliced(s, e - s + 1);
    const qsizetype first = header.indexOf(kSeparator);
    const qsizetype last = header.lastIndexOf(kSeparator);
    if (first < 0 || last - first <= 1)
        return false;
    from = s + first + 1;
    length = last - first - 1;
    return true;
}

} // namespace

MailBox::MailBox(qsizetype cap) : m_cap(std::clamp<qsizetype>(cap, 0, INT_MAX - 1)) {}

bool MailBox::SetText(QByteArrayView text) {
    text = TextFields::UpToZero(text);
    if (text.size() > m_cap)
        return false;
    const qsizetype old = m_text.size();
    // Reuses the buffer when it is big enough: a reload does not fault in fresh pages.
    m_text.resize(text.size());
    if (!text.isEmpty())
        std::memmove(m_text.data(), text.data(), size_t(text.size()));
    Reindex();
    Changed(0, old, m_text);
    return true;
}

void MailBox::Reindex() {
    // Marks are a few bytes in a hundred: memchr skips the bytes between them fastest.
    const auto collect = [this](char mark, std::vector<int>& fromEnd) {
        fromEnd.clear();
        const char* begin = m_text.constData();
        const char* end = begin + m_text.size();
        for (const char* p = begin; p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, mark, size_t(end - p)));
            if (p == nullptr)
                break;
            fromEnd.push_back(int(end - p));
        }
        std::reverse(fromEnd.begin(), fromEnd.end());
    };
    collect(kRecordMark, m_starts);
    collect(kHeaderEnd, m_ends);
}

void MailBox::Spliced(qsizetype at, qsizetype removed, qsizetype inserted) {
    // Marks behind the edit keep their distance from the end; those in the replaced bytes go; those
    // in front of it move by the change in length. So an edit near the front of the text, where
    // new mail stands, costs the marks in front of it, not the whole text.
    const int size = int(m_text.size());
    const int oldSize = size - int(inserted) + int(removed);
    const int behind = oldSize - int(at) - int(removed);
    const int delta = int(inserted) - int(removed);
    const auto update = [&](std::vector<int>& fromEnd, char mark) {
        const auto keep = std::upper_bound(fromEnd.begin(), fromEnd.end(), behind);
        const auto front = std::upper_bound(keep, fromEnd.end(), behind + int(removed));
        std::vector<int> moved(front, fromEnd.end());
        for (int& distance : moved)
            distance += delta;
        fromEnd.erase(keep, fromEnd.end());
        for (qsizetype p = at + inserted; p-- > at;) {
            if (m_text[p] == mark)
                fromEnd.push_back(size - int(p));
        }
        fromEnd.insert(fromEnd.end(), moved.begin(), moved.end());
    };
    update(m_starts, kRecordMark);
    update(m_ends, kHeaderEnd);
}

void MailBox::Changed(qsizetype at, qsizetype removed, QByteArrayView inserted) {
    if (removed == 0 && inserted.isEmpty())
        return;
    if (m_hook)
        m_hook(at, removed, inserted);
    for (const auto& [id, watcher] : m_watchers.list)
        watcher(at, removed, inserted);
}

int MailBox::AddWatcher(EditHook watcher) {
    m_watchers.list.emplace_back(m_watchers.next, std::move(watcher));
    return m_watchers.next++;
}

void MailBox::RemoveWatcher(int id) {
    std::erase_if(m_watchers.list, [id](const auto& entry) { return entry.first == id; });
}

int MailBox::MarkAt(const std::vector<int>& fromEnd, int i) const {
    if (i < 0 || size_t(i) >= fromEnd.size())
        return -1;
    return int(m_text.size()) - fromEnd[fromEnd.size() - 1 - size_t(i)];
}

int MailBox::RecordStart(int i) const {
    return MarkAt(m_starts, i);
}

int MailBox::HeaderEnd(int i) const {
    return MarkAt(m_ends, i);
}

int MailBox::StatusOf(int i) const {
    const int s = RecordStart(i);
    if (s < 0 || s + 1 >= m_text.size())
        return StatusNone;
    return StatusFromLetter(m_text[s + 1]);
}

QByteArray MailBox::FieldOf(int i, int n) const {
    const int s = RecordStart(i);
    const int e = HeaderEnd(i);
    if (s < 0 || e < 0 || s > e)
        return QByteArray("-1");
    return FieldView(i, n).toByteArray();
}

QByteArrayView MailBox::FieldView(int i, int n) const {
    const int s = RecordStart(i);
    const int e = HeaderEnd(i);
    if (s < 0 || e < 0 || s > e)
        return {};
    // Every mark between the two counts as a separator too. The counter starts below field 0 so
    // that the status letter belongs to no field; the field is the bytes after the n-th separator
    // up to the next one (or the header end).
    const char* text = m_text.constData();
    int counter = -1;
    int from = s + 1;
    for (int p = s + 1; p < e; ++p) {
        const char c = text[p];
        if (c != kSeparator && !IsMark(c))
            continue;
        if (counter == n)
            return QByteArrayView(text + from, p - from);
        if (++counter == n)
            from = p + 1;
    }
    return counter == n ? QByteArrayView(text + from, e - from) : QByteArrayView();
}

MailHeader MailBox::Header(int i) const {
    return {FieldOf(i, 0), FieldOf(i, 1), FieldOf(i, 2), FieldOf(i, 3), FieldOf(i, 4)};
}

bool MailBox::HeaderOf(int i, QByteArray& out) const {
    out.clear();
    const int s = RecordStart(i);
    const int e = HeaderEnd(i);
    if (s < 0 || e < 0 || e < s)
        return false;
    out = m_text.sliced(s, e - s + 1);
    return true;
}

bool MailBox::KeyOf(int i, QByteArray& out) const {
    out.clear();
    qsizetype from = 0;
    qsizetype length = 0;
    if (!KeySpan(m_text, RecordStart(i), HeaderEnd(i), from, length))
        return false;
    out = m_text.sliced(from, length);
    return true;
}

bool MailBox::BodySpan(int i, int& from, int& to) const {
    // The body runs from after the (i+1)-th header end mark to the next mark of either kind: a
    // record mark opens the next record, and a stray header end mark closes this one's lines too.
    const int e = HeaderEnd(i);
    if (e < 0)
        return false;
    from = e + 1;
    to = int(m_text.size());
    // The first record mark after e is the one nearest the end among those less than size - e
    // from it.
    const int distance = int(m_text.size()) - e;
    const auto next = std::lower_bound(m_starts.begin(), m_starts.end(), distance);
    if (next != m_starts.begin())
        to = int(m_text.size()) - *std::prev(next);
    const int nextEnd = HeaderEnd(i + 1);
    if (nextEnd >= 0)
        to = std::min(to, nextEnd);
    return true;
}

bool MailBox::BodyLine(int i, int j, QByteArray& out) const {
    out.clear();
    if (m_text.isEmpty() || j < 0)
        return false;
    // Lines are cut at CR and LF bytes are dropped, so a body of N CR LF lines has N+1 lines and
    // an empty body one empty line. Without a body there is still the empty line 0.
    int from = 0;
    int to = 0;
    if (!BodySpan(i, from, to))
        return j == 0;
    const QByteArrayView body = QByteArrayView(m_text).sliced(from, to - from);
    qsizetype p = 0;
    for (int line = 0; line < j; ++line) {
        const qsizetype cr = body.indexOf('\r', p);
        if (cr < 0)
            return false;
        p = cr + 1;
    }
    qsizetype end = body.indexOf('\r', p);
    if (end < 0)
        end = body.size();
    for (; p < end; ++p) {
        if (body[p] != '\n')
            out.append(body[p]);
    }
    return true;
}

QByteArray MailBox::Body(int i) const {
    return BodyView(i).toByteArray();
}

QByteArrayView MailBox::BodyView(int i) const {
    const int s = RecordStart(i);
    const int e = HeaderEnd(i);
    int from = 0;
    int to = 0;
    if (s < 0 || e < s || !BodySpan(i, from, to))
        return {};
    return QByteArrayView(m_text).sliced(from, to - from);
}

bool MailBox::Prepend(QByteArrayView records) {
    records = TextFields::UpToZero(records);
    if (records.size() > m_cap - m_text.size())
        return false;
    const qsizetype added = records.size();
    m_text.prepend(records);
    Spliced(0, 0, added);
    // Read back from the text: the view may have pointed into it.
    Changed(0, 0, QByteArrayView(m_text).first(added));
    return true;
}

bool MailBox::DeleteRecord(int i) {
    // Everything from the record mark up to the next record mark goes; text before the first
    // record mark belongs to no record and stays.
    const int s = RecordStart(i);
    if (s < 0)
        return false;
    const int next = RecordStart(i + 1);
    const qsizetype length = (next < 0 ? m_text.size() : next) - s;
    m_text.remove(s, length);
    Spliced(s, length, 0);
    Changed(s, length, {});
    return true;
}

bool MailBox::DeleteRecords(std::vector<int> records) {
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    // Each deleted record as the bytes [from, to), front to back; each runs to the next record mark.
    std::vector<std::pair<int, int>> spans;
    for (int i : records) {
        const int s = RecordStart(i);
        if (s < 0)
            continue;
        const int next = RecordStart(i + 1);
        spans.emplace_back(s, next < 0 ? int(m_text.size()) : next);
    }
    if (spans.empty())
        return false;
    QByteArray kept;
    kept.reserve(m_text.size());
    int from = 0;
    for (const auto& [s, e] : spans) {
        kept.append(QByteArrayView(m_text).sliced(from, s - from));
        from = e;
    }
    kept.append(QByteArrayView(m_text).sliced(from));
    m_text.swap(kept);
    Reindex();
    // The last first, so each position is still that of the text the previous ones left.
    for (auto span = spans.rbegin(); span != spans.rend(); ++span)
        Changed(span->first, span->second - span->first, {});
    return true;
}

bool MailBox::SetStatusByKey(QByteArrayView key, int status) {
    key = TextFields::UpToZero(key);
    const char letter = StatusLetter(status);
    if (letter == 0)
        return false;
    // A record matches when the bytes from s+3 up to the last separator before its header end
    // mark are the key: that separator must stand right after where the key would end.
    const char* data = m_text.constData();
    const qsizetype k = key.size();
    for (int i = 0; i < MarkCount() && size_t(i) < m_ends.size(); ++i) {
        const qsizetype s = RecordStart(i);
        const qsizetype e = HeaderEnd(i);
        const qsizetype q = s + 3 + k;
        if (q >= e || data[q] != kSeparator)
            continue;
        if (k > 0 && std::memcmp(data + s + 3, key.data(), size_t(k)) != 0)
            continue;
        if (std::memchr(data + q + 1, kSeparator, size_t(e - q - 1)) != nullptr)
            continue;
        return SetStatusAt(i, status);
    }
    return false;
}

bool MailBox::ReplaceHeaderByKey(QByteArrayView header) {
    header = TextFields::UpToZero(header);
    // The header comes from a peer's receipt: only one whole header is taken, so that no receipt
    // can add or remove marks (and with them records) in this mailbox.
    if (header.size() < 2 || header.front() != kRecordMark || header.back() != kHeaderEnd)
        return false;
    const QByteArrayView inner = header.sliced(1, header.size() - 2);
    if (inner.contains(kRecordMark) || inner.contains(kHeaderEnd))
        return false;
    const QByteArray wanted = KeyOfHeader(header);
    if (wanted.isEmpty())
        return false;
    // Records are tried in text order and the search ends at the first without a key, so of two
    // copies of one mail only the first, newer one changes.
    for (int i = 0;; ++i) {
        qsizetype from = 0;
        qsizetype length = 0;
        if (!KeySpan(m_text, RecordStart(i), HeaderEnd(i), from, length))
            return false;
        if (length != wanted.size() || QByteArrayView(m_text).sliced(from, length) != wanted)
            continue;
        const int s = RecordStart(i);
        const int e = HeaderEnd(i);
        if (m_text.size() - (e - s - 1) + inner.size() > m_cap)
            return false;
        m_text.replace(s + 1, e - s - 1, inner);
        Spliced(s + 1, e - s - 1, inner.size());
        Changed(s + 1, e - s - 1, QByteArrayView(m_text).sliced(s + 1, inner.size()));
        return true;
    }
}

bool MailBox::SetStatusAt(int i, int status) {
    const char letter = StatusLetter(status);
    const int s = RecordStart(i);
    if (letter == 0 || s < 0 || s + 1 >= m_text.size())
        return false;
    const char old = m_text[s + 1];
    m_text[s + 1] = letter;
    if (IsMark(old))
        Spliced(s + 1, 1, 1);
    Changed(s + 1, 1, QByteArrayView(&letter, 1));
    return true;
}

bool MailBox::InsertReadTime(int i, QByteArrayView time) {
    time = TextFields::UpToZero(time);
    const int e = HeaderEnd(i);
    if (e < 0 || time.size() > m_cap - m_text.size())
        return false;
    m_text.insert(e, time);
    Spliced(e, 0, time.size());
    Changed(e, 0, QByteArrayView(m_text).sliced(e, time.size()));
    return true;
}

void MailBox::Clear() {
    const qsizetype old = m_text.size();
    m_text.clear();
    m_starts.clear();
    m_ends.clear();
    Changed(0, old, {});
}

} // namespace varnel

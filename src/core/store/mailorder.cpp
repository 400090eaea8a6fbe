#include "store/mailorder.h"

#include <algorithm>
#include <array>

namespace varnel {

namespace {

// Once per pair of keys: the sort's time goes into these comparisons.
int Compare(qint64 a, qint64 b) {
    return a < b ? -1 : a > b ? 1 : 0;
}
int Compare(QStringView a, QStringView b) {
    return a.compare(b);
}

bool HasDigit(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

qint64 TimeOrder(QByteArrayView text) {
    if (text.isEmpty())
        return -1;
    // Numbers split by '/', '-', '.', ':' and blanks, nothing else: year, month, day, then hour and
    // minutes (seconds optional). The hour has no leading zero, so the text alone does not order.
    std::array<qint64, 6> parts{};
    int count = 0;
    int digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (digits == 0 && count == int(parts.size()))
                return kNotATime;
            if (digits == 0)
                ++count;
            if (++digits > 4)
                return kNotATime;
            parts[size_t(count - 1)] = parts[size_t(count - 1)] * 10 + (c - '0');
        } else if (c == '/' || c == '-' || c == '.' || c == ':' || c == ' ') {
            digits = 0;
        } else {
            return kNotATime;
        }
    }
    if (count != 3 && count != 5 && count != 6)
        return kNotATime;
    auto [year, month, day, hour, minute, second] = parts;
    if (year < 100) // a two-digit year of the old short date form
        year += year >= 70 ? 1900 : 2000;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return kNotATime;
    return ((((year * 13 + month) * 32 + day) * 24 + hour) * 60 + minute) * 61 + second;
}

QString NameOrder(QStringView foldedName) {
    QString key;
    key.reserve(foldedName.size() + 4);
    for (qsizetype p = 0; p < foldedName.size();) {
        const QChar c = foldedName[p];
        if (c < u'0' || c > u'9') {
            key.append(c);
            ++p;
            continue;
        }
        qsizetype end = p;
        while (end < foldedName.size() && foldedName[end] >= u'0' && foldedName[end] <= u'9')
            ++end;
        qsizetype first = p;
        while (first + 1 < end && foldedName[first] == u'0')
            ++first;
        // '0' keeps the run's place among other characters; then the count of digits orders the
        // values before the digits do.
        key.append(u'0');
        key.append(QChar(char16_t(std::min<qsizetype>(end - first, 0xFFFF))));
        key.append(foldedName.sliced(first, end - first));
        p = end;
    }
    return key;
}

std::vector<int> SortedRecords(const MailBox& box, const MailSearchIndex& index, MailColumn column,
                               bool descending) {
    const int count = index.Count();
    std::vector<int> rows;
    rows.reserve(size_t(count));
    // Each key beside its record, so the sort reads them in place; equal keys go by record index,
    // which is the box's order.
    const auto sortBy = [&rows, descending](auto& keyed) {
        std::sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
            const auto order = Compare(a.first, b.first);
            if (order != 0)
                return descending ? order > 0 : order < 0;
            return a.second < b.second;
        });
        for (const auto& entry : keyed)
            rows.push_back(entry.second);
    };
    if (column == MailColumn::SendTime || column == MailColumn::ReadTime) {
        const int field = int(column);
        std::vector<std::pair<qint64, int>> keyed;
        keyed.reserve(size_t(count));
        for (int i = 0; i < count; ++i)
            keyed.emplace_back(TimeOrder(box.FieldView(i, field)), i);
        sortBy(keyed);
    } else {
        // A name without digits is its own key, read where the index holds it.
        const auto field = static_cast<MailSearchIndex::Field>(int(column));
        std::vector<QString> rewritten;
        rewritten.reserve(size_t(count)); // never moves: the views below point into it
        std::vector<std::pair<QStringView, int>> keyed;
        keyed.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            const QStringView name = index.FoldedField(i, field);
            if (!HasDigit(name)) {
                keyed.emplace_back(name, i);
            } else {
                rewritten.push_back(NameOrder(name));
                keyed.emplace_back(rewritten.back(), i);
            }
        }
        sortBy(keyed);
    }
    return rows;
}

} // namespace varnel

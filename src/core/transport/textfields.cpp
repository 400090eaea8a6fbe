#include "transport/textfields.h"

#include <algorithm>
#include <cstring>

namespace varnel {
namespace {

// Bytes are compared as signed chars: 0x80..0xFF are negative and never equal a positive value.
bool Equals(char byte, int ch) {
    return int(static_cast<signed char>(byte)) == ch;
}

} // namespace

qsizetype TextFields::TextLength(QByteArrayView src) {
    if (src.isEmpty())
        return 0;
    const void* zero = std::memchr(src.data(), 0, size_t(src.size()));
    return zero ? static_cast<const char*>(zero) - src.data() : src.size();
}

bool TextFields::CopyRange(QByteArray& dst, QByteArrayView src, int from, int to) {
    dst.clear();
    const qsizetype len = TextLength(src);
    // No caller passes a negative start; refusing it keeps every read inside the source.
    if (len < 1 || from < 0 || from > len || from > to)
        return false;
    const qsizetype last = std::min<qsizetype>(to, len - 1);
    if (last >= from)
        dst = src.sliced(from, last - from + 1).toByteArray();
    return true;
}

int TextFields::FirstIndexOf(QByteArrayView src, int ch) {
    const qsizetype len = TextLength(src);
    if (len == 0 || ch <= 0)
        return -1;
    for (qsizetype i = 0; i < len; ++i) {
        if (Equals(src[i], ch))
            return int(i);
    }
    return -1;
}

int TextFields::LastIndexOf(QByteArrayView src, int ch) {
    const qsizetype len = TextLength(src);
    if (len == 0 || ch <= 0)
        return -1;
    for (qsizetype i = len - 1; i >= 0; --i) {
        if (Equals(src[i], ch))
            return int(i);
    }
    return -1;
}

bool TextFields::NthField(QByteArray& dst, QByteArrayView src, int sep, int n) {
    const qsizetype len = TextLength(src);
    if (len == 0 || sep <= 0 || n < 0)
        return false;
    dst.clear();
    int field = 0;
    for (qsizetype i = 0; i < len; ++i) {
        const char byte = src[i];
        if (Equals(byte, sep)) {
            ++field;
            continue;
        }
        if (field > n)
            break;
        if (field == n)
            dst.append(byte);
    }
    return !dst.isEmpty();
}

} // namespace varnel

#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace varnel {

// Byte-wise field operations on zero-terminated texts. Every source is taken up to its first zero
// byte (or its end). Bytes are compared as signed chars, so bytes 0x80..0xFF never equal a positive
// character value, and the second byte of a double-byte character may well be a backslash.
// Indices are byte positions from 0; -1 means "not found".
class TextFields {
public:
    // Copies src[from..to] (both inclusive, to clipped at the end) into dst. dst is emptied first.
    // False when src is empty, from > length or from > to.
    static bool CopyRange(QByteArray& dst, QByteArrayView src, int from, int to);
    // Smallest index of ch, or -1 (also for an empty source and ch <= 0).
    static int FirstIndexOf(QByteArrayView src, int ch);
    // Greatest index of ch, or -1 (also for an empty source and ch <= 0).
    static int LastIndexOf(QByteArrayView src, int ch);
    // Field n of src split at sep, fields counted from 0. Leaves dst untouched when src is empty,
    // sep <= 0 or n < 0; otherwise dst holds the field (possibly empty). True only when at least one
    // byte was copied.
    static bool NthField(QByteArray& dst, QByteArrayView src, int sep, int n);

    // The length of a zero-terminated text held in a view: the bytes before its first zero byte.
    static qsizetype TextLength(QByteArrayView src);
    // The text itself: the bytes before its first zero byte.
    static QByteArrayView UpToZero(QByteArrayView src) { return src.first(TextLength(src)); }
};

} // namespace varnel

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace varnel::textfold {

// Search and name order see text as a Japanese reader does: full-width and half-width forms are the
// same character (ＡＢＣ = ABC, ０ = 0, ﾒｰﾙ = メール, ｶﾞ = ガ, ﾊﾟ = パ), and a Latin capital is its
// small letter. The folded form is UTF-16, one unit per character.

// Stands for every byte that is not part of a valid CP932 character, and between the fields of one
// record. No query holds it, so nothing matches across it.
inline constexpr char16_t kNoMatch = 0xFFFF;

// Appends the folded form of CP932 bytes to out. A lead byte that has no trail byte after it, an
// undefined pair and a byte that is never valid each become one kNoMatch; a lead and trail pair is
// always taken as one character, so nothing matches from the middle of one.
void AppendFoldedCp932(QByteArrayView bytes, QString& out);
QString FoldCp932(QByteArrayView bytes);

// The folded form of what the person typed. A query that holds kNoMatch (or U+FFFE) matches nothing;
// NeverMatches says so.
QString FoldQuery(QStringView typed);
bool NeverMatches(QStringView foldedQuery);

} // namespace varnel::textfold

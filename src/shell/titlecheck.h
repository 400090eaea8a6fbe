#pragma once

#include <QByteArray>
#include <QString>

namespace varnel {

// Why a title cannot travel, in plain words that name the character; empty when it can. In CP932
// some common kanji (表, 予, 能, ソ, 申, 十 ...) end in the byte that separates the fields of a mail,
// so they would split the title.
QString TitleTrouble(const QString& title);

// The title of a reply to a mail titled original: "Re: " in front (never twice), cut by whole
// characters so that its CP932 form takes at most maxBytes.
QString ReplyTitle(const QString& original, qsizetype maxBytes);

} // namespace varnel

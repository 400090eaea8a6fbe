#include "shell/titlecheck.h"

#include "shell/texts.h"
#include "store/mailrecord.h"
#include "text/cp932.h"

#include <QStringList>

namespace varnel {

namespace {

// The title's characters, a surrogate pair counting as one.
QStringList Characters(const QString& text) {
    QStringList chars;
    for (qsizetype k = 0; k < text.size();) {
        const qsizetype width = text.at(k).isHighSurrogate() && k + 1 < text.size() ? 2 : 1;
        chars.append(text.mid(k, width));
        k += width;
    }
    return chars;
}

} // namespace

QString TitleTrouble(const QString& title) {
    for (const QString& ch : Characters(title)) {
        QByteArray bytes;
        if (!cp932::Encode(ch, bytes))
            return texts::TitleUnencodable(ch);
        if (bytes.size() == 1 &&
            (bytes[0] == kSeparator || bytes[0] == kRecordMark || bytes[0] == kHeaderEnd)) {
            return texts::TitleSeparator(ch.at(0).isPrint() ? ch : QString());
        }
        if (bytes.size() == 2 && bytes[1] == kSeparator)
            return texts::TitleSplitByCharacter(ch);
    }
    return {};
}

QString ReplyTitle(const QString& original, qsizetype maxBytes) {
    QString title = original;
    if (!title.startsWith(QStringLiteral("Re:"), Qt::CaseInsensitive))
        title.prepend(QStringLiteral("Re: "));
    QString cut;
    qsizetype used = 0;
    for (const QString& ch : Characters(title)) {
        QByteArray bytes;
        cp932::Encode(ch, bytes);
        const qsizetype size = std::max<qsizetype>(bytes.size(), 1);
        if (used + size > maxBytes)
            break;
        used += size;
        cut += ch;
    }
    return cut;
}

} // namespace varnel

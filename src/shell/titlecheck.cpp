#include "shell/titlecheck.h"

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
            return QStringLiteral("タイトルの「%1」は、メールで使える文字にないため送れません。\n"
                                  "別の言葉か、かなに置き換えてください。")
                .arg(ch);
        if (bytes.size() == 1 &&
            (bytes[0] == kSeparator || bytes[0] == kRecordMark || bytes[0] == kHeaderEnd)) {
            const QString shown =
                ch.at(0).isPrint() ? QStringLiteral("「%1」").arg(ch) : QStringLiteral("制御文字");
            return QStringLiteral("タイトルの%1は、メールの見出しの区切りに使われるため使えません。\n"
                                  "タイトルがそこで切れてしまいます。別の記号か言葉に置き換えてください。")
                .arg(shown);
        }
        if (bytes.size() == 2 && bytes[1] == kSeparator)
            return QStringLiteral("タイトルの「%1」は、このままでは送れません。\n"
                                  "この文字はメールの中で見出しの区切りと重なり、タイトルがそこで二つに切れて"
                                  "しまいます。\n"
                                  "別の言葉に言い換えるか、かなで書いてください。")
                .arg(ch);
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

#include "store/mailrecord.h"

#include "transport/textfields.h"

namespace varnel {
namespace {

constexpr char kLetters[] = {'K', 'S', 'G', 'R'};

} // namespace

char StatusLetter(int status) {
    return status >= Saved && status <= Opened ? kLetters[status] : char(0);
}

int StatusFromLetter(char letter) {
    for (int status = Saved; status <= Opened; ++status) {
        if (kLetters[status] == letter)
            return status;
    }
    return StatusNone;
}

QByteArray BuildHeader(char letter, QByteArrayView title, QByteArrayView sender, QByteArrayView recipient,
                       QByteArrayView sendTime) {
    QByteArray header;
    header.reserve(8 + title.size() + sender.size() + recipient.size() + sendTime.size());
    header.append(kRecordMark).append(letter);
    for (QByteArrayView field : {title, sender, recipient, sendTime})
        header.append(kSeparator).append(field);
    // The empty read time: filled in by the recipient when the mail is first opened.
    header.append(kSeparator).append(kHeaderEnd);
    return header;
}

QByteArray KeyOfHeader(QByteArrayView header) {
    header = TextFields::UpToZero(header);
    const qsizetype last = header.lastIndexOf(kSeparator);
    if (last <= 3)
        return {};
    return header.sliced(3, last - 3).toByteArray();
}

qsizetype FirstReservedInField(QByteArrayView field) {
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == kSeparator || c == kRecordMark || c == kHeaderEnd || c == 0)
            return i;
    }
    return -1;
}

qsizetype FirstReservedInBody(QByteArrayView body) {
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == kRecordMark || c == kHeaderEnd || c == 0)
            return i;
    }
    return -1;
}

} // namespace varnel

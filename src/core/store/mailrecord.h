#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace varnel {

// The bytes that structure a mail record: record mark, header field separator, header end mark.
inline constexpr char kRecordMark = 0x07;
inline constexpr char kSeparator = 0x5C;
inline constexpr char kHeaderEnd = 0x08;

// The status letter as a number; also the picture index of the record's row in the mail list.
enum MailStatus : int { StatusNone = -1, Saved = 0, Sent = 1, Delivered = 2, Opened = 3 };

// 'K', 'S', 'G', 'R' for Saved..Opened; 0 for anything else.
char StatusLetter(int status);
// 0..3 for 'K', 'S', 'G', 'R'; -1 for any other byte.
int StatusFromLetter(char letter);

// The fields of a header by name.
struct MailHeader {
    QByteArray title;
    QByteArray sender;
    QByteArray recipient;
    QByteArray sendTime;
    QByteArray readTime; // empty until the recipient first opens the mail
};

// A time as the clock writes it at its longest: limits counted with it hold for any time.
inline constexpr char kLongestTime[] = "yyyy/MM/dd HH:mm:ss";

// Size limits of what this program puts on the wire.
inline constexpr qsizetype kMaxHeader = 255;         // record mark through header end mark
inline constexpr qsizetype kMaxOutgoingMail = 16000; // a new mail, its terminating zero included

// A new header: record mark, letter, "\title\sender\recipient\sendTime\", header end mark.
QByteArray BuildHeader(char letter, QByteArrayView title, QByteArrayView sender, QByteArrayView recipient,
                       QByteArrayView sendTime);

// The record key of a header: the bytes from position 3 up to, not including, its last backslash.
// Empty when the header has no backslash at or after position 3.
QByteArray KeyOfHeader(QByteArrayView header);

// Position of the first byte a header field must not hold (0x5C, 0x07, 0x08, 0x00), or -1.
qsizetype FirstReservedInField(QByteArrayView field);
// Position of the first byte a body must not hold (0x07, 0x08, 0x00), or -1.
qsizetype FirstReservedInBody(QByteArrayView body);

} // namespace varnel

#pragma once

#include "store/mailrecord.h"

#include <QByteArray>

namespace varnel::test {

// One mail record for a test, by field; what is not named is a delivered mail from PC01 to PC02.
// Built on the program's own header builder, so a test states only what it is about:
//   Mail{.letter = 'S', .title = "x"}.Record()
struct Mail {
    char letter = 'G';
    QByteArray title = "title";
    QByteArray sender = "PC01";
    QByteArray recipient = "PC02";
    QByteArray sendTime = "1998/02/23 9:05:07";
    QByteArray readTime{}; // braces: a designated initializer may skip it without a warning
    QByteArray body = "body";

    // The header, with the read time (if any) before its end mark.
    QByteArray Header() const {
        QByteArray header = BuildHeader(letter, title, sender, recipient, sendTime);
        header.insert(header.size() - 1, readTime);
        return header;
    }
    QByteArray Record() const { return Header() + body; }
    // The datagram of this mail: its record and one terminating zero byte.
    QByteArray Datagram() const { return Record() + '\0'; }
};

} // namespace varnel::test

#pragma once

#include <QByteArray>

// A receive box's text of at least size bytes for a benchmark to run against: opened copies
// (letter R) of record(0), record(-1), record(-2), ..., newest first.
template <class Record> QByteArray ReadCopies(qsizetype size, Record record) {
    QByteArray text;
    text.reserve(size + 200);
    for (int n = 0; text.size() < size; ++n) {
        QByteArray mail = record(-n);
        mail[1] = 'R';
        text += mail;
    }
    return text;
}

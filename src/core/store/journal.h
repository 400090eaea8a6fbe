#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace varnel::journal {

// The journal beside a mailbox file holds every change of the mailbox since the file was last
// written whole, so that a change is on disk as soon as it is made while the file itself is
// rewritten only now and then. It is written only by appending, in the manner of a database's
// write-ahead log.
//
// Layout: the 8 bytes "VNJRNL1\n", then frames. A frame is the length of its payload (4 bytes,
// little-endian), a CRC-32 of that length and the payload (4 bytes), then the payload, whose first
// byte says what it is:
//   'B'  the text the journal starts from: its size (8 bytes) and digest. Always the first frame.
//   'E'  one edit: position (4 bytes), number of bytes removed there (4 bytes), the bytes put in.
//   'C'  a checkpoint: size (8 bytes) and digest of the text that the edits before it make. Written
//        just before the mailbox file is rewritten with that text.
// A frame cut short or failing its CRC with nothing whole after it ends the journal: it was being
// written when the program stopped, its write never completed, and so nothing it holds was ever
// acknowledged. One that fails its check with whole frames after it is damage (a bad disk block, a
// changed byte): the frames after it are read on, and the stretch is reported.

// One edit as it stands in the journal; the inserted bytes point into the parsed journal.
struct Edit {
    qsizetype at = 0;
    qsizetype removed = 0;
    QByteArrayView inserted;
};

// A text the journal names: the base (first) or a checkpoint, with the number of edits before it.
struct Mark {
    qint64 size = 0;
    QByteArray digest;
    size_t editsBefore = 0;
};

// A stretch of the journal between two whole frames that is not a whole frame itself.
struct Damage {
    qsizetype at = 0;
    qsizetype length = 0;
    size_t editsBefore = 0; // the edits read before it
};

struct Parsed {
    bool started = false;      // the magic and the base frame are whole
    qsizetype validLength = 0; // up to the end of the last whole frame
    bool torn = false;         // bytes follow validLength
    std::vector<Mark> marks;   // the base first, then every checkpoint in order
    std::vector<Edit> edits;
    std::vector<Damage> damage;
};

inline constexpr qsizetype kStartSize = 8 + 8 + 1 + 8 + 32; // magic, frame head, 'B', size, digest

QByteArray Digest(QByteArrayView text);
// The beginning of a new journal for a file that holds a text of this size and digest.
QByteArray Start(qint64 size, const QByteArray& digest);
QByteArray EditFrame(qsizetype at, qsizetype removed, QByteArrayView inserted);
QByteArray CheckpointFrame(qint64 size, const QByteArray& digest);

Parsed Parse(QByteArrayView bytes);

// Applies edits [from, end) to base, in order. False (out untouched) when an edit does not fit the
// text it meets. Costs about the log of the number of edits per edit, whatever the text's size.
bool Replay(QByteArrayView base, const std::vector<Edit>& edits, size_t from, QByteArray& out);
// The same for edits [from, to).
bool Replay(QByteArrayView base, const std::vector<Edit>& edits, size_t from, size_t to, QByteArray& out);

} // namespace varnel::journal

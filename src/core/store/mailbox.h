#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace varnel {

// One mailbox: a text of mail records, newest first. Records are found by counting marks: record i
// begins at the (i+1)-th byte 0x07 and its header ends at the (i+1)-th byte 0x08, whatever else
// the text holds, so a malformed text gives the same answers every time. The positions of all marks
// are indexed and refreshed by every edit, so lookups do not rescan the text.
//
// The text never holds a zero byte. It grows as needed up to a hard cap; an edit that would pass the
// cap is refused and reported through its result, leaving the text unchanged.
class MailBox {
public:
    static constexpr qsizetype kDefaultCap = 64 * 1024 * 1024;

    explicit MailBox(qsizetype cap = kDefaultCap);

    // The whole text (no terminating zero is part of it).
    const QByteArray& Text() const { return m_text; }
    // Replaces the text, cut at its first zero byte. False (and the text unchanged) above the cap.
    bool SetText(QByteArrayView text);
    qsizetype Cap() const { return m_cap; }

    // Number of record marks in the text.
    int MarkCount() const { return int(m_starts.size()); }

    int RecordStart(int i) const;
    int HeaderEnd(int i) const;
    int StatusOf(int i) const;
    QByteArray FieldOf(int i, int n) const;
    bool HeaderOf(int i, QByteArray& out) const;
    bool KeyOf(int i, QByteArray& out) const;
    bool BodyLine(int i, int j, QByteArray& out) const;
    // The body bytes of record i exactly as stored: from after its header end mark up to the next
    // record mark or the end (or, in a malformed text, a stray header end mark first). Empty when
    // record i has no header. The same bytes that BodyLine cuts into lines.
    QByteArray Body(int i) const;

    // Edits. Each returns false when it was refused (the cap) or found nothing to change.
    bool Prepend(QByteArrayView records);
    bool DeleteRecord(int i);
    bool SetStatusByKey(QByteArrayView key, int status);
    // Sets the status letter of record i itself (not the first record with its key). False when
    // there is no record i or status is not one of the four.
    bool SetStatusAt(int i, int status);
    bool ReplaceHeaderByKey(QByteArrayView header);
    bool InsertReadTime(int i, QByteArrayView time);
    void Clear();

private:
    void Reindex();
    // The bytes BodyLine cuts into lines for record i: [from, to). False without header end mark i.
    bool BodySpan(int i, int& from, int& to) const;

    qsizetype m_cap;
    QByteArray m_text;
    std::vector<int> m_starts; // positions of every 0x07, ascending
    std::vector<int> m_ends;   // positions of every 0x08, ascending
};

} // namespace varnel

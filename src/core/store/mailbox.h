#pragma once

#include "store/mailrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <vector>

namespace varnel {

// One mailbox: a text of mail records, newest first. Records are found by counting marks: record i
// begins at the (i+1)-th byte 0x07 and its header ends at the (i+1)-th byte 0x08, whatever else
// the text holds, so a malformed text gives the same answers every time. The positions of all marks
// are indexed and brought up to date by every edit, so lookups do not rescan the text; an edit near
// the front (new mail, recent mail read, deleted or answered by a receipt) costs the same whatever
// the size of the text.
//
// The text never holds a zero byte. It grows as needed up to a hard cap; an edit that would pass the
// cap is refused and reported through its result, leaving the text unchanged.
class MailBox {
public:
    static constexpr qsizetype kDefaultCap = 64 * 1024 * 1024;

    explicit MailBox(qsizetype cap = kDefaultCap);

    // Told of every change of the text, after it was made: the bytes from `at` on, `removed` of them,
    // were replaced by `inserted`. Every edit below is one such change, so replaying them in order on
    // the old text gives the new one.
    using EditHook = std::function<void(qsizetype at, qsizetype removed, QByteArrayView inserted)>;
    void SetEditHook(EditHook hook) { m_hook = std::move(hook); }

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
    // The header fields of record i by name, each as FieldOf gives it.
    MailHeader Header(int i) const;
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
    // Brings the indexes up to date after the bytes [at, at + removed) of the old text were replaced
    // by the `inserted` bytes that now stand from at.
    void Spliced(qsizetype at, qsizetype removed, qsizetype inserted);
    void Changed(qsizetype at, qsizetype removed, QByteArrayView inserted);
    // Position of the i-th mark (from the front) in one of the two indexes, or -1.
    int MarkAt(const std::vector<int>& fromEnd, int i) const;
    // The bytes BodyLine cuts into lines for record i: [from, to). False without header end mark i.
    bool BodySpan(int i, int& from, int& to) const;

    qsizetype m_cap;
    QByteArray m_text;
    // Every 0x07 and every 0x08 as its distance from the end of the text, the last mark first, so
    // that marks put in front are appended and no older entry changes.
    std::vector<int> m_starts;
    std::vector<int> m_ends;
    EditHook m_hook;
};

} // namespace varnel

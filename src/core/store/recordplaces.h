#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <functional>
#include <unordered_map>
#include <vector>

namespace varnel {

class MailBox;

// Where chosen records of one mailbox stand, found by their key, kept up to date from the box's
// edits. A record is known by an id that stays the same while the record stands unchanged; an
// edit of its header gives it a new one. Places are distances of the record mark from the end of
// the text, as in the mailbox's own index, so an edit costs the records in front of it (new mail
// stands in front), never the whole text.
class RecordPlaces {
public:
    using Id = quint64;
    // Which records to follow, by their status letter.
    using Wanted = std::function<bool(char letter)>;
    // Told after every edit: the records that went, then those that came (oldest first).
    using Listener = std::function<void(const std::vector<Id>& gone, const std::vector<Id>& added)>;

    RecordPlaces(MailBox& box, Wanted wanted);
    ~RecordPlaces();
    RecordPlaces(const RecordPlaces&) = delete;
    RecordPlaces& operator=(const RecordPlaces&) = delete;

    // Forgets everything and takes in the whole text; the listener hears of it as one edit.
    void Rebuild();
    void SetListener(Listener listener) { m_listener = std::move(listener); }

    struct Record {
        int fromEnd = 0;    // distance of the record mark from the end of the text
        size_t keyHash = 0; // the key itself is read from the text: a large box costs little memory
        char letter = 0;
    };
    const Record* Find(Id id) const;
    // Position of the record mark in the text now; -1 for an id no longer known.
    int PositionOf(Id id) const;
    // The records with this key, newest first.
    QList<Id> WithKey(QByteArrayView key) const;
    qsizetype Count() const { return qsizetype(m_order.size()); }

    // The parts of a record as the text holds them now; empty when the id is not known.
    QByteArray KeyOf(Id id) const;
    QByteArray HeaderOf(Id id) const;
    QByteArray BodyOf(Id id) const;

private:
    void Edited(qsizetype at, qsizetype removed, qsizetype inserted);
    // Takes in the records whose marks stand in [from, to) of the text.
    void Scan(qsizetype from, qsizetype to, std::vector<std::pair<int, Id>>& found, std::vector<Id>& added);
    // The header that starts at the record mark at position, or empty when there is none.
    QByteArray HeaderAt(int position) const;

    MailBox& m_box;
    Wanted m_wanted;
    Listener m_listener;
    int m_watcher = -1;
    Id m_nextId = 1;
    // Ids by place, smallest distance from the end (the oldest record) first.
    std::vector<std::pair<int, Id>> m_order;
    std::unordered_map<Id, Record> m_records;
    QMultiHash<size_t, Id> m_byKey;
};

} // namespace varnel

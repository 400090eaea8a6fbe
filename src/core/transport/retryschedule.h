#pragma once

#include "network/netprovider.h"
#include "store/recordplaces.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

namespace varnel {

class Clock;
class MailBox;

// When each copy of the send box that is on its way (letter S) goes out again, until its receipt
// turns it into G or R. Nothing of it is stored: it is read from the send box when it opens and
// follows the box's edits, so a restart or a crash loses no copy, and the copies that went on
// their way before the start all go once at the start.
//
// A copy is tried again a few seconds after a try that got no answer, then with growing pauses up
// to a minute, for seven days after its send time; a copy older than that (also one from an older
// send box) is never sent by itself. To a machine that has not answered since, only its oldest
// copy is tried; once it answers, the rest follow. A tick takes at most kMaxPerTick copies, and
// its cost does not grow with the number of copies that wait.
class RetrySchedule {
public:
    static constexpr int kMaxPerTick = 10;
    static constexpr qint64 kFirstPauseMs = 5'000;
    static constexpr qint64 kLongestPauseMs = 60'000;
    static constexpr qint64 kLongWaitMs = 24LL * 3600 * 1000;
    static constexpr qint64 kGiveUpMs = 7 * kLongWaitMs;
    // A machine that discovery lists but that answered none of this many tries over this span is
    // most likely cut off from the mail port.
    static constexpr int kBlockedTries = 5;
    static constexpr qint64 kBlockedSpanMs = 120'000;

    // The pause after the n-th try: a few seconds, doubled with every try, at most a minute.
    static qint64 PauseAfter(int tries);

    // presence: what discovery knows of a machine's program; without it nothing is known.
    RetrySchedule(MailBox& sendBox, const Clock& clock,
                  std::function<Presence(QByteArrayView)> presence = {});

    struct Due {
        QByteArray host;
        QByteArray datagram; // the mail as it first went out: letter S, empty read time
    };
    // What goes out now, at most kMaxPerTick copies; each of them counts as tried now.
    std::vector<Due> TakeDue();
    // Something came from that machine: it answers again.
    void Answered(QByteArrayView host);
    // A new listing of the network: every machine's next copy goes at once.
    void NetworkDetected();

    struct Notices {
        QList<QByteArray> longWaiting; // keys of copies unanswered for a day, each named once
        QList<QByteArray> gaveUp;      // keys of copies that are tried no more (seven days)
        QList<QByteArray> blocked;     // machines listed as running that answer none of the tries
    };
    // What the last ticks found that the person should learn, each thing once.
    Notices TakeNotices();

    int WaitingCount() const { return int(m_copies.size()); }
    struct Waiting {
        bool waiting = false;
        int tries = 0;
        QDateTime next;           // the next try
        bool behindOlder = false; // its machine does not answer: an older copy is tried first
    };
    // The state of the copy with this key, if it waits.
    Waiting StateOf(QByteArrayView key) const;

private:
    struct Copy {
        QByteArray host;
        qint64 sentAt = 0;
        int tries = 0;
        qint64 due = 0;
        qint64 lastTry = -1;
    };
    struct Host {
        std::set<std::pair<qint64, RecordPlaces::Id>> byAge;
        std::set<std::pair<qint64, RecordPlaces::Id>> byDue;
        bool silent = true; // not heard from since its last unanswered try (or ever)
        int unanswered = 0;
        qint64 firstUnanswered = -1;
        Presence presence = Presence::Unknown;
        bool blockedTold = false;
        qint64 head = -1; // its place in m_heads
    };

    void Changed(const std::vector<RecordPlaces::Id>& gone, const std::vector<RecordPlaces::Id>& added);
    void Add(RecordPlaces::Id id, qint64 now);
    void Remove(RecordPlaces::Id id);
    void SetDue(RecordPlaces::Id id, qint64 due);
    void Reseat(const QByteArray& name);
    // The copy of a machine that goes next: its oldest while it does not answer.
    RecordPlaces::Id Next(const Host& host) const;
    void Tried(RecordPlaces::Id id, qint64 now);
    void LookAtMachines(qint64 now);
    qint64 NowMs() const;

    const Clock& m_clock;
    std::function<Presence(QByteArrayView)> m_presence;
    RecordPlaces m_places;
    bool m_opening = true;
    std::unordered_map<RecordPlaces::Id, Copy> m_copies;
    std::map<QByteArray, Host> m_hosts;
    std::set<std::pair<qint64, QByteArray>> m_heads;        // each machine's next due time
    std::set<std::pair<qint64, RecordPlaces::Id>> m_byAge;  // every copy, oldest first
    std::set<std::pair<qint64, RecordPlaces::Id>> m_untold; // not yet named as waiting a day
    Notices m_notices;
};

} // namespace varnel

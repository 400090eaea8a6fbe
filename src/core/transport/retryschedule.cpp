#include "transport/retryschedule.h"

#include "clock.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"

#include <algorithm>

namespace varnel {

namespace {

// Field n of a record key, counted as the header's fields are: split at every separator.
QByteArray KeyField(const QByteArray& key, int n) {
    const QList<QByteArray> parts = key.split(kSeparator);
    return n < parts.size() ? parts.at(n) : QByteArray();
}

} // namespace

qint64 RetrySchedule::PauseAfter(int tries) {
    qint64 pause = kFirstPauseMs;
    for (int n = 1; n < tries && pause < kLongestPauseMs; ++n)
        pause *= 2;
    return std::min(pause, kLongestPauseMs);
}

RetrySchedule::RetrySchedule(MailBox& sendBox, const Clock& clock,
                             std::function<Presence(QByteArrayView)> presence)
    : m_clock(clock), m_presence(std::move(presence)),
      m_places(sendBox, [](char letter) { return StatusFromLetter(letter) == Sent; }) {
    m_places.SetListener([this](const auto& gone, const auto& added) { Changed(gone, added); });
    // The copies on their way when the box opened go at the first tick.
    m_places.Rebuild();
    m_opening = false;
}

qint64 RetrySchedule::NowMs() const {
    return m_clock.Now().toMSecsSinceEpoch();
}

void RetrySchedule::Changed(const std::vector<RecordPlaces::Id>& gone,
                            const std::vector<RecordPlaces::Id>& added) {
    for (const RecordPlaces::Id id : gone)
        Remove(id);
    if (added.empty())
        return;
    const qint64 now = NowMs();
    for (const RecordPlaces::Id id : added)
        Add(id, now);
}

void RetrySchedule::Add(RecordPlaces::Id id, qint64 now) {
    const QByteArray key = m_places.KeyOf(id);
    const QDateTime sent = QDateTime::fromString(QString::fromLatin1(KeyField(key, 3)), TimeFormat());
    const QByteArray host = KeyField(key, 2);
    // A send time this program did not write, or one more than seven days ago: never by itself.
    if (!sent.isValid() || host.isEmpty() || now - sent.toMSecsSinceEpoch() > kGiveUpMs)
        return;
    Copy copy;
    copy.host = host;
    copy.sentAt = sent.toMSecsSinceEpoch();
    Host& machine = m_hosts[host];
    if (m_opening) {
        copy.due = now;
    } else {
        // Stored while the program runs: it has just been sent (or could not leave) once.
        copy.tries = 1;
        copy.lastTry = now;
        copy.due = now + PauseAfter(1);
        if (machine.unanswered++ == 0)
            machine.firstUnanswered = now;
    }
    m_copies.emplace(id, copy);
    machine.byAge.emplace(copy.sentAt, id);
    machine.byDue.emplace(copy.due, id);
    m_byAge.emplace(copy.sentAt, id);
    m_untold.emplace(copy.sentAt, id);
    Reseat(host);
}

void RetrySchedule::Remove(RecordPlaces::Id id) {
    const auto it = m_copies.find(id);
    if (it == m_copies.end())
        return;
    const Copy& copy = it->second;
    Host& machine = m_hosts[copy.host];
    machine.byAge.erase({copy.sentAt, id});
    machine.byDue.erase({copy.due, id});
    m_byAge.erase({copy.sentAt, id});
    m_untold.erase({copy.sentAt, id});
    const QByteArray host = copy.host;
    m_copies.erase(it);
    Reseat(host);
}

void RetrySchedule::SetDue(RecordPlaces::Id id, qint64 due) {
    Copy& copy = m_copies.at(id);
    Host& machine = m_hosts[copy.host];
    machine.byDue.erase({copy.due, id});
    copy.due = due;
    machine.byDue.emplace(due, id);
}

RecordPlaces::Id RetrySchedule::Next(const Host& host) const {
    if (host.byAge.empty())
        return 0;
    return host.silent ? host.byAge.begin()->second : host.byDue.begin()->second;
}

void RetrySchedule::Reseat(const QByteArray& name) {
    Host& host = m_hosts[name];
    if (host.head >= 0)
        m_heads.erase({host.head, name});
    host.head = -1;
    if (const RecordPlaces::Id next = Next(host)) {
        host.head = m_copies.at(next).due;
        m_heads.emplace(host.head, name);
    }
}

void RetrySchedule::Tried(RecordPlaces::Id id, qint64 now) {
    Copy& copy = m_copies.at(id);
    Host& host = m_hosts[copy.host];
    // Its last try is still unanswered: from now on that machine gets one copy at a time.
    if (copy.lastTry >= 0 && host.unanswered > 0)
        host.silent = true;
    if (host.unanswered++ == 0)
        host.firstUnanswered = now;
    ++copy.tries;
    copy.lastTry = now;
    SetDue(id, now + PauseAfter(copy.tries));
    Reseat(copy.host);
}

std::vector<RetrySchedule::Due> RetrySchedule::TakeDue() {
    const qint64 now = NowMs();
    while (!m_byAge.empty() && now - m_byAge.begin()->first > kGiveUpMs) {
        const RecordPlaces::Id id = m_byAge.begin()->second;
        m_notices.gaveUp.append(m_places.KeyOf(id));
        Remove(id);
    }
    while (!m_untold.empty() && now - m_untold.begin()->first >= kLongWaitMs) {
        m_notices.longWaiting.append(m_places.KeyOf(m_untold.begin()->second));
        m_untold.erase(m_untold.begin());
    }
    LookAtMachines(now);

    std::vector<Due> due;
    while (int(due.size()) < kMaxPerTick && !m_heads.empty() && m_heads.begin()->first <= now) {
        const QByteArray name = m_heads.begin()->second;
        const RecordPlaces::Id id = Next(m_hosts[name]);
        // The header as it first went out: the same key, letter S, no read time.
        const QByteArray header = QByteArray(1, kRecordMark) + StatusLetter(Sent) + kSeparator +
                                  m_places.KeyOf(id) + kSeparator + kHeaderEnd;
        const QByteArray body = m_places.BodyOf(id);
        if (header.size() > kMaxHeader || header.size() + body.size() + 1 > kMaxOutgoingMail) {
            Remove(id); // cannot travel as it stands: no try would ever arrive
            continue;
        }
        due.push_back({name, header + body});
        Tried(id, now);
    }
    return due;
}

void RetrySchedule::LookAtMachines(qint64 now) {
    if (!m_presence)
        return;
    for (auto& [name, host] : m_hosts) {
        if (host.byAge.empty())
            continue;
        const Presence presence = m_presence(name);
        // Its program has just appeared: its next copy goes at once.
        if (presence == Presence::Running && host.presence != Presence::Running) {
            SetDue(Next(host), now);
            Reseat(name);
        }
        host.presence = presence;
        if (presence == Presence::Running && !host.blockedTold && host.unanswered >= kBlockedTries &&
            now - host.firstUnanswered >= kBlockedSpanMs) {
            host.blockedTold = true;
            m_notices.blocked.append(name);
        }
    }
}

void RetrySchedule::Answered(QByteArrayView host) {
    const auto it = m_hosts.find(host.toByteArray());
    if (it == m_hosts.end())
        return;
    it->second.silent = false;
    it->second.unanswered = 0;
    it->second.firstUnanswered = -1;
    Reseat(it->first);
}

void RetrySchedule::NetworkDetected() {
    const qint64 now = NowMs();
    for (auto& [name, host] : m_hosts) {
        if (const RecordPlaces::Id next = Next(host)) {
            SetDue(next, std::min(now, m_copies.at(next).due));
            Reseat(name);
        }
    }
}

RetrySchedule::Notices RetrySchedule::TakeNotices() {
    return std::exchange(m_notices, {});
}

RetrySchedule::Waiting RetrySchedule::StateOf(QByteArrayView key) const {
    for (const RecordPlaces::Id id : m_places.WithKey(key)) {
        const auto it = m_copies.find(id);
        if (it == m_copies.end())
            continue;
        const Host& host = m_hosts.at(it->second.host);
        Waiting waiting;
        waiting.waiting = true;
        waiting.tries = it->second.tries;
        waiting.next = QDateTime::fromMSecsSinceEpoch(it->second.due);
        waiting.behindOlder = host.silent && Next(host) != id;
        return waiting;
    }
    return {};
}

} // namespace varnel

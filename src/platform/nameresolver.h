#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <chrono>
#include <functional>
#include <memory>

class QObject;

namespace varnel {

// Machine names looked up with the system resolver on worker threads, so the thread that owns the
// resolver (the window thread) never waits for a slow or unreachable name server. Answers are kept
// for a while, failures included, and are looked up again once they have expired.
//
// Answers reach the owner's thread through its event loop (the answered callback), or at once when
// the owner asks (Find, Await). Everything but the lookups themselves runs on the owner's thread.
class NameResolver {
public:
    // Runs on a worker thread: the addresses of a name, empty when it does not resolve.
    using Lookup = std::function<QList<QHostAddress>(const QByteArray& name)>;
    using TimePoint = std::chrono::steady_clock::time_point;
    using Now = std::function<TimePoint()>;

    static constexpr std::chrono::seconds kPositiveTtl{30};
    static constexpr std::chrono::seconds kNegativeTtl{10};
    static constexpr int kMaxWorkers = 16;       // lookups running at once
    static constexpr int kMaxWaitingNames = 256; // names waiting for a free worker
    static constexpr int kMaxCachedNames = 1024; // names remembered, answered or not

    explicit NameResolver(Lookup lookup = SystemLookup, Now now = std::chrono::steady_clock::now);
    ~NameResolver();
    NameResolver(const NameResolver&) = delete;
    NameResolver& operator=(const NameResolver&) = delete;

    enum class Answer {
        Addresses, // addresses holds them (an expired answer is given while it is looked up again)
        Pending,   // a lookup is under way and will answer
        Failed,    // the name does not resolve, or cannot be looked up now (too many waiting)
    };
    // What is known of name now. Starts a lookup when nothing is known or the answer has expired.
    Answer Find(const QByteArray& name, QList<QHostAddress>& addresses);
    // Starts the lookups the names need and waits until each has answered, at most limit in all.
    void Await(const QList<QByteArray>& names, std::chrono::milliseconds limit);
    // Runs on the owner's thread, from its event loop, after lookups have answered.
    std::function<void()> answered;

    // getaddrinfo, IPv4 and IPv6.
    static QList<QHostAddress> SystemLookup(const QByteArray& name);

private:
    struct Shared;
    struct Entry {
        bool answered = false; // addresses (or their absence) came from a lookup
        bool looking = false;  // a lookup for the name is queued or running
        QList<QHostAddress> addresses;
        TimePoint expires;
    };

    // Takes in the answers the workers have left.
    void Collect();
    // Queues a lookup for the entry's name; false when no more can wait.
    bool Start(const QByteArray& key, Entry& entry);
    // Room for one more name: forgets expired names that no lookup is running for.
    bool MakeRoom();
    static QByteArray KeyOf(const QByteArray& name) { return name.toLower(); }

    Now m_now;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<QObject> m_notifier; // lives on the owner's thread; answers are posted to it
    QHash<QByteArray, Entry> m_cache;
};

} // namespace varnel

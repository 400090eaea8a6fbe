#include "platform/nameresolver.h"

#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>

namespace varnel {

// What the owner and the workers share. A worker may outlive the resolver (a lookup cannot be called
// off), so it holds this, never the resolver.
struct NameResolver::Shared {
    std::mutex mutex;
    std::condition_variable answeredOne;
    Lookup lookup;
    std::deque<QByteArray> waiting; // names for the next free worker
    int workers = 0;
    std::vector<std::pair<QByteArray, QList<QHostAddress>>> answers; // not yet collected
    QObject* notifier = nullptr;                                     // null once the resolver is gone
    bool notifyPosted = false;
    std::function<void()> notify; // runs on the notifier's thread

    // A worker takes names until none waits.
    static void Work(const std::shared_ptr<Shared>& self) {
        std::unique_lock<std::mutex> lock(self->mutex);
        while (!self->waiting.empty()) {
            const QByteArray name = std::move(self->waiting.front());
            self->waiting.pop_front();
            const Lookup lookup = self->lookup;
            lock.unlock();
            QList<QHostAddress> addresses = lookup(name);
            lock.lock();
            self->answers.emplace_back(name, std::move(addresses));
            self->answeredOne.notify_all();
            // One wake-up for however many answers arrive before the owner collects them.
            if (self->notifier && !self->notifyPosted) {
                self->notifyPosted = true;
                QMetaObject::invokeMethod(self->notifier, self->notify, Qt::QueuedConnection);
            }
        }
        --self->workers;
    }
};

NameResolver::NameResolver(Lookup lookup, Now now)
    : m_now(std::move(now)), m_shared(std::make_shared<Shared>()), m_notifier(std::make_unique<QObject>()) {
    m_shared->lookup = std::move(lookup);
    m_shared->notifier = m_notifier.get();
    m_shared->notify = [this] {
        {
            const std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_shared->notifyPosted = false;
        }
        Collect();
        if (answered)
            answered();
    };
}

NameResolver::~NameResolver() {
    {
        // Lookups already running finish on their own and are thrown away; queued ones never start.
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->notifier = nullptr;
        m_shared->waiting.clear();
    }
    // Deleting the notifier removes any answer notice still posted to it.
    m_notifier.reset();
}

QList<QHostAddress> NameResolver::SystemLookup(const QByteArray& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    QList<QHostAddress> result;
    if (getaddrinfo(name.toStdString().c_str(), nullptr, &hints, &list) != 0)
        return result;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6)
            continue;
        const QHostAddress address(ai->ai_addr);
        if (!address.isNull() && !result.contains(address))
            result.append(address);
    }
    freeaddrinfo(list);
    return result;
}

NameResolver::Answer NameResolver::Find(const QByteArray& name, QList<QHostAddress>& addresses) {
    addresses.clear();
    Collect();
    const QByteArray key = KeyOf(name);
    auto it = m_cache.find(key);
    if (it == m_cache.end()) {
        if (!MakeRoom())
            return Answer::Failed;
        it = m_cache.insert(key, Entry{});
    }
    Entry& entry = *it;
    if (entry.answered && entry.expires <= m_now()) {
        // Expired: looked up again. A failure no longer holds meanwhile; addresses still serve, so
        // mail keeps going to a machine that has not moved.
        if (!Start(key, entry) && entry.addresses.isEmpty())
            return Answer::Failed;
        if (entry.addresses.isEmpty())
            entry.answered = false;
    }
    if (entry.answered) {
        addresses = entry.addresses;
        return addresses.isEmpty() ? Answer::Failed : Answer::Addresses;
    }
    if (!entry.looking && !Start(key, entry))
        return Answer::Failed;
    return Answer::Pending;
}

void NameResolver::Await(const QList<QByteArray>& names, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QList<QByteArray> open;
    QList<QHostAddress> ignored;
    for (const QByteArray& name : names) {
        if (Find(name, ignored) == Answer::Pending)
            open.append(KeyOf(name));
    }
    while (!open.isEmpty()) {
        {
            std::unique_lock<std::mutex> lock(m_shared->mutex);
            if (!m_shared->answeredOne.wait_until(lock, deadline, [&] { return !m_shared->answers.empty(); }))
                return;
        }
        Collect();
        open.removeIf([&](const QByteArray& key) {
            const auto it = m_cache.constFind(key);
            return it == m_cache.constEnd() || it->answered;
        });
    }
}

void NameResolver::Collect() {
    std::vector<std::pair<QByteArray, QList<QHostAddress>>> answers;
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        answers.swap(m_shared->answers);
    }
    if (answers.empty())
        return;
    const TimePoint now = m_now();
    for (auto& [key, addresses] : answers) {
        auto it = m_cache.find(key);
        if (it == m_cache.end())
            continue; // forgotten meanwhile
        it->answered = true;
        it->looking = false;
        it->expires = now + (addresses.isEmpty() ? std::chrono::steady_clock::duration(kNegativeTtl)
                                                 : std::chrono::steady_clock::duration(kPositiveTtl));
        it->addresses = std::move(addresses);
    }
}

bool NameResolver::Start(const QByteArray& key, Entry& entry) {
    if (entry.looking)
        return true;
    bool spawn = false;
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->waiting.size() >= size_t(kMaxWaitingNames))
            return false;
        m_shared->waiting.push_back(key);
        if (m_shared->workers < kMaxWorkers) {
            ++m_shared->workers;
            spawn = true;
        }
    }
    entry.looking = true;
    if (spawn) {
        try {
            std::thread(&Shared::Work, m_shared).detach();
        } catch (const std::system_error&) {
            // No thread to be had now: the name is not looked up this time.
            const std::lock_guard<std::mutex> lock(m_shared->mutex);
            --m_shared->workers;
            std::erase(m_shared->waiting, key);
            entry.looking = false;
            return false;
        }
    }
    return true;
}

bool NameResolver::MakeRoom() {
    if (m_cache.size() < kMaxCachedNames)
        return true;
    const TimePoint now = m_now();
    m_cache.removeIf([&](QHash<QByteArray, Entry>::iterator it) {
        return !it->looking && (!it->answered || it->expires <= now);
    });
    return m_cache.size() < kMaxCachedNames;
}

} // namespace varnel

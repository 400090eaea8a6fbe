#include "platform/nameresolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace varnel {
namespace {

using namespace std::chrono_literals;
using Answer = NameResolver::Answer;

const QHostAddress kAddress(QStringLiteral("192.0.2.7"));
const QHostAddress kMoved(QStringLiteral("192.0.2.8"));

// Lookups that answer from a table (a name missing from it does not resolve), count themselves and
// can be held up: until released, or until releaseAt of them run at once. Shared with the workers,
// which may outlive a test.
struct Lookups {
    std::mutex mutex;
    std::condition_variable changed;
    QHash<QByteArray, QList<QHostAddress>> table{{"pc01", {kAddress}}};
    bool holdUp = false;
    int releaseAt = 0;
    int count = 0;
    int running = 0;
    int mostAtOnce = 0;

    QList<QHostAddress> operator()(const QByteArray& name) {
        std::unique_lock<std::mutex> lock(mutex);
        ++count;
        mostAtOnce = std::max(mostAtOnce, ++running);
        if (releaseAt > 0 && running >= releaseAt)
            holdUp = false;
        changed.notify_all();
        changed.wait_for(lock, 10s, [&] { return !holdUp; });
        --running;
        return table.value(name);
    }
    // Runs f under the lock, and wakes the lookups afterwards.
    template <typename F> auto With(F f) {
        const std::lock_guard<std::mutex> lock(mutex);
        changed.notify_all();
        return f();
    }
};

struct Resolving {
    std::shared_ptr<Lookups> lookups = std::make_shared<Lookups>();
    NameResolver::TimePoint now{};
    NameResolver resolver{[l = lookups](const QByteArray& name) { return (*l)(name); },
                          [this] { return now; }};

    Answer Find(const QByteArray& name) {
        QList<QHostAddress> addresses;
        return resolver.Find(name, addresses);
    }
    QList<QHostAddress> Addresses(const QByteArray& name) {
        QList<QHostAddress> addresses;
        resolver.Find(name, addresses);
        return addresses;
    }
    int Count() {
        return lookups->With([&] { return lookups->count; });
    }
    void HoldUp(bool on) {
        lookups->With([&] { lookups->holdUp = on; });
    }
};

TEST(NameResolver, AnAnswerIsKeptUntilItExpiresThenLookedUpAgain) {
    Resolving r;
    EXPECT_EQ(r.Find("PC01"), Answer::Pending);
    r.resolver.Await({"PC01"}, 10s);
    r.now += NameResolver::kPositiveTtl - 1s;
    EXPECT_EQ(r.Addresses("pc01"), QList<QHostAddress>{kAddress});
    EXPECT_EQ(r.Count(), 1);

    // Expired: looked up again, and the old addresses serve until the new answer is in.
    r.now += 1s;
    r.HoldUp(true);
    r.lookups->With([&] { r.lookups->table["pc01"] = {kMoved}; });
    EXPECT_EQ(r.Addresses("PC01"), QList<QHostAddress>{kAddress});
    r.HoldUp(false);
    for (int i = 0; i < 10000 && r.Addresses("PC01") != QList<QHostAddress>{kMoved}; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(r.Addresses("PC01"), QList<QHostAddress>{kMoved});
    EXPECT_EQ(r.Count(), 2);
}

TEST(NameResolver, AFailureIsKeptForItsWhileAndNoLonger) {
    Resolving r;
    r.resolver.Await({"ghost"}, 10s);
    EXPECT_EQ(r.Find("ghost"), Answer::Failed);
    r.now += NameResolver::kNegativeTtl - 1s;
    EXPECT_EQ(r.Find("ghost"), Answer::Failed);
    EXPECT_EQ(r.Count(), 1);

    // Expired: no longer a failure, and the new answer counts.
    r.now += 1s;
    r.lookups->With([&] { r.lookups->table["ghost"] = {kAddress}; });
    EXPECT_EQ(r.Find("ghost"), Answer::Pending);
    r.resolver.Await({"ghost"}, 10s);
    EXPECT_EQ(r.Find("ghost"), Answer::Addresses);
    EXPECT_EQ(r.Count(), 2);
}

TEST(NameResolver, AwaitGivesUpOnALookupThatHangs) {
    Resolving r;
    r.HoldUp(true);
    r.resolver.Await({"pc01"}, 50ms);
    EXPECT_EQ(r.Find("pc01"), Answer::Pending);
    r.HoldUp(false);
}

TEST(NameResolver, NamesAreLookedUpInParallelAtMostSoManyAtOnce) {
    Resolving r;
    r.lookups->With([&] {
        r.lookups->holdUp = true;
        r.lookups->releaseAt = NameResolver::kMaxWorkers;
    });
    QList<QByteArray> names;
    for (int i = 0; i < 30; ++i)
        names.append("pc" + QByteArray::number(100 + i));
    r.resolver.Await(names, 10s);
    for (const QByteArray& name : names)
        EXPECT_EQ(r.Find(name), Answer::Failed) << name.constData();
    EXPECT_EQ(r.lookups->With([&] { return r.lookups->mostAtOnce; }), NameResolver::kMaxWorkers);
}

TEST(NameResolver, NamesBeyondTheWaitingRoomFailAtOnce) {
    Resolving r;
    r.HoldUp(true);
    int n = 0;
    for (; n < NameResolver::kMaxWorkers; ++n)
        EXPECT_EQ(r.Find("pc" + QByteArray::number(n)), Answer::Pending);
    std::unique_lock<std::mutex> lock(r.lookups->mutex);
    r.lookups->changed.wait_for(lock, 10s, [&] { return r.lookups->running == NameResolver::kMaxWorkers; });
    lock.unlock();
    for (; n < NameResolver::kMaxWorkers + NameResolver::kMaxWaitingNames; ++n)
        EXPECT_EQ(r.Find("pc" + QByteArray::number(n)), Answer::Pending) << n;
    EXPECT_EQ(r.Find("one-too-many"), Answer::Failed);
    EXPECT_EQ(r.Find("pc0"), Answer::Pending); // a name already waiting still waits
    r.HoldUp(false);
}

} // namespace
} // namespace varnel

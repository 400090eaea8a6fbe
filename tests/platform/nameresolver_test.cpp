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

// A resolver on a clock the test moves, whose lookups answer from a table (a name missing from it
// does not resolve) and can be held up until released. The lookups' state is shared with them, as
// a lookup may still be running when the test ends.
struct Resolving {
    struct Lookups {
        std::mutex mutex;
        std::condition_variable changed;
        QHash<QByteArray, QList<QHostAddress>> table{{"pc01", {kAddress}}};
        bool holdUp = false;
        int releaseAt = 0; // when > 0, held-up lookups go on once this many run at once
        int count = 0;
        int running = 0;
        int mostAtOnce = 0;

        QList<QHostAddress> operator()(const QByteArray& name) {
            std::unique_lock<std::mutex> lock(mutex);
            ++count;
            ++running;
            mostAtOnce = std::max(mostAtOnce, running);
            if (holdUp && releaseAt > 0 && running >= releaseAt)
                holdUp = false;
            changed.notify_all();
            changed.wait_for(lock, 10s, [&] { return !holdUp; });
            --running;
            return table.value(name);
        }
    };

    Resolving()
        : lookups(std::make_shared<Lookups>()),
          resolver([shared = lookups](const QByteArray& name) { return (*shared)(name); },
                   [this] { return now; }) {}
    ~Resolving() { Release(); }

    void HoldUp(int releaseWhenRunning = 0) {
        const std::lock_guard<std::mutex> lock(lookups->mutex);
        lookups->holdUp = true;
        lookups->releaseAt = releaseWhenRunning;
    }
    void Release() {
        const std::lock_guard<std::mutex> lock(lookups->mutex);
        lookups->holdUp = false;
        lookups->changed.notify_all();
    }
    void Set(const QByteArray& name, const QList<QHostAddress>& addresses) {
        const std::lock_guard<std::mutex> lock(lookups->mutex);
        lookups->table[name] = addresses;
    }
    int Count() {
        const std::lock_guard<std::mutex> lock(lookups->mutex);
        return lookups->count;
    }
    int MostAtOnce() {
        const std::lock_guard<std::mutex> lock(lookups->mutex);
        return lookups->mostAtOnce;
    }
    void WaitUntilRunning(int n) {
        std::unique_lock<std::mutex> lock(lookups->mutex);
        lookups->changed.wait_for(lock, 10s, [&] { return lookups->running >= n; });
    }
    Answer Find(const QByteArray& name) {
        QList<QHostAddress> addresses;
        const Answer answer = resolver.Find(name, addresses);
        EXPECT_EQ(!addresses.isEmpty(), answer == Answer::Addresses);
        return answer;
    }
    QList<QHostAddress> Addresses(const QByteArray& name) {
        QList<QHostAddress> addresses;
        resolver.Find(name, addresses);
        return addresses;
    }

    std::shared_ptr<Lookups> lookups;
    NameResolver::TimePoint now{};
    NameResolver resolver;
};

// Polls (answers come from other threads) for up to ten seconds.
template <typename Condition> bool Eventually(Condition condition) {
    for (int i = 0; i < 10000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

TEST(NameResolver, AnAnswerIsKeptUntilItExpiresThenLookedUpAgain) {
    Resolving r;
    EXPECT_EQ(r.Find("PC01"), Answer::Pending);
    r.resolver.Await({"PC01"}, 10s);
    r.now += NameResolver::kPositiveTtl - 1s;
    EXPECT_EQ(r.Addresses("pc01"), QList<QHostAddress>{kAddress});
    EXPECT_EQ(r.Count(), 1);

    // Expired: looked up again, and the old addresses serve until the new answer is in.
    r.now += 1s;
    const QHostAddress moved(QStringLiteral("192.0.2.8"));
    r.HoldUp();
    r.Set("pc01", {moved});
    EXPECT_EQ(r.Addresses("PC01"), QList<QHostAddress>{kAddress});
    r.Release();
    EXPECT_TRUE(Eventually([&] { return r.Addresses("PC01") == QList<QHostAddress>{moved}; }));
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
    r.Set("ghost", {kAddress});
    EXPECT_EQ(r.Find("ghost"), Answer::Pending);
    r.resolver.Await({"ghost"}, 10s);
    EXPECT_EQ(r.Find("ghost"), Answer::Addresses);
    EXPECT_EQ(r.Count(), 2);
}

TEST(NameResolver, AwaitGivesUpOnALookupThatHangs) {
    Resolving r;
    r.HoldUp();
    r.resolver.Await({"pc01"}, 50ms);
    EXPECT_EQ(r.Find("pc01"), Answer::Pending);
    r.Release();
    r.resolver.Await({"pc01"}, 10s);
    EXPECT_EQ(r.Find("pc01"), Answer::Addresses);
}

TEST(NameResolver, NamesAreLookedUpInParallelAtMostSoManyAtOnce) {
    Resolving r;
    r.HoldUp(NameResolver::kMaxWorkers); // none answers before that many run at once
    QList<QByteArray> names;
    for (int i = 0; i < 30; ++i)
        names.append("pc" + QByteArray::number(100 + i));
    r.resolver.Await(names, 10s);
    for (const QByteArray& name : names)
        EXPECT_EQ(r.Find(name), Answer::Failed) << name.constData();
    EXPECT_EQ(r.MostAtOnce(), NameResolver::kMaxWorkers);
}

TEST(NameResolver, NamesBeyondTheWaitingRoomFailAtOnce) {
    Resolving r;
    r.HoldUp();
    int n = 0;
    for (; n < NameResolver::kMaxWorkers; ++n)
        EXPECT_EQ(r.Find("pc" + QByteArray::number(n)), Answer::Pending);
    r.WaitUntilRunning(NameResolver::kMaxWorkers);
    for (; n < NameResolver::kMaxWorkers + NameResolver::kMaxWaitingNames; ++n)
        EXPECT_EQ(r.Find("pc" + QByteArray::number(n)), Answer::Pending) << n;
    EXPECT_EQ(r.Find("one-too-many"), Answer::Failed);
    EXPECT_EQ(r.Find("pc0"), Answer::Pending); // a name already waiting still waits
}

} // namespace
} // namespace varnel

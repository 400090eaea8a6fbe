// Delivery under load. 1,000 mails queued at once: how many mail checks until all of them are
// stored and answered, and what those checks cost. One mail check over a send box of 50 MB with
// 100 and with 10,000 copies on their way: its cost must not grow with the number that wait. The
// open of a 50 MB receive box, whose records are indexed by key.
#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace varnel;

namespace {

QByteArray Record(char letter, int n, const QByteArray& to, qsizetype bodySize) {
    char title[32];
    std::snprintf(title, sizeof title, "\x89\xEF\x8B\x63 %d", n);
    return BuildHeader(letter, title, "PC01", to, "1998/02/23 9:05:07") + QByteArray(bodySize, 'x') + "\r\n";
}

struct Machine {
    Machine() : endpoint(network.AddHost("PC01")), slot(endpoint) {
        network.AddHost("PC02").Open();
        slot.Open();
        clock.advance = false;
    }
    FakeNetwork network;
    FakeEndpoint& endpoint;
    MailSlot slot;
    MailBox sendBox;
    MailBox receiveBox;
    FakeClock clock;
};

void BM_ThousandMailsQueuedAtOnce(benchmark::State& state) {
    int ticks = 0;
    int receipts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Machine pc01;
        Courier courier(pc01.slot, pc01.sendBox, pc01.receiveBox, pc01.clock, [] { return true; });
        for (int n = 0; n < 1000; ++n) {
            QByteArray mail = Record('S', n, "PC01", 100);
            mail.replace("\\PC01\\PC01\\", "\\PC02\\PC01\\");
            pc01.endpoint.Inject(mail + '\0', "PC02");
        }
        state.ResumeTiming();
        for (ticks = 0; pc01.endpoint.Waiting() > 0; ++ticks)
            courier.CheckMail();
        state.PauseTiming();
        receipts = int(pc01.network.SentTo("PC02").size());
        if (pc01.receiveBox.MarkCount() != 1000 || receipts != 1000)
            state.SkipWithError("not every mail was stored and answered");
        state.ResumeTiming();
    }
    state.counters["ticks"] = ticks;
    state.counters["stored_and_answered"] = receipts;
}
BENCHMARK(BM_ThousandMailsQueuedAtOnce)->Unit(benchmark::kMillisecond)->Iterations(5);

// A send box of about 50 MB of answered mail, with `waiting` copies on their way spread through
// it, to 50 machines that do not answer; every tick finds each machine's next copy due, and sends
// as many as one tick may. A minute passes between two ticks (17 hours in all, short of the day
// after which copies are named).
void BM_TickWithWaitingCopies(benchmark::State& state) {
    const int waiting = int(state.range(0));
    Machine pc01;
    QByteArray text;
    text.reserve(52'000'000);
    const int records = 100'000;
    const int step = records / waiting;
    for (int n = 0; n < records; ++n) {
        const bool onItsWay = n % step == 0;
        const QByteArray to = "PC" + QByteArray::number(10 + (n / step) % 50);
        text.append(Record(onItsWay ? 'S' : 'G', n, to, 480));
    }
    pc01.sendBox.SetText(text);
    Courier courier(pc01.slot, pc01.sendBox, pc01.receiveBox, pc01.clock, [] { return true; });
    int retried = 0;
    for (auto _ : state) {
        pc01.clock.Set(pc01.clock.Now().addSecs(61));
        retried = courier.CheckMail().retried;
        pc01.network.sent.clear();
    }
    state.counters["send_box_MB"] = double(pc01.sendBox.Text().size()) / 1e6;
    state.counters["waiting"] = courier.Schedule().WaitingCount();
    state.counters["retried_per_tick"] = retried;
}
BENCHMARK(BM_TickWithWaitingCopies)->Arg(100)->Arg(10'000)->Unit(benchmark::kMicrosecond)->Iterations(1000);

// What the index of the receive box (to know a mail sent again) costs at the open of 50 MB of
// small mails.
void BM_OpenWithFiftyMegabytesReceived(benchmark::State& state) {
    Machine pc01;
    QByteArray text;
    text.reserve(52'000'000);
    for (int n = 0; text.size() < 50'000'000; ++n)
        text.append(Record('G', n, "PC01", 100));
    pc01.receiveBox.SetText(text);
    for (auto _ : state) {
        Courier courier(pc01.slot, pc01.sendBox, pc01.receiveBox, pc01.clock, [] { return true; });
        benchmark::DoNotOptimize(courier.UnreadCount());
    }
    state.counters["records"] = pc01.receiveBox.MarkCount();
}
BENCHMARK(BM_OpenWithFiftyMegabytesReceived)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

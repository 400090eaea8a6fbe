// What keeping the mailboxes on disk costs: one mail check that stores ten new mails and puts them
// on disk (written and flushed) before it answers them, with a receive box of 500 kB, 5 MB and
// 50 MB; and the close-time write of the whole file for comparison. Real files in the folder for
// temporary files, so the figures include the disk's flush.
#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "platform/filemailboxes.h"
#include "readcopies.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"
#include "store/mailstore.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>

using namespace varnel;

namespace {

// A received mail of about 150 bytes: title, hosts, send time, a two-line body.
QByteArray Mail(int n) {
    char title[32];
    std::snprintf(title, sizeof title, "\x89\xEF\x8B\x63 %d", n);
    return BuildHeader('S', title, "PC02", "PC01", "1998/02/23 9:05:07") +
           "\x82\xA8\x94\xE6\x82\xEA\x82\xB3\x82\xDC\x82\xC5\x82\xB7\r\n"
           "10\x8E\x9E\x82\xA9\x82\xE7\x91\xE6\x93\xF1\x89\xEF\x8B\x63\x8E\xBA\x82\xC5\x82\xB7\x81\x42\r\n";
}

// One copy of the program over a receive box file of about `size` bytes.
struct Machine {
    explicit Machine(qsizetype size) : files(dir.path()), endpoint(network.AddHost("PC01")), slot(endpoint) {
        network.AddHost("PC02").Open();
        slot.Open();
        const QByteArray text = ReadCopies(size, Mail);
        QString error;
        files.Save(QStringLiteral("vnread.txt"), text, error);
        store.Open(QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt"), sendBox, receiveBox);
    }

    QTemporaryDir dir;
    FileMailboxes files;
    FakeNetwork network;
    FakeEndpoint& endpoint;
    MailSlot slot;
    FakeClock clock;
    MailBox sendBox;
    MailBox receiveBox;
    MailStore store{files};
    Courier courier{slot, sendBox, receiveBox, clock, [] { return true; }, [this] { return store.Commit(); }};
};

void TickStoringTenMails(benchmark::State& state) {
    Machine pc(state.range(0));
    int n = 1; // the box holds mails 0, -1, -2, ...: a mail of the same key and text is stored once
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 10; ++k)
            pc.endpoint.Inject(Mail(n++) + '\0');
        state.ResumeTiming();
        const Courier::CheckResult result = pc.courier.CheckMail();
        state.PauseTiming();
        if (result.newCount != 10 || !result.kept) {
            state.SkipWithError("the ten mails were not stored and kept");
            break;
        }
        // The box keeps its size: the ten go again, and that change is on disk before the next tick.
        for (int k = 0; k < 10; ++k)
            pc.receiveBox.DeleteRecord(0);
        pc.store.Commit();
        state.ResumeTiming();
    }
    state.counters["box_bytes"] = double(pc.receiveBox.Text().size());
}
BENCHMARK(TickStoringTenMails)->Arg(500'000)->Arg(5'000'000)->Arg(50'000'000)->Unit(benchmark::kMillisecond);

// The whole file written at the close (or when a journal is folded into it).
void WholeFileWrite(benchmark::State& state) {
    Machine pc(state.range(0));
    for (auto _ : state) {
        if (pc.store.Close(pc.receiveBox).outcome != MailStore::Closing::Written)
            state.SkipWithError("the file was not written");
    }
}
BENCHMARK(WholeFileWrite)->Arg(500'000)->Arg(5'000'000)->Arg(50'000'000)->Unit(benchmark::kMillisecond);

} // namespace

// What sealing costs: sealing and opening one mail (of about 150 bytes and of the largest size), and
// one mail check that takes in ten mails, stores them, puts them on disk and answers them, once with
// plain mail and plain receipts and once with sealed mail and sealed receipts. Real files in the
// folder for temporary files under a 500 kB receive box, as the mail check runs in the program.
#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "platform/filemailboxes.h"
#include "readcopies.h"
#include "seal/identity.h"
#include "seal/keyring.h"
#include "seal/sealingendpoint.h"
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

QByteArray Mail(int n, qsizetype bodySize = 120) {
    char title[32];
    std::snprintf(title, sizeof title, "\x89\xEF\x8B\x63 %d", n);
    return BuildHeader('S', title, "PC02", "PC01", "1998/02/23 9:05:07") + QByteArray(bodySize, 'x') + '\0';
}

// PC01 with its receive box of about 500 kB on disk, and PC02, which writes to it; with keys, both
// have each other's key pinned, else they know none and everything goes plain.
struct Machines {
    explicit Machines(bool keys = true)
        : files(dir.path()), endpoint(network.AddHost("PC01")), sealing(endpoint, pc01, keyring01),
          slot(sealing), pc02Endpoint(network.AddHost("PC02")), pc02Sealing(pc02Endpoint, pc02, keyring02) {
        sealing.SetLocalName("PC01");
        pc02Sealing.SetLocalName("PC02");
        if (keys) {
            keyring01.Learn("PC02", pc02.PublicKey());
            keyring02.Learn("PC01", pc01.PublicKey());
        }
        pc02Endpoint.Open();
        slot.Open();
        const QByteArray text = ReadCopies(500'000, [](int n) { return Mail(n).chopped(1); });
        QString error;
        files.Save(QStringLiteral("vnread.txt"), text, error);
        store.Open(QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt"), sendBox, receiveBox);
    }

    QTemporaryDir dir;
    FileMailboxes files;
    FakeNetwork network;
    Identity pc01 = Identity::Generate();
    Identity pc02 = Identity::Generate();
    Keyring keyring01;
    Keyring keyring02;
    FakeEndpoint& endpoint;
    SealingEndpoint sealing;
    MailSlot slot;
    FakeEndpoint& pc02Endpoint;
    SealingEndpoint pc02Sealing;
    FakeClock clock;
    MailBox sendBox;
    MailBox receiveBox;
    MailStore store{files};
    Courier courier{slot, sendBox, receiveBox, clock, [] { return true; }, [this] { return store.Commit(); }};
};

void SealOneMail(benchmark::State& state) {
    Machines pcs;
    const QByteArray mail = Mail(1, state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(pcs.pc02Sealing.SealRecord(pcs.pc01.PublicKey(), mail));
}
BENCHMARK(SealOneMail)->Arg(120)->Arg(kMaxOutgoingMail - 200)->Unit(benchmark::kMicrosecond);

void OpenOneMail(benchmark::State& state) {
    Machines pcs;
    const QByteArray sealed = pcs.pc02Sealing.SealRecord(pcs.pc01.PublicKey(), Mail(1, state.range(0)));
    QByteArray record;
    for (auto _ : state) {
        pcs.endpoint.Inject(sealed);
        pcs.sealing.ReadNext(record);
        if (record.isEmpty()) {
            state.SkipWithError("the mail did not open");
            break;
        }
    }
}
BENCHMARK(OpenOneMail)->Arg(120)->Arg(kMaxOutgoingMail - 200)->Unit(benchmark::kMicrosecond);

// range(0): 0 for plain mail, 1 for sealed.
void TickOfTenMails(benchmark::State& state) {
    const bool sealed = state.range(0) == 1;
    Machines pcs(sealed);
    int n = 1; // the box holds mails 0, -1, -2, ...: a mail of the same key and text is stored once
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 10; ++k) {
            const QByteArray mail = Mail(n++);
            pcs.endpoint.Inject(sealed ? pcs.pc02Sealing.SealRecord(pcs.pc01.PublicKey(), mail) : mail);
        }
        const qsizetype before = pcs.network.sent.size();
        state.ResumeTiming();
        const Courier::CheckResult result = pcs.courier.CheckMail();
        state.PauseTiming();
        if (result.newCount != 10 || !result.kept || pcs.network.sent.size() < before + 10 ||
            pcs.network.sent.last().bytes.startsWith("VNSEAL") != sealed) {
            state.SkipWithError("the ten mails were not stored, kept and answered as asked");
            break;
        }
        pcs.pc02Endpoint.Close(); // drops the receipts
        pcs.pc02Endpoint.Open();
        for (int k = 0; k < 10; ++k)
            pcs.receiveBox.DeleteRecord(0);
        pcs.store.Commit();
        state.ResumeTiming();
    }
    state.SetLabel(sealed ? "sealed" : "plain");
}
BENCHMARK(TickOfTenMails)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

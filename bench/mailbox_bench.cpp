#include "store/mailbox.h"
#include "store/mailrecord.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using varnel::MailBox;

namespace {

// About 125 bytes a record, as the office sends them: a short Japanese title, host names, the send
// time, sometimes a read time, and a two-line body.
QByteArray Mailbox(qsizetype size) {
    static const char* titles[] = {
        "\x89\xEF\x8B\x63\x82\xCC\x82\xA8\x92\x6D\x82\xE7\x82\xB9", // 会議のお知らせ
        "\x96\xBE\x93\xFA\x82\xCC\x8C\x76\x89\xE6\x82\xC9\x82\xC2\x82\xA2\x82\xC4",
        "\x8A\x6D\x94\x46\x82\xCC\x82\xA8\x8A\xE8\x82\xA2"};
    QByteArray unit;
    for (int n = 0; unit.size() < 500000 - 200; ++n) {
        char sender[8];
        char recipient[8];
        std::snprintf(sender, sizeof sender, "PC%02d", n % 20 + 1);
        std::snprintf(recipient, sizeof recipient, "PC%02d", n % 7 + 1);
        QByteArray header =
            varnel::BuildHeader("KSGR"[n % 4], titles[n % 3], sender, recipient, "1998/02/23 9:05:07");
        if (n % 4 == 3)
            header.insert(header.size() - 1, "1998/02/23 9:17:41");
        unit +=
            header +
            "\x82\xA8\x94\xE6\x82\xEA\x82\xB3\x82\xDC\x82\xC5\x82\xB7\r\n" // お疲れさまです
            "10\x8E\x9E\x82\xA9\x82\xE7\x91\xE6\x93\xF1\x89\xEF\x8B\x63\x8E\xBA\x82\xC5\x82\xB7\x81\x42"
            "\x8E\x91\x97\xBF\x82\xF0\x82\xA8\x8E\x9D\x82\xBF\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42\r\n";
    }
    QByteArray text;
    while (text.size() + unit.size() <= size || text.isEmpty())
        text += unit;
    return text;
}

// The listing as the mailbox has always done it: every lookup counts marks from position 0.
struct FromTheStart {
    const QByteArray& text;

    int Mark(char mark, int i) const {
        int count = 0;
        for (int p = 0; i >= 0 && p < text.size(); ++p) {
            if (text[p] == mark && ++count == i + 1)
                return p;
        }
        return -1;
    }
    int StatusOf(int i) const {
        const int p = Mark(varnel::kRecordMark, i);
        return p < 0 ? -1 : varnel::StatusFromLetter(p + 1 < text.size() ? text[p + 1] : char(0));
    }
    QByteArray FieldOf(int i, int n) const {
        const int s = Mark(varnel::kRecordMark, i);
        const int e = Mark(varnel::kHeaderEnd, i);
        if (s < 0 || e < 0 || s > e)
            return "-1";
        QByteArray field;
        for (int p = s + 1, counter = -1; p < e; ++p) {
            const char c = text[p];
            if (c == varnel::kSeparator || c == varnel::kRecordMark || c == varnel::kHeaderEnd)
                ++counter;
            else if (counter == n)
                field.append(c);
            else if (counter > n)
                break;
        }
        return field;
    }
};

template <typename Box> int List(const Box& box) {
    int i = 0;
    for (; box.StatusOf(i) != -1; ++i) {
        for (int n = 0; n <= 4; ++n)
            benchmark::DoNotOptimize(box.FieldOf(i, n));
    }
    return i;
}

void BM_ListIndexed(benchmark::State& state) {
    MailBox box;
    if (!box.SetText(Mailbox(state.range(0)))) {
        state.SkipWithError("text above the cap");
        return;
    }
    int records = 0;
    for (auto _ : state)
        records = List(box);
    state.counters["records"] = records;
    state.SetItemsProcessed(state.iterations() * records);
}
BENCHMARK(BM_ListIndexed)->Arg(500000)->Arg(5000000)->Arg(50000000)->Unit(benchmark::kMillisecond);

void BM_ListReference(benchmark::State& state) {
    const QByteArray text = Mailbox(state.range(0));
    int records = 0;
    for (auto _ : state)
        records = List(FromTheStart{text});
    state.counters["records"] = records;
    state.SetItemsProcessed(state.iterations() * records);
}
// Quadratic: seconds at the old 500000-byte size already, so only that size and one run.
BENCHMARK(BM_ListReference)->Arg(500000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SetText(benchmark::State& state) {
    const QByteArray text = Mailbox(state.range(0));
    MailBox box;
    for (auto _ : state)
        benchmark::DoNotOptimize(box.SetText(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_SetText)->Arg(50000000)->Unit(benchmark::kMillisecond);

} // namespace

#include "store/journal.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace varnel {
namespace {

using namespace journal;

// Random edits of every kind, each applied to a plain byte array (the model) and written as a
// frame: prepends most of all, as arriving mail makes them.
struct Scenario {
    QByteArray base;
    QByteArray text;
    QByteArray bytes;
    int edits = 0;

    explicit Scenario(quint32 seed, int count) {
        QRandomGenerator random(seed);
        for (int k = 0; k < 3000; ++k)
            base.append(char('a' + random.bounded(26)));
        text = base;
        bytes = Start(base.size(), Digest(base));
        for (int k = 0; k < count; ++k) {
            const qsizetype at = random.bounded(int(text.size()) + 1);
            const qsizetype removed = random.bounded(int(std::min<qsizetype>(text.size() - at, 40)) + 1);
            QByteArray inserted;
            for (int n = random.bounded(60); n > 0; --n)
                inserted.append(char(random.bounded(256)));
            Add(random.bounded(3) == 0 ? 0 : at, random.bounded(3) == 0 ? 0 : removed, inserted);
        }
    }
    void Add(qsizetype at, qsizetype removed, const QByteArray& inserted) {
        text.replace(at, std::min(removed, text.size() - at), inserted);
        bytes += EditFrame(at, std::min(removed, text.size() + removed - at), inserted);
        ++edits;
    }
};

TEST(Journal, ReplayingTheFramesGivesWhatTheEditsMade) {
    for (quint32 seed = 1; seed <= 20; ++seed) {
        const Scenario s(seed, 400);
        const Parsed parsed = Parse(s.bytes);
        ASSERT_TRUE(parsed.started);
        EXPECT_FALSE(parsed.torn);
        EXPECT_EQ(parsed.validLength, s.bytes.size());
        ASSERT_EQ(parsed.marks.size(), 1u);
        EXPECT_EQ(parsed.marks[0].digest, Digest(s.base));
        ASSERT_EQ(int(parsed.edits.size()), s.edits);
        QByteArray replayed;
        ASSERT_TRUE(Replay(s.base, parsed.edits, 0, replayed));
        ASSERT_EQ(replayed, s.text) << "seed " << seed;
    }
}

TEST(Journal, AFrameCutShortOrDamagedEndsTheJournalBeforeIt) {
    Scenario s(7, 3);
    const qsizetype beforeLast = Parse(s.bytes).validLength;
    s.Add(5, 2, "last edit");
    const qsizetype whole = s.bytes.size();
    // Cut anywhere inside the last frame: the three edits before it stand, the last is gone.
    for (qsizetype cut = beforeLast; cut < whole; ++cut) {
        const Parsed parsed = Parse(QByteArrayView(s.bytes).first(cut));
        ASSERT_EQ(parsed.edits.size(), 3u) << cut;
        EXPECT_EQ(parsed.validLength, beforeLast);
        EXPECT_EQ(parsed.torn, cut > beforeLast);
    }
    // One bit flipped anywhere in it: the same.
    for (qsizetype p = beforeLast; p < whole; ++p) {
        QByteArray damaged = s.bytes;
        damaged[p] = char(damaged[p] ^ 0x10);
        const Parsed parsed = Parse(damaged);
        ASSERT_EQ(parsed.edits.size(), 3u) << p;
        EXPECT_TRUE(parsed.torn);
    }
    // A start cut short is no journal at all.
    const Parsed start = Parse(QByteArrayView(s.bytes).first(kStartSize - 1));
    EXPECT_FALSE(start.started);
    EXPECT_EQ(start.validLength, 0);
}

TEST(Journal, AFrameDamagedWithWholeFramesAfterItIsDamageNotAnEnd) {
    Scenario s(9, 0);
    s.Add(0, 0, "first");
    const qsizetype second = s.bytes.size();
    s.Add(0, 0, "second");
    const qsizetype third = s.bytes.size();
    s.Add(0, 0, "third");
    s.bytes[second + 10] = char(s.bytes[second + 10] ^ 0x01);
    const Parsed parsed = Parse(s.bytes);
    EXPECT_FALSE(parsed.torn);
    ASSERT_EQ(parsed.damage.size(), 1u);
    EXPECT_EQ(parsed.damage[0].at, second);
    EXPECT_EQ(parsed.damage[0].length, third - second);
    EXPECT_EQ(parsed.damage[0].editsBefore, 1u);
    ASSERT_EQ(parsed.edits.size(), 2u);
    EXPECT_EQ(parsed.edits[1].inserted, QByteArrayView("third"));
}

TEST(Journal, ReplayGoesOnFromACheckpointAndRefusesEditsThatDoNotFit) {
    const QByteArray base = "0123456789";
    QByteArray bytes = Start(base.size(), Digest(base)) + EditFrame(0, 0, "ab");
    bytes += CheckpointFrame(12, Digest("ab0123456789"));
    bytes += EditFrame(12, 0, "!");
    const Parsed parsed = Parse(bytes);
    ASSERT_EQ(parsed.marks.size(), 2u);
    EXPECT_EQ(parsed.marks[1].editsBefore, 1u);
    QByteArray text;
    ASSERT_TRUE(Replay("ab0123456789", parsed.edits, parsed.marks[1].editsBefore, text));
    EXPECT_EQ(text, QByteArray("ab0123456789!"));
    ASSERT_TRUE(Replay(base, parsed.edits, 0, text));
    EXPECT_EQ(text, QByteArray("ab0123456789!"));
    // The same edits on a shorter text do not fit: the edit at 12 lies beyond its end.
    text = "untouched";
    EXPECT_FALSE(Replay("01", parsed.edits, 0, text));
    EXPECT_EQ(text, QByteArray("untouched"));
}

TEST(Journal, ReplayTakesEditsUpToTheTextsEndAndNoneOneBytePast) {
    QByteArray text;
    ASSERT_TRUE(Replay("abc", {Edit{1, 2, "x"}}, 0, text));
    EXPECT_EQ(text, QByteArray("ax"));
    text = "untouched";
    EXPECT_FALSE(Replay("abc", {Edit{1, 3, "x"}}, 0, text));
    EXPECT_EQ(text, QByteArray("untouched"));
}

TEST(Journal, OnlyABaseOfNoNegativeSizeStandingFirstStartsTheJournal) {
    const QByteArray digest = Digest("");
    const QByteArray start = Start(0, digest);
    EXPECT_TRUE(Parse(start).started);
    EXPECT_FALSE(Parse(Start(-1, digest)).started);
    // An edit between the magic and the base (a checkpoint frame is as long as the base frame).
    const qsizetype frame = CheckpointFrame(0, digest).size();
    const Parsed parsed = Parse(start.chopped(frame) + EditFrame(0, 0, "x") + start.last(frame));
    EXPECT_FALSE(parsed.started);
    EXPECT_TRUE(parsed.edits.empty());
}

} // namespace
} // namespace varnel

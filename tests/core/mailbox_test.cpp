#include "records.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"
#include "transport/textfields.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

using namespace varnel;

namespace {

using test::Mail;

QByteArray Key(const char* title) {
    return QByteArray(title) + "\\PC01\\PC02\\1998/02/23 9:05:07";
}

// The mailbox answered the slow way: every lookup counts marks from the start of the text, one
// byte at a time. The indexed mailbox must give the same answers on any text.
struct Reference {
    QByteArray text;

    int Mark(char mark, int i) const {
        for (int p = 0, count = 0; i >= 0 && p < text.size(); ++p) {
            if (text[p] == mark && ++count == i + 1)
                return p;
        }
        return -1;
    }
    char At(qsizetype p) const { return p < text.size() ? text[p] : char(0); }
    int StatusOf(int i) const { return Mark(7, i) < 0 ? -1 : StatusFromLetter(At(Mark(7, i) + 1)); }
    QByteArray FieldOf(int i, int n) const {
        const int s = Mark(7, i), e = Mark(8, i);
        if (s == -1 || e == -1 || s > e)
            return "-1";
        QByteArray out;
        for (int p = s + 1, counter = -1; p <= e - 1; ++p) {
            if (text[p] == 0x5C || text[p] == 7 || text[p] == 8)
                ++counter;
            else if (counter == n)
                out.append(text[p]);
            else if (counter > n)
                break;
        }
        return out;
    }
    bool HeaderOf(int i, QByteArray& out) const {
        const int s = Mark(7, i), e = Mark(8, i);
        out.clear();
        return s != -1 && e != -1 && e >= s && TextFields::CopyRange(out, text, s, e);
    }
    bool KeyOf(int i, QByteArray& out) const {
        QByteArray h;
        if (HeaderOf(i, h) && TextFields::FirstIndexOf(h, 92) != -1 &&
            TextFields::CopyRange(out, h, TextFields::FirstIndexOf(h, 92) + 1,
                                  TextFields::LastIndexOf(h, 92) - 1) &&
            !out.isEmpty())
            return true;
        out.clear();
        return false;
    }
    bool BodyLine(int i, int j, QByteArray& out) const {
        out.clear();
        if (text.isEmpty() || j < 0)
            return false;
        int headers = -1, line = 0;
        bool inHeader = true, found = false;
        for (qsizetype p = 0; p <= text.size(); ++p) {
            const char c = At(p);
            inHeader = inHeader || c == 7;
            if (c == 8) {
                ++headers;
                inHeader = false;
                continue;
            }
            found = found || line == j;
            if (c == '\n')
                continue;
            if (headers > i)
                break;
            if (!inHeader && headers == i && c == '\r')
                ++line;
            else if (!inHeader && headers == i && line == j && c != 0)
                out.append(c);
        }
        return found;
    }
    QByteArray Body(int i) const {
        QByteArray header, body;
        for (qsizetype p = Mark(8, i) + 1; HeaderOf(i, header) && At(p) != 0 && At(p) != 7 && At(p) != 8; ++p)
            body.append(text[p]);
        return body;
    }

    bool DeleteRecord(int i) {
        const int s = Mark(7, i);
        int end = s + 1;
        while (end < text.size() && text[end] != 7)
            ++end;
        text = s < 0 ? text : text.left(s) + text.mid(end);
        return s >= 0;
    }
    bool SetStatusByKey(const QByteArray& key, int status) {
        for (int i = 0; Mark(7, i) != -1 && status >= 0 && status <= 3; ++i) {
            const int s = Mark(7, i), e = Mark(8, i);
            QByteArray span, candidate;
            TextFields::CopyRange(span, text, s + 3, e - 1);
            const int last = TextFields::LastIndexOf(span, 92);
            TextFields::CopyRange(candidate, span, 0, last - 1);
            if (e != -1 && last != -1 && candidate == key) {
                text[s + 1] = StatusLetter(status);
                return true;
            }
        }
        return false;
    }
    bool ReplaceHeaderByKey(const QByteArray& header) {
        const QByteArray inner = header.mid(1, header.size() - 2);
        if (header.size() < 2 || header.front() != 7 || header.back() != 8 || inner.contains(7) ||
            inner.contains(8))
            return false;
        QByteArray wanted, key;
        TextFields::CopyRange(wanted, header, 3, TextFields::LastIndexOf(header, 92) - 1);
        for (int i = 0; KeyOf(i, key); ++i) {
            if (key == wanted) {
                text = text.left(Mark(7, i) + 1) + inner + text.mid(Mark(8, i));
                return true;
            }
        }
        return false;
    }
    bool InsertReadTime(int i, const QByteArray& time) {
        const int e = Mark(8, i);
        text = e < 0 ? text : text.left(e) + time + text.mid(e);
        return e >= 0;
    }
};

TEST(MailRecordTest, HeaderAndKeyLayout) {
    EXPECT_EQ(BuildHeader('S', "t", "PC01", "PC02", "9:05"), "\x07S\\t\\PC01\\PC02\\9:05\\\x08");
    EXPECT_EQ(KeyOfHeader("\x07G\\t\\a\\b\\time\\read\x08"), "t\\a\\b\\time");
    for (const char* header : {"\x07G\\\\\x08", "\x07G\\\x08", "\x07\x08", ""})
        EXPECT_EQ(KeyOfHeader(header), "") << header;
    EXPECT_EQ(FirstReservedInField("a\x81\x5C"), 2);
    EXPECT_EQ(FirstReservedInBody("a\\b\r\n\x07"), 5);
}

class WellFormedBox : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(box.SetText(
            Mail{.letter = 'R', .title = "new", .readTime = "1998/02/24 8:00", .body = "one\r\ntwo\r\n"}
                .Record() +
            Mail{.title = "mid"}.Header() + Mail{.letter = 'K', .title = "old", .body = "x\r\n"}.Record()));
    }
    MailBox box;
    QByteArray out;
};

TEST_F(WellFormedBox, ListsEveryRecordWithItsFields) {
    const int statuses[] = {Opened, Delivered, Saved};
    const char* titles[] = {"new", "mid", "old"};
    int i = 0;
    for (; box.StatusOf(i) != -1 && i < 4; ++i) {
        EXPECT_EQ(box.StatusOf(i), statuses[i]);
        EXPECT_EQ(box.FieldOf(i, 0), titles[i]);
        EXPECT_EQ(box.FieldOf(i, 2), "PC02");
        EXPECT_EQ(box.FieldOf(i, 3), "1998/02/23 9:05:07");
    }
    EXPECT_EQ(i, 3);
    EXPECT_EQ(box.FieldOf(0, 4), "1998/02/24 8:00");
    EXPECT_EQ(box.FieldOf(1, 4), "");
    EXPECT_EQ(box.FieldOf(3, 0), "-1");
    EXPECT_TRUE(box.KeyOf(1, out));
    EXPECT_EQ(out, Key("mid"));
}

TEST_F(WellFormedBox, BodiesAndTheirLines) {
    EXPECT_EQ(box.Body(0), "one\r\ntwo\r\n");
    EXPECT_EQ(box.Body(1), "");
    EXPECT_EQ(box.Body(3), "");
    const std::vector<std::vector<QByteArray>> lines = {{"one", "two", ""}, {""}, {"x", ""}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < int(lines[size_t(i)].size()); ++j) {
            EXPECT_TRUE(box.BodyLine(i, j, out)) << i << "," << j;
            EXPECT_EQ(out, lines[size_t(i)][size_t(j)]) << i << "," << j;
        }
        EXPECT_FALSE(box.BodyLine(i, int(lines[size_t(i)].size()), out)) << i;
    }
    // Line 0 of a record that does not exist is still reported, empty.
    EXPECT_TRUE(box.BodyLine(7, 0, out));
    EXPECT_EQ(out, "");
}

TEST_F(WellFormedBox, ReceiptsAndStatusChangesFindTheirRecordByKey) {
    EXPECT_TRUE(box.SetStatusByKey(Key("old"), Sent));
    EXPECT_EQ(box.StatusOf(2), Sent);
    const QByteArray opened = Mail{.letter = 'R', .title = "mid", .readTime = "1998/02/25 7:00"}.Header();
    EXPECT_TRUE(box.ReplaceHeaderByKey(opened));
    EXPECT_TRUE(box.HeaderOf(1, out));
    EXPECT_EQ(out, opened);
    EXPECT_EQ(box.Body(2), "x\r\n");
    const QByteArray before = box.Text();
    EXPECT_FALSE(box.SetStatusByKey(Key("gone"), Sent));
    EXPECT_FALSE(box.SetStatusByKey(Key("old"), 4)); // no letter for it: nothing written
    EXPECT_FALSE(box.ReplaceHeaderByKey(Mail{.title = "gone"}.Header()));
    // Only one whole header is taken from a receipt, so a peer cannot add or remove marks.
    const QByteArray head = "\x07G\\old\\PC01\\PC02\\1998/02/23 9:05:07\\";
    for (const QByteArray& bad : {QByteArray("\x07"), head, "x" + head.mid(1) + "\x08",
                                  head + "\x07S\\\\\x08", head + "\x08\x08", head + "\x08tail"})
        EXPECT_FALSE(box.ReplaceHeaderByKey(bad)) << bad.toHex().toStdString();
    EXPECT_EQ(box.Text(), before);
}

TEST_F(WellFormedBox, ReadTimeGoesBeforeTheHeaderEndAndKeepsTheKey) {
    EXPECT_TRUE(box.InsertReadTime(1, "1998/02/26 10:00"));
    EXPECT_EQ(box.FieldOf(1, 4), "1998/02/26 10:00");
    EXPECT_TRUE(box.KeyOf(1, out));
    EXPECT_EQ(out, Key("mid"));
    EXPECT_EQ(box.StatusOf(2), Saved);
    EXPECT_FALSE(box.InsertReadTime(3, "t"));
}

TEST_F(WellFormedBox, DeletingTheLastThenTheFirstRecord) {
    EXPECT_TRUE(box.DeleteRecord(2));
    EXPECT_TRUE(box.DeleteRecord(0));
    EXPECT_EQ(box.Text(), Mail{.title = "mid"}.Header());
    EXPECT_FALSE(box.DeleteRecord(1));
    EXPECT_EQ(box.Text(), Mail{.title = "mid"}.Header());
}

TEST(MailBoxTest, EmptyMailbox) {
    MailBox box;
    QByteArray out;
    EXPECT_EQ(box.StatusOf(0), -1);
    EXPECT_EQ(box.FieldOf(0, 0), "-1");
    EXPECT_FALSE(box.BodyLine(0, 0, out));
    EXPECT_FALSE(box.SetStatusByKey(Key("a"), Opened));
    EXPECT_FALSE(box.ReplaceHeaderByKey(Mail{.title = "a"}.Header()));
    EXPECT_TRUE(box.Prepend(Mail{.letter = 'S', .title = "a", .body = "b\r\n"}.Record()));
    EXPECT_EQ(box.Text(), (Mail{.letter = 'S', .title = "a", .body = "b\r\n"}.Record()));
}

struct MalformedCase {
    std::string text;
    int i, n;
    std::string field, body;
};

class MalformedTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedTest, EveryMarkCountsWhereverItStands) {
    MailBox box;
    ASSERT_TRUE(box.SetText(QByteArrayView(GetParam().text.data(), qsizetype(GetParam().text.size()))));
    EXPECT_EQ(box.FieldOf(GetParam().i, GetParam().n).toStdString(), GetParam().field);
    EXPECT_EQ(box.Body(GetParam().i).toStdString(), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MalformedTest,
    testing::Values(MalformedCase{"\x07S\x08", 0, 0, "", ""}, MalformedCase{"\x07S\x08", 0, -1, "S", ""},
                    // A title ending in the double-byte character 0x95 0x5C shifts every later field.
                    MalformedCase{"\x07S\\a\x95\\b\\c\\d\\t\\\x08z", 0, 0, "a\x95", "z"},
                    MalformedCase{"\x07S\\a\x95\\b\\c\\d\\t\\\x08z", 0, 4, "t", "z"},
                    MalformedCase{"\x08\x07S\\a\\", 0, 0, "-1", ""},
                    // A stray record mark inside a header separates fields and starts record 1.
                    MalformedCase{"\x07S\\a\x07G\\b\x08\x08", 0, 1, "G", ""},
                    MalformedCase{"\x07S\\a\x07G\\b\x08\x08", 1, 0, "b", ""},
                    // Text before the first record mark belongs to no record.
                    MalformedCase{"junk\x07K\\x\x08\x0A\x0Dy", 0, 0, "x", "\n\ry"},
                    // The body also ends at a stray header end mark.
                    MalformedCase{"\x07S\\t\\\x08"
                                  "a\r\x08"
                                  "b",
                                  0, 0, "t", "a\r"}));

TEST(MailBoxTest, OnlyTheFirstOfTwoCopiesChanges) {
    MailBox box;
    ASSERT_TRUE(box.SetText(Mail{.letter = 'S', .title = "same", .body = "b\r\n"}.Record() +
                            Mail{.letter = 'S', .title = "same", .body = "b\r\n"}.Record()));
    EXPECT_TRUE(box.SetStatusByKey(Key("same"), Delivered));
    EXPECT_TRUE(box.ReplaceHeaderByKey(Mail{.letter = 'R', .title = "same", .readTime = "later"}.Header()));
    EXPECT_EQ(box.StatusOf(0), Opened);
    EXPECT_EQ(box.FieldOf(0, 4), "later");
    EXPECT_EQ(box.StatusOf(1), Sent);
    EXPECT_EQ(box.FieldOf(1, 4), "");
}

TEST(MailBoxTest, SettingTheStatusOfOneRecordLeavesItsTwinAlone) {
    MailBox box;
    ASSERT_TRUE(box.SetText(Mail{.title = "same", .body = "b\r\n"}.Record() +
                            Mail{.title = "same", .body = "b\r\n"}.Record()));
    EXPECT_TRUE(box.SetStatusAt(1, Opened));
    EXPECT_EQ(box.StatusOf(0), Delivered);
    EXPECT_EQ(box.StatusOf(1), Opened);
    EXPECT_FALSE(box.SetStatusAt(2, Opened));
    EXPECT_FALSE(box.SetStatusAt(0, StatusNone));
    // A status byte that was itself a mark: the index follows the change.
    ASSERT_TRUE(box.SetText(QByteArray("\x07\x08\\t\\\x08")));
    EXPECT_EQ(box.HeaderEnd(0), 1);
    EXPECT_TRUE(box.SetStatusAt(0, Saved));
    EXPECT_EQ(box.HeaderEnd(0), 5);
    EXPECT_EQ(box.StatusOf(0), Saved);
}

TEST(MailBoxTest, EditsPastTheCapAreRefusedAndChangeNothing) {
    const QByteArray record = Mail{.title = "t", .body = "b\r\n"}.Record();
    MailBox box(record.size() + 4);
    EXPECT_FALSE(box.SetText(record + "12345"));
    EXPECT_TRUE(box.SetText(QByteArrayView(record + QByteArray(9, '\0') + "tail")));
    EXPECT_FALSE(box.Prepend("12345"));
    EXPECT_FALSE(box.InsertReadTime(0, "12345"));
    EXPECT_FALSE(box.ReplaceHeaderByKey(Mail{.letter = 'R', .title = "t", .readTime = "12345"}.Header()));
    EXPECT_EQ(box.Text(), record);
    EXPECT_EQ(box.StatusOf(0), Delivered);
    EXPECT_TRUE(box.InsertReadTime(0, QByteArrayView("1234\0"
                                                     "5",
                                                     6)));
    EXPECT_EQ(box.Text().size(), box.Cap());
    EXPECT_TRUE(box.ReplaceHeaderByKey(Mail{.letter = 'R', .title = "t", .readTime = "9"}.Header()));
    EXPECT_EQ(box.FieldOf(0, 4), "9");
    const QByteArray whole = box.Text();
    EXPECT_TRUE(box.SetText(QByteArrayView(box.Text()).sliced(1))); // a piece of its own text
    EXPECT_EQ(box.Text(), whole.mid(1));
    EXPECT_EQ(box.RecordStart(0), -1);
}

TEST(MailBoxTest, EveryEditFitsExactlyUpToTheCapAndNotOneBytePast) {
    const Mail mail{.title = "t"};
    const QByteArray record = mail.Record();
    const struct {
        const char* name;
        std::function<bool(MailBox&, const QByteArray&)> edit; // adds the bytes it is given
    } edits[] = {
        {"set text", [&](MailBox& box, const QByteArray& more) { return box.SetText(record + more); }},
        {"prepend", [](MailBox& box, const QByteArray& more) { return box.Prepend(more); }},
        {"read time", [](MailBox& box, const QByteArray& more) { return box.InsertReadTime(0, more); }},
        {"receipt",
         [&](MailBox& box, const QByteArray& more) {
             Mail opened = mail;
             opened.readTime = more;
             return box.ReplaceHeaderByKey(opened.Header());
         }},
    };
    for (const auto& e : edits) {
        for (const qsizetype room : {5, 4}) {
            MailBox box(record.size() + room);
            ASSERT_TRUE(box.SetText(record));
            EXPECT_EQ(e.edit(box, "12345"), room == 5) << e.name << " room " << room;
            EXPECT_EQ(box.Text().size(), room == 5 ? box.Cap() : record.size()) << e.name << " room " << room;
        }
    }
}

QByteArray RandomText(std::mt19937& rng) {
    static const char alphabet[] = {7, 8, 0x5C, '\r', '\n', 'a', 'K', 'S', 'G', 'R', char(0x81)};
    QByteArray text;
    if (rng() % 3 == 0) { // well-formed records with a few bytes changed
        for (int r = int(rng() % 4); r > 0; --r)
            text += BuildHeader("KSGRx"[rng() % 5], rng() % 2 ? "a" : "a\x81", "K", "", "S") +
                    QByteArray(int(rng() % 3), 'a') + (rng() % 2 ? "\r\n" : "");
        for (int m = int(rng() % 3); m > 0 && !text.isEmpty(); --m)
            text[rng() % text.size()] = alphabet[rng() % sizeof(alphabet)];
    }
    for (int n = text.isEmpty() ? int(rng() % 40) : 0; n > 0; --n)
        text.append(alphabet[rng() % sizeof(alphabet)]);
    return text;
}

QByteArray PickKey(std::mt19937& rng, const Reference& ref) {
    QByteArray key;
    const int s = ref.Mark(7, int(rng() % 4));
    if (rng() % 4 != 0 && ref.KeyOf(int(rng() % 4), key))
        return key;
    return s >= 0 && rng() % 2 ? ref.text.mid(s + 3, int(rng() % 6)) : RandomText(rng).left(int(rng() % 5));
}

void ExpectSameLookups(const MailBox& box, const Reference& ref) {
    ASSERT_EQ(box.Text(), ref.text);
    QByteArray got, want;
    for (int i = -2; i <= ref.text.count(char(7)) + ref.text.count(char(8)) + 1; ++i) {
        ASSERT_EQ(box.RecordStart(i), ref.Mark(7, i)) << i;
        ASSERT_EQ(box.HeaderEnd(i), ref.Mark(8, i)) << i;
        ASSERT_EQ(box.StatusOf(i), ref.StatusOf(i)) << i;
        for (int n = -2; n <= 6; ++n)
            ASSERT_EQ(box.FieldOf(i, n), ref.FieldOf(i, n)) << i << "," << n;
        ASSERT_EQ(box.HeaderOf(i, got), ref.HeaderOf(i, want)) << i;
        ASSERT_EQ(got, want);
        ASSERT_EQ(box.KeyOf(i, got), ref.KeyOf(i, want)) << i;
        ASSERT_EQ(got, want);
        ASSERT_EQ(box.Body(i), ref.Body(i)) << i;
        for (int j = -1; j <= ref.text.count('\r') + 1; ++j) {
            ASSERT_EQ(box.BodyLine(i, j, got), ref.BodyLine(i, j, want)) << i << "," << j;
            ASSERT_EQ(got, want) << i << "," << j;
        }
    }
}

TEST(MailBoxPropertyTest, IndexedAnswersEqualTheFromTheStartScan) {
    std::mt19937 rng(19980223);
    for (int round = 0; round < 3000 && !HasFatalFailure(); ++round) {
        Reference ref{RandomText(rng)};
        MailBox box;
        ASSERT_TRUE(box.SetText(ref.text));
        ExpectSameLookups(box, ref);
        // What the edit hook reports, replayed on the old text, is the new text.
        QByteArray replayed = ref.text;
        box.SetEditHook([&](qsizetype at, qsizetype removed, QByteArrayView inserted) {
            replayed.replace(at, removed, inserted);
        });
        for (int step = 0; step < 6 && !HasFatalFailure(); ++step) {
            const int i = int(rng() % 6) - 1;
            const QByteArray bytes = RandomText(rng);
            const QByteArray key = PickKey(rng, ref);
            const QByteArray header = rng() % 4 ? "\x07" + QByteArray(1, "KSGRa"[rng() % 5]) + "\\" + key +
                                                      "\\" + bytes.left(int(rng() % 2)) + "\x08"
                                                : bytes;
            bool got = true, want = true;
            switch (rng() % 5) {
            case 0:
                got = box.Prepend(bytes);
                ref.text = bytes + ref.text;
                break;
            case 1:
                got = box.DeleteRecord(i), want = ref.DeleteRecord(i);
                break;
            case 2:
                got = box.SetStatusByKey(key, i), want = ref.SetStatusByKey(key, i);
                break;
            case 3:
                got = box.ReplaceHeaderByKey(header), want = ref.ReplaceHeaderByKey(header);
                break;
            default:
                got = box.InsertReadTime(i, bytes.left(3)), want = ref.InsertReadTime(i, bytes.left(3));
            }
            ASSERT_EQ(got, want) << "round " << round << " step " << step;
            ExpectSameLookups(box, ref);
            ASSERT_EQ(replayed, ref.text);
        }
    }
}

} // namespace

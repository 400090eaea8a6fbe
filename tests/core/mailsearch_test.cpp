#include "records.h"
#include "store/mailsearch.h"
#include "text/cp932.h"
#include "text/textfold.h"

#include <gtest/gtest.h>

using namespace varnel;
using namespace Qt::StringLiterals;

namespace {

QByteArray Bytes(const QString& text) {
    QByteArray bytes;
    EXPECT_TRUE(cp932::Encode(text, bytes)) << text.toStdString();
    return bytes;
}

// Whether a box of this one mail is found by what the person typed.
bool Finds(const test::Mail& mail, const QString& typed) {
    MailBox box;
    box.SetText(mail.Record());
    MailSearchIndex index;
    index.Sync(box);
    return index.Find(textfold::FoldQuery(typed)).size() == 1;
}

struct WidthCase {
    const char16_t* stored;
    const char16_t* typed;
    bool found;
};

TEST(MailSearch, WidthAndCaseFoldAsAReaderExpects) {
    const WidthCase cases[] = {
        {u"メール", u"ﾒｰﾙ", true},
        {u"ﾒｰﾙ", u"メール", true},
        {u"ＡＢＣ", u"abc", true},
        {u"abc", u"ＡＢＣ", true},
        {u"Abc", u"aBC", true},
        {u"２０２６年", u"2026", true},
        {u"0123", u"０１２", true},
        {u"ｶﾞｽ", u"ガス", true},
        {u"ガス", u"ｶﾞｽ", true},
        {u"ﾊﾟﾝ", u"パン", true},
        {u"ﾊﾞﾝ", u"パン", false},
        {u"ﾊﾟﾝ", u"ハン", false},
        {u"ｶﾞ", u"カ", false},
        {u"ｳﾞｨ", u"ヴィ", true},
        {u"ﾞ", u"゛", true},
        {u"ｰﾞ", u"ー゛", true},
        {u"全角　空白", u"全角 空白", true},
    };
    for (const WidthCase& c : cases) {
        const QString stored = QString::fromUtf16(c.stored);
        const QString typed = QString::fromUtf16(c.typed);
        EXPECT_EQ(Finds({.body = Bytes(stored)}, typed), c.found)
            << stored.toStdString() << " / " << typed.toStdString();
    }
    // Composed as typed, however the keyboard gave the voiced mark.
    EXPECT_TRUE(Finds({.body = Bytes(u"ガス"_s)}, QStringLiteral("カ\u3099ス")));
    // Title, sender and recipient are looked in too; the times are not.
    EXPECT_TRUE(Finds({.title = Bytes(u"会議"_s)}, u"会議"_s));
    EXPECT_TRUE(Finds({.sender = "YAMADA"}, u"ｙａｍａ"_s));
    EXPECT_TRUE(Finds({.recipient = "SUZUKI"}, u"zuki"_s));
    EXPECT_FALSE(Finds({.sendTime = "1998/02/23 9:05:07"}, u"1998"_s));
}

TEST(MailSearch, InvalidBytesNeverMatchAndNeverStopTheSearch) {
    // A second byte is no character of its own: ヂ is 0x83 0x61, 表 is 0x95 0x5C.
    EXPECT_FALSE(Finds({.body = "\x83\x61"}, u"a"_s));
    EXPECT_TRUE(Finds({.body = "\x83\x61"}, u"ヂ"_s));
    EXPECT_FALSE(Finds({.body = Bytes(u"表"_s)}, u"\\"_s));
    // A lead byte cut off at the end of the title does not pair with the separator after it (0x83
    // 0x5C is ソ), and the rest is still found.
    EXPECT_FALSE(Finds({.title = "ab\x83"}, u"ソ"_s));
    EXPECT_TRUE(Finds({.title = "ab\x83", .body = "tail"}, u"tail"_s));
    // An undefined pair is one unknown character: its second byte '@' does not match.
    EXPECT_FALSE(Finds({.body = "\x85\x40"}, u"@"_s));
    // Bytes never valid split what stands around them, but the search goes on past them.
    for (const char* bad : {"\x80", "\xA0", "\xFD", "\xFE", "\xFF"}) {
        const QByteArray body = QByteArray("x") + bad + "yz";
        EXPECT_FALSE(Finds({.body = body}, u"xy"_s)) << int(uchar(*bad));
        EXPECT_TRUE(Finds({.body = body}, u"yz"_s)) << int(uchar(*bad));
    }
    // Nor does a typed character that stands for them.
    EXPECT_FALSE(Finds({.body = "x\xFFy"}, QString(QChar(textfold::kNoMatch))));
    EXPECT_TRUE(textfold::NeverMatches(textfold::FoldQuery(QString(QChar(0xFFFE)))));
}

TEST(MailSearch, SyncFollowsArrivalsAndDeletionsAsAFreshIndexWould) {
    MailBox box;
    QByteArray text;
    for (int i = 0; i < 6; ++i)
        text += test::Mail{.title = "m" + QByteArray::number(i), .body = i % 2 ? "even" : "odd"}.Record();
    box.SetText(text);
    MailSearchIndex index;
    index.Sync(box);
    box.DeleteRecord(4);
    box.DeleteRecord(1);
    box.Prepend(test::Mail{.title = "new", .body = "odd"}.Record());
    box.InsertReadTime(2, "1998/02/24 10:00:00");
    box.SetStatusAt(2, Opened);
    index.Sync(box);
    MailSearchIndex fresh;
    fresh.Sync(box);
    ASSERT_EQ(index.Count(), 5);
    for (const QString& typed : {u"odd"_s, u"even"_s, u"m"_s, u"new"_s, u""_s}) {
        const QString query = textfold::FoldQuery(typed);
        EXPECT_EQ(index.Find(query), fresh.Find(query)) << typed.toStdString();
    }
    EXPECT_EQ(index.Find(u"odd"_s), (std::vector<int>{0, 1, 2}));
    // Within the matches of a shorter query, only those are looked at.
    const std::vector<int> within = {1, 3};
    EXPECT_EQ(index.Find(u"m"_s, &within), within);
    EXPECT_EQ(index.Find(u"odd"_s, &within), std::vector<int>{1});
}

} // namespace

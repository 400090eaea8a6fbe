#include "records.h"
#include "store/mailorder.h"

#include <gtest/gtest.h>

using namespace varnel;

namespace {

TEST(MailOrder, TimesOrderAsTimesAcrossTheirTextForms) {
    // The hour has no leading zero: as text, "9:59:59" would come after "10:00:00".
    EXPECT_LT(TimeOrder("1998/02/23 9:59:59"), TimeOrder("1998/02/23 10:00:00"));
    EXPECT_LT(TimeOrder("1998/02/23 23:59:59"), TimeOrder("1998/02/24 0:00:00"));
    EXPECT_LT(TimeOrder("1998/12/31 23:59:59"), TimeOrder("1999/01/01 0:00:00"));
    EXPECT_LT(TimeOrder("1999/12/31 23:59:59"), TimeOrder("00/01/01 0:00:00"));
    EXPECT_EQ(TimeOrder("98/02/23 9:05:07"), TimeOrder("1998/02/23 9:05:07"));
    EXPECT_EQ(TimeOrder("1998/02/23 9:05"), TimeOrder("1998/02/23 9:05:00"));
    EXPECT_LT(TimeOrder(""), TimeOrder("1970/01/01 0:00:00"));
    for (const char* wrong :
         {"1998/13/01 9:00:00", "1998/02/23 24:00:00", "1998/02/23 9:60:00", "1998/02/23 9",
          "PM 1998/02/23 9:00:00", "1998/02/23 9:00:00:00", "19980/02/23 9:00:00"})
        EXPECT_EQ(TimeOrder(wrong), kNotATime) << wrong;
}

MailBox BoxOf(const std::vector<test::Mail>& mails) {
    QByteArray text;
    for (const test::Mail& mail : mails)
        text += mail.Record();
    MailBox box;
    box.SetText(text);
    return box;
}

TEST(MailOrder, SortedRowsAreAViewEqualValuesKeepTheBoxOrder) {
    const MailBox box = BoxOf(
        {{.sender = "PC10", .sendTime = "1998/02/23 10:00:00"},
         {.sender = "\x82\x90\x82\x83\x82\x51", .sendTime = "1998/02/23 9:59:59", .readTime = "x"}, // ｐｃ２
         {.sender = "PC02", .sendTime = "1998/02/23 10:00:00", .readTime = "1998/02/24 8:00:00"},
         {.sender = "Pc3", .sendTime = "1998/02/22 23:00:00"}});
    MailSearchIndex index;
    index.Sync(box);
    const QByteArray before = box.Text();
    EXPECT_EQ(SortedRecords(box, index, MailColumn::SendTime, false), (std::vector<int>{3, 1, 0, 2}));
    EXPECT_EQ(SortedRecords(box, index, MailColumn::SendTime, true), (std::vector<int>{0, 2, 1, 3}));
    // Empty first, then times, then a text that is no time.
    EXPECT_EQ(SortedRecords(box, index, MailColumn::ReadTime, false), (std::vector<int>{0, 3, 2, 1}));
    // ｐｃ２ and PC02 are the same name; numbers by value.
    EXPECT_EQ(SortedRecords(box, index, MailColumn::Sender, false), (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(SortedRecords(box, index, MailColumn::Sender, true), (std::vector<int>{0, 3, 1, 2}));
    EXPECT_EQ(box.Text(), before);
}

} // namespace

#include "transport/textfields.h"

#include <gtest/gtest.h>

#include <string>

using varnel::TextFields;

namespace {

QByteArrayView View(const std::string& s) {
    return QByteArrayView(s.data(), qsizetype(s.size()));
}

struct CopyCase {
    std::string src;
    int from;
    int to;
    bool result;
    std::string out;
};

class CopyRangeTest : public testing::TestWithParam<CopyCase> {};

TEST_P(CopyRangeTest, CopiesInclusiveRangeClippedAtTheEnd) {
    const CopyCase& c = GetParam();
    QByteArray dst("previous");
    EXPECT_EQ(TextFields::CopyRange(dst, View(c.src), c.from, c.to), c.result);
    EXPECT_EQ(dst.toStdString(), c.out);
}

INSTANTIATE_TEST_SUITE_P(Ranges, CopyRangeTest,
                         testing::Values(CopyCase{"abc", 1, 5, true, "bc"}, CopyCase{"abc", 3, 5, true, ""},
                                         CopyCase{"abc", 4, 5, false, ""}, CopyCase{"abc", 2, 1, false, ""},
                                         CopyCase{"abc", 0, 0, true, "a"}, CopyCase{"abc", 0, 2, true, "abc"},
                                         CopyCase{"abc", 1, 1, true, "b"}, CopyCase{"", 0, 0, false, ""},
                                         CopyCase{"", 0, 5, false, ""}, CopyCase{"", -1, 5, false, ""},
                                         // A negative start is refused rather than read before the text.
                                         CopyCase{"abc", -1, 1, false, ""},
                                         CopyCase{"abc", -5, -2, false, ""},
                                         // The source ends at its first zero byte.
                                         CopyCase{std::string("ab\0cd", 5), 0, 4, true, "ab"},
                                         CopyCase{std::string("ab\0cd", 5), 3, 4, false, ""},
                                         CopyCase{std::string("\0cd", 3), 0, 2, false, ""}));

struct SearchCase {
    std::string src;
    int ch;
    int first;
    int last;
};

class IndexOfTest : public testing::TestWithParam<SearchCase> {};

TEST_P(IndexOfTest, FindsFirstAndLastByteOrMinusOne) {
    const SearchCase& c = GetParam();
    EXPECT_EQ(TextFields::FirstIndexOf(View(c.src), c.ch), c.first);
    EXPECT_EQ(TextFields::LastIndexOf(View(c.src), c.ch), c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, IndexOfTest,
    testing::Values(SearchCase{"a\\b\\c", 92, 1, 3}, SearchCase{"ab\\c", 92, 2, 2},
                    SearchCase{"abc", 92, -1, -1}, SearchCase{"", 92, -1, -1}, SearchCase{"a\0b", 0, -1, -1},
                    SearchCase{"abc", 0, -1, -1}, SearchCase{"abc", -1, -1, -1},
                    SearchCase{"\x07x\x07", 7, 0, 2},
                    // 0x81 0x5C is one double-byte character, yet its second byte is a backslash.
                    SearchCase{"\x81\x5C", 92, 1, 1},
                    // Bytes above 0x7F are negative and never equal a positive value.
                    SearchCase{"\x81\xFF", 0x81, -1, -1}, SearchCase{"\x81\xFF", 0xFF, -1, -1},
                    SearchCase{"\x81\xFF", -127, -1, -1}, SearchCase{"\x81\xFF", -1, -1, -1},
                    SearchCase{std::string("a\0\\", 3), 92, -1, -1}));

struct FieldCase {
    std::string src;
    int sep;
    int n;
    bool result;
    std::string out;
};

class NthFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(NthFieldTest, CopiesFieldNAndReportsWhetherItHasBytes) {
    const FieldCase& c = GetParam();
    QByteArray dst("previous");
    EXPECT_EQ(TextFields::NthField(dst, View(c.src), c.sep, c.n), c.result);
    EXPECT_EQ(dst.toStdString(), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NthFieldTest,
    testing::Values(FieldCase{"x,y,,z", ',', 0, true, "x"}, FieldCase{"x,y,,z", ',', 1, true, "y"},
                    FieldCase{"x,y,,z", ',', 2, false, ""}, FieldCase{"x,y,,z", ',', 3, true, "z"},
                    FieldCase{"x,y,,z", ',', 4, false, ""}, FieldCase{",ab", ',', 0, false, ""},
                    FieldCase{",ab", ',', 1, true, "ab"}, FieldCase{"ab,", ',', 1, false, ""},
                    FieldCase{"abc", ',', 0, true, "abc"},
                    // Left untouched: empty source, separator <= 0, negative field number.
                    FieldCase{"", ',', 0, false, "previous"}, FieldCase{"a,b", 0, 0, false, "previous"},
                    FieldCase{"a,b", -3, 0, false, "previous"}, FieldCase{"a,b", ',', -1, false, "previous"},
                    FieldCase{std::string("\0a,b", 4), ',', 0, false, "previous"},
                    FieldCase{std::string("a,b\0,c", 6), ',', 2, false, ""},
                    // A double-byte character ending in 0x5C splits a field.
                    FieldCase{"\x07S\\\x95\\x\\PC01", 92, 1, true, "\x95"},
                    FieldCase{"\x07S\\\x95\\x\\PC01", 92, 2, true, "x"},
                    FieldCase{"\x07S\\\x95\\x\\PC01", 92, 0, true, "\x07S"},
                    FieldCase{"a\x81"
                              "b\x81",
                              static_cast<int>(0x81), 0, true,
                              "a\x81"
                              "b\x81"}));

TEST(TextLengthTest, CountsBytesBeforeTheFirstZero) {
    EXPECT_EQ(TextFields::TextLength(QByteArrayView("abc", 3)), 3);
    EXPECT_EQ(TextFields::TextLength(QByteArrayView("ab\0c", 4)), 2);
    EXPECT_EQ(TextFields::TextLength(QByteArrayView()), 0);
}

} // namespace

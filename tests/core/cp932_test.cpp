#include "text/cp932.h"

#include <gtest/gtest.h>

using namespace varnel;

namespace {

TEST(Cp932, JapaneseTextRoundTripsIncludingSecondBytesThatAreBackslashes) {
    // 表 and ソ end in 0x5C; the half-width katakana are single bytes.
    const QString text = QStringLiteral("表計算ソフト ﾛｰｶﾙｴﾗｰ abc\\");
    QByteArray bytes;
    ASSERT_TRUE(cp932::Encode(text, bytes));
    EXPECT_EQ(bytes.left(2), QByteArray("\x95\x5C"));
    EXPECT_EQ(bytes.mid(6, 2), QByteArray("\x83\x5C"));
    EXPECT_EQ(cp932::Decode(bytes), text);
}

TEST(Cp932, ACharacterWithoutAFormIsNamedAndNothingIsProduced) {
    QByteArray bytes = "stale";
    QString bad;
    EXPECT_FALSE(cp932::Encode(QStringLiteral("ok 😀 more"), bytes, &bad));
    EXPECT_EQ(bad, QStringLiteral("😀"));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_FALSE(cp932::Encode(QStringLiteral("한"), bytes, &bad));
    EXPECT_EQ(bad, QStringLiteral("한"));
}

TEST(Cp932, InvalidBytesShowAsReplacementCharactersAndTheRestSurvives) {
    // A lead byte cut at the end, a byte that is never valid, then good text.
    EXPECT_EQ(cp932::Decode(QByteArray("a\xFF"
                                       "b\x82\xA0"
                                       "c\x81")),
              QStringLiteral("a\uFFFDbあc\uFFFD"));
    EXPECT_EQ(cp932::Decode(QByteArray()), QString());
}

} // namespace

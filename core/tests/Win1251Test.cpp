#include "core/Win1251.h"

#include "testsupport/GTestQt.h"

#include <gtest/gtest.h>

TEST(Win1251, CyrillicAndEveryByteRoundTrip) {
    const QString text = QStringLiteral("Групиране на графики №5 „€“");
    const auto bytes = Win1251::encodeStrict(text);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->at(0), '\xC3'); // Г
    EXPECT_EQ(Win1251::decode(*bytes), text);

    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(Win1251::encode(Win1251::decode(all)), all);
}

TEST(Win1251, CharactersOutsideTheCodePage) {
    const QString text = QStringLiteral("a\u4E2Db");
    EXPECT_FALSE(Win1251::encodeStrict(text).has_value());
    EXPECT_EQ(Win1251::encode(text), QByteArray("a?b"));
}

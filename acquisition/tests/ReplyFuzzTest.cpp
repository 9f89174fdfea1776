// Generated replies against the reply form and the controller value
// conversion: random bytes, truncations and mutations of valid replies. Every
// input is either a finite reading within the controller's field or refused
// with its reason; nothing crashes or hangs.
#include "acquisition/TReplyForm.h"
#include "core/Win1251.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#ifndef NUV_FUZZ_ITERATIONS
#define NUV_FUZZ_ITERATIONS 1000000
#endif

namespace {

const char* const kValid[] = {"PL044.9\r\n", "PL000.0\r\n", "ML5.080\r\n", "MD24.50\r\n",
                              "PL-12.3\r\n", "xP1.000\r\n", "+1.000\r\n",  "PL99999\r\n",
                              "PL 1e-3\r\n", "OK255\r\n"};

class Generator {
public:
    explicit Generator(unsigned seed) : m_rng(seed) {}

    QByteArray next() {
        switch (m_rng() % 4) {
        case 0:
            return randomBytes();
        case 1:
            return valid().left(int(m_rng() % 12));
        case 2:
            return mutated(valid());
        default:
            return numberReply();
        }
    }

private:
    QByteArray valid() { return kValid[m_rng() % std::size(kValid)]; }

    QByteArray randomBytes() {
        QByteArray b(int(m_rng() % 60), '\0');
        for (char& c : b)
            c = char(m_rng());
        return b;
    }

    QByteArray mutated(QByteArray b) {
        const int edits = 1 + int(m_rng() % 3);
        static const char kAlphabet[] = "0123456789.+-eEinfaINFAx, \r\n\t\0\x7f\xff";
        for (int i = 0; i < edits; ++i) {
            const int at = b.isEmpty() ? 0 : int(m_rng() % b.size());
            const char c = kAlphabet[m_rng() % (sizeof kAlphabet - 1)];
            switch (m_rng() % 3) {
            case 0:
                if (!b.isEmpty())
                    b[at] = c;
                break;
            case 1:
                b.insert(at, c);
                break;
            default:
                if (!b.isEmpty())
                    b.remove(at, 1);
            }
        }
        return b;
    }

    // Five characters made of what numbers are made of, in every order.
    QByteArray numberReply() {
        static const char kParts[] = "0123456789.+-eE ";
        QByteArray five(5, ' ');
        for (char& c : five)
            c = kParts[m_rng() % (sizeof kParts - 1)];
        return "PL" + five + "\r\n";
    }

    std::mt19937 m_rng;
};

TEST(ReplyFuzz, EveryInputIsAReadingOrRefusedWithItsReason) {
    Generator gen(20261209);
    long accepted = 0;
    long refused = 0;
    for (long i = 0; i < NUV_FUZZ_ITERATIONS; ++i) {
        const QByteArray bytes = gen.next();
        const QString reply = Win1251::decode(bytes);
        const TReplyForm::TReading r = TReplyForm::reading(reply);
        if (r.ok()) {
            ++accepted;
            ASSERT_TRUE(r.reason.isEmpty());
            ASSERT_TRUE(std::isfinite(*r.value)) << bytes.toHex().constData();
            ASSERT_LE(std::fabs(*r.value), TReplyForm::kMaxRaw) << bytes.toHex().constData();
            // Only a reply with the form carries a reading.
            ASSERT_TRUE(TReplyForm::value(reply).has_value());
        } else {
            ++refused;
            ASSERT_FALSE(r.reason.isEmpty()) << bytes.toHex().constData();
            // The reason is one line of readable text for the log.
            for (QChar c : r.reason)
                ASSERT_GE(c.unicode(), 0x20) << bytes.toHex().constData();
        }
    }
    EXPECT_EQ(accepted + refused, NUV_FUZZ_ITERATIONS);
    // The generator reaches both sides in earnest.
    EXPECT_GT(accepted, NUV_FUZZ_ITERATIONS / 20);
    EXPECT_GT(refused, NUV_FUZZ_ITERATIONS / 2);
}

TEST(ReplyForm, ReadingsAndReasons) {
    EXPECT_EQ(*TReplyForm::reading("PL044.9\r\n").value, 44.9);
    EXPECT_EQ(*TReplyForm::reading("+1.000\r\n").value, 1.0); // carriage return at 7
    EXPECT_EQ(*TReplyForm::reading("PL 1e-3\r\n").value, 0.001);
    EXPECT_EQ(*TReplyForm::reading("PL -2.5\r\n").value, -2.5);
    EXPECT_EQ(*TReplyForm::reading("PL+99999\r\n").value, 99999.0);
    EXPECT_EQ(TReplyForm::reading("not answer").reason, "no carriage return in the reply");
    EXPECT_EQ(TReplyForm::reading("1.000\r\n").reason,
              "carriage return at position 6, before position 7");
    EXPECT_EQ(TReplyForm::reading("PL1e+10\r\n").reason,
              "'1e+10' is beyond the controller's five-character range");
    EXPECT_EQ(TReplyForm::reading("PL1e999\r\n").reason, "'1e999' is not a finite number");
    for (const char* bad : {"PL  inf\r\n", "PL  nan\r\n", "PL0x1p3\r\n", "PL1.2.3\r\n",
                            "PL12,50\r\n", "PL1 2 3\r\n", "PL    .\r\n", "PL   1e\r\n"})
        EXPECT_TRUE(TReplyForm::reading(bad).reason.endsWith("is not a valid floating point value"))
            << bad;
    // The program's own texts: the operator's separator or a point.
    EXPECT_EQ(TReplyForm::plainNumber("60,50", QLatin1Char(',')), 60.5);
    EXPECT_EQ(TReplyForm::plainNumber("60.50", QLatin1Char(',')), 60.5);
    EXPECT_FALSE(TReplyForm::plainNumber("6,0.5", QLatin1Char(',')));
    EXPECT_FALSE(TReplyForm::plainNumber("60,50", QLatin1Char('.')));
    EXPECT_FALSE(TReplyForm::plainNumber("inf", QLatin1Char('.')));
}

} // namespace

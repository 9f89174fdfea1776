// The settings-file parser against generated inputs: random bytes,
// truncations and mutations of a valid file. No input crashes or hangs it;
// every input it refuses is refused with its reason; what it accepts reads
// back within the file format's rules.
#include "core/ProfileFile.h"
#include "core/TextFormats.h"

#include "testsupport/GTestQt.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#ifndef NUV_FUZZ_ITERATIONS
#define NUV_FUZZ_ITERATIONS 1000000
#endif

namespace {

const QByteArray kValid = "[frmStorage]\r\nFormVersion=0\r\nNormPos(1280x1024)=508,270,1164,873\r\n"
                          "edPstart_Text=\"\"12\"\"\r\nlblCom_Caption= 3 \r\n\r\n"
                          "[dev]\r\nupp=52.2\r\ndownn=26,2\r\nmaxstart='5.2'\r\n"
                          "\xCA\xEB\xFE\xF7=\xC4\xE0\r\n";

class Generator {
public:
    explicit Generator(std::uint64_t seed) : m_rng(seed) {}

    QByteArray next() {
        switch (pick(4)) {
        case 0:
            return randomBytes(pick(300));
        case 1:
            return kValid.left(pick(kValid.size() + 1));
        case 2:
            return mutated(kValid, 1 + pick(8));
        default:
            return mutated(kValid + QByteArray(pick(3000), 'x'), 1 + pick(3));
        }
    }

private:
    int pick(qsizetype n) { return n <= 0 ? 0 : int(m_rng() % std::uint64_t(n)); }

    QByteArray randomBytes(int n) {
        QByteArray b(n, '\0');
        for (char& c : b)
            c = char(m_rng());
        return b;
    }

    // Bytes that mean something to the parser come more often than others.
    char interesting() {
        static const char kSpecial[] = "[]=\"' \t\r\n\x1A\0\xFF\xFE";
        return pick(2) ? kSpecial[pick(sizeof kSpecial - 1)] : char(m_rng());
    }

    QByteArray mutated(QByteArray b, int edits) {
        for (int i = 0; i < edits; ++i) {
            const int at = pick(b.size() + 1);
            switch (pick(4)) {
            case 0:
                b.insert(at, interesting());
                break;
            case 1:
                b.remove(at, 1 + pick(4));
                break;
            case 2:
                if (at < b.size())
                    b[at] = interesting();
                break;
            default:
                b.insert(at, b.mid(pick(b.size()), pick(40))); // a piece repeated
            }
        }
        return b;
    }

    std::mt19937_64 m_rng;
};

const char* const kKeys[] = {"upp", "downn", "maxstart", "lblCom_Caption", "NormPos(1280x1024)"};
const char* const kSections[] = {"dev", "frmStorage"};

// A write changes its own key and no other.
void checkWrite(const QByteArray& bytes, const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    TProfileFile file(path);
    QList<std::optional<QString>> before;
    for (const char* section : kSections)
        for (const char* key : kKeys)
            before.append(file.value(section, key));
    ASSERT_TRUE(file.writeString("dev", "upp", "61.5"));
    TProfileFile again(path);
    int i = 0;
    for (const char* section : kSections) {
        for (const char* key : kKeys) {
            const auto now = again.value(section, key);
            if (QString(section) == "dev" && QString(key) == "upp")
                ASSERT_EQ(now, "61.5");
            else
                ASSERT_EQ(now, before[i]) << section << "/" << key;
            ++i;
        }
    }
}

// What an accepted file gives back keeps the reading rules.
void checkReads(const TProfileFile& file, const TFormats& formats) {
    for (const char* key : kKeys) {
        for (const char* section : kSections) {
            const auto v = file.value(section, key);
            ASSERT_EQ(v, file.value(QString(section).toUpper(), QString(key).toUpper()));
            if (!v)
                continue;
            ASSERT_LE(v->size(), TProfileFile::kMaxValue);
            ASSERT_FALSE(v->contains('\n'));
            (void)formats.toDouble(*v);
        }
    }
}

TEST(ProfileFileFuzz, GeneratedInputsAreReadOrRefusedWithAReason) {
    Generator gen(20261209);
    const TFormats formats;
    TProfileFile file(QStringLiteral("/nonexistent/prjNUV.ini"));
    QTemporaryDir dir;
    qint64 refused = 0;
    qint64 read = 0;
    for (int i = 0; i < NUV_FUZZ_ITERATIONS; ++i) {
        const QByteArray bytes = gen.next();
        if (const auto reason = TProfileFile::unreadableReason(bytes)) {
            ASSERT_FALSE(reason->isEmpty()) << i;
            ++refused;
            continue;
        }
        file.loadBytes(bytes);
        checkReads(file, formats);
        if (read % 997 == 0)
            checkWrite(bytes, dir.path() + "/prjNUV.ini");
        if (::testing::Test::HasFatalFailure()) {
            ADD_FAILURE() << "input " << i << ": " << ::testing::PrintToString(bytes);
            return;
        }
        ++read;
    }
    // Both kinds occur, or the generator tests nothing.
    EXPECT_GT(refused, NUV_FUZZ_ITERATIONS / 10);
    EXPECT_GT(read, NUV_FUZZ_ITERATIONS / 10);

    // The valid file itself reads as written.
    file.loadBytes(kValid);
    EXPECT_FALSE(TProfileFile::unreadableReason(kValid));
    EXPECT_EQ(file.value("DEV", "Upp"), "52.2");
    EXPECT_EQ(file.value("dev", "maxstart"), "5.2");
    EXPECT_EQ(file.value("frmStorage", "edPstart_Text"), "\"12\"");
    EXPECT_EQ(file.value("frmStorage", "lblCom_Caption"), "3");
}

} // namespace

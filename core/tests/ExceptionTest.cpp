#include "core/Exception.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

TEST(ExceptionTest, TheOperatorTextComesFirstAndTheCauseBelowIt) {
    const DatabaseError both("Серията не беше записана в базата данни.",
                             "violation of FOREIGN KEY constraint");
    EXPECT_EQ(both.text(), "Серията не беше записана в базата данни.");
    EXPECT_EQ(both.cause(), "violation of FOREIGN KEY constraint");
    EXPECT_EQ(both.message(), "Серията не беше записана в базата данни.\n\n"
                              "violation of FOREIGN KEY constraint");
    EXPECT_EQ(QString::fromUtf8(both.what()), both.message()); // the log gets the same

    // Either alone stands without a blank line around it.
    EXPECT_EQ(SettingsError("Unable to write to /x/prjNUV.ini").message(),
              "Unable to write to /x/prjNUV.ini");
    EXPECT_EQ(Exception(QString(), "I/O error").message(), "I/O error");
}

TEST(ExceptionTest, EveryFailureGivesTextAndCauseWhateverItsKind) {
    try {
        throw SerialError("COM3 Is not Accessible");
    } catch (const std::exception& e) { // caught the way windows catch
        const Exception ours = Exception::of(e);
        EXPECT_EQ(ours.text(), "COM3 Is not Accessible");
        EXPECT_TRUE(ours.cause().isEmpty());
    }
    // A foreign failure has no words for the operator: its own text is the cause.
    const Exception foreign = Exception::of(std::runtime_error("disk quota exceeded"));
    EXPECT_TRUE(foreign.text().isEmpty());
    EXPECT_EQ(foreign.cause(), "disk quota exceeded");
    EXPECT_EQ(Exception::of(std::bad_alloc()).message(),
              QString::fromUtf8(std::bad_alloc().what()));
}

} // namespace

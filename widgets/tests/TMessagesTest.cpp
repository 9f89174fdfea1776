#include "widgets/TMessages.h"

#include "core/Exception.h"
#include "testsupport/FakeMessages.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// What the operator reads in the one error box every window shows a failure in.
TEST(TMessagesTest, AFailureShowsTheOperatorTextWithTheCauseBelowOverItsWindow) {
    FakeMessages messages;
    QWidget window;
    TMessages::showFailure(&window, DatabaseError("Серията не беше записана в базата данни.",
                                                  "lock conflict on no wait transaction"));
    TMessages::showFailure(&window, SettingsError("Unable to write to /x/prjNUV.ini"));
    TMessages::showFailure(nullptr, std::runtime_error("Печатът не завърши"));
    EXPECT_EQ(messages.errors,
              (QStringList{"Серията не беше записана в базата данни.\n\n"
                           "lock conflict on no wait transaction",
                           "Unable to write to /x/prjNUV.ini", "Печатът не завърши"}));
    EXPECT_EQ(messages.errorParents, (QList<QWidget*>{&window, &window, nullptr}));
    EXPECT_TRUE(messages.infos.isEmpty());
}

} // namespace

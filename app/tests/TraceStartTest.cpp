#include "app/TTraceStart.h"

#include <gtest/gtest.h>

namespace {

// What a start says of the press constants against those of the last start.
TEST(TraceStartTest, ConstantsComparedWithTheLastStart) {
    const TPressSettings::Constants lab{60.5, 30.25, 4.0};
    const TPressSettings::Constants defaults{52.2, 26.2, 5.2};
    const QString labText = "upp=60.5; downn=30.25; maxstart=4";
    const struct {
        std::optional<QString> last;
        TPressSettings::Constants now;
        QStringList defaulted;
        bool change;
        bool notice;
    } cases[] = {
        {std::nullopt, defaults, {"upp", "downn", "maxstart"}, false, false}, // a first start
        {labText, lab, {}, false, false},                                     // unchanged
        {labText, TPressSettings::Constants{61, 30.25, 4.0}, {}, true, false}, // edited
        {labText, defaults, {"upp", "downn", "maxstart"}, true, true},         // file lost
    };
    for (const auto& c : cases) {
        const auto out = TTraceStart::compare(c.last, c.now, c.defaulted, "/lab/prjNUV.ini");
        EXPECT_EQ(out.change.has_value(), c.change) << c.last.value_or("-").toStdString();
        EXPECT_EQ(!out.notice.isEmpty(), c.notice);
        if (out.change) {
            EXPECT_EQ(out.change->before, labText);
            EXPECT_EQ(out.change->after, TTraceStart::constantsText(c.now));
        }
        if (c.notice)
            EXPECT_EQ(out.notice, "Константите на пресата (upp, downn, maxstart) липсват в "
                                  "/lab/prjNUV.ini: използват се upp=52.2; downn=26.2; "
                                  "maxstart=5.2, а последното измерване е записано с " +
                                      labText);
    }
}

} // namespace

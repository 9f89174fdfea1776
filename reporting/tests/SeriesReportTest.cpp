#include "reporting/TReportChart.h"
#include "reporting/TReportPages.h"
#include "reporting/TSeriesReport.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

int pdfPages(const QByteArray& pdf) {
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0;
         at = pdf.indexOf("/Type /Page", at + 1))
        if (pdf.mid(at + 11, 1) != "s")
            ++pages;
    return pages;
}

// A series of `count` runs on the frame, or on the press, of 300 readings each.
TSeriesResults series(int count, int device, std::optional<double> multiplier) {
    std::vector<TRunSamples> runs;
    for (int r = 0; r < count; ++r) {
        TRunSamples run{100 + r, QDateTime(QDate(2026, 3, 5), QTime(9, r)), device, {}};
        for (int i = 0; i < 300; ++i)
            run.loads.push_back({i * 200, i * (0.1 + r * 0.001), std::nullopt,
                                 device == 2 ? std::optional(i * 0.03) : std::nullopt});
        runs.push_back(std::move(run));
    }
    TSeriesDetails info{5,         QDateTime(QDate(2026, 3, 5), QTime(0, 0)), "Проби", "Път", "Куб",
                        multiplier};
    return TSeriesResults(info, std::move(runs), TRateStandard::en12390());
}

} // namespace

TEST(ReportPages, BlocksThatDoNotFitOpenTheNextPageWithTheirHeading) {
    TReportPages pages;
    std::vector<std::pair<int, double>> drawn; // (block, top)
    int headings = 0;
    const auto block = [&](int id, double height, bool withHeading) {
        TReportPages::Block b{
            height, [&drawn, id](QPainter&, double top) { drawn.emplace_back(id, top); }, 0, {}};
        if (withHeading) {
            b.headingHeight = 80;
            b.heading = [&headings](QPainter&, double) { ++headings; };
        }
        pages.add(b);
    };
    block(1, 1200, false);
    block(2, 1200, true); // fits: 150 + 2400 is within the page
    pages.addSpace(500);  // a space at the foot of a page is dropped, it opens no page
    block(3, 300, true);  // does not fit: opens page 2 under its heading
    EXPECT_EQ(pages.pageCount(), 2);

    QImage image(10, 10, QImage::Format_RGB32);
    QPainter p(&image);
    std::vector<int> footers;
    int newPages = 0;
    pages.paint(
        p, [&] { ++newPages; },
        [&](QPainter&, int page, int count) { footers.push_back(page * 10 + count); });
    EXPECT_EQ(newPages, 1);
    EXPECT_EQ(footers, (std::vector<int>{12, 22}));
    EXPECT_EQ(headings, 1);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_DOUBLE_EQ(drawn[1].second, TReportPages::kMargin + 1200);
    EXPECT_DOUBLE_EQ(drawn[2].second, TReportPages::kMargin + 80);
}

TEST(ReportChart, AxisStepsAreRound) {
    EXPECT_DOUBLE_EQ(TReportChart::niceStep(2031, 6), 500);
    EXPECT_DOUBLE_EQ(TReportChart::niceStep(200, 8), 25);
    EXPECT_DOUBLE_EQ(TReportChart::niceStep(8, 8), 1);
    EXPECT_DOUBLE_EQ(TReportChart::niceStep(0.3, 6), 0.05);
    EXPECT_DOUBLE_EQ(TReportChart::niceStep(0, 6), 1);
}

TEST(SeriesReport, ThirtyRunsFitOnAtMostThreePages) {
    TReportSettings settings;
    settings.laboratory = "Лаборатория";
    const QDateTime printed(QDate(2026, 3, 6), QTime(12, 0));
    for (const auto& [device, multiplier] :
         {std::pair(1, std::optional(22.5)), std::pair(1, std::optional(1.0)),
          std::pair(2, std::optional(22.5)), std::pair(1, std::optional<double>())}) {
        const TSeriesResults s = series(30, device, multiplier);
        const TSeriesReport report(s, settings, printed);
        const QByteArray pdf = report.pdf();
        EXPECT_TRUE(pdf.startsWith("%PDF")) << device;
        EXPECT_LE(report.pageCount(), 3) << device;
        EXPECT_EQ(pdfPages(pdf), report.pageCount()) << device;
    }
    // One run with no readings at all still gives a report of one page's table.
    const TSeriesResults empty(TSeriesDetails{}, {TRunSamples{1, {}, 1, {}}},
                               TRateStandard::en12390());
    EXPECT_EQ(pdfPages(TSeriesReport(empty, settings, printed).pdf()),
              TSeriesReport(empty, settings, printed).pageCount());
}

#include "reporting/TReportPages.h"

#include <QPainter>

namespace {
constexpr double kBottom = TReportPages::kHeight - TReportPages::kMargin - TReportPages::kFooter;
} // namespace

void TReportPages::add(Block block) {
    m_blocks.push_back(std::move(block));
}

void TReportPages::addSpace(double height) {
    m_blocks.push_back({height, {}, 0, {}});
}

std::vector<TReportPages::Placed> TReportPages::place() const {
    std::vector<Placed> out;
    int page = 0;
    double y = kMargin;
    for (const Block& b : m_blocks) {
        const bool fits = y + b.height <= kBottom || y == kMargin;
        if (!b.draw) { // a space at the foot of a page opens no page
            y = fits ? y + b.height : kBottom;
            continue;
        }
        bool withHeading = false;
        if (!fits) {
            ++page;
            y = kMargin;
            withHeading = bool(b.heading);
        }
        out.push_back({page, y, &b, withHeading});
        y += b.height + (withHeading ? b.headingHeight : 0);
    }
    return out;
}

int TReportPages::pageCount() const {
    const auto placed = place();
    return placed.empty() ? 1 : placed.back().page + 1;
}

void TReportPages::paint(QPainter& p, const std::function<void()>& newPage,
                         const Footer& footer) const {
    const int pages = pageCount();
    int page = 0;
    for (const Placed& placed : place()) {
        while (page < placed.page) {
            footer(p, page + 1, pages);
            newPage();
            ++page;
        }
        double top = placed.top;
        if (placed.withHeading) {
            placed.block->heading(p, top);
            top += placed.block->headingHeight;
        }
        if (placed.block->draw)
            placed.block->draw(p, top);
    }
    footer(p, page + 1, pages);
}

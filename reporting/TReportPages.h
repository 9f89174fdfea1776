#pragma once

#include <QString>

#include <functional>
#include <vector>

class QPainter;

// Lays blocks of a document one below the other onto A4 pages, in units of
// 0.1 mm. A block that does not fit on the rest of a page starts the next
// one; a block may name a heading (a table's column titles) that is drawn
// again above it when it opens a page.
class TReportPages {
public:
    static constexpr double kWidth = 2100;
    static constexpr double kHeight = 2970;
    static constexpr double kMargin = 150;
    static constexpr double kFooter = 80;
    static constexpr double kContentWidth = kWidth - 2 * kMargin;

    using Draw = std::function<void(QPainter&, double top)>;
    struct Block {
        double height = 0;
        Draw draw;
        double headingHeight = 0;
        Draw heading;
    };
    // What every page carries at its foot: its number and the page count.
    using Footer = std::function<void(QPainter&, int page, int pages)>;

    void add(Block block);
    void addSpace(double height);

    // The pages the blocks take; placement is done here.
    int pageCount() const;
    // Draws page after page; `newPage` moves the device on to the next one.
    void paint(QPainter& p, const std::function<void()>& newPage, const Footer& footer) const;

private:
    struct Placed {
        int page;
        double top;
        const Block* block;
        bool withHeading;
    };
    std::vector<Placed> place() const;

    std::vector<Block> m_blocks;
};

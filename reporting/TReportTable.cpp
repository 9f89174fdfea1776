#include "reporting/TReportTable.h"

#include <QPainter>

#include <memory>

namespace {
constexpr double kRowHeight = 48;
constexpr double kHeadingHeight = 80; // two lines of a column title
constexpr double kPad = 12;
} // namespace

TReportTable::TReportTable(std::vector<Column> columns, QFont font)
    : m_columns(std::move(columns)), m_font(std::move(font)) {
    // The widths are shares of the page's width, whatever columns the series needs.
    double total = 0;
    for (const Column& c : m_columns)
        total += c.width;
    for (Column& c : m_columns)
        c.width *= TReportPages::kContentWidth / total;
}

void TReportTable::addRow(const QStringList& cells, bool bold) {
    m_rows.emplace_back(cells, bold);
}

void TReportTable::drawRow(QPainter& p, double top, double height, const QStringList& cells,
                           bool bold, bool heading) const {
    QFont f = m_font;
    f.setBold(bold || heading);
    if (heading) // titles wrap onto two lines of a narrower column
        f.setPixelSize(m_font.pixelSize() * 5 / 6);
    p.setFont(f);
    p.setPen(QPen(Qt::black, 2));
    if (heading)
        p.fillRect(QRectF(TReportPages::kMargin, top, TReportPages::kContentWidth, height),
                   QColor(235, 235, 235));
    double x = TReportPages::kMargin;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const QRectF cell(x, top, m_columns[c].width, height);
        p.drawRect(cell);
        const int align = heading ? Qt::AlignCenter | Qt::TextWordWrap
                                  : (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
        if (c < std::size_t(cells.size()))
            p.drawText(cell.adjusted(kPad, 0, -kPad, 0), align, cells[c]);
        x += m_columns[c].width;
    }
}

void TReportTable::addTo(TReportPages& pages) const {
    QStringList titles;
    for (const Column& c : m_columns)
        titles.append(c.title);
    // The pages are drawn after this table may be gone: they keep a copy.
    const auto self = std::make_shared<const TReportTable>(*this);
    const auto heading = [self, titles](QPainter& p, double top) {
        self->drawRow(p, top, kHeadingHeight, titles, true, true);
    };
    pages.add(
        {kHeadingHeight + kRowHeight,
         [self, heading, first = m_rows.empty() ? std::pair<QStringList, bool>() : m_rows.front()](
             QPainter& p, double top) {
             heading(p, top);
             if (!first.first.isEmpty())
                 self->drawRow(p, top + kHeadingHeight, kRowHeight, first.first, first.second,
                               false);
         },
         0,
         {}});
    for (std::size_t r = 1; r < m_rows.size(); ++r)
        pages.add({kRowHeight,
                   [self, row = m_rows[r]](QPainter& p, double top) {
                       self->drawRow(p, top, kRowHeight, row.first, row.second, false);
                   },
                   kHeadingHeight, heading});
}

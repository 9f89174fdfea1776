#pragma once

#include "reporting/TReportPages.h"

#include <QFont>
#include <QStringList>

#include <vector>

// A table of the report: column titles over rows of text, ruled, split
// across pages with its titles repeated.
class TReportTable {
public:
    struct Column {
        QString title;
        double width; // a share of the page's width
    };
    TReportTable(std::vector<Column> columns, QFont font);

    void addRow(const QStringList& cells, bool bold = false);
    // Adds the titles and the rows to the pages.
    void addTo(TReportPages& pages) const;

private:
    void drawRow(QPainter& p, double top, double height, const QStringList& cells, bool bold,
                 bool heading) const;

    std::vector<Column> m_columns;
    QFont m_font;
    std::vector<std::pair<QStringList, bool>> m_rows;
};

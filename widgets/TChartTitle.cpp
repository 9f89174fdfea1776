#include "widgets/TChartTitle.h"

QString chartTitleHtml(const QString& title) {
    if (title.isEmpty())
        return {};
    QString html = title.toHtmlEscaped();
    html.replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    return QStringLiteral("<div align=\"center\">") + html + QStringLiteral("</div>");
}

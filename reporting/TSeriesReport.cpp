#include "reporting/TSeriesReport.h"

#include "reporting/TReportChart.h"
#include "reporting/TReportTable.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

constexpr double kChartHeight = 950;
constexpr double kLine = 50;
constexpr double kTitle = 60;

QFont sized(QFont f, int pixels, bool bold = false) {
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// Smaller, down to a legible size, until the text fits the rectangle.
void drawFitted(QPainter& p, const QRectF& rect, int flags, const QString& text) {
    QFont f = p.font();
    while (f.pixelSize() > 20 && p.boundingRect(rect, flags, text).height() > rect.height()) {
        f.setPixelSize(f.pixelSize() - 2);
        p.setFont(f);
    }
    p.drawText(rect, flags, text);
}

} // namespace

TSeriesReport::TSeriesReport(const TSeriesResults& series, const TReportSettings& settings,
                             QDateTime printed)
    : m_series(series), m_settings(settings), m_printed(std::move(printed)),
      m_locale(QLocale::Bulgarian, QLocale::Bulgaria), m_font(QStringLiteral("DejaVu Sans")) {
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
    m_font.setPixelSize(30);
    addHeading();
    if (std::any_of(series.runs().begin(), series.runs().end(),
                    [](const TRunSamples& r) { return !r.isFrame(); }))
        addPressTable();
    if (series.hasFrameRuns())
        addFrameTable();
    addSummary();
    addSeals();
    addCharts();
    addSignatures();
}

QString TSeriesReport::num(std::optional<double> value, int decimals) const {
    return value ? m_locale.toString(*value, 'f', decimals) : QString();
}

void TSeriesReport::addText(const QString& text, const QFont& font, double height, int flags) {
    m_pages.add({height,
                 [text, font, height, flags](QPainter& p, double top) {
                     p.setFont(font);
                     p.setPen(Qt::black);
                     p.drawText(
                         QRectF(TReportPages::kMargin, top, TReportPages::kContentWidth, height),
                         flags | Qt::AlignVCenter | Qt::TextWordWrap, text);
                 },
                 0,
                 {}});
}

void TSeriesReport::addHeading() {
    const TSeriesDetails& s = m_series.info();
    addText(m_settings.laboratory, sized(m_font, 42, true), 60, Qt::AlignHCenter);
    addText(m_settings.address, m_font, kLine, Qt::AlignHCenter);
    m_pages.addSpace(40);
    addText(QStringLiteral("Протокол от изпитване на серия № %1").arg(s.id),
            sized(m_font, 46, true), 80, Qt::AlignHCenter);
    m_pages.addSpace(20);
    const QString date =
        s.date.isValid() ? m_locale.toString(s.date.date(), "dd.MM.yyyy") : QString();
    addText(QStringLiteral("Дата на серията: %1").arg(date), m_font, kLine);
    addText(QStringLiteral("Обект: %1").arg(s.object), m_font, kLine);
    addText(QStringLiteral("Вид на пробите: %1").arg(s.specimenType), m_font, kLine);
    addText(QStringLiteral("Коментар: %1").arg(s.comment), m_font, kLine);
    if (m_series.mpaForm())
        addText(QStringLiteral("Скорост на натоварване по %1: %2 – %3 MPa/s")
                    .arg(m_series.standard().name(), num(m_series.standard().low(), 2),
                         num(m_series.standard().high(), 2)),
                m_font, kLine);
    m_pages.addSpace(30);
}

void TSeriesReport::addPressTable() {
    const bool mpa = m_series.mpaForm();
    std::vector<TReportTable::Column> cols = {{"№", 130},
                                              {"Начало", 370},
                                              {"Fmax, kN", 200},
                                              {"Време до Fmax, s", 230},
                                              {"Скорост, kN/s", 210}};
    if (mpa) {
        cols.push_back({"Якост, MPa", 200});
        cols.push_back({"Скорост, MPa/s", 230});
        cols.push_back({"Скорост по " + m_series.standard().name(), 230});
    }
    TReportTable table(cols, m_font);
    for (std::size_t i = 0; i < m_series.runs().size(); ++i) {
        const TRunSamples& run = m_series.runs()[i];
        if (run.isFrame())
            continue;
        const TRunResult& r = m_series.results()[i];
        QStringList row = {QString::number(run.id),
                           m_locale.toString(run.started, "dd.MM.yyyy HH:mm:ss"), num(r.maxKn, 2),
                           num(r.timeToMaxS, 1), num(r.rateKnS, 2)};
        if (mpa)
            row << num(r.strengthMpa, 1) << num(r.stressRateMpaS, 2)
                << (r.rateOk ? (*r.rateOk ? QStringLiteral("да") : QStringLiteral("не ✗"))
                             : QString());
        table.addRow(row);
    }
    addText(QStringLiteral("Изпитване на натиск"), sized(m_font, 34, true), 60);
    table.addTo(m_pages);
    m_pages.addSpace(40);
}

void TSeriesReport::addFrameTable() {
    TReportTable table({{"№", 130},
                        {"Начало", 370},
                        {"Стабилност, kN", 220},
                        {"Деформация, mm", 220},
                        {"Отношение, kN/mm", 220},
                        {"CBR 2,5 mm, %", 210},
                        {"CBR 5,0 mm, %", 210},
                        {"CBR, %", 220}},
                       m_font);
    for (std::size_t i = 0; i < m_series.runs().size(); ++i) {
        const TRunSamples& run = m_series.runs()[i];
        if (!run.isFrame())
            continue;
        const TRunResult& r = m_series.results()[i];
        table.addRow({QString::number(run.id),
                      m_locale.toString(run.started, "dd.MM.yyyy HH:mm:ss"), num(r.stabilityKn, 2),
                      num(r.flowMm, 2), num(r.quotientKnMm, 2), num(r.cbr25Pct, 1),
                      num(r.cbr50Pct, 1), num(r.cbrPct, 1)});
    }
    addText(QStringLiteral("Изпитване по Маршал и CBR"), sized(m_font, 34, true), 60);
    table.addTo(m_pages);
    m_pages.addSpace(40);
}

void TSeriesReport::addSummary() {
    TReportTable table({{"Показател", 420},
                        {"Брой", 150},
                        {"Средно", 230},
                        {"Ст. отклонение", 250},
                        {"Коеф. на вариация, %", 290},
                        {"Минимум", 230},
                        {"Максимум", 230}},
                       m_font);
    const struct {
        QString name;
        TSummary s;
        int decimals;
    } rows[] = {{"Fmax, kN", m_series.maxKn(), 2},
                {"Якост, MPa", m_series.strengthMpa(), 1},
                {"Стабилност, kN", m_series.stabilityKn(), 2},
                {"Деформация, mm", m_series.flowMm(), 2},
                {"Отношение, kN/mm", m_series.quotientKnMm(), 2},
                {"CBR, %", m_series.cbrPct(), 1}};
    for (const auto& row : rows)
        if (row.s.n > 0)
            table.addRow({row.name, QString::number(row.s.n), num(row.s.mean, row.decimals),
                          num(row.s.sd, row.decimals), num(row.s.covPct, 1),
                          num(row.s.min, row.decimals), num(row.s.max, row.decimals)});
    addText(QStringLiteral("Обобщение на серията"), sized(m_font, 34, true), 60);
    table.addTo(m_pages);
    m_pages.addSpace(40);
}

// Each run's seal by its first eight hex digits and the digest of the printed
// runs' seals, by which a printed report is held against the database. Rows
// of a few runs each, under a title that opens a page again with them.
void TSeriesReport::addSeals() {
    constexpr int kPerRow = 5;
    constexpr double kRow = 44;
    const QString title = QStringLiteral("Печат на измерванията");
    const auto drawTitle = [title, font = sized(m_font, 34, true)](QPainter& p, double top) {
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRectF(TReportPages::kMargin, top, TReportPages::kContentWidth, kTitle),
                   Qt::AlignVCenter, title);
    };
    const auto seals = m_series.seals();
    for (qsizetype first = 0; first < std::max<qsizetype>(seals.size(), 1); first += kPerRow) {
        QStringList cells;
        for (const auto& [run, seal] : seals.mid(first, kPerRow))
            cells.append(QStringLiteral("№ %1: %2")
                             .arg(QString::number(run),
                                  seal.isEmpty() ? QStringLiteral("—") : seal.left(8)));
        const double above = first == 0 ? kTitle : 0;
        m_pages.add({above + kRow,
                     [cells, above, drawTitle, font = m_font](QPainter& p, double top) {
                         if (above > 0)
                             drawTitle(p, top);
                         p.setFont(font);
                         p.setPen(Qt::black);
                         const double width = TReportPages::kContentWidth / kPerRow;
                         for (qsizetype i = 0; i < cells.size(); ++i)
                             p.drawText(QRectF(TReportPages::kMargin + double(i) * width,
                                               top + above, width, kRow),
                                        Qt::AlignLeft | Qt::AlignVCenter, cells[i]);
                     },
                     first == 0 ? 0 : kTitle, first == 0 ? TReportPages::Draw() : drawTitle});
    }
    addText(QStringLiteral("Печат на данните в протокола: %1").arg(m_series.digest().left(16)),
            m_font, kLine);
    m_pages.addSpace(40);
}

void TSeriesReport::addCharts() {
    TReportChart byTime(QStringLiteral("Време от началото, s"), QStringLiteral("Натоварване, kN"),
                        sized(m_font, 24), m_locale);
    TReportChart byDepth(QStringLiteral("Деформация, mm"), QStringLiteral("Натоварване, kN"),
                         sized(m_font, 24), m_locale);
    for (const TRunSamples& run : m_series.runs()) {
        TReportChart::Curve time{QStringLiteral("№ %1").arg(run.id), {}};
        TReportChart::Curve depth = time;
        for (const TLoadSample& s : run.loads) {
            time.points.emplace_back(double(s.ms) / 1000.0, s.kn);
            if (s.mm)
                depth.points.emplace_back(*s.mm, s.kn);
        }
        if (run.isFrame())
            byDepth.addCurve(std::move(depth));
        else
            byTime.addCurve(std::move(time));
    }
    // A chart keeps its title on its own page.
    const auto add = [this](const QString& title, TReportChart chart) {
        m_pages.add(
            {kTitle + kChartHeight,
             [chart = std::move(chart), title, font = sized(m_font, 34, true)](QPainter& p,
                                                                               double top) {
                 p.setFont(font);
                 p.setPen(Qt::black);
                 p.drawText(QRectF(TReportPages::kMargin, top, TReportPages::kContentWidth, kTitle),
                            Qt::AlignVCenter, title);
                 chart.paint(p, QRectF(TReportPages::kMargin, top + kTitle,
                                       TReportPages::kContentWidth, kChartHeight));
             },
             0,
             {}});
        m_pages.addSpace(40);
    };
    if (std::any_of(m_series.runs().begin(), m_series.runs().end(),
                    [](const TRunSamples& r) { return !r.isFrame(); }))
        add(QStringLiteral("Натоварване във времето"), std::move(byTime));
    if (m_series.hasFrameRuns())
        add(QStringLiteral("Натоварване и деформация"), std::move(byDepth));
}

void TSeriesReport::addSignatures() {
    const double height = 160;
    m_pages.add(
        {height,
         [font = m_font, testers = m_series.operators().join(QStringLiteral(", "))](QPainter& p,
                                                                                    double top) {
             p.setFont(font);
             p.setPen(Qt::black);
             const double half = TReportPages::kContentWidth / 2;
             int column = 0;
             for (const QString& who : {QStringLiteral("Изпитал"), QStringLiteral("Проверил")}) {
                 const double x = TReportPages::kMargin + column++ * half;
                 p.drawText(QRectF(x, top + 60, 220, 50), Qt::AlignLeft | Qt::AlignBottom,
                            who + ":");
                 // The operators who recorded the runs, written on the tester's line.
                 if (column == 1 && !testers.isEmpty())
                     drawFitted(p, QRectF(x + 230, top, half - 290, 100),
                                Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, testers);
                 p.setFont(font);
                 p.drawLine(QPointF(x + 230, top + 105), QPointF(x + half - 60, top + 105));
                 p.drawText(QRectF(x + 230, top + 110, half - 290, 40), Qt::AlignHCenter,
                            QStringLiteral("(подпис)"));
             }
         },
         0,
         {}});
}

void TSeriesReport::render(QPagedPaintDevice& device) const {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    QPainter p(&device);
    const double scale = device.logicalDpiX() / 254.0; // 0.1 mm to device pixels
    p.scale(scale, scale);
    const QString printed =
        QStringLiteral("Отпечатано на %1").arg(m_locale.toString(m_printed, "dd.MM.yyyy HH:mm"));
    const QString series = QStringLiteral("Серия № %1").arg(m_series.info().id);
    const auto footer = [&](QPainter& painter, int page, int pages) {
        const QRectF foot(TReportPages::kMargin, TReportPages::kHeight - TReportPages::kMargin,
                          TReportPages::kContentWidth, 50);
        painter.setFont(sized(m_font, 24));
        painter.setPen(Qt::black);
        painter.drawLine(foot.topLeft(), foot.topRight());
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignBottom, printed);
        painter.drawText(foot, Qt::AlignHCenter | Qt::AlignBottom, series);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Страница %1 от %2").arg(page).arg(pages));
    };
    m_pages.paint(
        p, [&] { device.newPage(); }, footer);
}

QByteArray TSeriesReport::pdf() const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setCreator(QStringLiteral("prjNUV"));
        writer.setTitle(QStringLiteral("Серия № %1").arg(m_series.info().id));
        render(writer);
    }
    return bytes;
}

#include "review/TChartPrintPreview.h"

#include "core/Exception.h"
#include "widgets/TMessages.h"
#include "widgets/TRunChart.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

const QString TChartPrintPreview::kPdfChoice = QStringLiteral("PDF файл");

namespace {

const QMarginsF kDefaultMargins(10, 10, 10, 10);

QDoubleSpinBox* percentBox(const QString& name, QWidget* parent) {
    auto* s = new QDoubleSpinBox(parent);
    s->setRange(0, 90);
    s->setDecimals(1);
    s->setSuffix(QStringLiteral(" %"));
    s->setAccessibleName(name);
    return s;
}

// A chart laid out at another size for as long as this lives; it gets its
// own size back afterwards. The chart's own layout runs at once (activate),
// not from posted events, so no event loop is needed on the way.
class TChartAtSize {
public:
    TChartAtSize(QChart* chart, const QSizeF& size) : m_chart(chart), m_old(chart->size()) {
        if (!size.isEmpty())
            layOut(size);
    }
    ~TChartAtSize() { layOut(m_old); }
    TChartAtSize(const TChartAtSize&) = delete;
    TChartAtSize& operator=(const TChartAtSize&) = delete;

private:
    void layOut(const QSizeF& size) {
        m_chart->resize(size);
        if (m_chart->layout())
            m_chart->layout()->activate();
    }
    QChart* m_chart;
    QSizeF m_old;
};

// Where the scene's points land when it is rendered from `source` into `target`.
QTransform renderTransform(const QRectF& target, const QRectF& source) {
    return QTransform()
        .translate(target.left(), target.top())
        .scale(target.width() / source.width(), target.height() / source.height())
        .translate(-source.left(), -source.top());
}

} // namespace

TChartPrintPreview::TChartPrintPreview(QChart* chart, QWidget* parent)
    : QDialog(parent), m_chart(chart), m_printer(new QPrinter(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("frmPrintPreview"));
    setWindowTitle(QStringLiteral("Печат"));
    setModal(true);

    cbPrinter = new QComboBox(this);
    cbPrinter->setAccessibleName(QStringLiteral("Принтер"));
    cbPrinter->addItems(QPrinterInfo::availablePrinterNames());
    cbPrinter->addItem(kPdfChoice);
    const QString def = QPrinterInfo::defaultPrinterName();
    cbPrinter->setCurrentIndex(def.isEmpty() ? cbPrinter->count() - 1 : cbPrinter->findText(def));
    btnSetup = new QPushButton(QStringLiteral("Настройка..."), this);
    edPdfFile = new QLineEdit(this);
    edPdfFile->setAccessibleName(QStringLiteral("PDF файл"));
    edPdfFile->setPlaceholderText(QStringLiteral("файл.pdf"));
    rbPortrait = new QRadioButton(QStringLiteral("Портрет"), this);
    rbLandscape = new QRadioButton(QStringLiteral("Пейзаж"), this);
    rbLandscape->setChecked(true);
    seLeft = percentBox(QStringLiteral("Ляво"), this);
    seTop = percentBox(QStringLiteral("Горе"), this);
    seRight = percentBox(QStringLiteral("Дясно"), this);
    seBottom = percentBox(QStringLiteral("Долу"), this);
    chShowMargins = new QCheckBox(QStringLiteral("Покажи полетата"), this);
    chShowMargins->setChecked(true);
    btnResetMargins = new QPushButton(QStringLiteral("Стандартни полета"), this);
    slDetail = new QSlider(Qt::Horizontal, this);
    slDetail->setAccessibleName(QStringLiteral("Детайлност"));
    slDetail->setRange(50, 200);
    slDetail->setValue(100);
    chProportional = new QCheckBox(QStringLiteral("Запази пропорциите"), this);
    chProportional->setChecked(true);
    Page = new TPagePreview(*this, this);
    btnPrint = new QPushButton(QStringLiteral("Печат"), this);
    btnPrint->setDefault(true);
    btnClose = new QPushButton(QStringLiteral("Затвори"), this);

    auto* printer = new QGroupBox(QStringLiteral("Принтер"), this);
    auto* pl = new QFormLayout(printer);
    pl->addRow(cbPrinter);
    pl->addRow(btnSetup);
    pl->addRow(QStringLiteral("Файл"), edPdfFile);
    auto* orient = new QGroupBox(QStringLiteral("Ориентация"), this);
    auto* ol = new QVBoxLayout(orient);
    ol->addWidget(rbPortrait);
    ol->addWidget(rbLandscape);
    auto* margins = new QGroupBox(QStringLiteral("Полета"), this);
    auto* ml = new QFormLayout(margins);
    ml->addRow(QStringLiteral("Ляво"), seLeft);
    ml->addRow(QStringLiteral("Горе"), seTop);
    ml->addRow(QStringLiteral("Дясно"), seRight);
    ml->addRow(QStringLiteral("Долу"), seBottom);
    ml->addRow(chShowMargins);
    ml->addRow(btnResetMargins);
    auto* side = new QVBoxLayout;
    side->addWidget(printer);
    side->addWidget(orient);
    side->addWidget(margins);
    side->addWidget(new QLabel(QStringLiteral("Детайлност"), this));
    side->addWidget(slDetail);
    side->addWidget(chProportional);
    side->addStretch(1);
    side->addWidget(btnPrint);
    side->addWidget(btnClose);
    auto* lay = new QHBoxLayout(this);
    lay->addLayout(side);
    lay->addWidget(Page, 1);
    resize(900, 620);
    setMargins(kDefaultMargins);

    for (QDoubleSpinBox* s : {seLeft, seTop, seRight, seBottom})
        connect(s, &QDoubleSpinBox::valueChanged, this, &TChartPrintPreview::marginsChanged);
    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{rbPortrait, rbLandscape, chProportional})
        connect(b, &QAbstractButton::toggled, this, &TChartPrintPreview::refresh);
    connect(chShowMargins, &QAbstractButton::toggled, Page, qOverload<>(&QWidget::update));
    connect(slDetail, &QSlider::valueChanged, this, &TChartPrintPreview::refresh);
    connect(Page, &TPagePreview::resized, this, &TChartPrintPreview::refresh);
    connect(btnResetMargins, &QPushButton::clicked, this, [this] { setMargins(kDefaultMargins); });
    connect(Page, &TPagePreview::marginsDragged, this, &TChartPrintPreview::setMargins);
    connect(btnSetup, &QPushButton::clicked, this, &TChartPrintPreview::setupClicked);
    connect(btnPrint, &QPushButton::clicked, this, &TChartPrintPreview::printClicked);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

TChartPrintPreview::~TChartPrintPreview() {
    delete m_printer;
}

QMarginsF TChartPrintPreview::margins() const {
    return {seLeft->value(), seTop->value(), seRight->value(), seBottom->value()};
}

void TChartPrintPreview::setMargins(const QMarginsF& p) {
    const QSignalBlocker b1(seLeft), b2(seTop), b3(seRight), b4(seBottom);
    seLeft->setValue(p.left());
    seTop->setValue(p.top());
    seRight->setValue(p.right());
    seBottom->setValue(p.bottom());
    marginsChanged();
}

void TChartPrintPreview::marginsChanged() {
    refresh();
}

QPageLayout::Orientation TChartPrintPreview::orientation() const {
    return rbPortrait->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape;
}

double TChartPrintPreview::detail() const {
    return slDetail->value() / 100.0;
}

bool TChartPrintPreview::proportional() const {
    return chProportional->isChecked();
}

QRectF TChartPrintPreview::chartRect(const QRectF& page) const {
    const QMarginsF m = margins();
    QRectF area(page.left() + page.width() * m.left() / 100.0,
                page.top() + page.height() * m.top() / 100.0,
                page.width() * (100.0 - m.left() - m.right()) / 100.0,
                page.height() * (100.0 - m.top() - m.bottom()) / 100.0);
    if (!proportional() || area.width() <= 1 || area.height() <= 1)
        return area;
    QSizeF fit = m_chart->size();
    fit.scale(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.center() - QPointF(fit.width() / 2, fit.height() / 2), fit);
}

QSizeF TChartPrintPreview::layoutSize(const QRectF& page) const {
    const QRectF area = chartRect(page);
    if (m_chart->size().isEmpty() || area.width() <= 1 || area.height() <= 1)
        return {};
    // Laid out as a chart that fills a large window, in the proportions it
    // has on the page: its title and labels then take on the page the share
    // they take there, whatever size the chart had on the screen. A flat
    // chart is laid out taller, so that its title, labels and plot still
    // have their room.
    QSizeF layout = area.size() * (kPageLayoutWidth / area.width());
    if (layout.height() < kLeastLayoutHeight)
        layout *= kLeastLayoutHeight / layout.height();
    return layout * detail();
}

void TChartPrintPreview::renderChart(QPainter& painter, const QRectF& target,
                                     const QSizeF& layout) const {
    if (layout.isEmpty() || !m_chart->scene())
        return;
    m_chart->scene()->render(&painter, target, QRectF(m_chart->pos(), layout),
                             Qt::IgnoreAspectRatio);
}

void TChartPrintPreview::refresh() {
    const QRectF target = chartRect(Page->sheet());
    const QSizeF layout = layoutSize(Page->sheet());
    const qreal ratio = Page->devicePixelRatioF();
    QImage image((target.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull() && !layout.isEmpty()) {
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        const TChartAtSize sized(m_chart, layout);
        QPainter p(&image);
        renderChart(p, QRectF(QPointF(0, 0), target.size()), layout);
    }
    m_screen = image;
    Page->update();
}

void TChartPrintPreview::print(QPrinter& printer) {
    printer.setFullPage(true);
    printer.setPageOrientation(orientation());
    const QRectF page = printer.paperRect(QPrinter::DevicePixel)
                            .translated(-printer.pageRect(QPrinter::DevicePixel).topLeft());
    const QSizeF layout = layoutSize(page);
    const TChartAtSize sized(m_chart, layout); // before the printer's painter opens
    // A long run's curves are read again for the page's pixel columns.
    if (!layout.isEmpty())
        TRunChart::prepare(m_chart,
                           renderTransform(chartRect(page), QRectF(m_chart->pos(), layout)));
    QPainter painter;
    if (!painter.begin(&printer))
        throw Exception(QStringLiteral("Печатът не може да започне: %1")
                            .arg(printer.outputFileName().isEmpty() ? printer.printerName()
                                                                    : printer.outputFileName()));
    renderChart(painter, chartRect(page), layout);
    if (!painter.end())
        throw Exception(QStringLiteral("Печатът не завърши"));
}

QImage TChartPrintPreview::pageImage(const QSize& pixels) {
    const QRectF page(QPointF(0, 0), QSizeF(pixels));
    const QSizeF layout = layoutSize(page);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    if (layout.isEmpty())
        return image;
    const TChartAtSize sized(m_chart, layout);
    TRunChart::prepare(m_chart, renderTransform(chartRect(page), QRectF(m_chart->pos(), layout)));
    QPainter painter(&image);
    renderChart(painter, chartRect(page), layout);
    return image;
}

void TChartPrintPreview::printToPdf(const QString& fileName) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setPageSize(m_printer->pageLayout().pageSize());
    print(printer);
}

void TChartPrintPreview::setupClicked() {
    if (cbPrinter->currentText() != kPdfChoice)
        m_printer->setPrinterName(cbPrinter->currentText());
    m_printer->setPageOrientation(orientation());
    QPageSetupDialog dialog(m_printer, this);
    if (dialog.exec() == QDialog::Accepted)
        (m_printer->pageLayout().orientation() == QPageLayout::Portrait ? rbPortrait : rbLandscape)
            ->setChecked(true);
}

void TChartPrintPreview::printClicked() {
    try {
        if (cbPrinter->currentText() == kPdfChoice) {
            QString file = edPdfFile->text();
            if (file.isEmpty())
                file = QFileDialog::getSaveFileName(this, QStringLiteral("PDF файл"), QString(),
                                                    QStringLiteral("PDF (*.pdf)"));
            if (file.isEmpty())
                return;
            edPdfFile->setText(file);
            printToPdf(file);
        } else {
            m_printer->setOutputFormat(QPrinter::NativeFormat);
            m_printer->setPrinterName(cbPrinter->currentText());
            print(*m_printer);
        }
    } catch (const Exception& e) {
        TMessages::showFailure(this, e);
    }
}

TPagePreview::TPagePreview(TChartPrintPreview& preview, QWidget* parent)
    : QWidget(parent), m_preview(preview) {
    setObjectName(QStringLiteral("Page"));
    setAccessibleName(QStringLiteral("Страница"));
    setMouseTracking(true);
}

QRectF TPagePreview::sheet() const {
    // A4 in the chosen orientation, as large as the widget allows.
    QSizeF a4(210, 297);
    if (m_preview.orientation() == QPageLayout::Landscape)
        a4.transpose();
    const QSizeF fit = a4.scaled(QSizeF(size()) - QSizeF(20, 20), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
}

QRectF TPagePreview::chartArea() const {
    const QRectF s = sheet();
    const QMarginsF m = m_preview.margins();
    return QRectF(s.left() + s.width() * m.left() / 100, s.top() + s.height() * m.top() / 100,
                  s.width() * (100 - m.left() - m.right()) / 100,
                  s.height() * (100 - m.top() - m.bottom()) / 100);
}

void TPagePreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    const QRectF s = sheet();
    p.fillRect(s, Qt::white);
    const QImage& chart = m_preview.screenImage();
    if (!chart.isNull())
        p.drawImage(m_preview.chartRect(s), chart);
    if (m_preview.chShowMargins->isChecked()) {
        p.setPen(QPen(Qt::blue, 1, Qt::DashLine));
        p.drawRect(chartArea());
    }
}

void TPagePreview::resizeEvent(QResizeEvent*) {
    emit resized();
}

void TPagePreview::mousePressEvent(QMouseEvent* e) {
    const QRectF area = chartArea();
    const QPointF pos = e->position();
    m_from = pos;
    m_start = m_preview.margins();
    if ((area.bottomRight() - pos).manhattanLength() < 16)
        m_drag = Drag::Resize;
    else if (area.contains(pos))
        m_drag = Drag::Move;
}

void TPagePreview::mouseMoveEvent(QMouseEvent* e) {
    if (m_drag == Drag::None)
        return;
    const QRectF s = sheet();
    const double dx = (e->position().x() - m_from.x()) * 100.0 / s.width();
    const double dy = (e->position().y() - m_from.y()) * 100.0 / s.height();
    QMarginsF m = m_start;
    if (m_drag == Drag::Move) {
        const double mx = std::clamp(dx, -m.left(), m.right());
        const double my = std::clamp(dy, -m.top(), m.bottom());
        m = QMarginsF(m.left() + mx, m.top() + my, m.right() - mx, m.bottom() - my);
    } else {
        m.setRight(std::clamp(m.right() - dx, 0.0, 95.0 - m.left()));
        m.setBottom(std::clamp(m.bottom() - dy, 0.0, 95.0 - m.top()));
    }
    emit marginsDragged(m);
}

void TPagePreview::mouseReleaseEvent(QMouseEvent*) {
    m_drag = Drag::None;
}

#pragma once

#include <QDialog>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>

class QChart;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSlider;
class TPagePreview;

// The print preview of a chart: the chart, title included, laid out on a
// page. The operator chooses the printer (or a PDF file), its setup, portrait
// or landscape, the four margins in percent of the page, the level of detail
// and whether the chart keeps its proportions, moves and resizes the chart on
// the page with the mouse, and prints.
//
// The chart is laid out for the page before any painter opens: the page on
// the screen shows an image of it made when a choice changes, and printing
// lays it out before the printer's painter opens. Nothing processes events
// while a painter is open.
class TChartPrintPreview : public QDialog {
    Q_OBJECT
public:
    TChartPrintPreview(QChart* chart, QWidget* parent = nullptr);
    ~TChartPrintPreview() override;

    static const QString kPdfChoice;

    QComboBox* cbPrinter;
    QPushButton* btnSetup;
    QLineEdit* edPdfFile;
    QRadioButton* rbPortrait;
    QRadioButton* rbLandscape;
    QDoubleSpinBox* seLeft;
    QDoubleSpinBox* seTop;
    QDoubleSpinBox* seRight;
    QDoubleSpinBox* seBottom;
    QCheckBox* chShowMargins;
    QPushButton* btnResetMargins;
    QSlider* slDetail;
    QCheckBox* chProportional;
    TPagePreview* Page;
    QPushButton* btnPrint;
    QPushButton* btnClose;

    // Margins in percent of the page: left, top, right, bottom.
    QMarginsF margins() const;
    void setMargins(const QMarginsF& percent);
    QPageLayout::Orientation orientation() const;
    double detail() const; // 1.0 lays the chart out as in a large window
    bool proportional() const;

    // Where the chart stands on `page`: inside the margins, and fitted to
    // the chart's proportions when they are kept.
    QRectF chartRect(const QRectF& page) const;
    // The size the chart is laid out at for a page: the proportions of its
    // place on the page, as wide as a chart in a large window (taller when
    // that would leave it flat), times the level of detail.
    QSizeF layoutSize(const QRectF& page) const;
    static constexpr double kPageLayoutWidth = 800;
    static constexpr double kLeastLayoutHeight = 360;
    // The chart laid out at `layout`, drawn into `target` on `painter`. The
    // caller has laid it out at that size before its painter opened.
    void renderChart(QPainter& painter, const QRectF& target, const QSizeF& layout) const;
    // The image of the chart that the page on the screen shows.
    const QImage& screenImage() const { return m_screen; }
    // The page as it is printed, at `pixels`: the chart laid out for it and
    // its curves drawn in the page's own pixel columns.
    QImage pageImage(const QSize& pixels);

    // Prints one page to the printer as it is set up; throws Exception on failure.
    void print(QPrinter& printer);
    // Prints to a PDF file.
    void printToPdf(const QString& fileName);

private:
    void printClicked();
    void setupClicked();
    void marginsChanged();
    void refresh(); // records the chart for the page on the screen again

    QChart* m_chart;
    QPrinter* m_printer;
    QImage m_screen;
};

// The page on the screen, with the chart where it will be printed.
class TPagePreview : public QWidget {
    Q_OBJECT
public:
    explicit TPagePreview(TChartPrintPreview& preview, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {420, 420}; }
    QRectF sheet() const;     // the page, in widget pixels
    QRectF chartArea() const; // inside the margins, in widget pixels

signals:
    void marginsDragged(const QMarginsF& percent);
    void resized();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    enum class Drag { None, Move, Resize };
    TChartPrintPreview& m_preview;
    Drag m_drag = Drag::None;
    QPointF m_from;
    QMarginsF m_start;
};

// The time-series chart of a back-propagation test: actual and predicted values of the
// prediction field over the testing rows, with a band of one actual RMS error around the
// prediction, a zoom of 1 to 64 (spinner and a three-state zoom button, applied 100 ms after
// the last change) and a scroll bar through the rows. It only reads.
#pragma once

#include "charts/chartcommon.h"
#include "charts/charthead.h"
#include "charts/serieslayout.h"
#include "network/testedpredictions.h"

#include <QFont>
#include "charts/resultview.h"

#include <QWidget>
#include <memory>

class CBackProp;
class QLabel;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QTimer;
class SeriesPlot;
class ZoomButton;

class frmSeries : public ResultView {
    Q_OBJECT
public:
    explicit frmSeries(std::shared_ptr<CBackProp> net, QWidget* parent = nullptr);
    ~frmSeries() override;

    // Copies of the arrays; draws nothing.
    void Bind(const TestedPredictions& data);
    void Display();
    // Statistics and the status text, read again (each activation).
    void Activate();

    // The row window, layout, axes and plot, drawn again (the scroll bar and the zoom timer
    // call it). Counts in Redraws().
    void Redraw();
    int Redraws() const { return m_redraws; }

    QLabel* lblTrainRows = nullptr;
    QLabel* lblTestRows = nullptr;
    QLabel* Statistic(int k) const { return m_head.values[size_t(k)]; }
    QSpinBox* updZoom = nullptr;
    QScrollBar* hscGraph = nullptr;
    ZoomButton* ZoomControl() const { return m_zoomButton; }
    float Zoom() const { return m_zoom; }
    int64_t PointCount() const { return m_pointCount; }
    const SeriesLayout::Result& Layout() const { return m_layout; }
    const SeriesLayout::Plot& PlotLines() const { return m_plot; }
    // The zoom button released with the right or another button.
    void ZoomClick(bool rightButton);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void applyZoom();

    std::shared_ptr<CBackProp> m_net;
    ChartFormat::FieldRange m_range;
    float m_rms = 0;
    ChartFormat::ChartRows m_rows;
    ChartFormat::ValueScale m_scale;
    int64_t m_pointCount = 0;
    float m_zoom = 1;
    int m_redraws = 0;
    SeriesLayout::Result m_layout;
    SeriesLayout::Plot m_plot;
    ChartHead m_head;
    QLabel* lblZoom = nullptr;
    QLabel* Label9 = nullptr;
    QPushButton* cmdOK = nullptr;
    QTimer* Timer1 = nullptr;
    SeriesPlot* m_graph = nullptr;
    ZoomButton* m_zoomButton = nullptr;
};

// The plot area: shows the polylines computed by the last redraw, rendered once for a plot and
// a size rather than for every expose.
class SeriesPlot : public QWidget {
    Q_OBJECT
public:
    explicit SeriesPlot(QWidget* parent) : QWidget(parent) {}
    void SetPlot(const SeriesLayout::Plot* plot)
    {
        m_plot = plot;
        m_image = QImage();
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SeriesLayout::Plot* m_plot = nullptr;
    QImage m_image;
};

// The zoom button: a grey box drawn raised or sunken with an icon and "Zoom" under it; left
// and right releases step the zoom.
class ZoomButton : public QWidget {
    Q_OBJECT
public:
    explicit ZoomButton(QWidget* parent);
    bool Sunken() const { return m_sunken; }
    void SetSunken(bool sunken)
    {
        m_sunken = sunken;
        update();
    }
signals:
    void released(bool rightButton);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_sunken = false;
};

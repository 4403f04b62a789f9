// The scatter chart of a back-propagation test: predicted (across) against actual (up) for
// every testing row, the diagonal of perfect prediction, the band of one actual RMS error
// around it, the four statistics, a read-out under the mouse and a double click that browses
// the rows nearest a point. It only reads.
#pragma once

#include "charts/chartcommon.h"
#include "charts/charthead.h"
#include "charts/scatterlayout.h"
#include "network/testedpredictions.h"

#include <QImage>
#include <QFont>
#include "charts/resultview.h"

#include <QWidget>

class QLabel;
class QPushButton;
class CBackProp;

class ScatterPlot;

class frmScatter : public ResultView {
    Q_OBJECT
public:
    // `net` is read for the field, the range and the statistics.
    explicit frmScatter(std::shared_ptr<CBackProp> net, QWidget* parent = nullptr);
    ~frmScatter() override;

    // The arrays and captions handed over by the network object.
    void SetData(const TestedPredictions& data);
    // Saves the main status text and shows the window.
    void Display();
    // The statistics, read again (each activation).
    void Activate();

    QLabel* lblTrainRows = nullptr;
    QLabel* lblTestRows = nullptr;
    QLabel* lblPos = nullptr;
    QLabel* Statistic(int k) const { return m_head.values[size_t(k)]; }
    const ScatterLayout::Result& Layout() const { return m_layout; }
    const QString& AxisFormat() const { return m_range.format; }
    ScatterPlot* Graph() const { return m_graph; }
    double LastPredicted() const { return m_lastPredicted; }
    double LastActual() const { return m_lastActual; }

    // Mouse over the plot at a pixel of it (buttons: any pressed), over the window elsewhere,
    // and the double click. The widget events call these; tests do too.
    void GraphMouseMove(QPointF pixel, bool buttons);
    void FormMouseMove(bool buttons);
    void GraphDoubleClick();
    // The plot's points, band and diagonal for a plot of that many pixels.
    QImage Render(QSize sizePx) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void layOut();
    // The read-out right-aligned with the plot, beside or under the horizontal axis title.
    void placeReadout();

    std::shared_ptr<CBackProp> m_net;
    ChartFormat::FieldRange m_range;
    ChartFormat::ChartRows m_rows;
    ChartFormat::ValueScale m_scale;
    float m_rmsError = 0;
    ScatterLayout::Result m_layout;
    ScatterPlot* m_graph = nullptr;
    ChartHead m_head;
    QLabel* m_coords = nullptr;
    QPushButton* cmdOK = nullptr;
    double m_lastPredicted = 0;
    double m_lastActual = 0;
    bool m_statusReplaced = false;
    QString m_savedStatus;
};

// The plot area: shows the rendered points and reports the mouse in pixels.
class ScatterPlot : public QWidget {
    Q_OBJECT
public:
    explicit ScatterPlot(frmScatter* owner);
    // Drops the rendered plot (a new size or new data).
    void Invalidate();
    const QImage& Image();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    frmScatter* m_owner;
    QImage m_image;
};

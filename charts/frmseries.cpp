#include "charts/frmseries.h"

#include "charts/charthead.h"
#include "charts/childwindow.h"
#include "core/errorbox.h"
#include "core/twips.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/winhelpers.h"
#include "network/backprop.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <cmath>

namespace {

constexpr QSize kDesignClient{9375, 5625};

} // namespace

frmSeries::frmSeries(std::shared_ptr<CBackProp> net, QWidget* parent) : ResultView(parent), m_net(std::move(net))
{
    setWindowTitle(QStringLiteral("Time Series Graph Of Actual vs. Predicted"));
    resize(Twips::ToWholePixels(kDesignClient.width()), Twips::ToWholePixels(kDesignClient.height()));
    m_head = ChartHead::Build(this, 5760, 6840);
    lblTrainRows = m_head.trainRows;
    lblTestRows = m_head.testRows;
    cmdOK = m_head.close;

    m_graph = new SeriesPlot(this);
    m_graph->setAutoFillBackground(true);
    QPalette white = m_graph->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_graph->setPalette(white);

    hscGraph = new QScrollBar(Qt::Horizontal, this);
    hscGraph->setObjectName(QStringLiteral("hscGraph"));
    hscGraph->setRange(0, SeriesLayout::ScrollMax(1));
    hscGraph->setPageStep(10);
    hscGraph->setSingleStep(1);
    // Dragging the box redraws once, when it is let go.
    hscGraph->setTracking(false);
    connect(hscGraph, &QScrollBar::valueChanged, this, [this] { Redraw(); });

    Label9 = ChartLabel(this, QStringLiteral("Zoom"), {5880, 5040});
    updZoom = new QSpinBox(this);
    updZoom->setObjectName(QStringLiteral("updZoom"));
    updZoom->setRange(1, SeriesLayout::MaxZoom);
    updZoom->setValue(1);
    updZoom->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    updZoom->setFixedWidth(Twips::ToWholePixels(240) + 40);
    lblZoom = ChartLabel(this, QStringLiteral("1"), {6720, 5040});
    lblZoom->hide();
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { applyZoom(); });
    connect(updZoom, &QSpinBox::valueChanged, this, [this](int value) {
        lblZoom->setText(QString::number(value));
        lblZoom->adjustSize();
        // Every change starts the delay anew: a burst of changes gives one redraw.
        Timer1->start();
    });

    m_zoomButton = new ZoomButton(this);
    m_zoomButton->setObjectName(QStringLiteral("picOutline"));
    connect(m_zoomButton, &ZoomButton::released, this, [this](bool right) { ZoomClick(right); });

    if (m_net) {
        m_range = ChartFormat::PredictionRange(*m_net);
        m_scale = {m_range.lo, m_range.hi};
        IgnoreErrors([&] { m_rms = m_net->ActualRMSError(); });
    }
}

frmSeries::~frmSeries() = default;

void frmSeries::Bind(const TestedPredictions& data)
{
    m_rows = ChartFormat::RowsOf(data, m_range.lo, m_range.hi);
    m_scale = ChartFormat::ScaleOf(m_rows, m_range.lo, m_range.hi);
    m_pointCount = m_rows.Count();
    m_head.SetRows(data.trainedCaption, data.testedCaption);
}

void frmSeries::Display()
{
    ChildWindow::Show(this, true, [this] { Activate(); });
    Redraw();
}

void frmSeries::Activate()
{
    if (m_net) {
        m_head.Fill(*m_net);
    }
    Utilities::StatusMessage(QStringLiteral("Time Series Graph of Actual vs. Predicted."));
}

void frmSeries::Redraw()
{
    if (isMinimized())
        return;
    ++m_redraws;
    int32_t testLow = 1, testHigh = int32_t(m_pointCount);
    if (m_net) {
        testLow = m_net->State().TestLow();
        testHigh = m_net->State().TestHigh();
    }
    SeriesLayout::Input in;
    in.client = QSize(Twips::FromPixels(width()), Twips::FromPixels(height()));
    in.lo = m_scale.lo;
    in.hi = m_scale.hi;
    in.text = m_range.text;
    in.fieldName = m_range.name;
    in.rows = SeriesLayout::Rows(m_pointCount, m_zoom, hscGraph->value(), hscGraph->minimum(), hscGraph->maximum(),
                                 testLow, testHigh);
    const FontTextMeasure measure(font(), titleFont());
    in.measure = &measure;
    m_layout = SeriesLayout::Layout(in);

    const QRect graph = Twips::ToWholePixels(m_layout.graph);
    m_graph->setGeometry(graph);
    hscGraph->setGeometry(Twips::ToWholePixels(m_layout.scroll));
    cmdOK->move(Twips::ToWholePixels(m_layout.rightEdge) - cmdOK->width(), Twips::ToWholePixels(SeriesLayout::LegendTop) - 4);
    // The zoom spinner on the axis title's line, at the plot's right end, clear of the plot
    // whatever the window's size; the spinner shows its own value.
    const int zoomTop = Twips::ToWholePixels(m_layout.rowTitleTop);
    const int right = Twips::ToWholePixels(m_layout.rightEdge);
    updZoom->move(right - updZoom->width(), zoomTop - 3);
    Label9->move(updZoom->x() - Label9->width() - 6, zoomTop);
    lblZoom->move(right, zoomTop);
    m_zoomButton->setVisible(!m_layout.zoomButton.isEmpty());
    if (!m_layout.zoomButton.isEmpty())
        m_zoomButton->setGeometry(Twips::ToWholePixels(m_layout.zoomButton));

    const SeriesLayout::Points points{m_rows.actual.data(), m_rows.predicted.data(), m_pointCount, m_rows.origin};
    m_plot = SeriesLayout::PlotSeries(points, in.rows.first, in.rows.last, testLow, m_scale.lo, m_scale.hi, m_rms,
                                      graph.size());
    m_graph->SetPlot(&m_plot);
    m_zoomButton->SetSunken(false);
    update();
}

void frmSeries::ZoomClick(bool rightButton)
{
    m_zoomButton->SetSunken(false);
    const int z = updZoom->value();
    const int next = SeriesLayout::NextZoom(z, rightButton);
    if (next != z)
        updZoom->setValue(next);
}

void frmSeries::applyZoom()
{
    Timer1->stop();
    if (float(updZoom->value()) == m_zoom)
        return;
    m_zoom = float(updZoom->value());
    const int newMax = SeriesLayout::ScrollMax(updZoom->value());
    if (newMax >= hscGraph->value()) {
        const QSignalBlocker block(hscGraph);
        hscGraph->setMaximum(newMax);
        Redraw();
    } else {
        // The bar brings its value down to the new maximum and redraws through its signal.
        hscGraph->setMaximum(newMax);
    }
}

void frmSeries::resizeEvent(QResizeEvent* event)
{
    ResultView::resizeEvent(event);
    Redraw();
}

void frmSeries::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ReplayDisplayList(painter, m_layout.list, font(), titleFont());
}

void frmSeries::closeEvent(QCloseEvent* event)
{
    ChildWindow::SetRowsPanel(QString());
    ResultView::closeEvent(event);
}

void SeriesPlot::paintEvent(QPaintEvent*)
{
    if (!m_plot)
        return;
    if (m_image.size() != size())
        m_image = SeriesLayout::Render(*m_plot, size());
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

ZoomButton::ZoomButton(QWidget* parent) : QWidget(parent)
{
    setToolTip(QStringLiteral("Left/Right Click To Zoom In/Out"));
    setCursor(Qt::PointingHandCursor);
}

void ZoomButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Utilities::ColorFromBgr(0xC0C0C0));
    // Twips of the box, drawn at pixels.
    const int W = Twips::FromPixels(width()), H = Twips::FromPixels(height());
    const int image = 480;
    const int imageTop = m_sunken ? (H - image - 64) / 2 : (H - image - 128) / 2 - 30;
    const QRect icon = Twips::ToWholePixels(QRect((W - image) / 2, imageTop, image, image));
    // A magnifying glass.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 128), 3));
    const QRect lens = icon.adjusted(icon.width() / 6, icon.height() / 6, -icon.width() / 3, -icon.height() / 3);
    painter.setBrush(QColor(200, 230, 255));
    painter.drawEllipse(lens);
    painter.drawLine(lens.bottomRight() - QPoint(2, 2), icon.bottomRight() - QPoint(icon.width() / 8, icon.height() / 8));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    const int labelTop = imageTop + image - 60;
    painter.drawText(QRect(0, Twips::ToWholePixels(labelTop), width(), Twips::ToWholePixels(H - labelTop)), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("Zoom"));

    struct Edge {
        QPoint from, to;
        uint32_t raised, sunken;
    };
    const uint32_t white = 0xFFFFFF, light = 0xE0E0E0, dark = 0x808080, black = 0;
    const Edge edges[] = {
        {{0, 0}, {0, H - 15}, white, black},
        {{15, 0}, {15, H - 30}, light, dark},
        {{0, 0}, {W - 15, 0}, white, black},
        {{15, 15}, {W - 30, 15}, light, dark},
        {{W - 15, 0}, {W - 15, H}, black, black},
        {{W - 30, 15}, {W - 30, H}, dark, white},
        {{0, H - 15}, {W, H - 15}, black, black},
        {{15, H - 30}, {W - 30, H - 30}, dark, white},
    };
    for (const Edge& e : edges) {
        painter.setPen(Utilities::ColorFromBgr(m_sunken ? e.sunken : e.raised));
        painter.drawLine(e.from / Twips::PerPixel, e.to / Twips::PerPixel);
    }
}

void ZoomButton::mousePressEvent(QMouseEvent*)
{
    SetSunken(true);
}

void ZoomButton::mouseDoubleClickEvent(QMouseEvent*)
{
    SetSunken(true);
}

void ZoomButton::mouseReleaseEvent(QMouseEvent* event)
{
    SetSunken(false);
    emit released(event->button() == Qt::RightButton);
}

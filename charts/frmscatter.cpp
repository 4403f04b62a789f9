#include "charts/frmscatter.h"

#include "charts/charthead.h"
#include "charts/childwindow.h"
#include "core/errorbox.h"
#include "core/twips.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/winhelpers.h"
#include "network/backprop.h"
#include "shell/windowcalls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

frmScatter::frmScatter(std::shared_ptr<CBackProp> net, QWidget* parent) : ResultView(parent), m_net(std::move(net))
{
    setWindowTitle(QStringLiteral("Scatter Graph Of Actual vs. Predicted"));
    resize(Twips::ToWholePixels(10200), Twips::ToWholePixels(7800));
    m_head = ChartHead::Build(this, 5880, 6960);
    lblTrainRows = m_head.trainRows;
    lblTestRows = m_head.testRows;
    cmdOK = m_head.close;
    lblPos = ChartLabel(this, QStringLiteral("(0, 0)"), {0, 0}, 0xFF0000);
    lblPos->hide();
    // A design label that only follows the plot's edge; it is never shown.
    m_coords = ChartLabel(this, QStringLiteral("( 45 , 96 )"), {0, 0});
    m_coords->hide();
    setMouseTracking(true);

    m_graph = new ScatterPlot(this);
    if (m_net)
        m_range = ChartFormat::PredictionRange(*m_net);
    m_scale = {m_range.lo, m_range.hi};
}

frmScatter::~frmScatter() = default;

void frmScatter::SetData(const TestedPredictions& data)
{
    m_rows = ChartFormat::RowsOf(data, m_range.lo, m_range.hi);
    m_scale = ChartFormat::ScaleOf(m_rows, m_range.lo, m_range.hi);
    m_head.SetRows(data.trainedCaption, data.testedCaption);
    if (m_net)
        IgnoreErrors([&] { m_rmsError = m_net->ActualRMSError(); });
    layOut();
}

void frmScatter::Display()
{
    m_savedStatus = ChildWindow::MainStatusText();
    m_statusReplaced = false;
    ChildWindow::Show(this, true, [this] { Activate(); });
}

void frmScatter::Activate()
{
    if (!m_net)
        return;
    m_head.Fill(*m_net);
}

void frmScatter::layOut()
{
    if (isMinimized())
        return;
    ScatterLayout::Input in;
    in.client = QSize(Twips::FromPixels(width()), Twips::FromPixels(height()));
    in.lo = m_scale.lo;
    in.hi = m_scale.hi;
    in.text = m_range.text;
    in.fieldName = m_range.name;
    const FontTextMeasure measure(font(), titleFont());
    in.measure = &measure;
    m_layout = ScatterLayout::Layout(in);

    const QRect graph = Twips::ToWholePixels(m_layout.graph);
    m_graph->setGeometry(graph);
    m_graph->Invalidate();

    const int right = Twips::ToWholePixels(m_layout.rightEdge);
    cmdOK->move(right - cmdOK->width(), Twips::ToWholePixels(ScatterLayout::TitleTop) - 4);
    m_coords->move(right - m_coords->width(), m_coords->y());
    lblPos->adjustSize();
    placeReadout();
    update();
}

void frmScatter::placeReadout()
{
    const QSize size(Twips::FromPixels(lblPos->width()), Twips::FromPixels(lblPos->height()));
    lblPos->move(Twips::ToWholePixels(ScatterLayout::ReadoutAt(m_layout, size)));
}

QImage frmScatter::Render(QSize sizePx) const
{
    const ScatterLayout::Points points{m_rows.actual.data(), m_rows.predicted.data(), m_rows.Count(), m_rmsError,
                                       m_rows.origin};
    return ScatterLayout::Render(points, m_scale.lo, m_scale.hi, sizePx);
}

void frmScatter::resizeEvent(QResizeEvent* event)
{
    ResultView::resizeEvent(event);
    layOut();
}

void frmScatter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ReplayDisplayList(painter, m_layout.list, font(), titleFont());
}

void frmScatter::GraphMouseMove(QPointF pixel, bool buttons)
{
    if (!buttons) {
        const QPointF v = ScatterLayout::ValueAt(ScatterLayout::PlotScale(m_scale.lo, m_scale.hi), pixel, m_graph->size());
        // In double precision: a single cannot tell apart the places of a plot over large values.
        m_lastPredicted = v.x();
        m_lastActual = v.y();
        const ChartFormat::AxisText& text = m_range.text;
        const QString difference = m_range.difference(std::fabs(m_lastActual - m_lastPredicted));
        lblPos->setText(QStringLiteral("(P=") + text(m_lastPredicted) + QStringLiteral(", A=") + text(m_lastActual)
                        + QStringLiteral(", D=") + difference + QStringLiteral(")"));
        lblPos->adjustSize();
        lblPos->setVisible(true);
        placeReadout();
    }
    if (!m_statusReplaced) {
        m_savedStatus = ChildWindow::MainStatusText();
        m_statusReplaced = true;
        Utilities::StatusMessage(QStringLiteral("Double click on graph to see data for a region."));
    }
}

void frmScatter::FormMouseMove(bool buttons)
{
    if (!buttons)
        lblPos->hide();
    if (m_statusReplaced) {
        Utilities::StatusMessage(m_savedStatus);
        m_statusReplaced = false;
    }
}

void frmScatter::GraphDoubleClick()
{
    const QString predicted = ScatterLayout::DrillText(m_lastPredicted);
    const QString actual = ScatterLayout::DrillText(m_lastActual);
    // The browse closes every child window, this one included: run it after this handler.
    QTimer::singleShot(0, qApp, [predicted, actual] { WindowCalls::Current().BrowseOutlyers(predicted, actual); });
}

void frmScatter::mouseMoveEvent(QMouseEvent* event)
{
    FormMouseMove(event->buttons() != Qt::NoButton);
}

void frmScatter::closeEvent(QCloseEvent* event)
{
    ChildWindow::SetRowsPanel(QString());
    if (m_statusReplaced)
        Utilities::StatusMessage(m_savedStatus);
    ResultView::closeEvent(event);
}

ScatterPlot::ScatterPlot(frmScatter* owner) : QWidget(owner), m_owner(owner)
{
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void ScatterPlot::Invalidate()
{
    m_image = QImage();
    update();
}

const QImage& ScatterPlot::Image()
{
    // The points are rendered once for a plot size, not for every expose.
    if (m_image.size() != size())
        m_image = m_owner->Render(size());
    return m_image;
}

void ScatterPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, Image());
}

void ScatterPlot::mouseMoveEvent(QMouseEvent* event)
{
    m_owner->GraphMouseMove(event->position(), event->buttons() != Qt::NoButton);
}

void ScatterPlot::mouseDoubleClickEvent(QMouseEvent*)
{
    m_owner->GraphDoubleClick();
}

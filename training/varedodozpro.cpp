#include "training/varedodozpro.h"

#include "core/prompts.h"
#include "core/twips.h"
#include "core/widgets/winhelpers.h"
#include "training/propertybag.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

VaredOdozPro::VaredOdozPro(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    m_titleFont = font();
}

VaredOdozPro::~VaredOdozPro() = default;

void VaredOdozPro::Changed(const char* name) { emit PropertyChanged(QString::fromLatin1(name)); }

void VaredOdozPro::SetMarkPoint(int32_t point)
{
    m_state.markPoint = point;
    Changed("MarkPoint");
}

void VaredOdozPro::SetBackColor(int32_t color)
{
    m_backColor = color;
    Changed("BackColor");
}

void VaredOdozPro::SetForeColor(int32_t color)
{
    m_state.foreColor = color;
    Changed("ForeColor");
}

void VaredOdozPro::SetHighScale(double value)
{
    m_state.highScale = value;
    Changed("HighScale");
}

void VaredOdozPro::SetLowScale(double value)
{
    m_state.lowScale = value;
    Changed("LowScale");
}

void VaredOdozPro::SetEnabled(bool enabled)
{
    setEnabled(enabled);
    Changed("Enabled");
}

void VaredOdozPro::SetFont(const QFont& font)
{
    setFont(font);
    Changed("Font");
}

void VaredOdozPro::SetChartType(int32_t type)
{
    m_state.chartType = type;
    Changed("ChartType");
}

void VaredOdozPro::SetSeriesOptions(int series, int32_t plotColor, const QString& legend)
{
    if (series < 0 || series >= ChartDefaults::SeriesSlots) {
        Prompts::MsgBox(QStringLiteral("Too many data series -- limit is 15"), MsgButtons::Ok);
        return;
    }
    if (!legend.isEmpty())
        m_state.seriesLegend[size_t(series)] = legend;
    m_state.seriesColor[size_t(series)] = plotColor;
}

void VaredOdozPro::Refresh()
{
    const FontTextMeasure fontMeasure(font(), m_titleFont);
    const ITextMeasure& measure = m_measure ? *m_measure : fontMeasure;
    ChartPainting painting = ChartLayout::Paint(m_state, measure, Twips::FromPixels(width()),
                                                Twips::FromPixels(height()));
    m_state.highScale = painting.highScale;
    m_state.lowScale = painting.lowScale;
    m_state.verticalTickInterval = painting.verticalTickInterval;
    m_plotTop = painting.plotTop;
    m_plotRight = painting.plotRight;
    m_display = std::move(painting.list);
    update();
    if (painting.negativeStack)
        Prompts::MsgBox(QStringLiteral("Cannot plot stacked bar graph with negative data"),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Plot Error"));
}

void VaredOdozPro::SetDisplayLegend(bool display)
{
    m_state.displayLegend = display;
    Changed("DisplayLegend");
}

void VaredOdozPro::RegisterData(const ChartTable& data)
{
    m_state.table = data;
    for (int s = 1; s <= data.UpperSeries() && s <= ChartDefaults::SeriesSlots; ++s) {
        int32_t& slot = m_state.seriesColor[size_t(s - 1)];
        if (slot == ChartDefaults::Unset)
            slot = ChartDefaults::SeriesColors[size_t(s - 1)];
    }
}

void VaredOdozPro::SetPlotPoints(bool plot)
{
    m_state.plotPoints = plot;
    Changed("PlotPoints");
}

void VaredOdozPro::SetTitle(const QString& title)
{
    m_state.title = title;
    Changed("Title");
}

void VaredOdozPro::SetVerticalTickInterval(double interval)
{
    m_state.verticalTickInterval = interval;
    Changed("VerticalTickInterval");
}

void VaredOdozPro::SetHorizontalTickFrequency(double frequency)
{
    m_state.horizontalTickFrequency = frequency;
    Changed("HorizontalTickFrequency");
}

void VaredOdozPro::SetTitleFont(const QFont& font)
{
    m_titleFont = font;
    Changed("TitleFont");
}

int32_t VaredOdozPro::SeriesColor(int slot) const
{
    return slot >= 0 && slot < ChartDefaults::SeriesSlots ? m_state.seriesColor[size_t(slot)]
                                                          : ChartDefaults::Unset;
}

QString VaredOdozPro::SeriesLegend(int slot) const
{
    return slot >= 0 && slot < ChartDefaults::SeriesSlots ? m_state.seriesLegend[size_t(slot)] : QString();
}

namespace {
QFont AmbientFont(const QWidget* control)
{
    return control->parentWidget() ? control->parentWidget()->font() : QApplication::font();
}
}

void VaredOdozPro::InitProperties()
{
    setFont(AmbientFont(this));
    m_state.chartType = ChartBar;
    m_state.displayLegend = false;
    m_state.plotPoints = false;
    m_state.title.clear();
    m_state.verticalTickInterval = 1;
    m_state.horizontalTickFrequency = 1;
    m_titleFont = AmbientFont(this);
}

void VaredOdozPro::ReadProperties(const PropertyBag& bag)
{
    const auto read = [&bag](const char* name, const QVariant& def) {
        return bag.ReadProperty(QString::fromLatin1(name), def);
    };
    // A value of the wrong kind keeps the property's previous value.
    bool ok = false;
    int v = read("MarkPoint", -1).toInt(&ok);
    if (ok)
        m_state.markPoint = v;
    v = read("BackColor", ChartDefaults::BackColor).toInt(&ok);
    if (ok)
        m_backColor = v;
    v = read("ForeColor", ChartDefaults::ForeColor).toInt(&ok);
    if (ok)
        m_state.foreColor = v;
    setEnabled(read("Enabled", true).toBool());
    const QVariant f = read("Font", AmbientFont(this));
    if (f.canConvert<QFont>())
        setFont(f.value<QFont>());
    v = read("BackStyle", 1).toInt(&ok);
    if (ok)
        m_backStyle = int16_t(v);
    v = read("BorderStyle", 0).toInt(&ok);
    if (ok)
        m_borderStyle = int16_t(v);
    v = read("ChartType", 0).toInt(&ok);
    if (ok)
        m_state.chartType = v;
    m_state.displayLegend = read("DisplayLegend", false).toBool();
    m_state.plotPoints = read("PlotPoints", false).toBool();
    m_state.title = read("Title", QString()).toString();
    double d = read("VerticalTickInterval", 1).toDouble(&ok);
    if (ok)
        m_state.verticalTickInterval = d;
    d = read("HorizontalTickFrequency", 1).toDouble(&ok);
    if (ok)
        m_state.horizontalTickFrequency = d;
    const QVariant tf = read("TitleFont", AmbientFont(this));
    if (tf.canConvert<QFont>())
        m_titleFont = tf.value<QFont>();
}

void VaredOdozPro::WriteProperties(PropertyBag& bag) const
{
    const auto write = [&bag](const char* name, const QVariant& value, const QVariant& def) {
        bag.WriteProperty(QString::fromLatin1(name), value, def);
    };
    const QFont ambient = AmbientFont(this);
    write("MarkPoint", m_state.markPoint, -1);
    write("BackColor", m_backColor, ChartDefaults::BackColor);
    write("ForeColor", m_state.foreColor, ChartDefaults::ForeColor);
    write("Enabled", isEnabled(), true);
    write("Font", font(), ambient);
    write("BackStyle", int(m_backStyle), 1);
    write("BorderStyle", int(m_borderStyle), 0);
    write("ChartType", m_state.chartType, 0);
    write("DisplayLegend", m_state.displayLegend, false);
    write("PlotPoints", m_state.plotPoints, false);
    write("Title", m_state.title, QString());
    write("VerticalTickInterval", m_state.verticalTickInterval, 1);
    write("HorizontalTickFrequency", m_state.horizontalTickFrequency, 1);
    write("TitleFont", m_titleFont, ambient);
}

void VaredOdozPro::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    if (m_backStyle != 0)
        painter.fillRect(rect(), Utilities::ColorFromBgr(uint32_t(m_backColor)));
    ReplayDisplayList(painter, m_display, font(), m_titleFont);
    if (m_borderStyle != 0) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

namespace {
int ShiftOf(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

int ButtonOf(Qt::MouseButtons buttons)
{
    int button = 0;
    if (buttons & Qt::LeftButton)
        button |= 1;
    if (buttons & Qt::RightButton)
        button |= 2;
    if (buttons & Qt::MiddleButton)
        button |= 4;
    return button;
}

float TwipsOf(double pixels) { return float(pixels * Twips::PerPixel); }
}

void VaredOdozPro::mousePressEvent(QMouseEvent* event)
{
    emit MouseDown(ButtonOf(event->button()), ShiftOf(event->modifiers()),
                   TwipsOf(event->position().x()), TwipsOf(event->position().y()));
}

void VaredOdozPro::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(ButtonOf(event->buttons()), ShiftOf(event->modifiers()),
                   TwipsOf(event->position().x()), TwipsOf(event->position().y()));
}

void VaredOdozPro::mouseReleaseEvent(QMouseEvent* event)
{
    emit MouseUp(ButtonOf(event->button()), ShiftOf(event->modifiers()),
                 TwipsOf(event->position().x()), TwipsOf(event->position().y()));
    if (rect().contains(event->position().toPoint()))
        emit Click();
}

void VaredOdozPro::mouseDoubleClickEvent(QMouseEvent*) { emit DblClick(); }

void VaredOdozPro::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), ShiftOf(event->modifiers()));
    if (!event->text().isEmpty())
        emit KeyPress(event->text().at(0).unicode());
}

void VaredOdozPro::keyReleaseEvent(QKeyEvent* event) { emit KeyUp(event->key(), ShiftOf(event->modifiers())); }

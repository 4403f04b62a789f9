// The self-drawn chart of the training windows: a small table of point labels and series shown
// as a bar, line, stacked-bar or point chart with title, legend, value axis and point labels.
// Setting a property only stores it; `Refresh` computes the picture (and widens the scales),
// and the paint event replays that picture.
#pragma once

#include "training/chartlayout.h"
#include "training/displaylist.h"

#include <QFont>
#include <QString>
#include <QWidget>
#include <cstdint>

class PropertyBag;

class VaredOdozPro : public QWidget {
    Q_OBJECT
public:
    explicit VaredOdozPro(QWidget* parent = nullptr);
    ~VaredOdozPro() override;

    int32_t MarkPoint() const { return m_state.markPoint; }
    void SetMarkPoint(int32_t point);
    int32_t BackColor() const { return m_backColor; }
    void SetBackColor(int32_t color);
    int32_t ForeColor() const { return m_state.foreColor; }
    void SetForeColor(int32_t color);
    double HighScale() const { return m_state.highScale; }
    void SetHighScale(double value);
    double LowScale() const { return m_state.lowScale; }
    void SetLowScale(double value);
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool enabled);
    QFont Font() const { return font(); }
    void SetFont(const QFont& font);
    int32_t ChartType() const { return m_state.chartType; }
    void SetChartType(int32_t type);
    // Colour and legend of slot `series` (0 to 15); another slot shows "Too many data series --
    // limit is 15" and changes nothing. An empty legend keeps the slot's legend; a colour of -1
    // leaves the slot to take its default colour at the next RegisterData.
    void SetSeriesOptions(int series, int32_t plotColor = ChartDefaults::Unset,
                          const QString& legend = {});
    // Repaints from the registered table; widens the scales to the data.
    void Refresh();
    bool DisplayLegend() const { return m_state.displayLegend; }
    void SetDisplayLegend(bool display);
    // Copies the table; gives every series row whose colour slot is unset its default colour.
    void RegisterData(const ChartTable& data);
    bool PlotPoints() const { return m_state.plotPoints; }
    void SetPlotPoints(bool plot);
    QString Title() const { return m_state.title; }
    void SetTitle(const QString& title);
    double VerticalTickInterval() const { return m_state.verticalTickInterval; }
    void SetVerticalTickInterval(double interval);
    double HorizontalTickFrequency() const { return m_state.horizontalTickFrequency; }
    void SetHorizontalTickFrequency(double frequency);
    QFont TitleFont() const { return m_titleFont; }
    void SetTitleFont(const QFont& font);

    // Saved properties: a new instance's defaults, reading and writing the window's bag.
    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;
    int16_t BackStyle() const { return m_backStyle; }
    int16_t BorderStyle() const { return m_borderStyle; }

    // What the last Refresh drew and left behind.
    const DisplayList& Display() const { return m_display; }
    const ChartState& State() const { return m_state; }
    int32_t SeriesColor(int slot) const;
    QString SeriesLegend(int slot) const;
    int PlotTop() const { return m_plotTop; }
    int PlotRight() const { return m_plotRight; }
    // Text measuring for the layout; nullptr measures with the control's fonts.
    void SetTextMeasure(const ITextMeasure* measure) { m_measure = measure; }

signals:
    // A property of this name changed (the host's saved properties are out of date).
    void PropertyChanged(const QString& name);
    void Click();
    void DblClick();
    void KeyDown(int keyCode, int shift);
    void KeyUp(int keyCode, int shift);
    void KeyPress(int keyAscii);
    // Positions in twips.
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void Changed(const char* name);

    ChartState m_state;
    int32_t m_backColor = ChartDefaults::BackColor;
    QFont m_titleFont;
    int16_t m_backStyle = 1;
    int16_t m_borderStyle = 0;
    DisplayList m_display;
    int m_plotTop = 0;
    int m_plotRight = 0;
    const ITextMeasure* m_measure = nullptr;
};

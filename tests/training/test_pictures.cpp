// Saves pictures of the painted controls for a person to look at, when KORVAN_SHOTS names a
// folder; otherwise skipped.
#include "tests/support/testenv.h"
#include "training/led.h"
#include "training/varedodozpro.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPixmap>
#include <cmath>
#include <gtest/gtest.h>

namespace {
QString ShotsDir()
{
    return qEnvironmentVariable("KORVAN_SHOTS");
}

ChartTable Demo(int series, int points, bool withNulls)
{
    ChartTable table(series, points - 1);
    for (int p = 0; p < points; ++p) {
        table(0, p) = QString::number(p);
        for (int s = 1; s <= series; ++s) {
            if (withNulls && p >= points - 2)
                table(s, p) = ChartCell::Null();
            else
                table(s, p) = 10.0 + 30.0 * std::exp(-p / 15.0) * s + 5 * std::sin(p * 0.7 + s);
        }
    }
    return table;
}
}

TEST(Pictures, ChartsAndDigits)
{
    const QString dir = ShotsDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "KORVAN_SHOTS not set";
    QDir().mkpath(dir);

    const char* names[] = {"chart-bar", "chart-line", "chart-stacked", "chart-point"};
    for (int type = 0; type < 4; ++type) {
        VaredOdozPro chart;
        chart.resize(560, 320);
        chart.InitProperties();
        chart.SetBackColor(0xFFFFFF);
        chart.SetForeColor(0);
        chart.SetChartType(type);
        chart.SetTitle(QStringLiteral("Training error"));
        QFont title = chart.Font();
        title.setBold(true);
        title.setPointSize(12);
        chart.SetTitleFont(title);
        chart.SetVerticalTickInterval(type == ChartStackedBar ? 20 : 10);
        const bool line = type == ChartLine;
        const int points = line ? 63 : 12;
        chart.SetHorizontalTickFrequency(line ? 5 : 1);
        if (type != ChartLine) {
            chart.SetDisplayLegend(true);
            chart.SetSeriesOptions(0, 0x0000C0, QStringLiteral("Series 1"));
            chart.SetSeriesOptions(1, 0xFF0000, QStringLiteral("Second"));
            chart.SetSeriesOptions(2, 0x008000, QStringLiteral("Third series"));
            chart.SetSeriesOptions(3, 0x00C0FF, QStringLiteral("Fourth"));
        } else {
            chart.SetSeriesOptions(0, 255);
            chart.SetSeriesOptions(1, 0xFF0000);
            chart.SetPlotPoints(true);
        }
        chart.SetMarkPoint(line ? 60 : 4);
        chart.RegisterData(Demo(line ? 1 : 3, points, line));
        chart.Refresh();
        ASSERT_TRUE(chart.grab().save(dir + QLatin1Char('/') + QLatin1String(names[type]) + ".png"));
    }

    QWidget row;
    row.setStyleSheet(QStringLiteral("background: black"));
    auto* layout = new QHBoxLayout(&row);
    layout->setSpacing(2);
    std::vector<LED*> digits(7);
    for (int i = 6; i >= 0; --i) {
        digits[size_t(i)] = new LED(&row);
        digits[size_t(i)]->setFixedSize(24, 40);
        layout->addWidget(digits[size_t(i)]);
    }
    std::vector<LED*> two(2);
    for (int i = 1; i >= 0; --i) {
        two[size_t(i)] = new LED(&row);
        two[size_t(i)]->setFixedSize(24, 40);
        two[size_t(i)]->SetLEDColorOn(0x00FF00);
        two[size_t(i)]->SetLEDColorOff(0x003000);
        layout->addWidget(two[size_t(i)]);
    }
    LEDRow::ShowNumber(digits, 1234567);
    LEDRow::ShowNumber(two, 89);
    two[1]->SetShowDecimal(true);
    row.show();
    row.adjustSize();
    ASSERT_TRUE(row.grab().save(dir + "/digits.png"));

    QWidget zero;
    zero.setStyleSheet(QStringLiteral("background: black"));
    auto* zl = new QHBoxLayout(&zero);
    std::vector<LED*> all(10);
    for (int i = 9; i >= 0; --i) {
        all[size_t(i)] = new LED(&zero);
        all[size_t(i)]->setFixedSize(30, 50);
        zl->addWidget(all[size_t(i)]);
    }
    LEDRow::ShowNumber(all, 9876543210LL);
    zero.show();
    zero.adjustSize();
    ASSERT_TRUE(zero.grab().save(dir + "/digits-0-9.png"));
}

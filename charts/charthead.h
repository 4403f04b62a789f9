// The head both charts share: the grey window, the four statistic names with their values,
// the two row-range captions written by the network object, and the Close button.
#pragma once

#include <QPoint>
#include <QString>
#include <cstdint>
#include <vector>

class CBackProp;
class QLabel;
class QPushButton;
class QWidget;

struct ChartHead {
    std::vector<QLabel*> values; // the four statistics
    QLabel* trainRows = nullptr;
    QLabel* testRows = nullptr;
    QPushButton* close = nullptr;

    // Builds the head on `window`, the second column of statistics at `rightValues` and the
    // row ranges at `rows` (twips). Close closes the window.
    static ChartHead Build(QWidget* window, int rightValues, int rows);
    // The statistics read again from the network object.
    void Fill(CBackProp& net);
    // The two row-range captions.
    void SetRows(const QString& trained, const QString& tested);
};

// A label at a place in twips, in a colour (0x00BBGGRR), sized to its text.
QLabel* ChartLabel(QWidget* parent, const QString& text, QPoint twips, uint32_t bgr = 0);

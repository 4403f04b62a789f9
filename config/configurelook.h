// The look the configuration window and its panes share: their fonts and colours, and labels
// and buttons placed where the window was designed (in twips).
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>

class QLabel;
class QPushButton;
class QWidget;

namespace ConfLook {

// Blue with green text, the source and table fields' colours; the pale list background.
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kPale = 0xFFF8F8;
constexpr uint32_t kLabelText = 0x400000;

QString ColorSheet(uint32_t background, uint32_t text);
QFont SansFont(double points, bool bold, bool italic = false);
void PlaceAt(QWidget* w, int left, int top, int width, int height);
QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height);
QPushButton* Button(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
                    int height, bool bold = false);

} // namespace ConfLook

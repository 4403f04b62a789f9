// Window helpers shared by many windows: the blue gradient background, keeping a window on
// top, and handing a window's keys to the main bar so that its shortcuts work everywhere.
#pragma once

#include <QColor>
#include <QRect>
#include <cstdint>

class QKeyEvent;
class QPainter;
class QWidget;

namespace Utilities {
// The standard background of the configuration and data-selection windows (0x00BBGGRR).
constexpr uint32_t GradientTop = 0xFF8000;
constexpr uint32_t GradientBottom = 0x400000;

// A 0x00BBGGRR colour value (the form of the program's colour settings and constants) as a
// QColor. A high byte 0x80 names a system colour by its
// index (0x0F button face, 0x12 button text, 0x11 grey text ...), taken from the palette; a high
// byte 0x02 (palette-relative) is ignored.
QColor ColorFromBgr(uint32_t bgr);
// The palette's colour for a system colour index.
QColor SystemColor(int index);
// The colour of band i (0 at the top to 255 at the bottom).
QColor GradientBand(int band, uint32_t top, uint32_t bottom);

// Paints `area` as 256 horizontal bands from `top` to `bottom`. Call it from a paintEvent.
void PaintGradient(QPainter& painter, const QRect& area, uint32_t top, uint32_t bottom);
// The same over a whole window; a minimised window is left unpainted.
void PaintGradient(QWidget* window, QPainter& painter, uint32_t top, uint32_t bottom);

// Keeps `window` above other windows, or releases it.
void SetTopMost(QWidget* window, bool on);

// Hand a key (Qt key code, Qt::KeyboardModifiers as int) to the main bar; when the bar acts on
// it both are set to 0. Failures leave the key untouched.
void ToolBarKeyDown(int& keyCode, int& shift);
void ToolBarKeyUp(int& keyCode, int& shift);
// For keyPressEvent/keyReleaseEvent: answers true (and accepts the event) when the bar took it.
bool ToolBarKeyDown(QKeyEvent* event);
bool ToolBarKeyUp(QKeyEvent* event);
}

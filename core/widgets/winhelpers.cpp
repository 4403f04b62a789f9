#include "core/widgets/winhelpers.h"

#include "core/errorbox.h"
#include "core/widgets/commandbar.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

QColor Utilities::ColorFromBgr(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor Utilities::GradientBand(int band, uint32_t top, uint32_t bottom)
{
    const QColor t = ColorFromBgr(top);
    const QColor b = ColorFromBgr(bottom);
    const float f = float(255 - band) / 255.0f;
    // Single precision and rounding half to even, as the colours were always computed.
    const auto mix = [f](int hi, int lo) {
        const float v = f * float(hi) + (1.0f - f) * float(lo);
        return int(std::clamp(std::nearbyint(v), 0.0f, 255.0f));
    };
    return QColor(mix(t.red(), b.red()), mix(t.green(), b.green()), mix(t.blue(), b.blue()));
}

void Utilities::PaintGradient(QPainter& painter, const QRect& area, uint32_t top, uint32_t bottom)
{
    if (area.isEmpty())
        return;
    painter.save();
    painter.setPen(Qt::NoPen);
    const double bandHeight = area.height() / 256.0;
    for (int i = 0; i < 256; ++i) {
        const int y0 = area.top() + int(std::lround(i * bandHeight));
        const int y1 = area.top() + int(std::lround((i + 1) * bandHeight));
        if (y1 <= y0)
            continue;
        painter.fillRect(QRect(area.left(), y0, area.width(), y1 - y0), GradientBand(i, top, bottom));
    }
    painter.restore();
}

void Utilities::PaintGradient(QWidget* window, QPainter& painter, uint32_t top, uint32_t bottom)
{
    if (!window || window->window()->isMinimized())
        return;
    PaintGradient(painter, window->rect(), top, bottom);
}

void Utilities::SetTopMost(QWidget* window, bool on)
{
    if (!window)
        return;
    const bool shown = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing a window's flags hides it; a shown window is shown again.
    if (shown)
        window->show();
}

void Utilities::ToolBarKeyDown(int& keyCode, int& shift)
{
    IgnoreErrors([&] {
        CCommandBar* bar = MainToolBar();
        if (bar && bar->KeyDown(keyCode, shift)) {
            keyCode = 0;
            shift = 0;
        }
    });
}

void Utilities::ToolBarKeyUp(int& keyCode, int& shift)
{
    IgnoreErrors([&] {
        CCommandBar* bar = MainToolBar();
        if (bar && bar->KeyUp(keyCode, shift)) {
            keyCode = 0;
            shift = 0;
        }
    });
}

namespace {
bool handKey(QKeyEvent* event, void (*hand)(int&, int&))
{
    if (!event)
        return false;
    int key = event->key();
    int shift = int(event->modifiers());
    hand(key, shift);
    if (key != 0)
        return false;
    event->accept();
    return true;
}
} // namespace

bool Utilities::ToolBarKeyDown(QKeyEvent* event)
{
    return handKey(event, &Utilities::ToolBarKeyDown);
}

bool Utilities::ToolBarKeyUp(QKeyEvent* event)
{
    return handKey(event, &Utilities::ToolBarKeyUp);
}

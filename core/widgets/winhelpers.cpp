#include "core/widgets/winhelpers.h"

#include "core/errorbox.h"
#include "core/widgets/commandbar.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPalette>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

QColor Utilities::ColorFromBgr(uint32_t bgr)
{
    if ((bgr >> 24) == 0x80)
        return SystemColor(int(bgr & 0xFF));
    // 0x02: a palette-relative colour; the RGB part is the colour.
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor Utilities::SystemColor(int index)
{
    const QPalette palette = QGuiApplication::palette();
    switch (index) {
    case 0x05: return palette.color(QPalette::Active, QPalette::Base);       // window
    case 0x08: return palette.color(QPalette::Active, QPalette::Text);       // window text
    case 0x0D: return palette.color(QPalette::Active, QPalette::Highlight);
    case 0x0E: return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 0x0F: return palette.color(QPalette::Active, QPalette::Button);     // button face
    case 0x10: return palette.color(QPalette::Active, QPalette::Dark);       // button shadow
    case 0x11: return palette.color(QPalette::Disabled, QPalette::Text);     // grey text
    case 0x12: return palette.color(QPalette::Active, QPalette::ButtonText); // button text
    case 0x14: return palette.color(QPalette::Active, QPalette::Light);      // button highlight
    default: return palette.color(QPalette::Active, QPalette::Window);
    }
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

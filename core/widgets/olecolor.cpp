#include "core/widgets/olecolor.h"

#include "core/widgets/winhelpers.h"

#include <QPalette>

QColor Utilities::OleColor(uint32_t value, const QPalette& palette)
{
    if ((value >> 24) == 0x80) {
        switch (value & 0xFF) {
        case 0x05:
            return palette.color(QPalette::Active, QPalette::Base);
        case 0x08:
            return palette.color(QPalette::Active, QPalette::Text);
        case 0x0F:
            return palette.color(QPalette::Active, QPalette::Button);
        case 0x11:
            return palette.color(QPalette::Disabled, QPalette::Text);
        case 0x12:
            return palette.color(QPalette::Active, QPalette::ButtonText);
        default:
            return palette.color(QPalette::Active, QPalette::Window);
        }
    }
    // A palette-relative value (high byte 0x02) is its plain colour.
    return ColorFromBgr(value & 0xFFFFFF);
}

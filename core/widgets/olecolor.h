// Colour values as the windows store them (0x00BBGGRR) with the two special forms: a high byte
// 0x80 names a system colour (its index in the low byte), a high byte 0x02 is palette-relative.
#pragma once

#include <QColor>
#include <cstdint>

class QPalette;

namespace Utilities {
// System colours the windows name, by their index.
constexpr uint32_t SysButtonFace = 0x8000000F;
constexpr uint32_t SysGrayText = 0x80000011;
constexpr uint32_t SysButtonText = 0x80000012;

// The colour `value` stands for: a system colour from `palette` (button face, grey text, button
// text, window, window text; any other index the window colour), a palette-relative value with
// its high byte stripped, any other value as 0x00BBGGRR.
QColor OleColor(uint32_t value, const QPalette& palette);
}

// A designed place of the configuration windows (left, top, width, height in twips) in pixels.
#pragma once

#include "core/twips.h"

#include <QRect>

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return {Twips::ToWholePixels(left), Twips::ToWholePixels(top), Twips::ToWholePixels(width),
            Twips::ToWholePixels(height)};
}

// The layout rule of the browse window, in twips: the grid fills the window less 120 twips of
// width and 400 of height (the window's own borders and caption), less the interactive strip
// when it shows; the strip's grid takes the browse grid's width.
#pragma once

#include <QRect>

namespace BrowseLayout {
constexpr int StripHeight = 270; // twips, as designed
constexpr int BorderWidth = 120;  // twips the window's borders take
constexpr int BorderHeight = 400; // twips the caption and borders take
// windowWidth/windowHeight: the whole window, borders and caption included.
QRect GridRect(int windowWidth, int windowHeight, bool stripVisible, int stripHeight);
}

#include "browse/browselayout.h"

#include <algorithm>

namespace BrowseLayout {

QRect GridRect(int windowWidth, int windowHeight, bool stripVisible, int stripHeight)
{
    const int width = windowWidth - BorderWidth;
    const int height = windowHeight - BorderHeight - (stripVisible ? stripHeight : 0);
    return {0, 0, std::max(0, width), std::max(0, height)};
}

} // namespace BrowseLayout

#include "app/views.h"

#include "browse/browseviews.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
    BrowseViews::Install();
}

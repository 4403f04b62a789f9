#include "app/views.h"

#include "browse/browseviews.h"
#include "browse/findviews.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
    BrowseViews::Install();
    FindViews::Install();
}

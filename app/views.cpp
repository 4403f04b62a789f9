#include "app/views.h"

#include "charts/chartviews.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
    ChartViews::Install();
}

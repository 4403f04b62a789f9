#include "app/views.h"

#include "browse/browseviews.h"
#include "browse/findviews.h"
#include "charts/chartviews.h"
#include "config/frmconfprj.h"
#include "config/splitcommand.h"
#include "training/trainingviews.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
    BrowseViews::Install();
    FindViews::Install();
    ConfigureViews::Install();
    SplitViews::Install();
    TrainingViews::Install();
    ChartViews::Install();
}

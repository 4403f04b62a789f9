#include "app/views.h"

#include "browse/browseviews.h"
#include "browse/findviews.h"
#include "charts/chartviews.h"
#include "config/frmconfprj.h"
#include "config/splitcommand.h"
#include "core/serviceslot.h"
#include "training/trainingviews.h"

// Each window library adds its own Install call here.
modMenu::ViewProcedures AppViews::Procedures()
{
    // The libraries write into the installed table: an empty one stands in while they do.
    const ScopedService gathering(&modMenu::InstallViews, modMenu::ViewProcedures{});
    BrowseViews::Install();
    FindViews::Install();
    ConfigureViews::Install();
    SplitViews::Install();
    TrainingViews::Install();
    ChartViews::Install();
    return modMenu::Views();
}

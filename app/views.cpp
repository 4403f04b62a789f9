#include "app/views.h"

#include "training/trainingviews.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
    TrainingViews::Install();
}

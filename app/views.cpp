#include "app/views.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
}

// The training bar's tools as the training windows and commands switch them: by name on the
// main window's bar, each switch on its own (a tool the bar lacks is skipped).
#pragma once

#include <QString>

namespace TrainBarTools {
void Set(const QString& tool, bool enabled);
void SetVisible(const QString& tool, bool visible);
bool Enabled(const QString& tool);
// The bar recalculates its layout, then refreshes.
void Refresh();
}

// The windows of configuration, training, browsing and charts plug their command procedures into the shell here.
#pragma once

namespace AppViews {
// Installs every window library's procedures into modMenu::Views(). Idempotent.
void Install();
}

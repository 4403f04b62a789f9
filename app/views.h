// The windows of subsystems 5 to 8 plug their command procedures into the shell here.
#pragma once

namespace AppViews {
// Installs every window library's procedures into modMenu::Views(). Idempotent.
void Install();
}

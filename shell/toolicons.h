// The pictures of the standard tool bar's buttons, drawn in code so that the bar needs no
// image files: one small picture per tool name.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

class CCommandBar;

namespace ToolIcons {
// The tool names that have a picture.
QStringList Names();
// The picture of a tool (a null icon for a name without one).
QIcon For(const QString& toolName);
// Gives every tool of the bar that has a picture its picture.
void Apply(CCommandBar& bar);
} // namespace ToolIcons

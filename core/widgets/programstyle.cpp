#include "core/widgets/programstyle.h"

#include <QApplication>

void ProgramStyle::Install()
{
    if (!qobject_cast<ProgramStyle*>(QApplication::style()))
        QApplication::setStyle(new ProgramStyle);
}

QIcon ProgramStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    // A child window without a picture of its own would show Qt's logo as its window-menu
    // button, in its title bar and at the left of the menu bar when maximised. The program
    // has no picture of its own for its windows: none is shown.
    if (icon == SP_TitleBarMenuButton)
        return QIcon();
    return QProxyStyle::standardIcon(icon, option, widget);
}

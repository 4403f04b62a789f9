// The user leaves the program for another one and comes back, as the window system tells Qt:
// the program's window loses activation, the program becomes inactive, then both return.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace TestEnv {
inline void VisitAnotherProgram(QWidget* window)
{
    QApplication::setActiveWindow(nullptr);
    QEvent away(QEvent::ApplicationDeactivate);
    QCoreApplication::sendEvent(qApp, &away);
    QEvent back(QEvent::ApplicationActivate);
    QCoreApplication::sendEvent(qApp, &back);
    QApplication::setActiveWindow(window);
}
}

// The program's style: the platform's own look, less the pictures of Qt itself that the
// platform's style shows where a window has no picture of its own.
#pragma once

#include <QProxyStyle>

class ProgramStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Makes it the application's style; call before the first window is made.
    static void Install();

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

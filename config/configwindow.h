// What the configuration windows share: the blue gradient background, the main bar's
// shortcuts, and their life as a child of the main window.
#pragma once

#include <QSize>
#include <cstdint>
#include <QWidget>

class CConfigWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Shows `window` as a child of the main window at `size` (its own top-level window when
    // there is no main window); `offset` places it from the area's corner, none: the area's
    // own choice.
    static void ShowAsChild(CConfigWindow* window, QSize size, QPoint offset = {-1, -1});
    // Brings an open window to the front.
    static void Activate(QWidget* window);
    // Closes the window, with its frame in the main window.
    void CloseWindow();

protected:
    // The window's steps each time it becomes the active child of the main window (each time
    // it is shown, without a main window).
    virtual void Activated() {}
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

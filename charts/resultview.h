// The base of the result views: a child window of the main window whose keys go to the main
// bar first, so that the bar's shortcuts work while a chart or the matrix is active.
#pragma once

#include <QFont>
#include <QWidget>

class ResultView : public QWidget {
    Q_OBJECT
public:
    explicit ResultView(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    // The bold font of titles and legends.
    QFont titleFont() const;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

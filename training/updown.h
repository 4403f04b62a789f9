// The up-down spinner of the training windows: two arrow buttons over a whole number in a
// range. Its value shows on the window's digits, not on the spinner. `Change` fires for every
// new value, also when the program sets it, so a handler keeps the network object in step.
#pragma once

#include <QWidget>

class QToolButton;

class CUpDown : public QWidget {
    Q_OBJECT
public:
    CUpDown(int min, int max, int value, QWidget* parent = nullptr);

    int Value() const { return m_value; }
    // Held to the range; an unchanged value fires nothing.
    void SetValue(int value);
    int Min() const { return m_min; }
    int Max() const { return m_max; }

signals:
    void Change();

private:
    int m_min, m_max, m_value;
    QToolButton* m_up;
    QToolButton* m_down;
};

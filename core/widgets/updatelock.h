// Holds a window's redrawing off for a scope, so that a view change paints once at its end;
// the window redraws again however the scope ends (an error's path included).
#pragma once

#include <QPointer>
#include <QWidget>

class CUpdateLock {
public:
    explicit CUpdateLock(QWidget* window) : m_window(window)
    {
        if (m_window) {
            m_wasEnabled = m_window->updatesEnabled();
            m_window->setUpdatesEnabled(false);
        }
    }
    ~CUpdateLock()
    {
        if (m_window && m_wasEnabled)
            m_window->setUpdatesEnabled(true);
    }
    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

private:
    QPointer<QWidget> m_window;
    bool m_wasEnabled = false;
};

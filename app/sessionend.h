// A logout, a shutdown or a closed terminal ends the program as its own close does: SIGTERM,
// SIGHUP and the session manager's commit-data request close the main window from the event
// loop, so that every window runs its close steps (a training window saves its network and
// the project's flags) and the settings are saved. A close that cannot happen yet (a training
// run still stopping, the hourglass up, a modal box open) is tried again until it does.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QSocketNotifier;

class SessionEnd : public QObject {
    Q_OBJECT
public:
    // Catches the two signals for its lifetime (one object at a time) and listens for the
    // session manager; the previous signal handling comes back at its end.
    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    // Ends the program as soon as the main window can close; answers at once.
    void Request();
    bool Requested() const { return m_requested; }
    // Milliseconds between two tries of a close that had to wait.
    static constexpr int kRetryMs = 100;

private:
    void tryEnd();

    QSocketNotifier* m_notifier = nullptr;
    QTimer m_retry;
    bool m_requested = false;
    // The main window the request has seen: its going (by any way) ends the request, so that
    // a retry still due never reaches a window that came after it.
    QPointer<QWidget> m_main;
    bool m_hadMain = false;
};

#include "app/sessionend.h"

#include "core/widgets/hourglass.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"

#include <QApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A signal handler may do almost nothing: it writes the signal's number into a pipe whose
// other end the event loop watches.
int s_pipe[2] = {-1, -1};
struct sigaction s_previousTerm;
struct sigaction s_previousHup;

extern "C" void onEndSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}
} // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &SessionEnd::tryEnd);

    if (s_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) == 0) {
        ::fcntl(s_pipe[1], F_SETFL, ::fcntl(s_pipe[1], F_GETFL) | O_NONBLOCK);
        m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            [[maybe_unused]] const ssize_t read = ::read(s_pipe[0], bytes, sizeof bytes);
            Request();
        });
        struct sigaction action = {};
        action.sa_handler = onEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, &s_previousTerm);
        ::sigaction(SIGHUP, &action, &s_previousHup);
    }
#ifndef QT_NO_SESSIONMANAGER
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { Request(); });
#endif
}

SessionEnd::~SessionEnd()
{
    if (!m_notifier)
        return;
    ::sigaction(SIGTERM, &s_previousTerm, nullptr);
    ::sigaction(SIGHUP, &s_previousHup, nullptr);
    delete m_notifier;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void SessionEnd::Request()
{
    m_requested = true;
    // Each request ends with the main window there when it is first tried.
    m_hadMain = false;
    m_main = nullptr;
    // Never inside the caller: the close runs its steps from the event loop.
    QTimer::singleShot(0, this, &SessionEnd::tryEnd);
}

void SessionEnd::tryEnd()
{
    if (!m_requested)
        return;
    QPointer<frmMain> main = qobject_cast<frmMain*>(gVeltra().MainForm());
    if (main && main->Unloaded())
        main = nullptr;
    if (m_hadMain && (!m_main || m_main != main)) {
        // The window has closed: the program ends with it.
        m_requested = false;
        m_hadMain = false;
        m_main = nullptr;
        return;
    }
    if (main) {
        m_hadMain = true;
        m_main = main.data();
    }
    // A box or dialog waits for an answer in a loop of its own: it is closed as its close box
    // closes it, and the main window follows once the command behind it has returned.
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    else if (main && !CHourglass::Busy())
        main->close();
    // Until the window has gone: start-up may not have made it yet, the work under the
    // hourglass goes on, or a training run is ending first.
    m_retry.start();
}

// A named pipe that no program writes, for the opens that must never wait on one. A reader that
// waits on it all the same is let go after a while (the pipe is opened for writing and closed
// again, which ends its wait), so that the test fails instead of hanging: Waited() tells.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class NamedPipe {
public:
    explicit NamedPipe(const QString& path, std::chrono::milliseconds patience = std::chrono::seconds(3))
        : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made)
            m_watch = std::thread([this, patience] { watch(patience); });
    }
    ~NamedPipe()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_watch.joinable())
            m_watch.join();
        ::unlink(m_path.constData());
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool Made() const { return m_made; }
    bool Waited() const { return m_waited; }

private:
    void watch(std::chrono::milliseconds patience)
    {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, patience, [this] { return m_stop; }))
            return;
        // Opening for writing succeeds only while a reader has the pipe open: that reader waits.
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; })) {
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_waited = true;
                ::close(fd);
            }
        }
    }

    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_waited{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_watch;
};

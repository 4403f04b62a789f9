// A socket another program listens on, at a path: a place where a file would be that is none.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class ListeningSocket {
public:
    explicit ListeningSocket(const QString& path) : m_path(QFile::encodeName(path))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(m_path.size()) >= sizeof(address.sun_path))
            return;
        std::memcpy(address.sun_path, m_path.constData(), size_t(m_path.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        m_made = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
                 && ::listen(m_fd, 1) == 0;
    }
    ~ListeningSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_made)
            ::unlink(m_path.constData());
    }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    bool Made() const { return m_made; }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_made = false;
};

// A file or folder made unwritable for this process while a guard lives: its mode for a user,
// the immutable flag for the superuser (whom no mode stops).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

class Unwritable {
public:
    explicit Unwritable(const QString& path) : m_path(QFile::encodeName(path))
    {
        struct stat st {};
        if (::stat(m_path.constData(), &st) != 0)
            return;
        m_mode = st.st_mode & 07777;
        if (::geteuid() != 0) {
            m_done = ::chmod(m_path.constData(), m_mode & ~mode_t(0222)) == 0;
            return;
        }
        m_done = setImmutable(true);
    }
    ~Unwritable()
    {
        if (!m_done)
            return;
        if (::geteuid() != 0)
            ::chmod(m_path.constData(), m_mode);
        else
            setImmutable(false);
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool Done() const { return m_done; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }
    QByteArray m_path;
    mode_t m_mode = 0;
    bool m_done = false;
};


#include "core/pathutils.h"

#include "core/cfile.h"
#include "core/errorbox.h"
#include "core/odbcname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void Utilities::GetDirExt(const QString& path, int& nameStart, int& folderEnd, int& extStart)
{
    Procedure(QStringLiteral("Utilities::GetDirExt"), [&] {
        if (path.contains(QChar(0)))
            throw KvError(KvErr::BadFileName);
        const int length = int(path.size());
        int newFolderEnd = folderEnd;
        if (length > 0 && path.at(0) == QLatin1Char('/'))
            newFolderEnd = 1;
        int newExt = length + 1;
        int newName = nameStart;
        bool extFound = false;
        for (int i = length; i >= 1 && i > newFolderEnd - 1; --i) {
            const QChar c = path.at(i - 1);
            if (c == QLatin1Char('.') && !extFound) {
                newExt = i;
                extFound = true;
            } else if (c == QLatin1Char('/')) {
                newName = i + 1;
                break;
            }
        }
        folderEnd = newFolderEnd;
        extStart = newExt;
        nameStart = newName;
    });
}

QString Utilities::GetFullPath(const QString& path, int& nameStart, int& extStart, int& folderEnd)
{
    QString result;
    Procedure(QStringLiteral("Utilities::GetFullPath"), [&] {
        if (path.isEmpty())
            return;
        if (path.contains(QChar(0)))
            throw KvError(KvErr::BadFileName);
        QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
        // A trailing separator names a folder; it stays, as the system's own call keeps it.
        if (path.endsWith(QLatin1Char('/')) && !absolute.endsWith(QLatin1Char('/')))
            absolute += QLatin1Char('/');
        GetDirExt(absolute, nameStart, folderEnd, extStart);
        result = absolute;
    });
    return result;
}

QString Utilities::ExpandPath(const QString& path)
{
    QString result;
    IgnoreErrors([&] {
        int nameStart = 0, extStart = 0, folderEnd = 0;
        result = GetFullPath(path, nameStart, extStart, folderEnd);
    });
    return result;
}

QString Utilities::GetFileName(const QString& path)
{
    QString result;
    IgnoreErrors([&] {
        int nameStart = 0, extStart = 0, folderEnd = 0;
        const QString full = GetFullPath(path, nameStart, extStart, folderEnd);
        if (!full.isEmpty() && nameStart >= 1)
            result = full.mid(nameStart - 1);
    });
    return result;
}

QString Utilities::GetBaseName(const QString& path)
{
    QString result;
    IgnoreErrors([&] {
        CFile file;
        file.SetFileName(path);
        result = file.Name();
    });
    return result;
}

QString Utilities::GetLongFileName(const QString& path)
{
    // Linux keeps one name per file, as it was written: the long form is the absolute form.
    QString result;
    Procedure(QStringLiteral("Utilities::GetLongFileName"), [&] {
        if (path.isEmpty())
            return;
        result = ExpandPath(path);
        if (result.size() > 1 && result.endsWith(QLatin1Char('/')))
            result.chop(1);
    });
    return result;
}

namespace {
QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The box's words for what is there but is no regular file; empty for a regular file or a folder.
QString notAFileText(mode_t mode)
{
    if (S_ISREG(mode) || S_ISDIR(mode))
        return {};
    QString kind = QStringLiteral("a special file");
    if (S_ISFIFO(mode))
        kind = QStringLiteral("a named pipe");
    else if (S_ISSOCK(mode))
        kind = QStringLiteral("a socket");
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        kind = QStringLiteral("a device");
    return QStringLiteral("Not a regular file (") + kind + QLatin1Char(')');
}

// A regular file opened for reading, or -1 and why not. What the name turns out to be is never
// waited on: it is looked at before the open (opening a device may already act on it), and the
// open itself does not wait, for a name that was given to a pipe in between.
int openRegular(const QString& fileName, QString& why)
{
    why.clear();
    if (fileName.isEmpty()) {
        why = systemText(ENOENT);
        return -1;
    }
    if (fileName.contains(QChar(0))) {
        why = systemText(EINVAL);
        return -1;
    }
    const QByteArray native = QFile::encodeName(fileName);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0) {
        why = notAFileText(st.st_mode);
        if (!why.isEmpty())
            return -1;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = systemText(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0)
        why = systemText(errno);
    else if (S_ISDIR(st.st_mode))
        why = systemText(EISDIR);
    else
        why = notAFileText(st.st_mode);
    if (!why.isEmpty()) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
} // namespace

bool kdb::IsOdbcConnect(const QString& nameOrConnect)
{
    qsizetype i = 0;
    while (i < nameOrConnect.size() && nameOrConnect.at(i).isSpace())
        ++i;
    return QStringView(nameOrConnect).mid(i).startsWith(QLatin1String("ODBC;"));
}

bool Utilities::FileExists(const QString& fileName)
{
    if (kdb::IsOdbcConnect(fileName))
        return true;
    bool exists = false;
    try {
        if (fileName.isEmpty())
            return false;
        if (fileName.contains(QChar(0)))
            throw KvError(KvErr::BadFileName, QStringLiteral("Utilities::FileExists"));
        const QByteArray native = QFile::encodeName(fileName);
        if (::access(native.constData(), R_OK) == 0) {
            exists = true;
        } else if (errno == ENAMETOOLONG) {
            throw KvError(KvErr::BadFileName, QStringLiteral("Utilities::FileExists"));
        }
        // Missing file or folder, no permission to read it, a loop of links: the file counts as
        // missing, and the caller's own box (which may ask UnreadableReason) is the one shown.
        // So do a folder, a pipe, a socket and a device: no data file, and never to be opened.
        struct stat st {};
        if (exists)
            exists = ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode);
    } catch (...) {
        const KvError e = CurrentError();
        ErrorBox::ShowBare(e, e.source().isEmpty() ? QStringLiteral("Utilities::FileExists") : e.source());
        return false;
    }
    return exists;
}

QString Utilities::NotAFileReason(const QString& fileName)
{
    struct stat st {};
    if (fileName.isEmpty() || fileName.contains(QChar(0)) || ::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return {};
    return notAFileText(st.st_mode);
}

QString Utilities::UnreadableReason(const QString& fileName)
{
    QString why;
    const int fd = openRegular(fileName, why);
    if (fd >= 0)
        ::close(fd);
    return why;
}

void Utilities::OpenForReading(QFile& file)
{
    const QString path = file.fileName();
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
        throw KvError(KvErr::FileNotFound);
    QString why;
    const int fd = openRegular(path, why);
    if (fd >= 0 && !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        why = file.errorString();
        ::close(fd);
    }
    if (!why.isEmpty()) {
        const KvError access(KvErr::PathFileAccess);
        throw KvError(access.number(), {}, access.description() + QStringLiteral(": ") + why);
    }
}

bool Utilities::CanWriteInPlace(const QString& fileName)
{
    const QFileInfo file(fileName);
    const QByteArray native = QFile::encodeName(file.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(file.absolutePath());
    return ::access(native.constData(), W_OK) == 0 && ::access(folder.constData(), W_OK | X_OK) == 0;
}

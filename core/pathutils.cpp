#include "core/pathutils.h"

#include "core/cfile.h"
#include "core/errorbox.h"

#include <QDir>
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

bool Utilities::FileExists(const QString& fileName)
{
    if (fileName.contains(QLatin1String("ODBC;")))
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
        if (exists && QFileInfo(fileName).isDir())
            exists = false;
    } catch (...) {
        const KvError e = CurrentError();
        ErrorBox::ShowBare(e, e.source().isEmpty() ? QStringLiteral("Utilities::FileExists") : e.source());
        return false;
    }
    return exists;
}

QString Utilities::UnreadableReason(const QString& fileName)
{
    if (fileName.isEmpty())
        return QString::fromLocal8Bit(std::strerror(ENOENT));
    if (fileName.contains(QChar(0)))
        return QString::fromLocal8Bit(std::strerror(EINVAL));
    const QByteArray native = QFile::encodeName(fileName);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    return folder ? QString::fromLocal8Bit(std::strerror(EISDIR)) : QString();
}

bool Utilities::CanWriteInPlace(const QString& fileName)
{
    const QFileInfo file(fileName);
    const QByteArray native = QFile::encodeName(file.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(file.absolutePath());
    return ::access(native.constData(), W_OK) == 0 && ::access(folder.constData(), W_OK | X_OK) == 0;
}

#include "core/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString g_programFolder;
QString g_installFolder;
bool g_seeded = false;

void seedSamples(const QString& target)
{
    QDir samples(AppPaths::InstallDataFolder() + QStringLiteral("/samples"));
    if (!samples.exists())
        return;
    const QStringList files = samples.entryList(QDir::Files);
    for (const QString& name : files) {
        const QString destination = target + QLatin1Char('/') + name;
        if (!QFileInfo::exists(destination))
            QFile::copy(samples.filePath(name), destination);
        QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                               | QFile::ReadOther);
    }
}
} // namespace

QString AppPaths::ProgramFolder()
{
    QString folder = g_programFolder;
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                 + QStringLiteral("/Veltra/Korvan");
    }
    if (!g_seeded) {
        QDir().mkpath(folder);
        seedSamples(folder);
        g_seeded = true;
    }
    return QDir::cleanPath(folder);
}

QString AppPaths::InstallDataFolder()
{
    if (!g_installFolder.isEmpty())
        return g_installFolder;
    const QString fromEnv = qEnvironmentVariable("KORVAN_DATA_DIR");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString share = QDir::cleanPath(appDir + QStringLiteral("/../share/korvan"));
    if (QFileInfo(share).isDir())
        return share;
    return appDir;
}

QString AppPaths::TempFolder()
{
    return QDir::cleanPath(QDir::tempPath());
}

void AppPaths::SetProgramFolder(const QString& folder)
{
    g_programFolder = folder;
    g_seeded = false;
}

void AppPaths::SetInstallDataFolder(const QString& folder)
{
    g_installFolder = folder;
}

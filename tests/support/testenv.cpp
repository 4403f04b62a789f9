#include "tests/support/testenv.h"

#include "core/apppaths.h"
#include "core/regsettings.h"

#include <QDir>
#include <QSettings>
#include <QUuid>

#include <cstdlib>
#include <memory>

void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {
std::unique_ptr<QTemporaryDir>& root()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}
} // namespace

QString TestEnv::PrivateRoot()
{
    if (!root())
        root() = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/korvan-test-XXXXXX"));
    return root()->path();
}

QString TestEnv::NewFolder(const QString& name)
{
    const QString path = PrivateRoot() + QLatin1Char('/') + name + QLatin1Char('-')
                         + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(path);
    return path;
}

void TestEnv::Prepare()
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const QString runtime = PrivateRoot() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit().constData(), 1);
    const QString config = PrivateRoot() + QStringLiteral("/config");
    QDir().mkpath(config);
    setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    CRegSettings::SetStorageFolder(config);
    const QString data = PrivateRoot() + QStringLiteral("/data");
    setenv("XDG_DATA_HOME", data.toLocal8Bit().constData(), 1);
    AppPaths::SetProgramFolder(data + QStringLiteral("/Veltra/Korvan"));
}

void TestEnv::ClearSettings()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, gRegSettings().Company(),
                       gRegSettings().AppName());
    settings.clear();
    settings.sync();
}

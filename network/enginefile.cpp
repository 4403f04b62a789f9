#include "network/enginefile.h"

#include "core/apppaths.h"
#include "engine/korvan_engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTime>

namespace {
// Enough draws to step past every name another object or program holds at the moment.
constexpr int kAttempts = 1000;

QString candidateName(const QString& folder)
{
    const double seconds = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    const double fraction = QRandomGenerator::global()->generateDouble();
    const int digits = int(seconds + fraction * 10001) % 100000;
    return folder + QStringLiteral("/~KV") + QStringLiteral("%1").arg(digits, 5, 10, QLatin1Char('0'))
           + QStringLiteral(".Tmp");
}
} // namespace

CEngineFile::CEngineFile()
{
    // A failure to reserve leaves a name without a file: the engine then reports its own
    // file errors when it is asked to write.
    try {
        const QString folder = AppPaths::TempFolder();
        QDir().mkpath(folder);
        for (int i = 0; i < kAttempts; ++i) {
            mName = candidateName(folder);
            QFile f(mName);
            if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                mReserved = true;
                break;
            }
        }
    } catch (...) {
    }
    mNative = QFile::encodeName(mName);
}

CEngineFile::~CEngineFile()
{
    VTRELEASE(mNative.constData());
    if (mReserved)
        QFile::remove(mName);
}

bool CEngineFile::HoldsNetwork() const
{
    const QFileInfo info(mName);
    return info.isFile() && info.size() > 0;
}

void CEngineFile::Clear()
{
    QFile f(mName);
    if (f.exists())
        f.resize(0);
}

void CEngineFile::RemoveLeftovers(const QString& folder)
{
    // "~KV12345.Tmp", and "~KV12345.Tmp.Ab3xYz.tmp" of a write the engine did not finish.
    static const QRegularExpression pattern(QStringLiteral("^~KV\\d{5}\\.Tmp(\\.[A-Za-z0-9]{6}\\.tmp)?$"));
    QDirIterator it(folder, {QStringLiteral("~KV*")}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString path = it.next();
        if (pattern.match(it.fileName()).hasMatch())
            QFile::remove(path);
    }
}

#include "network/process.h"

#include "core/errorbox.h"
#include "core/pathutils.h"
#include "data/dbutilities.h"
#include "kdb/kdb.h"
#include "network/configtext.h"

namespace {
bool hasConfig(const QString& path)
{
    return Utilities::FileExists(path) && Utilities::TableExists(path, QStringLiteral("Config"));
}
} // namespace

CProcess& gProcess()
{
    static CProcess process;
    return process;
}

uint8_t CProcess::Byte() const
{
    uint8_t b = 0;
    if (mConfigured)
        b += kConfigured;
    if (mSplit)
        b += kSplit;
    if (mTrained)
        b += kTrained;
    if (mTested)
        b += kTested;
    return b;
}

void CProcess::Save(const QString& saDBFileName)
{
    if (!hasConfig(saDBFileName))
        return;
    Procedure(QStringLiteral("CProcess::Save"), [&] {
        kdb::Database db = kdb::Database::Open(saDBFileName, false, false);
        Write(db);
    });
}

void CProcess::Write(kdb::Database& db) const
{
    db.Upsert(QStringLiteral("Config"),
              {{QStringLiteral("Property"), QStringLiteral("Process")}, {QStringLiteral("sValue"), ConfigText::FromLong(Byte())}},
              QStringLiteral("Property"), QStringLiteral("Process"));
}

void CProcess::Load(const QString& saDBFileName)
{
    mConfigured = mSplit = mTrained = mTested = false;
    if (!hasConfig(saDBFileName))
        return;
    Procedure(QStringLiteral("CProcess::Load"), [&] {
        kdb::Database db = kdb::Database::Open(saDBFileName, false, true);
        const kdb::Value v = db.Scalar(QStringLiteral("SELECT sValue FROM Config WHERE Property='Process';"));
        if (v.isNull())
            return;
        const uint8_t b = ConfigText::ToByte(v.toText());
        mConfigured = b & kConfigured;
        mSplit = b & kSplit;
        mTrained = b & kTrained;
        mTested = b & kTested;
    });
}

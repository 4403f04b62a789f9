#include "network/process.h"

#include "core/errorbox.h"
#include "core/pathutils.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/configtext.h"
#include "network/projectstore.h"

namespace {
bool hasConfig(const QString& path)
{
    return Utilities::FileExists(path) && Utilities::TableExists(path, ProjectSchema::ConfigTable());
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
    ProjectStore(db).WriteProperty(ProjectSchema::ProcessKey(), ConfigText::FromLong(Byte()));
}

void CProcess::Load(const QString& saDBFileName)
{
    mConfigured = mSplit = mTrained = mTested = false;
    if (!hasConfig(saDBFileName))
        return;
    Procedure(QStringLiteral("CProcess::Load"), [&] {
        kdb::Database db = kdb::Database::Open(saDBFileName, false, true);
        const std::optional<QString> v = ProjectStore(db).Property(ProjectSchema::ProcessKey());
        if (!v)
            return;
        const uint8_t b = ConfigText::ToByte(*v);
        mConfigured = b & kConfigured;
        mSplit = b & kSplit;
        mTrained = b & kTrained;
        mTested = b & kTested;
    });
}

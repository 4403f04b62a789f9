#include "network/networkproject.h"

#include "core/apppaths.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/importwriter.h"
#include "data/projectschema.h"
#include "kdb/backup.h"
#include "network/configtext.h"
#include "network/networkhost.h"
#include "network/projectstore.h"
#include "network/workflowflags.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

namespace {

// A data source as a message names it: the file's path, or the connect text without its
// password.
QString SourceShown(const QString& source)
{
    return kdb::IsOdbcConnect(source) ? kdb::HidePassword(source) : source;
}

// A project file that is to hold a connect string with a password is kept owner-only (so are
// the journal and log SQLite makes beside it, which take the file's permissions).
void ProtectPassword(const QString& path, const QString& source)
{
    if (kdb::HoldsPassword(source))
        kdb::KeepOwnerOnly(path);
}

void HideSplash()
{
    IgnoreErrors([] { NetworkHost::Current().HideSplash(); });
}

} // namespace

CNetworkProject::CNetworkProject(const NetworkKindTexts& kind) : m_kind(kind) {}

CNetworkProject::~CNetworkProject()
{
    // A closed project keeps no server session: the next open sees the server as it is then
    // (a login's changed search path, its default schema).
    kdb::EndKeptLogins();
}

// --- Settings over the project's state ---------------------------------------------------

ConfigSetting CNetworkProject::DataFileSetting()
{
    return {ProjectSchema::DatabaseFileNameKey(), [this] { return m_state.DatabaseFileName(); },
            [this](const QString& t) { m_readDataFile = t; }};
}

ConfigSetting CNetworkProject::TableSetting()
{
    return {ProjectSchema::TableNameKey(), [this] { return m_state.TableName(); },
            [this](const QString& t) { m_readTableName = t; }};
}

ConfigSetting CNetworkProject::TypeSetting()
{
    return {ProjectSchema::TypeKey(), [this] { return QString::fromLatin1(m_kind.typeValue); }, {}};
}

// --- The project database ----------------------------------------------------------------

void CNetworkProject::MakeTables(kdb::Database& db)
{
    try {
        ProjectStore(db).MakeTables();
    } catch (...) {
        modErrorHandling::RaiseError(::CurrentError().number(), QString::fromLatin1(m_kind.makeTablesSource));
    }
}

void CNetworkProject::MissingSettingBox(const QString& name)
{
    if (m_opening)
        HideSplash();
    QString text = QString::fromLatin1(m_kind.missingSettingText);
    if (m_kind.missingSettingNamesKey)
        text += name;
    Prompts::MsgBox(text, MsgButtons::Ok, MsgIcon::Critical, QString::fromLatin1(m_kind.missingSettingTitle));
}

QString CNetworkProject::GetProperty(kdb::Database& db, const QString& name, bool* told)
{
    if (told)
        *told = false;
    if (!db.IsOpen() || name.isEmpty())
        return {};
    std::optional<QString> value;
    bool missing = false;
    const bool read = Procedure(m_kind.Title("GetProperty"), [&] {
        value = ProjectStore(db).Property(name);
        missing = !value;
    });
    if (missing)
        MissingSettingBox(name);
    if (told)
        *told = missing || !read;
    return value.value_or(QString());
}

void CNetworkProject::WriteSettings(kdb::Database& db, const QStringList& only)
{
    ProjectStore store(db);
    for (const ConfigSetting& s : Settings())
        if (only.isEmpty() || only.contains(s.key))
            store.WriteProperty(s.key, s.write());
}

void CNetworkProject::Attach(const QString& saLinkDataSource, const QString& saLinkTableName)
{
    const QString path = m_state.ProjectFileName();
    if (path.isEmpty())
        return;
    Procedure(m_kind.Title("Attach"), [&] {
        ProtectPassword(path, saLinkDataSource);
        kdb::Database db = kdb::Database::Open(path, false, false);
        ProjectStore store(db);
        const std::optional<kdb::TableInfo> before = store.LinkInfo();
        store.LinkSource(saLinkDataSource, saLinkTableName);
        if (!m_state.DDO())
            return;
        try {
            m_state.DDO()->Initialize(saLinkDataSource, saLinkTableName);
        } catch (...) {
            // A table the definition cannot take leaves the project linked as it was.
            IgnoreErrors([&] { store.RestoreLink(before); });
            throw;
        }
    });
}

void CNetworkProject::WriteConfig(kdb::Database& db, bool snapshot)
{
    WriteSettings(db, {});
    if (m_state.DDO())
        m_state.DDO()->Write(db);
    if (snapshot)
        WriteSnapshot(db);
    Workflow::Write(db);
}

bool CNetworkProject::SaveConfig()
{
    const QString path = m_state.ProjectFileName();
    if (path.isEmpty())
        return false;
    return Procedure(m_kind.Title("SaveConfig"), [&] {
        if (!Utilities::FileExists(path))
            throw KvError(KvErr::FileNotFound, {}, QStringLiteral("File Does Not Exist"));
        // The engine writes its file before the project's transaction begins.
        const bool snapshot = SavesSnapshotWithConfig() && m_state.NetReady() && SnapshotFileReady();
        ProtectPassword(path, m_state.DatabaseFileName());
        kdb::Database db = kdb::Database::Open(path, m_kind.exclusiveSave, false);
        kdb::Transaction t(db);
        ProjectStore(db).EnsureBaseTables();
        WriteConfig(db, snapshot);
        t.Commit();
    });
}

QStringList CNetworkProject::RowRangeKeys()
{
    return {QStringLiteral("TrainHigh"), QStringLiteral("TrainLow"), QStringLiteral("TestHigh"), QStringLiteral("TestLow")};
}

void CNetworkProject::SaveRowRanges()
{
    const QString path = m_state.ProjectFileName();
    if (path.isEmpty())
        return;
    modErrorHandling::Member(m_kind.Source("SaveRowRanges").toLatin1().constData(), [&] {
        if (!Utilities::FileExists(path))
            throw KvError(KvErr::FileNotFound, {}, QStringLiteral("File Does Not Exist"));
        kdb::Database db = kdb::Database::Open(path, false, false);
        kdb::Transaction t(db);
        WriteSettings(db, RowRangeKeys());
        Workflow::Write(db);
        t.Commit();
    });
}

// --- Lifecycle ---------------------------------------------------------------------------

void CNetworkProject::Initialize(const QString& saProjectFileName)
{
    try {
        if (saProjectFileName.isEmpty())
            return;
        m_state.Project().AddFile(saProjectFileName);
        if (Utilities::FileExists(saProjectFileName) && !ProjectStore::IsUnfinishedProject(saProjectFileName))
            OpenProject(saProjectFileName);
        else
            NewProject(saProjectFileName);
    } catch (...) {
        modErrorHandling::RaiseError(::CurrentError().number(), QString::fromLatin1(m_kind.initializeSource));
    }
}

void CNetworkProject::LoadConfig()
{
    const CFile* first = m_state.Project().Item(1);
    if (!first) {
        if (m_kind.loadConfigRaises)
            throw KvError(KvErr::InvalidCall);
        return;
    }
    const QString path = first->FileName();
    if (path.isEmpty())
        return;
    if (m_kind.loadConfigRaises)
        OpenProject(path);
    else
        IgnoreErrors([&] { OpenProject(path); });
}

void CNetworkProject::LoadCurrent()
{
    LoadSnapshot();
}

void CNetworkProject::SaveCurrent()
{
    modErrorHandling::Member(m_kind.Source("SaveCurrent").toLatin1().constData(), [&] { SaveSnapshot(); });
}

void CNetworkProject::NewProject(const QString& path)
{
    const QString file = m_state.ProjectFileName().isEmpty() ? path : m_state.ProjectFileName();
    Procedure(m_kind.Title("NewProject"), [&] {
        const QString folder = QFileInfo(file).absolutePath();
        DataImport::RemoveLeftoverTemps(folder);
        const QString temp = DataImport::TempNameBeside(file);
        DataImport::TempFileGuard guard(temp);
        {
            kdb::Database db = kdb::Database::Create(temp);
            ProtectPassword(temp, m_state.DatabaseFileName());
            MakeTables(db);
            kdb::Transaction t(db);
            WriteConfig(db, false);
            t.Commit();
        }
        // A file of that name here is the remnant of a creation that did not end.
        kdb::ReplaceDatabaseFile(temp, file);
        guard.Release();
    });
}

void CNetworkProject::ReadSettingsOfOpen(kdb::Database& db, QString& dataFile, QString& tableName)
{
    m_readDataFile.clear();
    m_readTableName.clear();
    const std::vector<ConfigSetting> settings = Settings();
    // The back-propagation kind goes on past a setting it cannot use, which keeps the value a
    // new project starts with; every such setting is named in one box after the reading.
    std::optional<KvError> unusable;
    for (const QString& key : ReadOrder()) {
        const auto it = std::find_if(settings.begin(), settings.end(),
                                     [&](const ConfigSetting& s) { return s.key == key; });
        if (it == settings.end() || !it->read)
            continue;
        bool told = false;
        const QString text = GetProperty(db, key, &told);
        if (m_kind.openStopsAtFirstError) {
            it->read(text);   // a failed conversion ends the open
            continue;
        }
        try {
            it->read(text);
        } catch (const KvError& e) {
            if (told)
                continue;   // its box has been shown
            unusable = unusable ? KvError(unusable->number(), {}, unusable->description() + QLatin1Char('\n') + e.description())
                                : e;
        }
    }
    if (unusable) {
        HideSplash();
        ErrorBox::ShowStandard(KvError(unusable->number(), {},
                                       unusable->description()
                                           + QStringLiteral("\nEach of these settings keeps the value of a new project.")),
                               m_kind.Title("OpenProject"));
    }
    dataFile = m_readDataFile;
    tableName = m_readTableName;
}

void CNetworkProject::OpenProject(const QString& path)
{
    struct Opening {
        bool& flag;
        explicit Opening(bool& f) : flag(f) { flag = true; }
        ~Opening() { flag = false; }
    } opening(m_opening);

    // One step of the open: the back-propagation kind skips a failing step, the SFAM kind
    // ends the open with the error box.
    const auto step = [&](auto&& body) {
        if (m_kind.openStopsAtFirstError)
            body();
        else
            IgnoreErrors(body);
    };

    const auto run = [&] {
        QString dataFile;
        QString tableName;
        step([&] {
            kdb::Database db = kdb::Database::Open(path, false, true);
            ReadSettingsOfOpen(db, dataFile, tableName);
        });
        if (dataFile.isEmpty())
            return;

        if (!Utilities::FileExists(dataFile)) {
            CFile parts;
            parts.SetFileName(dataFile);
            const QString candidate = AppPaths::ProgramFolder() + QStringLiteral("/data/") + parts.Name()
                                      + QLatin1Char('.') + parts.Ext();
            if (!Utilities::FileExists(candidate)) {
                HideSplash();
                Prompts::MsgBox(QStringLiteral("Cannot Locate Database File: ") + QStringLiteral("\r\n") + candidate,
                                MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Project Open Error"));
                NetworkHost::Current().CloseProject();
                return;
            }
            dataFile = candidate;
            step([&] {
                if (m_state.DDO())
                    m_state.DDO()->SetDBFileName(candidate);
                kdb::Database db = kdb::Database::Open(path, false, false);
                ProjectStore(db).MoveDataFile(candidate);
            });
        }

        bool tableMissing = false;
        step([&] {
            if (!m_state.DDO())
                return;
            try {
                if (Utilities::TableExists(path, ProjectSchema::FieldConfigTable())) {
                    m_state.DDO()->Initialize(dataFile, tableName);
                    m_state.DDO()->Load(path);
                } else if (!dataFile.isEmpty() && !tableName.isEmpty()) {
                    m_state.DDO()->Initialize(dataFile, tableName);
                }
            } catch (...) {
                const KvError e = ::CurrentError();
                if (e.number() == KvErr::NoSuchTable) {
                    tableMissing = true;
                    return;
                }
                // Without its data definition the project cannot be used and is closed
                // after the open: the box says why, for both kinds.
                if (!m_kind.openStopsAtFirstError) {
                    HideSplash();
                    ErrorBox::ShowStandard(e, m_kind.Title("OpenProject"));
                }
                throw;
            }
        });
        if (tableMissing) {
            // Nothing has been written: the project and its link stay for the table's return.
            HideSplash();
            Prompts::MsgBox(QStringLiteral("Cannot Locate Table: ") + QStringLiteral("\r\n") + tableName
                                + QStringLiteral("\r\n") + QStringLiteral("in ") + SourceShown(dataFile),
                            MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Project Open Error"));
            NetworkHost::Current().CloseProject();
            return;
        }
        step([&] { Revert(); });
    };

    if (m_kind.openStopsAtFirstError) {
        try {
            run();
        } catch (...) {
            const KvError e = ::CurrentError();
            HideSplash();
            ErrorBox::ShowStandard(e, m_kind.Title("OpenProject"));
        }
    } else {
        IgnoreErrors(run);
    }
}

// --- Arrays --------------------------------------------------------------------------------

bool CNetworkProject::BuildArrays(int mode)
{
    // An open pass reads the arrays it began on.
    AbandonPass();
    if (mode == 0)
        m_state.SetNetReady(false);
    m_state.SetTrainBuilt(false);
    m_state.SetTestBuilt(false);
    if (!m_state.DDO() || !m_state.DDO()->InitDone() || mode < 0 || mode > 2)
        return true;
    return Procedure(m_kind.Title("BuildArrays"), [&] {
        if (mode == 0) {
            m_state.Arrays().BuildLayout(*m_state.DDO(), m_kind.predictRole, PatternKind());
            m_state.SetNetReady(true);
            m_state.SetCurrentError(-1);
            return;
        }
        PatternArrays::RowRange range;
        range.low = mode == 1 ? m_state.TrainLow() : m_state.TestLow();
        range.high = mode == 1 ? m_state.TrainHigh() : m_state.TestHigh();
        range.testing = mode == 2;
        // Numbers predicted (back-propagation) keep their own values: the Test rows and the error
        // figures are measured against them, not against their clamped normalised forms.
        range.actuals = m_kind.predictRole == roleBPPredict;
        // Opened only once the range and the columns are known to be sound, and kept open
        // while the rows are read.
        std::optional<kdb::Database> db;
        const auto source = [&](const QStringList& columns, int64_t skip) {
            db.emplace(kdb::Database::Open(m_state.ProjectFileName(), false, true));
            // A field the source lost is named here, once: read, it would come back as its own
            // name in every row.
            dbUtilities::RequireSourceFields(*db, columns, m_state.DDO()->TableName());
            PatternArrays::OpenRows rows{db->ReadLinked(ProjectSchema::LinkTable(), columns, skip), {}, {}};
            if (const std::optional<kdb::TableInfo> link = ProjectStore(*db).LinkInfo()) {
                rows.file = ProjectStore::LinkedFile(*link);
                rows.table = link->sourceTable;
            }
            return rows;
        };
        m_state.Arrays().BuildRows(*m_state.DDO(), range, source, m_testProgress, PatternKind());
        if (mode == 1)
            m_state.SetTrainBuilt(true);
        else
            m_state.SetTestBuilt(true);
    });
}

// --- Saved network -----------------------------------------------------------------------

CNetworkProject::EngineFileRead CNetworkProject::ReadEngineFile()
{
    if (!BuildArrays(0) || !m_state.NetReady())
        return EngineFileRead::NoLayout;
    if (CallEngine(EngineRead) != 1 || !m_engineFile.HoldsNetwork()) {
        // A file the engine cannot read is no network: it must not pass for one later.
        m_engineFile.Clear();
        m_state.SetNetReady(false);
        m_state.SetCurrentError(-1);
        return EngineFileRead::Refused;
    }
    return EngineFileRead::Read;
}

void CNetworkProject::Revert()
{
    modErrorHandling::Member(m_kind.Source("Revert").toLatin1().constData(), [&] {
        // Where the best network lives in the engine file, that file is the network: one that
        // vanished or that the engine refuses is a lost network, which the user must hear of
        // rather than find nothing happening.
        QString cause;
        if (BestKeptInEngineFile() && m_engineFile.Missing()) {
            if (m_state.NetReady() || m_state.CyclesCompleted() > 0)
                cause = QStringLiteral("The working file of the trained network has been deleted:");
            m_engineFile.Clear();
        }
        if (cause.isEmpty() && BestKeptInEngineFile() && m_engineFile.HoldsNetwork()) {
            m_state.ForgetArrays();
            const EngineFileRead read = ReadEngineFile();
            if (read == EngineFileRead::Read) {
                m_state.SetCurrentError(m_state.BestError());
                m_state.SetNetReady(true);
                m_state.SetTrainBuilt(false);
                m_state.SetTestBuilt(false);
                m_networkLost = false;
                return;
            }
            if (read == EngineFileRead::NoLayout)
                return;
            cause = QStringLiteral("The working file of the trained network could not be read:");
        }
        // The network saved with the project stands in, when there is one.
        LoadSnapshot();
        if (!cause.isEmpty())
            m_networkLost = true;
        if (!m_networkLost)
            return;
        QString text = cause.isEmpty() ? QStringLiteral("The trained network is no longer available.")
                                       : cause + QStringLiteral("\r\n") + m_engineFile.Name();
        text += QStringLiteral("\r\n")
                + (m_state.NetReady() ? QStringLiteral("The network last saved with the project is used instead.")
                             : QStringLiteral("Train the network again."));
        m_networkLost = !m_state.NetReady();
        Prompts::MsgBox(text, MsgButtons::Ok, MsgIcon::Exclamation, m_kind.Title("Revert"));
    });
}

bool CNetworkProject::SnapshotFileReady()
{
    if (!m_engineFile.HoldsNetwork() && WritesEngineFileOnSave())
        CallEngine(EngineWrite);
    return m_engineFile.HoldsNetwork();
}

void CNetworkProject::WriteSnapshot(kdb::Database& db)
{
    ProjectStore(db).WriteSnapshot(m_engineFile.Name(), QString::fromLatin1(m_kind.bestErrorKey),
                                   ConfigText::FromSingle(m_state.BestError()));
}

void CNetworkProject::SaveSnapshot()
{
    if (!m_state.NetReady())
        return;
    Procedure(m_kind.Title("SaveSnapshot"), [&] {
        if (!SnapshotFileReady())
            return;
        kdb::Database db = kdb::Database::Open(m_state.ProjectFileName(), false, false);
        WriteSnapshot(db);
    });
}

void CNetworkProject::LoadSnapshot()
{
    m_state.ForgetArrays();
    Procedure(m_kind.Title("LoadSnapshot"), [&] {
        bool fromProject = false;
        // The counts stored with the saved network, as Config holds them.
        std::vector<std::pair<QString, std::optional<QString>>> counts;
        if (!m_engineFile.HoldsNetwork()) {
            kdb::Database db = kdb::Database::Open(m_state.ProjectFileName(), false, true);
            m_state.SetBestError(ConfigText::ToSingle(GetProperty(db, QString::fromLatin1(m_kind.bestErrorKey))));
            if (!ProjectStore(db).RestoreSnapshot(m_engineFile.Name()))
                return;
            fromProject = true;
            for (const QString& key : NetworkCountKeys())
                counts.emplace_back(key, ProjectStore(db).Property(key));
        }
        const EngineFileRead read = ReadEngineFile();
        if (read == EngineFileRead::Read) {
            m_state.SetCurrentError(m_state.BestError());
            m_state.SetNetReady(true);
            // The network saved with the project comes back with its own counts, as a reopened
            // project has them, not with those of a newer network that was lost.
            const std::vector<ConfigSetting> settings = Settings();
            for (const auto& [key, text] : counts) {
                const auto it = std::find_if(settings.begin(), settings.end(),
                                             [&](const ConfigSetting& s) { return s.key == key; });
                if (text && it != settings.end() && it->read)
                    IgnoreErrors([&] { it->read(*text); });
            }
        } else if (read == EngineFileRead::Refused && fromProject && !m_damagedNetworkShown) {
            // The project's other settings stay as they are; the next training replaces the row.
            m_damagedNetworkShown = true;
            if (m_opening)
                HideSplash();
            Prompts::MsgBox(QStringLiteral("The network saved with this project is damaged and could not be read.")
                                + QStringLiteral("\r\n")
                                + QStringLiteral("Train the network again; the project's other settings are kept."),
                            MsgButtons::Ok, MsgIcon::Exclamation, m_kind.Title("LoadSnapshot"));
        }
    });
}

int32_t CNetworkProject::CallEngine(EngineCommand command)
{
    AbandonPass();
    CheckArrays();
    return EngineOverRows(command, 1, m_state.Arrays().rows);
}

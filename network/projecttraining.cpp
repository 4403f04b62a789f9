// What training and single predictions of both kinds share: creating the network in the
// engine, the one-row run of a prediction, forgetting a training, the prediction field.
#include "network/networkproject.h"

#include "core/errorbox.h"
#include "core/status.h"
#include "data/datadef.h"
#include "engine/korvan_engine.h"
#include "network/enginecodes.h"
#include "network/workflowflags.h"
#include "network/projectstore.h"

#include <algorithm>

QString CNetworkProject::PredictingText() const
{
    QString name;
    IgnoreErrors([&] { name = m_state.DDO()->FieldName(m_state.Arrays().predictField); });
    return QStringLiteral("Predicting ") + name + QStringLiteral("...");
}

bool CNetworkProject::CreateNetwork(bool withTrainingRows, const QString& suffix,
                                    const QString& failureText, const QString& failureTitle)
{
    Status::Message(QStringLiteral("Normalizing..."));
    // A layout without rows, or rows without a layout, is no ground for a network: the engine
    // is not asked, and the next call tries again.
    if (!BuildArrays(0) || !m_state.NetReady() || (withTrainingRows && (!BuildArrays(1) || !m_state.TrainBuilt()))) {
        m_state.SetNetReady(false);
        m_state.SetDLLError(DLLErrNoArrays);
        Status::Message(QString());
        return false;
    }
    Status::Message(PredictingText() + suffix);
    m_state.SetDLLError(0);
    m_state.SetConstantFields({});
    const int32_t result = CallEngine(EngineInit);
    if (result == 1) {
        m_networkLost = false;
        return true;
    }
    m_state.SetNetReady(false);
    // No prediction is under way any more: the status must not say so beside the failure.
    Status::Message(QString());
    if (result == -8 || result == -7) {
        m_state.SetDLLError(DLLErrConstantField);
        m_state.SetConstantFields(m_state.Arrays().ConstantFields(*m_state.DDO(), withTrainingRows, PatternKind()));
    } else if (result == DLLErrTooFewRows) {
        m_state.SetDLLError(DLLErrTooFewRows);
    } else {
        m_state.SetDLLError(FailureCode(result));
        EngineBox(failureText, result, failureTitle);
    }
    return false;
}

bool CNetworkProject::ReadyToTrain(const QString& suffix, const QString& failureText, const QString& failureTitle)
{
    // A failure of an earlier call must not stop a loop that now trains again.
    m_state.SetDLLError(0);
    if (!m_state.NetReady()) {
        if (!CreateNetwork(true, suffix, failureText, failureTitle))
            return false;
        m_state.SetCurrentError(-1);
        m_state.SetBestError(-1);
        return true;
    }
    if (!m_state.TrainBuilt()) {
        Status::Message(QStringLiteral("Normalizing..."));
        if (!BuildArrays(1) || !m_state.TrainBuilt()) {
            m_state.SetDLLError(DLLErrNoArrays);
            Status::Message(QString());
            return false;
        }
        Status::Message(PredictingText() + suffix);
        m_state.SetCurrentError(-1);
    }
    return true;
}

bool CNetworkProject::ForgetTraining(const QString& title, const std::function<void()>& defaults)
{
    return Procedure(title, [&] {
        const std::vector<ConfigSetting> settings = Settings();
        std::vector<QString> before;
        for (const ConfigSetting& s : settings)
            before.push_back(s.write());
        defaults();
        m_state.SetCyclesCompleted(0);
        m_state.SetBestError(-1);
        // The reset is stored with the saved network's removal, in one transaction: the file
        // never keeps the counts or the error of a network it no longer has, whatever ends the
        // program next. Stored are what the reset changed, the network's counts and error
        // whatever they were, the row bounds, and the workflow step and flags when they are the
        // project's.
        QStringList keys = NetworkCountKeys();
        keys << QString::fromLatin1(m_kind.bestErrorKey) << RowRangeKeys();
        for (size_t i = 0; i < settings.size(); ++i)
            if (settings[i].write() != before[i])
                keys << settings[i].key;
        try {
            kdb::Database db = kdb::Database::Open(m_state.ProjectFileName(), false, false);
            kdb::Transaction t(db);
            ProjectStore(db).DropSnapshots();
            WriteSettings(db, keys);
            Workflow::Write(db);
            t.Commit();
        } catch (...) {
            // Nothing was forgotten: the object keeps what the file keeps.
            for (size_t i = 0; i < settings.size(); ++i)
                if (settings[i].read && settings[i].write() != before[i])
                    IgnoreErrors([&] { settings[i].read(before[i]); });
            throw;
        }
        // Only once the project has let it go: a project file that cannot be written keeps both.
        if (m_engineFile.HoldsNetwork())
            m_engineFile.Clear();
        m_state.SetCurrentError(-1);
        m_state.ForgetArrays();
        m_networkLost = false;
    });
}

bool CNetworkProject::TrainCall(bool whole, const QString& suffix, const QString& failureText,
                                const QString& failureTitle, const std::function<void(int32_t)>& answered)
{
    // A refused training call ends the prediction the status speaks of, as a refused start does.
    const auto ended = [&](int32_t answer) {
        answered(answer);
        if (m_state.DLLError() < 0)
            Status::Message(QString());
    };
    if (!PassOpen()) {
        if (!ReadyToTrain(suffix, failureText, failureTitle))
            return true;
        // A pass that fits one block is the Train command itself.
        const size_t rows = size_t(std::max<int64_t>(m_state.Arrays().rows, 0));
        if (whole || m_passes.FitsOneBlock(rows)) {
            const int32_t answer = m_passes.Timed(rows, [&] { return CallEngine(EngineTrain); });
            m_state.SetCurrentError(-1);
            ended(answer);
            return true;
        }
        const int32_t begun = m_passes.Begin([&](kvengine::TrainPass& pass) { return BeginEnginePass(pass); });
        if (begun != KV_ENGINE_SUCCESS) {
            m_state.SetCurrentError(-1);
            ended(begun);
            return true;
        }
    }
    const int32_t answer = m_passes.Next(whole, m_state.CyclesCounter());
    m_state.SetCurrentError(-1);
    if (answer == 0)
        return false;
    ended(answer);
    return true;
}

int32_t CNetworkProject::RunOneRow(const std::vector<long double>& values)
{
    AbandonPass();
    m_state.Arrays().BuildOneRow(values, PatternKind());
    m_state.SetTrainBuilt(false);
    m_state.SetTestBuilt(false);
    return CallEngine(EngineRun);
}

int16_t CNetworkProject::PredictField() const
{
    int16_t field = -1;
    IgnoreErrors([&] {
        if (!m_state.DDO())
            return;
        for (int16_t i = 1; i <= m_state.DDO()->NumFields(); ++i) {
            if (m_state.DDO()->UserMatchType(i) == m_kind.predictRole) {
                field = i;
                return;
            }
        }
    });
    return field;
}

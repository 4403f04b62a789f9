// What training and single predictions of both kinds share: creating the network in the
// engine, the one-row run of a prediction, forgetting a training, the prediction field.
#include "network/networkproject.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/status.h"
#include "data/datadef.h"
#include "engine/korvan_engine.h"
#include "engine/trainpass.h"
#include "network/projectstore.h"

#include <algorithm>
#include <chrono>
#include <limits>

int16_t CNetworkProject::FailureCode(int32_t result)
{
    // A failing answer that is not negative counts as the engine's general refusal.
    if (result >= 0)
        return -1;
    return int16_t(std::max<int32_t>(result, std::numeric_limits<int16_t>::min()));
}

QString CNetworkProject::PredictingText() const
{
    QString name;
    IgnoreErrors([&] { name = m_ddo->FieldName(m_arrays.m_predictField); });
    return QStringLiteral("Predicting ") + name + QStringLiteral("...");
}

bool CNetworkProject::CreateNetwork(bool withTrainingRows, const QString& suffix,
                                    const QString& failureText, const QString& failureTitle)
{
    Status::Message(QStringLiteral("Normalizing..."));
    // A layout without rows, or rows without a layout, is no ground for a network: the engine
    // is not asked, and the next call tries again.
    if (!BuildArrays(0) || !m_netReady || (withTrainingRows && (!BuildArrays(1) || !m_trainBuilt))) {
        m_netReady = false;
        m_dllError = DLLErrNoArrays;
        Status::Message(QString());
        return false;
    }
    Status::Message(PredictingText() + suffix);
    m_dllError = 0;
    m_constantFields.clear();
    const int32_t result = CallEngine(EngineInit);
    if (result == 1) {
        m_networkLost = false;
        return true;
    }
    m_netReady = false;
    // No prediction is under way any more: the status must not say so beside the failure.
    Status::Message(QString());
    if (result == -8 || result == -7) {
        m_dllError = DLLErrConstantField;
        m_constantFields = m_arrays.ConstantFields(*m_ddo, withTrainingRows, PatternKind());
    } else if (result == DLLErrTooFewRows) {
        m_dllError = DLLErrTooFewRows;
    } else {
        m_dllError = FailureCode(result);
        EngineBox(failureText, result, failureTitle);
    }
    return false;
}

bool CNetworkProject::ReadyToTrain(const QString& suffix, const QString& failureText, const QString& failureTitle)
{
    // A failure of an earlier call must not stop a loop that now trains again.
    m_dllError = 0;
    if (!m_netReady) {
        if (!CreateNetwork(true, suffix, failureText, failureTitle))
            return false;
        m_currentError = m_bestError = -1;
        return true;
    }
    if (!m_trainBuilt) {
        Status::Message(QStringLiteral("Normalizing..."));
        if (!BuildArrays(1) || !m_trainBuilt) {
            m_dllError = DLLErrNoArrays;
            Status::Message(QString());
            return false;
        }
        Status::Message(PredictingText() + suffix);
        m_currentError = -1;
    }
    return true;
}

QString CNetworkProject::EngineFailureWords(int32_t code)
{
    switch (code) {
    case KV_ENGINE_ERR_ARGUMENT:
        return QStringLiteral("The engine refused the call: a value, a size or a network parameter is outside what it accepts.");
    case KV_ENGINE_ERR_NO_NETWORK:
        return QStringLiteral("The engine holds no trained network for this project: train it first.");
    case KV_ENGINE_ERR_TOO_FEW_ROWS:
        return QStringLiteral("Too few usable rows: a row with an empty value in a field the network uses is left out.");
    case KV_ENGINE_ERR_LAYOUT:
        return QStringLiteral("The network was made for another number of input fields than the project now has.");
    case KV_ENGINE_ERR_BAD_CLASS:
        return QStringLiteral("A row's class number is outside 0 to 256.");
    case KV_ENGINE_ERR_ZERO_RANGE:
    case KV_ENGINE_ERR_CONSTANT_INPUT:
        return QStringLiteral("An input field holds one value in every usable row: it tells the network nothing.");
    case KV_ENGINE_ERR_NUMERIC:
        return QStringLiteral("The network's arithmetic overflowed: a weight or a prediction is no longer a number. "
                              "Reset the network, or train with a smaller learning rate.");
    case KV_ENGINE_ERR_FILE_IO:
        return QStringLiteral("The engine's network file could not be read or written.");
    case KV_ENGINE_ERR_BAD_FILE:
        return QStringLiteral("The engine's network file is damaged or is not a network file.");
    case KV_ENGINE_ERR_WRONG_KIND:
        return QStringLiteral("The engine's network file holds a network of the other kind.");
    case KV_ENGINE_ERR_CATEGORY_LIMIT:
        return QStringLiteral("The network would need more than %1 category nodes: every training row that fits "
                              "no category makes a new one, and these rows need more than the engine can hold. "
                              "Train on fewer rows, or lower the vigilance.")
            .arg(KV_SFAM_MAX_CATEGORIES);
    case KV_ENGINE_ERR_NO_MEMORY:
        return QStringLiteral("The engine ran out of memory for these rows: train on fewer rows.");
    default:
        return {};
    }
}

void CNetworkProject::EngineBox(const QString& text, int32_t code, const QString& title)
{
    // The code as the box has always given it, then what it means.
    const QString words = EngineFailureWords(code);
    Prompts::MsgBox(text + QString::number(code) + (words.isEmpty() ? QString() : QStringLiteral("\r\n") + words),
                    MsgButtons::Ok, MsgIcon::Critical, title);
}

bool CNetworkProject::ForgetTraining(const QString& title, const std::function<void()>& defaults)
{
    return Procedure(title, [&] {
        DropSavedNetwork();
        defaults();
        m_cyclesCompleted = 0;
        m_currentError = m_bestError = -1;
        m_trainBuilt = m_testBuilt = m_netReady = false;
        m_networkLost = false;
    });
}

bool CNetworkProject::PassOpen() const { return m_pass && m_pass->Open(); }

void CNetworkProject::AbandonPass()
{
    if (m_pass)
        m_pass->Abandon();
}

size_t CNetworkProject::BlockRows(size_t remaining) const
{
    return m_blockRows > 0 ? m_blockRows : m_pacer.NextBlock(remaining);
}

bool CNetworkProject::TrainCall(bool whole, const QString& suffix, const QString& failureText,
                                const QString& failureTitle, const std::function<void(int32_t)>& answered)
{
    // A refused training call ends the prediction the status speaks of, as a refused start does.
    const auto ended = [&](int32_t answer) {
        answered(answer);
        if (m_dllError < 0)
            Status::Message(QString());
    };
    using Clock = std::chrono::steady_clock;
    const auto timed = [&](size_t rows, const std::function<int32_t()>& call) {
        const auto start = Clock::now();
        const int32_t answer = call();
        m_pacer.Measured(rows, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        m_currentError = -1;
        return answer;
    };
    if (!PassOpen()) {
        if (!ReadyToTrain(suffix, failureText, failureTitle))
            return true;
        // A pass that fits one block is the Train command itself.
        const size_t rows = size_t(std::max<int64_t>(m_arrays.m_rows, 0));
        if (whole || rows <= BlockRows(rows)) {
            ended(timed(rows, [&] { return CallEngine(EngineTrain); }));
            return true;
        }
        if (!m_pass)
            m_pass = std::make_unique<kvengine::TrainPass>();
        const int32_t begun = BeginEnginePass(*m_pass);
        if (begun != KV_ENGINE_SUCCESS) {
            m_currentError = -1;
            ended(begun);
            return true;
        }
    }
    const size_t remaining = m_pass->Rows() - m_pass->RowsDone();
    const size_t rows = whole ? remaining : std::min(remaining, BlockRows(remaining));
    const int32_t answer = timed(rows, [&] { return m_pass->Next(rows, &m_cyclesCompleted); });
    if (answer == 0)
        return false;
    ended(answer);
    return true;
}

int32_t CNetworkProject::RunOneRow(const std::vector<double>& values)
{
    AbandonPass();
    m_arrays.BuildOneRow(values, PatternKind());
    m_trainBuilt = m_testBuilt = false;
    return CallEngine(EngineRun);
}

void CNetworkProject::DropSavedNetwork()
{
    kdb::Database db = kdb::Database::Open(ProjectFileName(), false, false);
    ProjectStore(db).DropSnapshots();
    // Only once the project has let it go: a project file that cannot be written keeps both.
    if (m_engineFile.HoldsNetwork())
        m_engineFile.Clear();
}

int16_t CNetworkProject::PredictField() const
{
    int16_t field = -1;
    IgnoreErrors([&] {
        if (!m_ddo)
            return;
        for (int16_t i = 1; i <= m_ddo->NumFields(); ++i) {
            if (m_ddo->UserMatchType(i) == m_kind.predictRole) {
                field = i;
                return;
            }
        }
    });
    return field;
}

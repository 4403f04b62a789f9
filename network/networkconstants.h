// The numbers and markers the network projects, their windows and the engine calls share:
// engine commands, outcome codes, row markers, the configuration's bounds, test outcomes.
#pragma once

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>

// Commands of the engine routines.
enum EngineCommand : int16_t {
    EngineInit = 0,
    EngineTrain = 1,
    EngineRun = 2,
    EngineWrite = 3,
    EngineRead = 4,
    EngineJog = 5,
};

// Outcomes of a network creation that the training windows turn into their own messages.
constexpr int16_t DLLErrConstantField = -8;
constexpr int16_t DLLErrTooFewRows = -3;
// Result entry of a row the engine must skip, and the marker of a row without prediction.
constexpr int16_t UnusableRow = -1;
constexpr double NoPrediction = -123.456;
// The marker as an SFAM project's Test table holds it.
inline QString NoPredictionText() { return QStringLiteral("-123.456"); }
// The one test for the marker: the double the system writes, and the same value after a trip
// through single precision (-123.456001...).
inline bool IsNoPrediction(double value) { return std::fabs(value - NoPrediction) < 1e-4; }
inline bool IsNoPrediction(const QString& text) { return text.trimmed() == NoPredictionText(); }
// DLLError after a training call whose rows could not be read (BuildArrays showed why), so
// that the training loop stops instead of failing again on every call.
constexpr int16_t DLLErrNoArrays = -20;
// A prediction field of an SFAM project has this many classes at least and at most.
constexpr int16_t MinSFamClasses = 2;
constexpr int16_t MaxSFamClasses = 256;
// The hidden-layer node count that the configuration accepts, both bounds allowed.
constexpr int16_t MinHiddenNodes = 2;
constexpr int16_t MaxHiddenNodes = 64;
// The least number of rows in a training range.
constexpr int64_t MinTrainRows = 10;
// The usual hidden-layer size for this many input fields: twice the square root of the inputs
// and the bias, rounded, never below MinHiddenNodes.
inline int16_t DefaultHiddenNodes(int64_t inputCount)
{
    const auto nodes = int16_t(std::floor(2.0 * std::sqrt(double(std::max<int64_t>(inputCount, 0) + 1)) + 0.5));
    return nodes < MinHiddenNodes ? MinHiddenNodes : nodes;
}

// How a test ended. Anything but Done leaves CurrentError -1 and the project file as it was.
enum class TestOutcome {
    Done,           // CurrentError holds the test error; Test holds one row per testing row
    NoNetwork,      // no network is ready: nothing was run, nothing shown
    EngineFailure,  // the engine refused the run (its code was shown)
    NotEnoughData,  // no usable testing row (shown)
    Aborted,        // a run-time error (shown): arrays, project file or Test rows
};

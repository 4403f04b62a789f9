// The workflow flags of the open project (configured, split, trained, tested), kept as one
// byte in the project's Config row 'Process' so that a reopened project resumes where it was.
// `gProcess` is the one instance; its members show their own errors and never raise.
#pragma once

#include <QString>
#include <cstdint>

namespace kdb {
class Database;
}

class CProcess {
public:
    // Bit values of the stored byte.
    static constexpr uint8_t kConfigured = 1;
    static constexpr uint8_t kSplit = 2;
    static constexpr uint8_t kTrained = 4;
    static constexpr uint8_t kTested = 8;

    // Writes the flag byte into Config 'Process'; a missing file or Config table does nothing.
    void Save(const QString& saDBFileName);
    // The same on an open project database, inside the caller's transaction. Raises.
    void Write(kdb::Database& db) const;
    // Clears the four flags, then sets them from Config 'Process'; a missing file, table, row
    // or value leaves them clear.
    void Load(const QString& saDBFileName);

    bool IsConfigured() const { return mConfigured; }
    void SetIsConfigured(bool value) { mConfigured = value; }
    bool IsSplit() const { return mSplit; }
    void SetIsSplit(bool value) { mSplit = value; }
    bool IsTrained() const { return mTrained; }
    void SetIsTrained(bool value) { mTrained = value; }
    bool IsTested() const { return mTested; }
    void SetIsTested(bool value) { mTested = value; }

    // The byte Save writes for the current flags.
    uint8_t Byte() const;

private:
    bool mConfigured = false;
    bool mSplit = false;
    bool mTrained = false;
    bool mTested = false;
};

CProcess& gProcess();

// The one error type of the system: a number, a description and the source that raised it,
// with the catalogue of standard descriptions and the re-raise used by class members.
#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <string>

class KvError : public std::exception {
public:
    // An empty description takes the catalogue's text for the number.
    explicit KvError(int32_t number, QString source = {}, QString description = {});

    int32_t number() const noexcept { return m_number; }
    const QString& source() const noexcept { return m_source; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

    // An error whose box the user has already seen (a helper showed why it could not go on and
    // then raised it to end its caller): the procedures that trap it show no second box.
    bool shown() const noexcept { return m_shown; }
    KvError& MarkShown() noexcept
    {
        m_shown = true;
        return *this;
    }

private:
    int32_t m_number;
    QString m_source;
    QString m_description;
    std::string m_what;
    bool m_shown = false;
};

// Standard descriptions of the run-time and database error numbers the system raises or shows.
namespace ErrorCatalogue {
QString Description(int32_t number);
bool IsKnown(int32_t number);
}

// Frequently raised numbers, named so that call sites read as what they mean.
namespace KvErr {
constexpr int32_t InvalidCall = 5;
constexpr int32_t Overflow = 6;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t SubscriptOutOfRange = 9;
constexpr int32_t DivisionByZero = 11;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t Internal = 51;
constexpr int32_t BadFileName = 52;
constexpr int32_t FileNotFound = 53;
constexpr int32_t FileAlreadyOpen = 55;
constexpr int32_t DeviceIO = 57;
constexpr int32_t FileExists = 58;
constexpr int32_t InputPastEnd = 62;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathFileAccess = 75;
constexpr int32_t PathNotFound = 76;
constexpr int32_t ObjectNotSet = 91;
constexpr int32_t InvalidUseOfNull = 94;
constexpr int32_t InvalidPropertyValue = 380;
constexpr int32_t ObjectRequired = 424;
constexpr int32_t KeyAlreadyUsed = 457;
constexpr int32_t NoCurrentRecord = 3021;
constexpr int32_t DiskFull = 3026;
constexpr int32_t DuplicateKey = 3022;
constexpr int32_t CannotFindFile = 3024;
constexpr int32_t NotAValidPath = 3044;
constexpr int32_t FileInUse = 3045;
constexpr int32_t DatabaseCorrupt = 3049;
constexpr int32_t CouldNotLockFile = 3050;
constexpr int32_t CannotOpenFile = 3051;
constexpr int32_t OperationCancelled = 3059;
constexpr int32_t NoSuchTable = 3078;
constexpr int32_t ItemNotFound = 3265;
constexpr int32_t UnrecognizedFormat = 3343;
}

// Converts whatever is being handled (inside a catch block) into a KvError: a KvError as it is,
// out-of-memory as 7, any other exception as 51 with its message.
KvError CurrentError();

namespace modErrorHandling {
// Raises the error being handled again with `source` as its source; the description stays.
// Outside a handler it raises `number` with the catalogue's description.
[[noreturn]] void RaiseError(int32_t number, const QString& source);

// Runs a class member's body; any failure is re-raised with the member's source text.
template <class Body>
decltype(auto) Member(const char* source, Body&& body)
{
    try {
        return body();
    } catch (...) {
        const KvError e = CurrentError();
        RaiseError(e.number(), QString::fromUtf8(source));
    }
}
} // namespace modErrorHandling

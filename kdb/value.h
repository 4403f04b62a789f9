// One database value (Null, integer, double, text or bytes) as the kdb layer hands it out and
// binds it, with the conversions the callers need, and Jet-style serial dates.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <variant>

namespace kdb {

class Value {
public:
    enum class Type { Null, Integer, Double, Text, Bytes };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : m_v(int64_t(b ? 1 : 0)) {}
    Value(int i) : m_v(int64_t(i)) {}
    Value(long i) : m_v(int64_t(i)) {}
    Value(long long i) : m_v(int64_t(i)) {}
    Value(unsigned i) : m_v(int64_t(i)) {}
    Value(double d) : m_v(d) {}
    Value(float f) : m_v(double(f)) {}
    Value(const QString& s) : m_v(s) {}
    Value(const char* s) : m_v(QString::fromUtf8(s)) {}
    // Bytes are never taken for text: a QByteArray is always a byte value (blob).
    Value(const QByteArray& b) : m_v(b) {}

    Type type() const { return Type(m_v.index()); }
    bool isNull() const { return m_v.index() == 0; }
    bool isNumber() const { return type() == Type::Integer || type() == Type::Double; }

    // Numbers as they are; text when it is a whole number written plainly ("12", " -3 ");
    // a double text is truncated toward zero. Anything else: nullopt.
    std::optional<int64_t> ToInt() const;
    // Numbers as they are; text through its number form ("1.5", "1e3", surrounding blanks
    // allowed; a decimal comma is not a number). Null, bytes and other text: nullopt.
    std::optional<double> ToDouble() const;
    // Convenience forms: the fallback when the conversion fails.
    int64_t toInt(int64_t fallback = 0) const { return ToInt().value_or(fallback); }
    double toDouble(double fallback = 0.0) const { return ToDouble().value_or(fallback); }
    // Text form: Null gives "", integers in decimal, doubles in their shortest round-trip form
    // ("0.5", "1e+20"), bytes as UTF-8.
    QString toText() const;
    // Byte form: bytes as they are, text as UTF-8, numbers in their text form, Null empty.
    QByteArray toBytes() const;

    // Same type and same content (1 and 1.0 are not equal; use ToDouble to compare numbers).
    bool operator==(const Value& other) const { return m_v == other.m_v; }
    bool operator!=(const Value& other) const { return !(*this == other); }

private:
    std::variant<std::monostate, int64_t, double, QString, QByteArray> m_v;
};

// Jet date values are serial days: days since 1899-12-30, the time of day as the fraction.
// Text dates as SQLite and ODBC give them: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS[.fff]",
// "YYYY-MM-DDTHH:MM:SS", "HH:MM:SS", and the unambiguous shorter forms (month, day and hour
// with one digit: "1973-5-1", "8:50"). A form whose order of day and month is open to doubt
// ("05/01/1973") is no date. Numbers are taken as serial days already.
std::optional<double> DateSerial(const Value& v);
std::optional<double> DateSerial(const QString& text);
double DateSerial(const QDateTime& dt);
// The text form in which the layer stores a date: "YYYY-MM-DD HH:MM:SS" (or "YYYY-MM-DD" when
// the time is midnight and dateOnlyWhenMidnight is set).
QString DateText(double serial, bool dateOnlyWhenMidnight = false);
QString DateText(const QDateTime& dt);
QDateTime DateFromSerial(double serial);

} // namespace kdb

#include "kdb/value.h"

#include <QDate>
#include <QTime>
#include <cmath>
#include <limits>

namespace kdb {

namespace {

// Strict number syntax: optional blanks, sign, digits with one optional '.', optional exponent.
std::optional<double> parseNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t) {
        if (!(c.isDigit() || c == u'.' || c == u'-' || c == u'+' || c == u'e' || c == u'E'))
            return std::nullopt;
    }
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

const QDate kEpoch(1899, 12, 30);

} // namespace

std::optional<int64_t> Value::ToInt() const
{
    switch (type()) {
    case Type::Integer:
        return std::get<int64_t>(m_v);
    case Type::Double: {
        const double d = std::get<double>(m_v);
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
            return std::nullopt;
        return int64_t(d);
    }
    case Type::Text: {
        const QString t = std::get<QString>(m_v).trimmed();
        bool ok = false;
        const qlonglong v = t.toLongLong(&ok);
        if (ok)
            return int64_t(v);
        if (const auto d = parseNumber(t); d && std::fabs(*d) <= 9.2e18)
            return int64_t(*d);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> Value::ToDouble() const
{
    switch (type()) {
    case Type::Integer:
        return double(std::get<int64_t>(m_v));
    case Type::Double:
        return std::get<double>(m_v);
    case Type::Text:
        return parseNumber(std::get<QString>(m_v));
    default:
        return std::nullopt;
    }
}

QString Value::toText() const
{
    switch (type()) {
    case Type::Null:
        return {};
    case Type::Integer:
        return QString::number(std::get<int64_t>(m_v));
    case Type::Double:
        return QString::number(std::get<double>(m_v), 'g', QLocale::FloatingPointShortest);
    case Type::Text:
        return std::get<QString>(m_v);
    case Type::Bytes:
        return QString::fromUtf8(std::get<QByteArray>(m_v));
    }
    return {};
}

QByteArray Value::toBytes() const
{
    if (type() == Type::Bytes)
        return std::get<QByteArray>(m_v);
    return toText().toUtf8();
}

std::optional<double> DateSerial(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QString datePart = t;
    QString timePart;
    const qsizetype sep = t.indexOf(u' ');
    qsizetype split = t.indexOf(u'T');
    if (split < 0)
        split = sep;
    if (split > 0) {
        datePart = t.left(split);
        timePart = t.mid(split + 1).trimmed();
    } else if (t.contains(u':')) {
        datePart.clear();
        timePart = t;
    }
    double days = 0.0;
    if (!datePart.isEmpty()) {
        // One or two digits of month and day: the year first, the order is never in doubt.
        const QDate d = QDate::fromString(datePart, QStringLiteral("yyyy-M-d"));
        if (!d.isValid())
            return std::nullopt;
        days = double(kEpoch.daysTo(d));
    }
    if (!timePart.isEmpty()) {
        // The hour with or without its leading zero ("8:50", "08:50:00").
        QTime tm = QTime::fromString(timePart, QStringLiteral("H:mm:ss.zzz"));
        if (!tm.isValid())
            tm = QTime::fromString(timePart, QStringLiteral("H:mm:ss"));
        if (!tm.isValid())
            tm = QTime::fromString(timePart, QStringLiteral("H:mm"));
        if (!tm.isValid()) {
            // fractions of other lengths ("10:00:00.5", "10:00:00.123456")
            const qsizetype dot = timePart.indexOf(u'.');
            if (dot > 0)
                tm = QTime::fromString(timePart.left(dot), QStringLiteral("H:mm:ss"));
            if (!tm.isValid())
                return std::nullopt;
            const double frac = ("0" + timePart.mid(dot)).toDouble();
            tm = tm.addMSecs(int(std::lround(frac * 1000.0)));
        }
        const double f = tm.msecsSinceStartOfDay() / 86400000.0;
        // Jet's serial: negative dates keep a positive time fraction counted away from zero.
        days = days < 0 ? days - f : days + f;
    }
    return days;
}

std::optional<double> DateSerial(const Value& v)
{
    if (v.isNumber())
        return v.ToDouble();
    if (v.type() == Value::Type::Text) {
        if (const auto d = DateSerial(v.toText()))
            return d;
        return v.ToDouble();
    }
    return std::nullopt;
}

double DateSerial(const QDateTime& dt)
{
    const double days = double(kEpoch.daysTo(dt.date()));
    const double f = dt.time().msecsSinceStartOfDay() / 86400000.0;
    return days < 0 ? days - f : days + f;
}

QDateTime DateFromSerial(double serial)
{
    const double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    const QDate d = kEpoch.addDays(qint64(whole));
    qint64 ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000)
        ms = 86400000 - 1;
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString DateText(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DateText(double serial, bool dateOnlyWhenMidnight)
{
    const QDateTime dt = DateFromSerial(serial);
    if (dateOnlyWhenMidnight && dt.time().msecsSinceStartOfDay() == 0)
        return dt.toString(QStringLiteral("yyyy-MM-dd"));
    return DateText(dt);
}

} // namespace kdb

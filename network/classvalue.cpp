#include "network/classvalue.h"

#include <cmath>

QString ClassValueText(const kdb::Value& value)
{
    if (value.type() == kdb::Value::Type::Double) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(int64_t(d));
    }
    return value.toText();
}

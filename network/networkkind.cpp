#include "network/networkkind.h"

#include "network/configtext.h"

#include "core/kverror.h"

QString NetworkKindTexts::Title(const char* member) const
{
    return QString::fromLatin1(className) + QStringLiteral("::") + QString::fromLatin1(member);
}

QString NetworkKindTexts::Source(const char* member) const
{
    return QString::fromLatin1(sourceName) + QLatin1Char(':') + QString::fromLatin1(member)
           + QStringLiteral(" Method");
}

namespace {

// A setting over `member` written by `write` and read back by `read`; a text that cannot be
// read, or a value the setting cannot hold (`expected` says which it can), raises the error
// that names the setting.
template <class T, class Write, class Read>
ConfigSetting Over(const char* key, T& member, Write write, Read read, const char* expected)
{
    const QString name = QString::fromLatin1(key);
    return {name, [&member, write] { return write(member); },
            [&member, read, name, expected](const QString& t) {
                try {
                    member = read(t);
                } catch (const KvError& e) {
                    throw ConfigText::BadSetting(e, QStringLiteral("setting ") + name, t, QString::fromLatin1(expected));
                }
            }};
}

QString Same(const QString& text) { return text; }

// Rows, nodes and cycles are never fewer than none.
template <class Int>
Int counted(Int value)
{
    if (value < 0)
        throw KvError(KvErr::Overflow);
    return value;
}

} // namespace

ConfigSetting TextSetting(const char* key, QString& member)
{
    return Over(key, member, Same, Same, "a text");
}

ConfigSetting CountSetting(const char* key, int32_t& member)
{
    return Over(key, member, ConfigText::FromLong, [](const QString& t) { return counted(ConfigText::ToLong(t)); },
                "a whole number from 0 to 2147483647");
}

ConfigSetting CountSetting(const char* key, int16_t& member)
{
    return Over(key, member, ConfigText::FromLong, [](const QString& t) { return counted(ConfigText::ToInteger(t)); },
                "a whole number from 0 to 32767");
}

ConfigSetting CountViaSingleSetting(const char* key, int16_t& member)
{
    return Over(key, member, ConfigText::FromLong,
                [](const QString& t) { return counted(ConfigText::ToIntegerViaSingle(t)); },
                "a whole number from 0 to 32767");
}

ConfigSetting IntegerSetting(const char* key, int16_t& member)
{
    return Over(key, member, ConfigText::FromLong, ConfigText::ToInteger, "a whole number from -32768 to 32767");
}

ConfigSetting SingleSetting(const char* key, float& member)
{
    return Over(key, member, ConfigText::FromSingle, ConfigText::ToSingle, "a number");
}

ConfigSetting BooleanSetting(const char* key, bool& member)
{
    return Over(key, member, ConfigText::FromBoolean, ConfigText::ToBoolean, "True or False");
}

#include "network/networkkind.h"

#include "network/configtext.h"

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

// A setting over `member` written by `write` and read back by `read`.
template <class T, class Write, class Read>
ConfigSetting Over(const char* key, T& member, Write write, Read read)
{
    return {QString::fromLatin1(key), [&member, write] { return write(member); },
            [&member, read](const QString& t) { member = read(t); }};
}

QString Same(const QString& text) { return text; }

} // namespace

ConfigSetting TextSetting(const char* key, QString& member)
{
    return Over(key, member, Same, Same);
}

ConfigSetting LongSetting(const char* key, int32_t& member)
{
    return Over(key, member, ConfigText::FromLong, ConfigText::ToLong);
}

ConfigSetting IntegerSetting(const char* key, int16_t& member)
{
    return Over(key, member, ConfigText::FromLong, ConfigText::ToInteger);
}

ConfigSetting IntegerViaSingleSetting(const char* key, int16_t& member)
{
    return Over(key, member, ConfigText::FromLong, ConfigText::ToIntegerViaSingle);
}

ConfigSetting SingleSetting(const char* key, float& member)
{
    return Over(key, member, ConfigText::FromSingle, ConfigText::ToSingle);
}

ConfigSetting BooleanSetting(const char* key, bool& member)
{
    return Over(key, member, ConfigText::FromBoolean, ConfigText::ToBoolean);
}

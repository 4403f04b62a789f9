#include "core/regsettings.h"

#include "core/errorbox.h"

#include <QSettings>

namespace {

// The value name "*" is the section's default value; QSettings keeps it under a name that no
// other value of the system uses.
QString valueName(const QString& key)
{
    return key == QLatin1String("*") ? QStringLiteral("(Default)") : key;
}

class Store {
public:
    Store(const CRegSettings& owner, const QString& section)
        : m_settings(QSettings::NativeFormat, QSettings::UserScope, owner.Company(), owner.AppName())
    {
        if (!section.isEmpty())
            m_settings.beginGroup(section);
    }
    QSettings& operator*() { return m_settings; }
    QSettings* operator->() { return &m_settings; }

private:
    QSettings m_settings;
};

bool written(QSettings& settings)
{
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

CRegSettings::CRegSettings() : m_company(DefaultCompany()), m_appName(DefaultAppName()) {}

QString CRegSettings::DefaultCompany()
{
    return QStringLiteral("Veltra");
}

QString CRegSettings::DefaultAppName()
{
    return QStringLiteral("Korvan");
}

void CRegSettings::SetCompany(const QString& company)
{
    m_company = company.isEmpty() ? DefaultCompany() : company.trimmed();
}

void CRegSettings::SetAppName(const QString& appName)
{
    m_appName = appName.isEmpty() ? DefaultAppName() : appName.trimmed();
}

void CRegSettings::SetStorageFolder(const QString& folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

bool CRegSettings::SaveSetting(const QString& section, const QString& key, const QString& setting)
{
    bool ok = false;
    Procedure(QStringLiteral("CRegSettings::SaveSetting"), [&] {
        Store store(*this, section);
        store->setValue(valueName(key), setting);
        ok = written(*store);
    });
    return ok;
}

QString CRegSettings::GetSetting(const QString& section, const QString& key,
                                 const QString& defaultValue)
{
    QString result = defaultValue;
    Procedure(QStringLiteral("CRegSettings::GetSetting"), [&] {
        Store store(*this, section);
        const QVariant value = store->value(valueName(key));
        if (value.isValid())
            result = value.toString();
    });
    return result;
}

bool CRegSettings::DeleteSetting(const QString& section, const QString& key)
{
    bool ok = false;
    Procedure(QStringLiteral("CRegSettings::DeleteSetting"), [&] {
        if (key.isEmpty()) {
            // An empty section here would name the application itself and erase every
            // setting of the program: refuse it.
            if (section.trimmed().isEmpty())
                return;
            Store store(*this, QString());
            if (!store->childGroups().contains(section))
                return;
            store->remove(section);
            ok = written(*store);
        } else {
            Store store(*this, section);
            if (!store->contains(valueName(key)))
                return;
            store->remove(valueName(key));
            ok = written(*store);
        }
    });
    return ok;
}

CRegSettings& gRegSettings()
{
    static CRegSettings settings;
    return settings;
}

void Utilities::SaveSetting(const QString& section, const QString& key, const QString& setting)
{
    IgnoreErrors([&] { gRegSettings().SaveSetting(section, key, setting); });
}

QString Utilities::GetSetting(const QString& section, const QString& key, const QString& defaultValue)
{
    QString result;
    IgnoreErrors([&] { result = gRegSettings().GetSetting(section, key, defaultValue); });
    return result.isEmpty() ? defaultValue : result;
}

void Utilities::DeleteSetting(const QString& section, const QString& key)
{
    IgnoreErrors([&] { gRegSettings().DeleteSetting(section, key); });
}

// The per-user settings store: text values in named sections under company and application,
// kept by QSettings; `gRegSettings` is the one instance, wrapped by the Utilities helpers.
#pragma once

#include <QString>

class CRegSettings {
public:
    CRegSettings();

    void SetCompany(const QString& company);
    QString Company() const { return m_company; }
    void SetAppName(const QString& appName);
    QString AppName() const { return m_appName; }

    // "*" as the key stands for the section's default value.
    bool DeleteSetting(const QString& section, const QString& key);
    QString GetSetting(const QString& section, const QString& key, const QString& defaultValue);
    bool SaveSetting(const QString& section, const QString& key, const QString& setting);

    static QString DefaultCompany();
    static QString DefaultAppName();

    // Points every store of this process at `folder` (tests; never the user's own settings).
    static void SetStorageFolder(const QString& folder);

private:
    QString m_company;
    QString m_appName;
};

CRegSettings& gRegSettings();

namespace Utilities {
void SaveSetting(const QString& section, const QString& key, const QString& setting);
// An empty stored value reads as the default.
QString GetSetting(const QString& section, const QString& key, const QString& defaultValue);
// An empty key removes the whole section.
void DeleteSetting(const QString& section, const QString& key);
}

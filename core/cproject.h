// A keyed list of file names with the defaults a file dialog for the list needs; the
// application keeps one, and every network object keeps one for its project file.
#pragma once

#include "core/cfile.h"

#include <QPointer>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

class CProject {
public:
    // Windows that belong to the project: a keyed list of non-owning references, which turn
    // null when the window is gone (a user may close a listed window at any time).
    struct FormEntry {
        QString key;
        QPointer<QObject> form;
    };
    std::vector<FormEntry>& Forms() { return m_forms; }

    // Adds a file by name, or asks for one with the open dialog when the name is empty;
    // answers the added file, or nullptr when cancelled or failed.
    CFile* AddFile(const QString& fileName);

    void SetExtAllowed(const QString& v) { m_extAllowed = v; }
    QString ExtAllowed() const { return m_extAllowed; }
    void SetExtFilter(const QString& v) { m_extFilter = v; }
    QString ExtFilter() const { return m_extFilter; }
    void SetExtDefault(const QString& v) { m_extDefault = v; }
    QString ExtDefault() const { return m_extDefault; }
    void SetPathDefault(const QString& v) { m_pathDefault = v; }
    QString PathDefault() const { return m_pathDefault; }
    void SetDriveDefault(const QString& v) { m_driveDefault = v; }
    QString DriveDefault() const { return m_driveDefault; }

    CFile* Item(int position) const; // 1-based
    CFile* Item(const QString& key) const;
    int32_t Count() const { return int32_t(m_files.size()); }
    void Remove(int position);
    void Remove(const QString& key);

    auto begin() const { return m_files.begin(); }
    auto end() const { return m_files.end(); }

private:
    struct Entry {
        QString key;
        std::unique_ptr<CFile> file;
    };
    CFile* insert(std::unique_ptr<CFile> file);

    std::vector<Entry> m_files;
    std::vector<FormEntry> m_forms;
    QString m_driveDefault, m_pathDefault, m_extDefault, m_extFilter, m_extAllowed;
};

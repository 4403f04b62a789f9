// One file name and the parts parsed out of it (folder, bare name, extension, existence),
// a few caller-owned flags, and a shortened display form for menus and labels.
#pragma once

#include <QString>
#include <cstdint>

class CFile {
public:
    void SetTrimLength(int16_t length);
    int16_t TrimLength() const { return m_trimLength; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool ReadOnly() const { return m_readOnly; }
    void SetTag(const QString& tag);
    QString Tag() const;
    bool IsOpen() const;
    void SetDirty(bool dirty);
    bool Dirty() const;
    bool Exists() const;
    QString Ext() const;
    QString Name() const;
    // The folder part with its leading and trailing separator ("/home/a/"); empty when the
    // name has no folder.
    QString Path() const;
    // POSIX paths have no drive; kept for the callers that compose names from the parts.
    QString Drive() const;
    void SetFileName(const QString& fileName);
    QString FileName() const;
    // The display form of FileName, at most TrimLength characters long.
    QString TrimPath() const;

private:
    bool ParseProject(const QString& name);

    QString m_fileName;
    QString m_drive;
    QString m_path;
    QString m_name;
    QString m_ext;
    bool m_exists = false;
    bool m_dirty = false;
    bool m_isOpen = false;
    QString m_tag;
    bool m_readOnly = false;
    int16_t m_trimLength = 25;
};

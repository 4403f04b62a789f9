// The saved properties of a self-drawn control inside the window that holds it: values by name,
// each read and written with a default. It remembers the order of reads and writes, so that the
// names, defaults and order of a control's saved properties can be checked.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

class PropertyBag {
public:
    struct Entry {
        QString name;
        QVariant value;
        QVariant defaultValue;
    };

    // The stored value, or `defaultValue` when the name is missing.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) const;
    // Stores (replacing an earlier value of the same name).
    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue);

    bool Contains(const QString& name) const;
    // The stored entry of `name`, or nullptr.
    const Entry* Find(const QString& name) const;
    const std::vector<Entry>& Entries() const { return m_entries; }
    // Names in the order they were read / first written.
    const QStringList& ReadOrder() const { return m_reads; }
    QStringList WriteOrder() const;

private:
    std::vector<Entry> m_entries;
    mutable QStringList m_reads;
};

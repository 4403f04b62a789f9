#include "training/propertybag.h"

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const
{
    m_reads.append(name);
    if (const Entry* entry = Find(name))
        return entry->value;
    return defaultValue;
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue)
{
    for (Entry& entry : m_entries) {
        if (entry.name == name) {
            entry.value = value;
            entry.defaultValue = defaultValue;
            return;
        }
    }
    m_entries.push_back({name, value, defaultValue});
}

bool PropertyBag::Contains(const QString& name) const { return Find(name) != nullptr; }

const PropertyBag::Entry* PropertyBag::Find(const QString& name) const
{
    for (const Entry& entry : m_entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

QStringList PropertyBag::WriteOrder() const
{
    QStringList names;
    for (const Entry& entry : m_entries)
        names.append(entry.name);
    return names;
}

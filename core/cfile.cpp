#include "core/cfile.h"

#include "core/errorbox.h"
#include "core/odbcname.h"
#include "core/pathutils.h"

using modErrorHandling::Member;

namespace {
// A Linux file name may hold any character but the null one ('"', '*', '?', '|', '=' and the
// control characters included); a connect string is the one text that is no file name at all.
bool isRejected(QChar c)
{
    return c.unicode() == 0;
}

// Cuts that never split a character written with two UTF-16 units (an emoji in a folder name).
QString leftChars(const QString& s, qsizetype n)
{
    if (n > 0 && n < s.size() && s.at(n - 1).isHighSurrogate())
        --n;
    return s.left(n);
}

QString rightChars(const QString& s, qsizetype n)
{
    if (n > 0 && n < s.size() && s.at(s.size() - n).isLowSurrogate())
        --n;
    return s.right(n);
}
} // namespace

void CFile::SetTrimLength(int16_t length)
{
    if (length >= 12)
        m_trimLength = length;
}

void CFile::SetTag(const QString& tag)
{
    Member("CFile:Tag Property Let", [&] { m_tag = tag; });
}

QString CFile::Tag() const
{
    return Member("CFile:Tag Property Get", [&] { return m_tag; });
}

bool CFile::IsOpen() const
{
    return Member("CFile:IsOpen Property Get", [&] { return m_isOpen; });
}

void CFile::SetDirty(bool dirty)
{
    Member("CFile:Dirty Property Let", [&] { m_dirty = dirty; });
}

bool CFile::Dirty() const
{
    return Member("CFile:Dirty Property Get", [&] { return m_dirty; });
}

bool CFile::Exists() const
{
    return Member("CFile:Exists Property Get", [&] { return m_exists; });
}

QString CFile::Ext() const
{
    return Member("CFile:Ext Property Get", [&] { return m_ext; });
}

QString CFile::Name() const
{
    return Member("CFile:Name Property Get", [&] { return m_name; });
}

QString CFile::Path() const
{
    return Member("CFile:Path Property Get", [&] { return m_path; });
}

QString CFile::Drive() const
{
    return Member("CFile:Drive Property Get", [&] { return m_drive; });
}

QString CFile::FileName() const
{
    return Member("CFile:FileName Property Get", [&] { return m_fileName; });
}

void CFile::SetFileName(const QString& fileName)
{
    Member("CFile:FileName Property Let", [&] {
        if (fileName.trimmed().isEmpty())
            return;
        if (ParseProject(fileName)) {
            m_fileName = fileName.trimmed();
            if (Utilities::FileExists(m_fileName))
                m_exists = true;
        }
    });
}

bool CFile::ParseProject(const QString& name)
{
    bool accepted = false;
    Procedure(QStringLiteral("CFile::ParseProject"), [&] {
        QString s = name.trimmed();
        if (s.isEmpty())
            return;
        // "/home/a/data/" names the folder "data": the trailing separator goes before parsing.
        if (s.size() > 1 && s.endsWith(QLatin1Char('/')))
            s.chop(1);
        m_path.clear();
        m_drive.clear();
        m_ext.clear();
        m_name.clear();
        m_exists = m_dirty = m_isOpen = false;
        m_fileName = s;
        if (kdb::IsOdbcConnect(s))
            return;

        const int length = int(s.size());
        int extStart = 0;
        bool separatorMet = false;
        for (int i = length; i >= 1; --i) {
            const QChar c = s.at(i - 1);
            if (isRejected(c))
                return;
            if (c == QLatin1Char('.')) {
                if (i != length && extStart == 0 && !separatorMet) {
                    extStart = i + 1;
                    m_ext = s.mid(i);
                }
            } else if (c == QLatin1Char('/') && !separatorMet) {
                separatorMet = true;
                if (extStart > 0)
                    m_name = s.mid(i, extStart - 1 - i - 1);
                else
                    m_name = s.mid(i);
                extStart = -1;
                m_path = s.left(i);
            }
        }
        // A bare name without any folder: the whole text up to the extension is the name.
        if (!separatorMet)
            m_name = extStart > 0 ? s.left(extStart - 2) : s;
        accepted = true;
    });
    return accepted;
}

QString CFile::TrimPath() const
{
    const int n = qMax<int>(12, m_trimLength);
    const QString trimmed = m_fileName.trimmed();
    const QString fallback = rightChars(QString(n, QLatin1Char(' ')) + trimmed, n);
    if (trimmed.size() <= n)
        return trimmed;

    // The last component (a folder keeps its trailing separator) and the folder before it.
    QString name = trimmed;
    QString dir;
    const qsizetype from = trimmed.size() - (trimmed.endsWith(QLatin1Char('/')) ? 2 : 1);
    const qsizetype slash = from >= 0 ? trimmed.lastIndexOf(QLatin1Char('/'), from) : -1;
    if (slash >= 0) {
        name = trimmed.mid(slash + 1);
        dir = trimmed.left(slash + 1);
    }
    if (dir == QLatin1String("/"))
        dir.clear();
    // Only the last dot starts the extension, and the dot is shown only where the name has
    // one: the display must name the file itself ("report.2019.kvp", "README").
    QString dotExt;
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot >= 0) {
        dotExt = name.mid(dot);
        name.truncate(dot);
    }

    if (name.size() == n)
        return name;
    if (name.size() > n)
        return leftChars(name, n - 3) + QStringLiteral("...");
    QString t = name + dotExt;
    if (t.size() == n)
        return t;
    if (t.size() > n)
        return leftChars(name + QStringLiteral("..."), n);
    const QString sep = dir.isEmpty() ? QStringLiteral("/") : QStringLiteral("/...");
    t = sep + name + dotExt;
    if (t.size() == n)
        return t;
    if (t.size() > n)
        return leftChars(sep + name + QStringLiteral("..."), n);
    const int keep = n - int((name + dotExt).size()) - 4;
    if (keep < 0)
        return fallback;
    return leftChars(dir, keep) + QStringLiteral(".../") + name + dotExt;
}

#include "core/widgets/mrulist.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"

#include <QSettings>

namespace {

const QString kFileSection = QStringLiteral("RecentFileList");
const QString kTagSection = QStringLiteral("RecentFileTagList");
const QString kToolName = ToolName::MRUList;

QString key(int n)
{
    return QString::number(n);
}

// Removes the numbered values above `count` from one section. Values left behind a gap would
// otherwise come back as soon as the list grows over the gap again.
void deleteAbove(const QString& section, int count)
{
    QStringList keys;
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, gRegSettings().Company(),
                           gRegSettings().AppName());
        settings.beginGroup(section);
        keys = settings.childKeys();
    }
    for (const QString& k : std::as_const(keys)) {
        bool numeric = false;
        const int n = k.toInt(&numeric);
        if (numeric && n > count)
            Utilities::DeleteSetting(section, k);
    }
}

[[noreturn]] void raiseIndex(const char* source)
{
    throw KvError(KvErr::SubscriptOutOfRange, QString::fromLatin1(source));
}

} // namespace

CMRUList::CMRUList()
{
    Procedure(QStringLiteral("CMRUList::Class_Initialize"), [&] {
        for (int n = 1; n <= MaxLimit; ++n) {
            const QString path = Utilities::GetSetting(kFileSection, key(n), QString());
            if (path.isEmpty())
                break;
            m_files << path;
            m_tags << Utilities::GetSetting(kTagSection, key(n), QString());
        }
        deleteAbove(kFileSection, Count());
        deleteAbove(kTagSection, Count());
        m_maxItems = Count() >= 7 ? Count() : 6;
        m_enabled = true;
        m_visible = true;
    });
}

QString CMRUList::Tag(int index) const
{
    if (index < 1 || index > Count())
        raiseIndex("CMRUList:Tag Property Get");
    return m_tags[index - 1];
}

void CMRUList::SetTag(int index, const QString& tag)
{
    if (index < 1 || index > Count())
        raiseIndex("CMRUList:Tag Property Let");
    m_tags[index - 1] = tag;
    Utilities::SaveSetting(kTagSection, key(index), tag);
}

QString CMRUList::Item(int index) const
{
    if (index < 1 || index > Count())
        raiseIndex("CMRUList:Item Property Get");
    return m_files[index - 1];
}

void CMRUList::SetMaxItems(int maxItems)
{
    // A stored count of 0 or garbage must not wipe the list.
    const int m = qBound(1, maxItems, MaxLimit);
    for (int n = Count(); n > m; --n) {
        IgnoreErrors([&] {
            m_files.removeAt(n - 1);
            m_tags.removeAt(n - 1);
        });
        IgnoreErrors([&] { Utilities::DeleteSetting(kFileSection, key(n)); });
        IgnoreErrors([&] { Utilities::DeleteSetting(kTagSection, key(n)); });
    }
    m_maxItems = m;
    IgnoreErrors([&] { BuildMRU(); });
}

void CMRUList::SetVisible(bool on)
{
    m_visible = on;
    IgnoreErrors([&] { applyToTools(m_enabled, on); });
}

void CMRUList::SetEnabled(bool on)
{
    m_enabled = on;
    IgnoreErrors([&] { applyToTools(on, m_visible); });
}

void CMRUList::applyToTools(bool enabled, bool visible)
{
    if (!m_band)
        return;
    for (int i = m_band->ToolCount() - 1; i >= 0; --i) {
        CBandTool& tool = m_band->ToolAt(i);
        if (tool.Name().contains(kToolName)) {
            tool.SetVisible(visible);
            tool.SetEnabled(enabled);
        }
    }
}

void CMRUList::Add(const QString& fileName)
{
    if (fileName.isEmpty()) {
        Prompts::MsgBox(QStringLiteral("Empty string passed to clsRecentFileList"));
        return;
    }
    Procedure(QStringLiteral("CMRUList::Add"), [&] {
        // File names on this system differ by case: only the same spelling is the same file.
        const qsizetype found = m_files.indexOf(fileName);
        QString tag;
        if (found >= 0) {
            tag = m_tags[found];
            m_files.removeAt(found);
            m_tags.removeAt(found);
        }
        m_files.prepend(fileName);
        m_tags.prepend(tag);
        while (Count() > qMax(1, m_maxItems)) {
            m_files.removeLast();
            m_tags.removeLast();
        }
        saveList();
        BuildMRU();
    });
}

void CMRUList::saveList()
{
    for (int n = 1; n <= Count(); ++n) {
        Utilities::SaveSetting(kFileSection, key(n), m_files[n - 1]);
        Utilities::SaveSetting(kTagSection, key(n), m_tags[n - 1]);
    }
}

void CMRUList::Initialize(CBand* band)
{
    IgnoreErrors([&] {
        if (!band)
            return;
        m_band = band;
        BuildMRU();
    });
}

QString CMRUList::Caption(int index, const QString& path)
{
    // The menu reads "&" as the access-key mark; a path's own "&" must show as itself.
    QString shown = path;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QLatin1Char('&') + QString::number(index) + QLatin1Char(' ') + shown;
}

void CMRUList::BuildMRU()
{
    Procedure(QStringLiteral("CMRUList::BuildMRU"), [&] { buildTools(); });
}

void CMRUList::buildTools()
{
    if (!m_band)
        return;
    CBand& band = *m_band;
    for (int i = band.ToolCount() - 1; i >= 0; --i)
        if (band.ToolAt(i).Name().contains(kToolName))
            band.RemoveTool(i);

    int exitIndex = -1;
    for (int i = band.ToolCount() - 1; i >= 0; --i) {
        CBandTool& tool = band.ToolAt(i);
        if (tool.Name().contains(QLatin1String("xit")) || tool.Caption().contains(QLatin1String("xit"))) {
            tool.SetSeparatorBefore(true);
            exitIndex = i;
            break;
        }
    }

    for (int n = 1; n <= Count(); ++n) {
        ToolSpec spec;
        spec.name = kToolName;
        spec.id = IdBase + n;
        spec.caption = Caption(n, m_files[n - 1]);
        spec.description = QStringLiteral("Open this file");
        spec.tag = n;
        spec.separatorBefore = n == 1;
        CBandTool& tool = band.InsertTool(exitIndex == -1 ? -1 : exitIndex + n - 1, spec);
        tool.SetVisible(m_visible);
        tool.SetEnabled(m_enabled);
    }
}

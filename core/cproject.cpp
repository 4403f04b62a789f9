#include "core/cproject.h"

#include "core/errorbox.h"
#include "core/commondialog.h"

#include <algorithm>

CFile* CProject::insert(std::unique_ptr<CFile> file)
{
    const QString key = QString::number(m_files.size() + 1);
    const bool taken = std::any_of(m_files.begin(), m_files.end(),
                                   [&](const Entry& e) { return e.key == key; });
    if (taken)
        throw KvError(KvErr::KeyAlreadyUsed);
    m_files.push_back({key, std::move(file)});
    return m_files.back().file.get();
}

CFile* CProject::AddFile(const QString& fileName)
{
    CFile* added = nullptr;
    Procedure(QStringLiteral("CProject::AddFile"), [&] {
        auto file = std::make_unique<CFile>();
        if (!fileName.isEmpty()) {
            file->SetFileName(fileName);
            added = insert(std::move(file));
            return;
        }
        CCommonDialog dialog;
        dialog.SetFilter(m_extFilter);
        dialog.ShowOpen();
        if (dialog.UserCancel())
            return;
        file->SetFileName(dialog.FileName());
        if (dialog.Flags() & 1)
            file->SetReadOnly(true);
        added = insert(std::move(file));
    });
    return added;
}

CFile* CProject::Item(int position) const
{
    if (position < 1 || position > int(m_files.size()))
        return nullptr;
    return m_files[size_t(position - 1)].file.get();
}

CFile* CProject::Item(const QString& key) const
{
    for (const Entry& e : m_files)
        if (e.key == key)
            return e.file.get();
    return nullptr;
}

void CProject::Remove(int position)
{
    if (position >= 1 && position <= int(m_files.size()))
        m_files.erase(m_files.begin() + (position - 1));
    if (position >= 1 && position <= int(m_forms.size()))
        m_forms.erase(m_forms.begin() + (position - 1));
}

void CProject::Remove(const QString& key)
{
    if (key.isEmpty())
        return;
    m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                 [&](const Entry& e) { return e.key == key; }),
                  m_files.end());
    m_forms.erase(std::remove_if(m_forms.begin(), m_forms.end(),
                                 [&](const FormEntry& e) { return e.key == key; }),
                  m_forms.end());
}

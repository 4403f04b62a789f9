// The recent-file list: the projects opened last, most recent first, each with a tag text, kept
// in the settings sections "RecentFileList" and "RecentFileTagList" and shown as "miMRUList"
// tools on the File band just before its Exit tool.
#pragma once

#include "core/widgets/commandbar.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class CMRUList {
public:
    // The most entries the list can be set to keep.
    static constexpr int MaxLimit = 18;
    // Numeric identifier of the tool of entry n: IdBase + n.
    static constexpr int IdBase = 98000;

    // Loads the stored list up to its first gap (stale values after a gap are removed).
    CMRUList();
    CMRUList(const CMRUList&) = delete;
    CMRUList& operator=(const CMRUList&) = delete;

    // Entry numbers run from 1 (most recent) to Count; others raise KvError 9.
    QString Tag(int index) const;
    void SetTag(int index, const QString& tag); // saved at once
    QString Item(int index) const;
    int Count() const { return int(m_files.size()); }

    // Lowering it drops the oldest entries from the list and the store. Clamped to 1..18.
    int MaxItems() const { return m_maxItems; }
    void SetMaxItems(int maxItems);

    bool Visible() const { return m_visible; }
    void SetVisible(bool on);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);

    // Puts a file at the top (an entry of the same path, compared exactly, moves up with its
    // tag; a full list drops its oldest), saves the list and rebuilds the tools. An empty text
    // shows "Empty string passed to clsRecentFileList".
    void Add(const QString& fileName);

    // Binds the File band and builds the tools; nullptr does nothing.
    void Initialize(CBand* band);
    CBand* Band() const { return m_band.data(); }

    // The caption of entry n's tool: "&n " and the path, its own "&"s doubled.
    static QString Caption(int index, const QString& path);

private:
    void BuildMRU();
    void buildTools();
    void saveList();
    void applyToTools(bool enabled, bool visible);

    QStringList m_files;
    QStringList m_tags;
    bool m_enabled = false;
    bool m_visible = false;
    int m_maxItems = 0;
    QPointer<CBand> m_band;
};

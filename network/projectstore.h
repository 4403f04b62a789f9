// The project file's reading and writing over an open database: the base tables, the Config
// settings, the field definitions, the saved network, the Test table and the class list.
// Raises KvError and shows nothing; CNetworkProject decides what the user is told.
#pragma once

#include "kdb/kdb.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

class CDataDef;
class WorkProgress;

// The marks the user set on the Test rows, kept by key across a replacement of the table
// (ProjectStore::KeepMarks) and handed to the new rows as they are written: a key that is no
// longer tested loses its mark; a new key has none.
class KeptMarks {
public:
    // The mark kept for `key`, 0 when none. Keys asked in the order their rows were kept cost
    // one comparison each; a key out of that order is found through a table built once.
    int Of(const kdb::Value& key);

private:
    friend class ProjectStore;
    struct Kept {
        kdb::Value key;
        int mark = 0;
    };
    std::vector<Kept> m_kept;
    size_t m_next = 0;
    std::unordered_multimap<size_t, size_t> m_at;
};

class ProjectStore {
public:
    explicit ProjectStore(kdb::Database& db) : m_db(db) {}

    // --- Base tables ---------------------------------------------------------------------
    // Creates FieldConfig, Snapshots and Config in one transaction.
    void MakeTables();
    // Creates the base tables that the database lacks.
    void EnsureBaseTables();
    // True for what a creation killed before its end leaves behind: an empty file, or a
    // database holding nothing but base tables without their settings. False for a file that
    // is not a database or cannot be read: it is the user's.
    static bool IsUnfinishedProject(const QString& path);

    // --- Config --------------------------------------------------------------------------
    // One setting; none when the row is missing or Null, the database is closed or the name
    // empty.
    std::optional<QString> Property(const QString& name);
    // Sets one setting, adding its row when missing.
    void WriteProperty(const QString& name, const QString& value);
    // The workflow step the project was left at.
    void WriteNavigation(int32_t step);

    // --- The link to the source table ----------------------------------------------------
    // The link as it is; none without one.
    std::optional<kdb::TableInfo> LinkInfo();
    // The SQLite file a link reads; empty for a server source.
    static QString LinkedFile(const kdb::TableInfo& link);
    // Links `table` of `source` (a file path or an ODBC connect text), replacing the old link
    // in one step: a source that cannot be reached keeps it.
    void LinkSource(const QString& source, const QString& table);
    // Puts back the link `before` held (no link when it holds none).
    void RestoreLink(const std::optional<kdb::TableInfo>& before);
    // Points the link at the file `dataFile` and stores that name as DatabaseFileName. The two
    // move together: the link first (it keeps the old one when the new file cannot be
    // reached), then the name, and the link goes back when the name cannot be written.
    void MoveDataFile(const QString& dataFile);
    // Compacts the file when at least a quarter of it is free pages: only then is the copy
    // of the whole file that compaction makes worth it.
    void CompactWhenMostlyFree();

    // --- FieldConfig ---------------------------------------------------------------------
    // Replaces the rows by the definition's fields.
    void WriteFieldConfig(const CDataDef& ddo);

    // --- Snapshots -----------------------------------------------------------------------
    // The engine file into the one row of Snapshots and `error` into Config under `errorKey`,
    // in one transaction.
    void WriteSnapshot(const QString& engineFile, const QString& errorKey, const QString& error);
    // Writes the newest saved network into the engine file; false (the file untouched) when
    // nothing is saved.
    bool RestoreSnapshot(const QString& engineFile);
    // Every saved network goes: one left behind would come back at the next open.
    void DropSnapshots();

    // --- Test ----------------------------------------------------------------------------
    // Drops the Test table when there is one and creates it by `statement`. With `progress`
    // running, the drop is its step `step`, and the caller's thread tells it while the drop
    // lasts.
    void ReplaceTestTable(const QString& statement, WorkProgress* progress = nullptr, int step = 0);
    // The marks of the Test rows, read before ReplaceTestTable, in the order of the rows. With
    // `progress` running, the reading is its step `step`.
    KeptMarks KeepMarks(WorkProgress* progress = nullptr, int step = 0);
    // The INSERT of one Test row of each kind: key, predicted[, difference], mark.
    kdb::Statement BackPropTestRows();
    kdb::Statement SFamTestRows();

    // --- Classes -------------------------------------------------------------------------
    // Counts the classes of the linked source's `predictField` into a new Classes table and,
    // when the file has Config, stores `stamp` (what the list was counted from) under
    // `stampKey`, all in one transaction.
    void WriteClassList(const QString& predictField, const QString& stampKey, const QString& stamp);
    // True when the list is there and was counted from what `stamp` describes.
    bool ClassListCounted(const QString& stampKey, const QString& stamp);

private:
    void DropWhileTelling(const QString& drop, int64_t rows, WorkProgress& progress, int step);

    kdb::Database& m_db;
};

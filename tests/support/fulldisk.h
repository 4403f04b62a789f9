// A full disk for the data files, without a small file system: while a FullDisk lives, every
// SQLite connection opened after it writes through a file layer that, once armed, refuses
// each write with "disk full" (what a full disk gives the engine). Reads go on as before.
#pragma once

#include "kdb/kdb.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <optional>

class FullDisk {
public:
    FullDisk()
    {
        s_real = sqlite3_vfs_find(nullptr);
        m_vfs = *s_real;
        m_vfs.zName = "korvan-full-disk";
        m_vfs.szOsFile = int(sizeof(File)) + s_real->szOsFile;
        m_vfs.xOpen = &Open;
        EXPECT_EQ(sqlite3_vfs_register(&m_vfs, 1), SQLITE_OK);
    }
    ~FullDisk()
    {
        s_full = false;
        sqlite3_vfs_unregister(&m_vfs);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    static void Arm(bool full) { s_full = full; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_io_methods methods;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

    static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File* file = Of(f);
        const int rc = s_real->xOpen(s_real, name, file->real(), flags, outFlags);
        if (rc != SQLITE_OK || !file->real()->pMethods) {
            file->base.pMethods = nullptr;
            return rc;
        }
        file->methods = *file->real()->pMethods;
        file->methods.xClose = [](sqlite3_file* g) { return Of(g)->real()->pMethods->xClose(Of(g)->real()); };
        file->methods.xRead = [](sqlite3_file* g, void* b, int n, sqlite3_int64 o) {
            return Of(g)->real()->pMethods->xRead(Of(g)->real(), b, n, o);
        };
        file->methods.xWrite = [](sqlite3_file* g, const void* b, int n, sqlite3_int64 o) {
            return s_full ? SQLITE_FULL : Of(g)->real()->pMethods->xWrite(Of(g)->real(), b, n, o);
        };
        file->methods.xTruncate = [](sqlite3_file* g, sqlite3_int64 size) {
            return Of(g)->real()->pMethods->xTruncate(Of(g)->real(), size);
        };
        file->methods.xSync = [](sqlite3_file* g, int fl) { return Of(g)->real()->pMethods->xSync(Of(g)->real(), fl); };
        file->methods.xFileSize = [](sqlite3_file* g, sqlite3_int64* size) {
            return Of(g)->real()->pMethods->xFileSize(Of(g)->real(), size);
        };
        file->methods.xLock = [](sqlite3_file* g, int l) { return Of(g)->real()->pMethods->xLock(Of(g)->real(), l); };
        file->methods.xUnlock = [](sqlite3_file* g, int l) { return Of(g)->real()->pMethods->xUnlock(Of(g)->real(), l); };
        file->methods.xCheckReservedLock = [](sqlite3_file* g, int* r) {
            return Of(g)->real()->pMethods->xCheckReservedLock(Of(g)->real(), r);
        };
        file->methods.xFileControl = [](sqlite3_file* g, int op, void* a) {
            return Of(g)->real()->pMethods->xFileControl(Of(g)->real(), op, a);
        };
        file->methods.xSectorSize = [](sqlite3_file* g) { return Of(g)->real()->pMethods->xSectorSize(Of(g)->real()); };
        file->methods.xDeviceCharacteristics = [](sqlite3_file* g) {
            return Of(g)->real()->pMethods->xDeviceCharacteristics(Of(g)->real());
        };
        // Shared memory and memory mapping are not offered: the rollback journal goes through
        // the calls above.
        file->methods.iVersion = 1;
        file->methods.xShmMap = nullptr;
        file->methods.xShmLock = nullptr;
        file->methods.xShmBarrier = nullptr;
        file->methods.xShmUnmap = nullptr;
        file->methods.xFetch = nullptr;
        file->methods.xUnfetch = nullptr;
        file->base.pMethods = &file->methods;
        return SQLITE_OK;
    }

    sqlite3_vfs m_vfs{};
    static inline sqlite3_vfs* s_real = nullptr;
    static inline bool s_full = false;
};

// What a save meets while one lives: a full disk (a FullDisk must live around it), or another
// program's write lock on `path` (reads go on; writes wait their time out, then fail as busy).
class SaveRefused {
public:
    SaveRefused(const QString& path, bool fullDisk)
    {
        if (fullDisk) {
            FullDisk::Arm(true);
            return;
        }
        m_other = kdb::Database::Open(path, false, false);
        m_other->Execute(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~SaveRefused() { FullDisk::Arm(false); }
    SaveRefused(const SaveRefused&) = delete;
    SaveRefused& operator=(const SaveRefused&) = delete;

private:
    std::optional<kdb::Database> m_other;
};

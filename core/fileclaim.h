// A claim on a file that every copy of the program sees, whoever runs it (another session, another
// user on a shared folder): a lock file beside the file names the process, host and user that
// hold it. One copy holds a claim at a time; a claim left by a process that ended (killed, or
// its machine restarted) is no claim and is taken over.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

class FileClaim {
public:
    FileClaim();
    ~FileClaim();
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

    // Claims `path` (through its links: every name of a file shares one claim), letting go of
    // what this object held. Raises KvError 3045, naming the holder, while another copy (or
    // another claim of this one) holds it. Where no lock file can be made at all (a folder that
    // cannot be written, which takes no change from anyone either) nothing is claimed and
    // nothing raised.
    void Take(const QString& path);
    void Release();
    bool Held() const;

    // The lock file that claims `path`: beside it, hidden, its name and ".lock".
    static QString LockPath(const QString& path);

private:
    std::unique_ptr<QLockFile> m_lock;
};

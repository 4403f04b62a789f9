// Keeps a second copy of the program from running: the first copy holds a lock file in the
// user's runtime folder for its whole life; a copy that cannot take it ends at once.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

class SingleCopy {
public:
    // `lockFolder` empty: the user's runtime folder ($XDG_RUNTIME_DIR).
    explicit SingleCopy(QString lockFolder = {});
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    // True when no other copy runs: this process now holds the lock, or the lock file cannot
    // be made at all (then Held() is false). Never waits; a lock left behind by a copy that
    // was killed is taken over.
    bool TryAcquire();
    bool Held() const;
    QString LockPath() const { return m_path; }

    static QString DefaultFolder();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

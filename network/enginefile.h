// The engine's working file of one network object: a name of its own in the user's temporary
// folder ("~KV" + five digits + ".Tmp"), reserved when the object is made so that no other
// object or program shares it, and removed (with the engine's in-memory network) at the end.
#pragma once

#include <QByteArray>
#include <QString>

class CEngineFile {
public:
    CEngineFile();
    ~CEngineFile();
    CEngineFile(const CEngineFile&) = delete;
    CEngineFile& operator=(const CEngineFile&) = delete;

    const QString& Name() const { return m_name; }
    // The name as the engine takes it: a zero-terminated byte text in the file system's coding.
    const char* NativeName() const { return m_native.constData(); }

    // True when the file holds something the engine wrote. The reservation itself is an empty
    // file, so an empty file counts as no network.
    bool HoldsNetwork() const;
    // True when the reserved file is no longer there: something outside the program removed
    // it, and whatever network it held with it.
    bool Missing() const;
    // Forgets the stored network but keeps the name reserved (a missing file comes back empty).
    void Clear();

    // Removes the working files (and the engine's half-written ones beside them) in `folder`
    // of the copies of the program that have ended. A running copy, under whatever runtime
    // folder, holds the lock beside each of its files ("~KV" + digits + ".Lck") for as long
    // as the file is its own, so its files stay. Failures are ignored.
    static void RemoveLeftovers(const QString& folder);

private:
    QString m_name;
    QByteArray m_native;
    bool m_reserved = false;
    // The open lock beside the file: the reservation lasts as long as the object, and ends
    // with the process however it ends.
    QString m_lockName;
    int m_lockFd = -1;
};

// Peak resident memory of the benchmark process per phase (Linux: /proc/self).
#pragma once

#include <QByteArray>
#include <QFile>

namespace BenchMemory {

// Starts a new phase: the peak counts from here.
inline void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// The peak since the last reset, in MB.
inline double PeakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& l : f.readAll().split('\n')) {
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace BenchMemory

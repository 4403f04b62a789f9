// Helpers of the kdb tests: private files and small source databases.
#pragma once

#include "kdb/kdb.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <gtest/gtest.h>

namespace kdbtest {

inline QString NewPath(const QString& name)
{
    static int n = 0;
    return TestEnv::NewFolder(QStringLiteral("kdb%1").arg(++n)) + u'/' + name;
}

inline QString OdbcConnect(const QString& file)
{
    return QStringLiteral("ODBC;DRIVER=SQLite3;Database=") + file + QStringLiteral(";NoCreat=1");
}

inline void WriteText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Runs body and answers the KvError number it raised (0: none).
template <class Body>
int ErrorOf(Body&& body)
{
    try {
        body();
    } catch (const KvError& e) {
        return e.number();
    }
    return 0;
}

} // namespace kdbtest

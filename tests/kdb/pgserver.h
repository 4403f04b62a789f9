// A private PostgreSQL server for the tests and benchmarks of ODBC sources: its own data folder
// under /tmp, a unix socket in that folder only, reached through psqlODBC. One server per
// program, started on first use and stopped at exit (its static destructor); a watchdog process stops it too when the
// program dies without running its exit code (a crash, a timeout's kill).
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace pgtest {

class Server {
public:
    // The program's server, started on first use.
    static Server& Get()
    {
        static Server server;
        return server;
    }

    // "ODBC;DRIVER={PostgreSQL Unicode};..." for the server's database `kv`; extra text is
    // appended (e.g. "PWD=x;").
    QString Connect(const QString& extra = {}) const
    {
        return QStringLiteral("ODBC;DRIVER={PostgreSQL Unicode};Servername=%1;Port=%2;"
                              "Database=kv;UID=kv;%3")
            .arg(m_dir)
            .arg(m_port)
            .arg(extra);
    }
    const QString& Folder() const { return m_dir; }
    // The server's log so far.
    QString Log() const
    {
        QFile log(m_dir + QStringLiteral("/log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
    // Logins of the user `kv` so far.
    int Logins() const { return int(Log().count(QStringLiteral("connection authorized: user=kv "))); }

    // Runs SQL through psql (ON_ERROR_STOP); throws with psql's message on failure. Large
    // inputs go through standard input.
    void Sql(const QString& sql, const QString& database = QStringLiteral("kv")) const
    {
        Psql(sql, database);
    }
    // The first value of a query as psql prints it (the server's own result).
    QString Value(const QString& sql) const { return Psql(sql, QStringLiteral("kv")).trimmed(); }

private:
    QString Psql(const QString& sql, const QString& database) const
    {
        QProcess p;
        p.start(Bin(QStringLiteral("psql")),
                {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                 QStringLiteral("-v"),
                 QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), m_dir, QStringLiteral("-p"),
                 QString::number(m_port), QStringLiteral("-U"), QStringLiteral("kv"),
                 QStringLiteral("-d"), database, QStringLiteral("-f"), QStringLiteral("-")});
        p.waitForStarted();
        p.write(sql.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(-1);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            throw std::runtime_error("psql failed: " + p.readAllStandardError().toStdString());
        return QString::fromUtf8(p.readAllStandardOutput());
    }

public:

    // Stops the server (a test of a server gone away) and starts it again.
    // A clean stop: without fsync an immediate one may lose the last commits.
    void Stop()
    {
        pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
        m_running = false;
    }
    // Stops the server at once, as a crash or a pulled cable would: every session ends where it
    // stands.
    void Kill()
    {
        pgCtl({QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        m_running = false;
    }
    void Start()
    {
        pgCtl({QStringLiteral("-o"),
               // Logins and statements go to the log: tests read what the server was asked.
               QStringLiteral("-k %1 -c listen_addresses= -p %2 -c fsync=off -c synchronous_commit=off "
                              "-c full_page_writes=off -c log_connections=on -c log_statement=all")
                   .arg(m_dir)
                   .arg(m_port),
               QStringLiteral("-l"), m_dir + QStringLiteral("/log"), QStringLiteral("-w"),
               QStringLiteral("start")});
        m_running = true;
    }

    ~Server() { Shutdown(); }

private:
    static QString Bin(const QString& tool)
    {
        for (const QString& v : {QStringLiteral("17"), QStringLiteral("16"), QStringLiteral("15"),
                                 QStringLiteral("14"), QStringLiteral("13")}) {
            const QString p = QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(v, tool);
            if (QFile::exists(p))
                return p;
        }
        throw std::runtime_error("PostgreSQL is not installed (scripts/install-deps adds it)");
    }
    static bool Root() { return geteuid() == 0; }
    // The server refuses to run as root: as root, its tools run as the postgres user.
    static QStringList AsServerUser(const QString& program, const QStringList& args)
    {
        if (!Root())
            return QStringList{program} + args;
        return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                           QStringLiteral("--"), program} + args;
    }
    static void Run(const QStringList& command)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(command.first(), command.mid(1));
        p.waitForFinished(-1);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            throw std::runtime_error(command.join(u' ').toStdString() + ": "
                                     + p.readAll().toStdString());
    }
    void pgCtl(const QStringList& args) const
    {
        Run(AsServerUser(Bin(QStringLiteral("pg_ctl")),
                         QStringList{QStringLiteral("-D"), m_dir + QStringLiteral("/data")} + args));
    }
    void GiveToServerUser(const QString& path) const
    {
        if (Root())
            Run({QStringLiteral("chown"), QStringLiteral("-R"), QStringLiteral("postgres:postgres"), path});
    }

    // A data folder made once by initdb and copied for each server: initdb is the slow part.
    QString Template() const
    {
        // One per user and server version (the version folder names the tools' version).
        const QString version = QFileInfo(Bin(QStringLiteral("initdb"))).dir().absolutePath().section(u'/', -2, -2);
        const QString tmpl = QStringLiteral("/tmp/korvan-pgtemplate-%1-%2").arg(version).arg(geteuid());
        if (QFile::exists(tmpl + QStringLiteral("/PG_VERSION")))
            return tmpl;
        QDir().mkpath(m_dir + QStringLiteral("/init"));
        GiveToServerUser(m_dir + QStringLiteral("/init"));
        Run(AsServerUser(Bin(QStringLiteral("initdb")),
                         {QStringLiteral("-D"), m_dir + QStringLiteral("/init/data"), QStringLiteral("-U"),
                          QStringLiteral("kv"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
                          QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N")}));
        // Another program may have won the race: its template is as good as ours.
        if (::rename(QFile::encodeName(m_dir + QStringLiteral("/init/data")).constData(),
                     QFile::encodeName(tmpl).constData()) != 0 && !QFile::exists(tmpl + QStringLiteral("/PG_VERSION")))
            throw std::runtime_error("cannot place the server template");
        QDir(m_dir + QStringLiteral("/init")).removeRecursively();
        return tmpl;
    }

    Server()
    {
        char name[] = "/tmp/kvpg.XXXXXX";   // short: a socket path has about 100 bytes
        if (!mkdtemp(name))
            throw std::runtime_error("no temporary folder for the server");
        m_dir = QString::fromLocal8Bit(name);
        QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                         | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                         | QFile::ExeOther);
        m_port = 5432;
        StartWatchdog();
        const QString tmpl = Template();
        Run({QStringLiteral("cp"), QStringLiteral("-a"), tmpl, m_dir + QStringLiteral("/data")});
        // The role `guarded` logs in only with its password ("right"): the wrong-password case.
        {
            QFile hba(m_dir + QStringLiteral("/data/pg_hba.conf"));
            hba.open(QIODevice::ReadOnly);
            const QByteArray rest = hba.readAll();
            hba.close();
            hba.open(QIODevice::WriteOnly | QIODevice::Truncate);
            hba.write("local all guarded scram-sha-256\n" + rest);
        }
        GiveToServerUser(m_dir);
        Start();
        Sql(QStringLiteral("CREATE DATABASE kv; CREATE ROLE guarded LOGIN PASSWORD 'right';"),
            QStringLiteral("postgres"));
    }

    // Stops the server and removes its folder once this program is gone, however it ends.
    void StartWatchdog() const
    {
        const QString stop = AsServerUser(Bin(QStringLiteral("pg_ctl")),
                                          {QStringLiteral("-D"), m_dir + QStringLiteral("/data"),
                                           QStringLiteral("-m"), QStringLiteral("immediate"),
                                           QStringLiteral("stop")})
                                 .join(u' ');
        const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 0.2; done; "
                                              "%2 >/dev/null 2>&1; rm -rf %3")
                                   .arg(getpid())
                                   .arg(stop, m_dir);
        QProcess::startDetached(QStringLiteral("setsid"),
                                {QStringLiteral("sh"), QStringLiteral("-c"), script});
    }

    void Shutdown()
    {
        if (m_dir.isEmpty())
            return;
        // Plain system(): this may run after the application object is gone.
        if (m_running) {
            const QString stop = AsServerUser(Bin(QStringLiteral("pg_ctl")),
                                              {QStringLiteral("-D"), m_dir + QStringLiteral("/data"),
                                               QStringLiteral("-m"), QStringLiteral("immediate"),
                                               QStringLiteral("-w"), QStringLiteral("stop")})
                                     .join(u' ');
            [[maybe_unused]] const int rc =
                std::system((stop + QStringLiteral(" >/dev/null 2>&1")).toLocal8Bit().constData());
            m_running = false;
        }
        QDir(m_dir).removeRecursively();
        m_dir.clear();
    }

    QString m_dir;
    int m_port = 5432;
    bool m_running = false;
};

} // namespace pgtest

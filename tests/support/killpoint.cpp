#include "tests/support/killpoint.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

pid_t KillPoint::Repeat(const std::function<void()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            for (;;)
                body();
        } catch (...) {
        }
        ::_exit(3);
    }
    return child;
}

pid_t KillPoint::RunSelf(const QString& filter, const QStringList& env)
{
    std::vector<QByteArray> args{QFile::encodeName(QCoreApplication::applicationFilePath()),
                                 QByteArray("--gtest_also_run_disabled_tests"),
                                 QByteArray("--gtest_filter=") + filter.toUtf8()};
    std::vector<QByteArray> vars;
    for (char** e = environ; *e; ++e)
        vars.emplace_back(*e);
    for (const QString& v : env)
        vars.push_back(v.toUtf8());
    std::vector<char*> argv, envp;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (QByteArray& v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    pid_t child = -1;
    if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return child;
}

bool KillPoint::KillWhen(pid_t child, const std::function<bool()>& inside, int timeoutMs)
{
    if (child <= 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    bool landed = false;
    int status = 0;
    while (clock.elapsed() < timeoutMs) {
        if (::waitpid(child, &status, WNOHANG) == child)
            return false;   // ended by itself
        if (!inside()) {
            ::usleep(50);
            continue;
        }
        ::kill(child, SIGSTOP);
        if (::waitpid(child, &status, WUNTRACED) != child || !WIFSTOPPED(status))
            return false;
        if (inside()) {
            landed = true;
            break;
        }
        ::kill(child, SIGCONT);
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) == child && !WIFSIGNALED(status) && !WIFEXITED(status)) {
    }
    return landed;
}

bool KillPoint::IsLiveJournal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(8) == QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
}

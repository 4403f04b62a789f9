// Kills a child process at a moment the test chooses, whatever the machine's speed or load:
// the child is stopped when the moment seems to have come, the moment is checked again while it
// cannot move, and only then is it killed (else it goes on).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

namespace KillPoint {

// A child that runs `body` over and over until it is killed (a fork of this process: for work
// of this thread alone, such as a copy; an exception ends the child).
pid_t Repeat(const std::function<void()>& body);

// This test program again, running only the test `filter` (a disabled one), with the
// environment variables `env` ("NAME=value") added.
pid_t RunSelf(const QString& filter, const QStringList& env);

// Stops the child each time `inside` holds and kills it when `inside` still holds while it is
// stopped; the child is reaped. False (child killed and reaped all the same) when the moment
// did not come within `timeoutMs` or the child ended by itself.
bool KillWhen(pid_t child, const std::function<bool()>& inside, int timeoutMs = 40000);

// True when `path` begins as a rollback journal that a reader would play back: a journal of a
// writer that is not there any more is hot.
bool IsLiveJournal(const QString& path);
}

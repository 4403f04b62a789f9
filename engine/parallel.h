// Work split for the runs over many rows: fixed chunks worked off by a few threads of one set
// kept for the program's life. The chunks do not depend on the number of threads, so results
// combined per chunk come out the same on every machine.
#pragma once

#include <cstddef>
#include <functional>

namespace kvengine {

// Threads worth starting for a job of about `work` multiply-adds: 1 for small jobs, up to the
// machine's hardware threads for large ones.
unsigned ThreadsFor(double work);

// Calls work(chunkIndex, begin, end) for every chunk of [0, count), chunk items at a time, on
// up to `threads` threads; returns when all are done. An exception of a chunk is re-thrown
// here after every thread has ended.
void ForEachChunk(size_t count, size_t chunk, unsigned threads,
                  const std::function<void(size_t, size_t, size_t)>& work);

// Threads the engine has started since the program began.
size_t ThreadsStarted();

}  // namespace kvengine

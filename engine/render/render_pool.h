#pragma once
// A few threads of the renderer's own that share out the tiles of a frame with the thread
// asking for it.

#include <functional>

namespace swf::render {

// Threads drawing a frame, the caller's included (at least 1).
int renderThreads();
void setRenderThreadCount(int threads);  // 0: one per core

// Calls job(0) ... job(count - 1), spread over the threads, and returns when all are done.
// A call made while another is running (from a job, or from a second thread) runs inline.
void runParallel(int count, const std::function<void(int)>& job);

}  // namespace swf::render

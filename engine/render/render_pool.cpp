#include "engine/render/render_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace swf::render {
namespace {

class Pool {
public:
    ~Pool() { resize(0); }

    int threads() {
        std::lock_guard lock(sizing_);
        return int(workers_.size()) + 1;
    }

    void resize(int helpers) {
        std::lock_guard lock(sizing_);
        if (int(workers_.size()) == helpers) return;
        {
            std::lock_guard l(m_);
            quit_ = true;
        }
        wake_.notify_all();
        for (auto& t : workers_) t.join();
        workers_.clear();
        quit_ = false;
        // New helpers count from the batches already run, or they would take a finished one.
        for (int i = 0; i < helpers; ++i)
            workers_.emplace_back([this, seen = batch_] { work(seen); });
    }

    void run(int count, const std::function<void(int)>& job) {
        std::unique_lock busy(sizing_, std::try_to_lock);
        if (!busy.owns_lock() || workers_.empty() || count <= 1) {
            for (int i = 0; i < count; ++i) job(i);
            return;
        }
        {
            std::lock_guard l(m_);
            job_ = &job;
            count_ = count;
            next_.store(0);
            active_ = int(workers_.size());
            ++batch_;
        }
        wake_.notify_all();
        take(job, count);
        std::unique_lock l(m_);
        done_.wait(l, [this] { return active_ == 0; });
        job_ = nullptr;
    }

private:
    void take(const std::function<void(int)>& job, int count) {
        for (int i = next_.fetch_add(1); i < count; i = next_.fetch_add(1)) job(i);
    }

    void work(uint64_t seen) {
        for (;;) {
            std::unique_lock l(m_);
            wake_.wait(l, [&] { return quit_ || batch_ != seen; });
            if (quit_) return;
            seen = batch_;
            const auto* job = job_;
            const int count = count_;
            l.unlock();
            take(*job, count);
            l.lock();
            if (--active_ == 0) done_.notify_one();
        }
    }

    std::mutex sizing_;  // held by a running batch and by resizing
    std::mutex m_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> workers_;
    const std::function<void(int)>* job_ = nullptr;
    int count_ = 0;
    std::atomic<int> next_{0};
    int active_ = 0;      // helpers still on the current batch
    uint64_t batch_ = 0;  // counts batches, so a helper takes each one once
    bool quit_ = false;
};

int cores() { return std::max(1, int(std::thread::hardware_concurrency())); }

Pool& pool() {
    static Pool p;
    static std::once_flag sized;
    std::call_once(sized, [] { p.resize(std::min(cores(), 16) - 1); });
    return p;
}

}  // namespace

int renderThreads() { return pool().threads(); }

void setRenderThreadCount(int threads) {
    if (threads <= 0) threads = cores();
    pool().resize(std::clamp(threads, 1, 64) - 1);
}

void runParallel(int count, const std::function<void(int)>& job) { pool().run(count, job); }

}  // namespace swf::render

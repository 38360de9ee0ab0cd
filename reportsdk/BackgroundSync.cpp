#include "reportsdk/BackgroundSync.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>


namespace BackgroundSync {
namespace {

// Lives for the whole process and is never destroyed, so the detached worker
// never meets a destroyed mutex while the process exits.
struct Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> paths;
};

void SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;  // replaced or removed meanwhile: its successor is queued
    // The library has no log of its own here; a failing disk shows on standard error.
    if (fsync(fd) != 0) std::fprintf(stderr, "sync of %s failed: %s\n", path.c_str(), std::strerror(errno));
    close(fd);
}

void Work(Queue& queue) {
    for (;;) {
        std::unique_lock lock(queue.mutex);
        queue.wake.wait(lock, [&] { return !queue.paths.empty(); });
        const std::string path = std::move(queue.paths.front());
        queue.paths.pop_front();
        lock.unlock();
        SyncFile(path);
    }
}

Queue& StartedQueue() {
    static Queue* queue = [] {
        auto* made = new Queue;
        std::thread(Work, std::ref(*made)).detach();
        return made;
    }();
    return *queue;
}

}  // namespace

void Request(const std::string& path) {
    Queue& queue = StartedQueue();
    {
        std::lock_guard lock(queue.mutex);
        for (const auto& queued : queue.paths)
            if (queued == path) return;
        queue.paths.push_back(path);
    }
    queue.wake.notify_one();
}

}  // namespace BackgroundSync

#pragma once
// Makes files durable without making the caller wait for the disk: a path
// handed over is synced by one worker thread shortly after, repeated requests
// for the same path folded into one. A power cut can then lose only the
// changes of the last moments, and a caller on the window's thread never
// waits behind a download's writes.
#include <string>

namespace BackgroundSync {

// Queues path for an fsync; returns at once.
void Request(const std::string& path);

}  // namespace BackgroundSync

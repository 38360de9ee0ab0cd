#pragma once
// A thread's own stack for signal handlers, so that a handler still runs when
// the thread's normal stack is exhausted.
#include <cstddef>

namespace platform {

class AlternateSignalStack {
public:
    AlternateSignalStack() = default;
    // Switches the thread back to no alternate stack and frees it.
    ~AlternateSignalStack();
    AlternateSignalStack(const AlternateSignalStack&) = delete;
    AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

    // Maps the stack (with a guard page below it) and installs it for the
    // calling thread. The object must belong to that thread. Idempotent.
    bool Install();
    bool Installed() const { return base_ != nullptr; }

    static constexpr std::size_t kSize = 64 * 1024;

private:
    void* base_ = nullptr;
    std::size_t mappedSize_ = 0;
};

// Gives the calling thread its own alternate signal stack, freed when the
// thread ends. Every thread the program starts calls this first, so that a
// fatal-signal handler still runs when that thread overflows its stack.
bool InstallThreadSignalStack();

}  // namespace platform

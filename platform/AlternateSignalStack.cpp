#include "platform/AlternateSignalStack.h"

#include <csignal>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

AlternateSignalStack::~AlternateSignalStack() {
    if (base_ == nullptr) return;
    stack_t disable{};
    disable.ss_flags = SS_DISABLE;
    sigaltstack(&disable, nullptr);
    munmap(base_, mappedSize_);
}

bool AlternateSignalStack::Install() {
    if (base_ != nullptr) return true;
    const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t mapped = kSize + pageSize;
    void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (base == MAP_FAILED) return false;
    // Stacks grow down: a handler that overruns hits the guard, not the heap.
    mprotect(base, pageSize, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(base) + pageSize;
    stack.ss_size = kSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(base, mapped);
        return false;
    }
    base_ = base;
    mappedSize_ = mapped;
    return true;
}

bool InstallThreadSignalStack() {
    thread_local AlternateSignalStack stack;
    return stack.Install();
}

}  // namespace platform

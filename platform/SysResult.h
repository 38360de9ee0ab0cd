#pragma once
// The outcome of system calls whose failure must not pass for an ordinary
// value (a size of 0, a free space of 0): either a value or the errno of the
// call that failed, and for a sequence of calls the name of the failing step.
#include <cerrno>
#include <utility>

namespace platform {

template <typename T>
class SysResult {
public:
    // A value is a success.
    SysResult(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
    static SysResult Failure(int error) {
        SysResult result{T{}};
        result.error_ = error != 0 ? error : EIO;
        return result;
    }

    bool ok() const { return error_ == 0; }
    explicit operator bool() const { return ok(); }
    // errno of the failed call; 0 on success.
    int error() const { return error_; }
    const T& value() const { return value_; }

private:
    T value_{};
    int error_ = 0;
};

// Success, or the errno of the first step that failed and that step's name.
class SysStatus {
public:
    static SysStatus Ok() { return {}; }
    static SysStatus Failure(const char* step, int error) {
        SysStatus status;
        status.step_ = step;
        status.error_ = error != 0 ? error : EIO;
        return status;
    }

    bool ok() const { return error_ == 0; }
    explicit operator bool() const { return ok(); }
    int error() const { return error_; }
    // "write", "fsync", "rename"...; "" on success.
    const char* step() const { return step_; }

private:
    const char* step_ = "";
    int error_ = 0;
};

}  // namespace platform

#pragma once
// Text building for code that runs inside a fatal-signal handler: a fixed
// buffer, no allocation, no locale, no locks. Anything that does not fit is
// cut off (and remembered), never written past the end.
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace platform {

// A calendar time broken down without the C library's time-zone code, which
// takes locks and may allocate.
struct CivilTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The civil time of a moment given as seconds since the epoch plus a fixed
// offset (the local zone's offset from UTC, taken earlier outside the handler).
CivilTime CivilTimeFrom(std::int64_t epochSeconds, int millisecond, long utcOffsetSeconds);

// The current local time, using an offset measured in advance. Async-signal-safe.
CivilTime SignalSafeLocalTime(long utcOffsetSeconds);

// The local zone's current offset from UTC in seconds. Not signal-safe: call
// it beforehand.
long CurrentUtcOffsetSeconds();

class SignalSafeText {
public:
    SignalSafeText(char* buffer, std::size_t capacity);

    SignalSafeText& Append(const char* text);
    SignalSafeText& Append(const char* text, std::size_t length);
    SignalSafeText& AppendChar(char c);
    // Decimal, left-padded with zeros to minDigits.
    SignalSafeText& AppendUnsigned(std::uint64_t value, int minDigits = 1);
    SignalSafeText& AppendSigned(std::int64_t value);
    // "yyyyMMddHHmmssmmm", the stamp of the installer's file names.
    SignalSafeText& AppendStamp17(const CivilTime& time);
    // "yyyy-MM-dd HH:mm:ss,mmm", the logger's date and time.
    SignalSafeText& AppendLogDateTime(const CivilTime& time);

    const char* c_str() const { return buffer_; }
    std::size_t size() const { return length_; }
    bool truncated() const { return truncated_; }
    void Clear();

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool truncated_ = false;
};

// Length of a NUL-terminated text, for handlers that may not call the C library.
std::size_t SignalSafeLength(const char* text);

// Copies text into a fixed buffer with a terminating NUL; false (and an empty
// buffer) when it does not fit.
bool CopyToFixedBuffer(char* buffer, std::size_t capacity, const char* text, std::size_t length);

}  // namespace platform

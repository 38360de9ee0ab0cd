#include "platform/SignalSafeText.h"

#include <time.h>

namespace platform {

namespace {

// Days since 1970-01-01 to a proleptic Gregorian date (the well-known
// era-based conversion; pure integer arithmetic).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

}  // namespace

CivilTime CivilTimeFrom(std::int64_t epochSeconds, int millisecond, long utcOffsetSeconds) {
    const std::int64_t local = epochSeconds + utcOffsetSeconds;
    const std::int64_t days = FloorDiv(local, 86400);
    const std::int64_t secondOfDay = local - days * 86400;
    CivilTime time;
    CivilFromDays(days, time.year, time.month, time.day);
    time.hour = static_cast<int>(secondOfDay / 3600);
    time.minute = static_cast<int>(secondOfDay % 3600 / 60);
    time.second = static_cast<int>(secondOfDay % 60);
    time.millisecond = millisecond;
    return time;
}

CivilTime SignalSafeLocalTime(long utcOffsetSeconds) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return CivilTimeFrom(now.tv_sec, static_cast<int>(now.tv_nsec / 1000000), utcOffsetSeconds);
}

long CurrentUtcOffsetSeconds() {
    const time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local)) return 0;
    return local.tm_gmtoff;
}

SignalSafeText::SignalSafeText(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (capacity_ > 0) buffer_[0] = '\0';
}

void SignalSafeText::Clear() {
    length_ = 0;
    truncated_ = false;
    if (capacity_ > 0) buffer_[0] = '\0';
}

SignalSafeText& SignalSafeText::Append(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) AppendChar(text[i]);
    return *this;
}

SignalSafeText& SignalSafeText::Append(const char* text) {
    return text ? Append(text, SignalSafeLength(text)) : *this;
}

SignalSafeText& SignalSafeText::AppendChar(char c) {
    // One byte always stays free for the terminating NUL.
    if (length_ + 1 >= capacity_) {
        truncated_ = true;
        return *this;
    }
    buffer_[length_++] = c;
    buffer_[length_] = '\0';
    return *this;
}

SignalSafeText& SignalSafeText::AppendUnsigned(std::uint64_t value, int minDigits) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 24);
    for (int pad = count; pad < minDigits; ++pad) AppendChar('0');
    while (count > 0) AppendChar(digits[--count]);
    return *this;
}

SignalSafeText& SignalSafeText::AppendSigned(std::int64_t value) {
    if (value < 0) {
        AppendChar('-');
        // Negating through unsigned keeps INT64_MIN defined.
        return AppendUnsigned(0 - static_cast<std::uint64_t>(value));
    }
    return AppendUnsigned(static_cast<std::uint64_t>(value));
}

SignalSafeText& SignalSafeText::AppendStamp17(const CivilTime& time) {
    AppendUnsigned(static_cast<std::uint64_t>(time.year), 4);
    AppendUnsigned(static_cast<std::uint64_t>(time.month), 2);
    AppendUnsigned(static_cast<std::uint64_t>(time.day), 2);
    AppendUnsigned(static_cast<std::uint64_t>(time.hour), 2);
    AppendUnsigned(static_cast<std::uint64_t>(time.minute), 2);
    AppendUnsigned(static_cast<std::uint64_t>(time.second), 2);
    return AppendUnsigned(static_cast<std::uint64_t>(time.millisecond), 3);
}

SignalSafeText& SignalSafeText::AppendLogDateTime(const CivilTime& time) {
    AppendUnsigned(static_cast<std::uint64_t>(time.year), 4).AppendChar('-');
    AppendUnsigned(static_cast<std::uint64_t>(time.month), 2).AppendChar('-');
    AppendUnsigned(static_cast<std::uint64_t>(time.day), 2).AppendChar(' ');
    AppendUnsigned(static_cast<std::uint64_t>(time.hour), 2).AppendChar(':');
    AppendUnsigned(static_cast<std::uint64_t>(time.minute), 2).AppendChar(':');
    AppendUnsigned(static_cast<std::uint64_t>(time.second), 2).AppendChar(',');
    return AppendUnsigned(static_cast<std::uint64_t>(time.millisecond), 3);
}

std::size_t SignalSafeLength(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

bool CopyToFixedBuffer(char* buffer, std::size_t capacity, const char* text, std::size_t length) {
    if (capacity == 0) return false;
    if (length >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) buffer[i] = text[i];
    buffer[length] = '\0';
    return true;
}

}  // namespace platform

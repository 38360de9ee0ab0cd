#include "platform/MinidumpWriter.h"

#include <atomic>
#include <cerrno>
#include <cpuid.h>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include "platform/MinidumpFormat.h"
#include "platform/SignalSafeText.h"

#if !defined(__x86_64__)
#error "The crash writer knows the x86-64 thread context only."
#endif

extern char** environ;

namespace platform {

namespace {

using namespace minidump;

constexpr std::size_t kMaxMappings = 8192;
constexpr std::size_t kPathArenaSize = 512 * 1024;
constexpr std::size_t kMaxModules = 1024;
constexpr std::size_t kMaxLineLength = 4096 + 256;
// Enough stack for a useful backtrace, small enough that the dump stays a
// few hundred kilobytes.
constexpr std::uintptr_t kStackCaptureLimit = 64 * 1024;
// The System V ABI lets leaf functions use 128 bytes below the stack pointer.
constexpr std::uintptr_t kRedZone = 128;
constexpr std::uintptr_t kCodeAroundInstruction = 256;
constexpr std::uint32_t kTextStreamLimit = 4 * 1024 * 1024;
constexpr std::size_t kMaxNoteBytes = 4096;
constexpr std::size_t kMaxBuildIdBytes = 64;
constexpr std::uint32_t kDirectorySlots = 11;
constexpr std::size_t kPageSize = 4096;

struct Mapping {
    std::uintptr_t start;
    std::uintptr_t end;
    std::uint64_t offset;
    std::uint64_t inode;
    std::uint32_t pathOffset;
    std::uint32_t pathLength;
    bool readable;
};

// Facts read before any crash, because reading them at crash time would
// allocate or take locks.
struct ProcessFacts {
    bool prepared = false;
    std::uint8_t processorCount = 1;
    std::uint32_t kernelMajor = 0;
    std::uint32_t kernelMinor = 0;
    std::uint32_t kernelPatch = 0;
    char kernelText[400] = {};
    // Addresses at which the process's initial environment block may start;
    // stack memory at or above them (in the same mapping) is never copied.
    std::uintptr_t environmentFloors[3] = {};
    CpuInformationX86 cpu = {};
    std::uint16_t processorLevel = 0;
    std::uint16_t processorRevision = 0;
};

// All working storage is static: the writer runs once, on a small
// alternate signal stack, where the heap may be the thing that broke.
ProcessFacts g_facts;
Mapping g_mappings[kMaxMappings];
std::size_t g_mappingCount = 0;
char g_paths[kPathArenaSize];
std::size_t g_pathsUsed = 0;
Module g_modules[kMaxModules];
char g_readBuffer[16384];
char g_line[kMaxLineLength];
std::uint8_t g_noteBuffer[kMaxNoteBytes];
Elf64_Phdr g_programHeaders[64];
std::atomic<bool> g_writing{false};

// ---------------------------------------------------------------------------
// Small parsers and safe memory access

std::uint64_t ParseHex(const char*& cursor) {
    std::uint64_t value = 0;
    for (;; ++cursor) {
        const char c = *cursor;
        if (c >= '0' && c <= '9')
            value = value * 16 + static_cast<std::uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + static_cast<std::uint64_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value = value * 16 + static_cast<std::uint64_t>(c - 'A' + 10);
        else
            return value;
    }
}

std::uint64_t ParseDecimal(const char*& cursor) {
    std::uint64_t value = 0;
    while (*cursor >= '0' && *cursor <= '9') value = value * 10 + static_cast<std::uint64_t>(*cursor++ - '0');
    return value;
}

void SkipBlanks(const char*& cursor) {
    while (*cursor == ' ' || *cursor == '\t') ++cursor;
}

void SkipField(const char*& cursor) {
    while (*cursor != '\0' && *cursor != ' ' && *cursor != '\t') ++cursor;
    SkipBlanks(cursor);
}


// Reads a file line by line into g_line, using only read(2).
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    bool Next() {
        std::size_t length = 0;
        for (;;) {
            if (position_ == filled_) {
                const ssize_t count = read(fd_, g_readBuffer, sizeof g_readBuffer);
                if (count < 0 && errno == EINTR) continue;
                if (count <= 0) {
                    g_line[length] = '\0';
                    return length > 0;
                }
                filled_ = static_cast<std::size_t>(count);
                position_ = 0;
            }
            const char c = g_readBuffer[position_++];
            if (c == '\n') {
                g_line[length] = '\0';
                return true;
            }
            // An over-long line is cut; the rest is read and dropped.
            if (length + 1 < kMaxLineLength) g_line[length++] = c;
        }
    }

private:
    int fd_;
    std::size_t position_ = 0;
    std::size_t filled_ = 0;
};

class ScopedDescriptor {
public:
    explicit ScopedDescriptor(int fd) : fd_(fd) {}
    ~ScopedDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// ---------------------------------------------------------------------------
// /proc/self/maps

const char* PathOf(const Mapping& mapping) { return g_paths + mapping.pathOffset; }

void ParseMapsLine(const char* cursor) {
    if (g_mappingCount == kMaxMappings) return;
    Mapping mapping{};
    mapping.start = ParseHex(cursor);
    if (*cursor++ != '-') return;
    mapping.end = ParseHex(cursor);
    SkipBlanks(cursor);
    mapping.readable = *cursor == 'r';
    SkipField(cursor);
    mapping.offset = ParseHex(cursor);
    SkipBlanks(cursor);
    SkipField(cursor);  // device
    mapping.inode = ParseDecimal(cursor);
    SkipBlanks(cursor);
    const std::size_t pathLength = SignalSafeLength(cursor);
    if (pathLength > 0 && g_pathsUsed + pathLength + 1 <= kPathArenaSize) {
        mapping.pathOffset = static_cast<std::uint32_t>(g_pathsUsed);
        mapping.pathLength = static_cast<std::uint32_t>(pathLength);
        CopyToFixedBuffer(g_paths + g_pathsUsed, pathLength + 1, cursor, pathLength);
        g_pathsUsed += pathLength + 1;
    } else {
        // Offset 0 of the arena always holds an empty text.
        mapping.pathOffset = 0;
        mapping.pathLength = 0;
    }
    g_mappings[g_mappingCount++] = mapping;
}

void ReadMappings() {
    g_mappingCount = 0;
    g_paths[0] = '\0';
    g_pathsUsed = 1;
    ScopedDescriptor maps(open("/proc/self/maps", O_RDONLY | O_CLOEXEC));
    if (maps.get() < 0) return;
    LineReader reader(maps.get());
    while (reader.Next()) ParseMapsLine(g_line);
}

const Mapping* MappingContaining(std::uintptr_t address) {
    for (std::size_t i = 0; i < g_mappingCount; ++i)
        if (address >= g_mappings[i].start && address < g_mappings[i].end) return &g_mappings[i];
    return nullptr;
}

const Mapping* MappingStartingAt(std::uintptr_t address) {
    for (std::size_t i = 0; i < g_mappingCount; ++i)
        if (g_mappings[i].start == address) return &g_mappings[i];
    return nullptr;
}

// Copies process memory without risking a fault: the kernel reports an
// unreadable address as an error instead of a signal. Where a sandbox
// forbids that call, only ranges the maps list as readable are copied.
bool SafeRead(void* destination, std::uintptr_t source, std::size_t size) {
    iovec local{destination, size};
    iovec remote{reinterpret_cast<void*>(source), size};
    if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size)) return true;
    if (errno != EPERM && errno != ENOSYS) return false;
    for (std::uintptr_t cursor = source; cursor < source + size;) {
        const Mapping* mapping = MappingContaining(cursor);
        if (mapping == nullptr || !mapping->readable) return false;
        cursor = mapping->end;
    }
    std::memcpy(destination, reinterpret_cast<const void*>(source), size);
    return true;
}

bool SamePath(const Mapping& a, const Mapping& b) {
    if (a.pathLength != b.pathLength) return false;
    return std::memcmp(PathOf(a), PathOf(b), a.pathLength) == 0;
}

// ---------------------------------------------------------------------------
// The dump file

class DumpFile {
public:
    explicit DumpFile(int fd) : fd_(fd) {}

    bool ok() const { return !failed_; }
    std::uint32_t position() const { return static_cast<std::uint32_t>(position_); }

    std::uint32_t Append(const void* data, std::size_t size) {
        const std::uint32_t rva = position();
        WriteAll(data, size);
        return rva;
    }

    void AlignTo(std::size_t alignment) {
        static const char zeros[16] = {};
        const std::size_t padding = (alignment - position_ % alignment) % alignment;
        if (padding > 0) WriteAll(zeros, padding);
    }

    // Process memory goes straight from the address space to the file;
    // write(2) fails on an unreadable page instead of faulting, and such a
    // page is written as zeros so the offsets stay right.
    std::uint32_t AppendProcessMemory(std::uintptr_t address, std::size_t size) {
        const std::uint32_t rva = position();
        while (size > 0 && !failed_) {
            const std::size_t toPageEnd = kPageSize - (address % kPageSize);
            const std::size_t chunk = size < toPageEnd ? size : toPageEnd;
            if (!WriteAll(reinterpret_cast<const void*>(address), chunk, /*faultIsZeros=*/true)) break;
            address += chunk;
            size -= chunk;
        }
        return rva;
    }

    // The whole of a small file (a /proc text), up to limit bytes.
    LocationDescriptor AppendFileContents(const char* path, std::uint32_t limit) {
        LocationDescriptor location{0, position()};
        ScopedDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
        if (file.get() < 0) return location;
        while (location.dataSize < limit && !failed_) {
            std::size_t wanted = sizeof g_readBuffer;
            if (limit - location.dataSize < wanted) wanted = limit - location.dataSize;
            const ssize_t count = read(file.get(), g_readBuffer, wanted);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) break;
            WriteAll(g_readBuffer, static_cast<std::size_t>(count));
            location.dataSize += static_cast<std::uint32_t>(count);
        }
        return location;
    }

    // A Minidump string: byte length, UTF-16 text, a NUL unit.
    std::uint32_t AppendUtf16String(const char* utf8, std::size_t length) {
        AlignTo(4);
        const std::uint32_t rva = position();
        std::uint32_t byteLength = 0;
        ForEachUtf16Unit(utf8, length, [&](std::uint16_t) { byteLength += 2; });
        WriteAll(&byteLength, sizeof byteLength);
        std::uint16_t units[64];
        std::size_t count = 0;
        ForEachUtf16Unit(utf8, length, [&](std::uint16_t unit) {
            units[count++] = unit;
            if (count == 64) {
                WriteAll(units, sizeof units);
                count = 0;
            }
        });
        units[count++] = 0;
        WriteAll(units, count * sizeof(std::uint16_t));
        return rva;
    }

    void PatchAt(std::uint32_t rva, const void* data, std::size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t count = pwrite(fd_, bytes + done, size - done, static_cast<off_t>(rva + done));
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) {
                failed_ = true;
                return;
            }
            done += static_cast<std::size_t>(count);
        }
    }

private:
    template <typename Sink>
    static void ForEachUtf16Unit(const char* utf8, std::size_t length, Sink sink) {
        std::size_t i = 0;
        while (i < length) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            std::uint32_t codePoint = 0xfffd;
            std::size_t extra = 0;
            if (lead < 0x80) {
                codePoint = lead;
            } else if ((lead & 0xe0) == 0xc0) {
                codePoint = lead & 0x1f;
                extra = 1;
            } else if ((lead & 0xf0) == 0xe0) {
                codePoint = lead & 0x0f;
                extra = 2;
            } else if ((lead & 0xf8) == 0xf0) {
                codePoint = lead & 0x07;
                extra = 3;
            }
            ++i;
            for (std::size_t k = 0; k < extra; ++k, ++i) {
                if (i >= length || (static_cast<unsigned char>(utf8[i]) & 0xc0) != 0x80) {
                    codePoint = 0xfffd;
                    break;
                }
                codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3f);
            }
            if (codePoint >= 0x10000 && codePoint <= 0x10ffff) {
                codePoint -= 0x10000;
                sink(static_cast<std::uint16_t>(0xd800 + (codePoint >> 10)));
                sink(static_cast<std::uint16_t>(0xdc00 + (codePoint & 0x3ff)));
            } else {
                sink(static_cast<std::uint16_t>(codePoint > 0xffff ? 0xfffd : codePoint));
            }
        }
    }

    bool WriteAll(const void* data, std::size_t size, bool faultIsZeros = false) {
        static const char zeros[kPageSize] = {};
        const auto* bytes = static_cast<const char*>(data);
        while (size > 0 && !failed_) {
            // The raw system call: process memory goes to the kernel unchecked
            // by any interposed write() (a sanitizer's would object to
            // reading stack red zones, which is exactly what a dump does).
            const auto count = static_cast<ssize_t>(syscall(SYS_write, fd_, bytes, size));
            if (count < 0 && errno == EINTR) continue;
            if (count < 0 && errno == EFAULT && faultIsZeros && size <= sizeof zeros) {
                bytes = zeros;
                continue;
            }
            if (count <= 0) {
                failed_ = true;
                return false;
            }
            bytes += count;
            size -= static_cast<std::size_t>(count);
            position_ += static_cast<std::uint64_t>(count);
        }
        return !failed_;
    }

    int fd_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};

// Fills the directory slot by slot as each stream is finished.
class StreamDirectory {
public:
    explicit StreamDirectory(DumpFile& file) : file_(file) {}

    void Reserve() {
        const Directory unused[kDirectorySlots] = {};
        rva_ = file_.Append(unused, sizeof unused);
    }

    void Add(std::uint32_t streamType, LocationDescriptor location) {
        if (used_ == kDirectorySlots || !file_.ok()) return;
        const Directory entry{streamType, location};
        file_.PatchAt(rva_ + used_ * static_cast<std::uint32_t>(sizeof(Directory)), &entry, sizeof entry);
        ++used_;
    }

    std::uint32_t rva() const { return rva_; }

private:
    DumpFile& file_;
    std::uint32_t rva_ = 0;
    std::uint32_t used_ = 0;
};

LocationDescriptor Since(const DumpFile& file, std::uint32_t start) {
    return LocationDescriptor{file.position() - start, start};
}

// ---------------------------------------------------------------------------
// Streams

ContextAmd64 ContextFrom(const ucontext_t& context) {
    ContextAmd64 out{};
    const greg_t* registers = context.uc_mcontext.gregs;
    out.contextFlags = kContextAmd64Control | kContextAmd64Integer | kContextAmd64Segments;
    const auto csgsfs = static_cast<std::uint64_t>(registers[REG_CSGSFS]);
    out.cs = static_cast<std::uint16_t>(csgsfs & 0xffff);
    out.gs = static_cast<std::uint16_t>((csgsfs >> 16) & 0xffff);
    out.fs = static_cast<std::uint16_t>((csgsfs >> 32) & 0xffff);
    out.eflags = static_cast<std::uint32_t>(registers[REG_EFL]);
    out.rax = static_cast<std::uint64_t>(registers[REG_RAX]);
    out.rcx = static_cast<std::uint64_t>(registers[REG_RCX]);
    out.rdx = static_cast<std::uint64_t>(registers[REG_RDX]);
    out.rbx = static_cast<std::uint64_t>(registers[REG_RBX]);
    out.rsp = static_cast<std::uint64_t>(registers[REG_RSP]);
    out.rbp = static_cast<std::uint64_t>(registers[REG_RBP]);
    out.rsi = static_cast<std::uint64_t>(registers[REG_RSI]);
    out.rdi = static_cast<std::uint64_t>(registers[REG_RDI]);
    out.r8 = static_cast<std::uint64_t>(registers[REG_R8]);
    out.r9 = static_cast<std::uint64_t>(registers[REG_R9]);
    out.r10 = static_cast<std::uint64_t>(registers[REG_R10]);
    out.r11 = static_cast<std::uint64_t>(registers[REG_R11]);
    out.r12 = static_cast<std::uint64_t>(registers[REG_R12]);
    out.r13 = static_cast<std::uint64_t>(registers[REG_R13]);
    out.r14 = static_cast<std::uint64_t>(registers[REG_R14]);
    out.r15 = static_cast<std::uint64_t>(registers[REG_R15]);
    out.rip = static_cast<std::uint64_t>(registers[REG_RIP]);
    if (context.uc_mcontext.fpregs != nullptr) {
        static_assert(sizeof(*context.uc_mcontext.fpregs) == sizeof(out.floatSave));
        std::memcpy(out.floatSave, context.uc_mcontext.fpregs, sizeof out.floatSave);
        out.mxCsr = context.uc_mcontext.fpregs->mxcsr;
        out.contextFlags |= kContextAmd64FloatingPoint;
    }
    return out;
}

struct MemoryRange {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    bool empty() const { return end <= start; }
};

// From just below the stack pointer upwards, within the stack's mapping,
// capped, and stopping short of the environment block at the top of the
// main thread's stack.
MemoryRange StackRange(std::uintptr_t stackPointer) {
    MemoryRange range;
    const std::uintptr_t low = stackPointer > kRedZone ? stackPointer - kRedZone : stackPointer;
    const Mapping* mapping = MappingContaining(low);
    if (mapping == nullptr) mapping = MappingContaining(stackPointer);
    // A stack overflow leaves the stack pointer in the guard page: take the
    // stack from the readable mapping right above it.
    if (mapping != nullptr && !mapping->readable) mapping = MappingStartingAt(mapping->end);
    if (mapping == nullptr || !mapping->readable) return range;
    range.start = low > mapping->start ? low : mapping->start;
    range.end = mapping->end;
    if (range.end - range.start > kStackCaptureLimit) range.end = range.start + kStackCaptureLimit;
    for (const std::uintptr_t floor : g_facts.environmentFloors) {
        if (floor >= mapping->start && floor < mapping->end && floor < range.end) range.end = floor;
    }
    if (range.end < range.start) range.end = range.start;
    return range;
}

MemoryRange CodeRange(std::uintptr_t instruction) {
    MemoryRange range;
    const Mapping* mapping = MappingContaining(instruction);
    if (mapping == nullptr || !mapping->readable) return range;
    range.start = instruction - mapping->start > kCodeAroundInstruction ? instruction - kCodeAroundInstruction
                                                                        : mapping->start;
    range.end = mapping->end - instruction > kCodeAroundInstruction ? instruction + kCodeAroundInstruction
                                                                    : mapping->end;
    return range;
}

MemoryDescriptor AppendMemory(DumpFile& file, const MemoryRange& range) {
    MemoryDescriptor descriptor{};
    if (range.empty()) return descriptor;
    file.AlignTo(8);
    descriptor.startOfMemoryRange = range.start;
    descriptor.memory.rva = file.AppendProcessMemory(range.start, range.end - range.start);
    descriptor.memory.dataSize = static_cast<std::uint32_t>(range.end - range.start);
    return descriptor;
}

void WriteSystemInfo(DumpFile& file, StreamDirectory& directory) {
    SystemInfo info{};
    info.processorArchitecture = kCpuArchitectureAmd64;
    info.processorLevel = g_facts.processorLevel;
    info.processorRevision = g_facts.processorRevision;
    info.numberOfProcessors = g_facts.processorCount;
    info.majorVersion = g_facts.kernelMajor;
    info.minorVersion = g_facts.kernelMinor;
    info.buildNumber = g_facts.kernelPatch;
    info.platformId = kPlatformIdLinux;
    info.cpu = g_facts.cpu;
    info.csdVersionRva = file.AppendUtf16String(g_facts.kernelText, SignalSafeLength(g_facts.kernelText));
    file.AlignTo(8);
    const std::uint32_t start = file.Append(&info, sizeof info);
    directory.Add(kSystemInfoStream, Since(file, start));
}

std::uint32_t WriteList(DumpFile& file, const void* items, std::uint32_t count, std::size_t itemSize) {
    file.AlignTo(8);
    const std::uint32_t start = file.Append(&count, sizeof count);
    file.Append(items, count * itemSize);
    return start;
}

ExceptionRecord ExceptionFrom(const CrashContext& crash, std::uint64_t instruction) {
    ExceptionRecord record{};
    record.exceptionCode = static_cast<std::uint32_t>(crash.signalNumber);
    std::uint64_t address = instruction;
    if (crash.signalInfo != nullptr) {
        record.exceptionFlags = static_cast<std::uint32_t>(crash.signalInfo->si_code);
        // Only a signal the kernel raised for a fault carries a fault address;
        // for one sent by kill() or abort() the instruction is what matters.
        if (crash.signalInfo->si_code > 0) address = reinterpret_cast<std::uintptr_t>(crash.signalInfo->si_addr);
    }
    record.exceptionAddress = address;
    return record;
}

// The GNU build id of the ELF image mapped at base, read through the
// program headers in memory (not the loader's lists, which need its lock).
std::size_t ReadBuildId(std::uintptr_t base, std::uint8_t* out) {
    Elf64_Ehdr header;
    if (!SafeRead(&header, base, sizeof header)) return 0;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return 0;
    if (header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0 || header.e_phnum > 64) return 0;
    if (!SafeRead(g_programHeaders, base + header.e_phoff, header.e_phnum * sizeof(Elf64_Phdr))) return 0;

    std::uintptr_t lowestLoad = UINTPTR_MAX;
    for (int i = 0; i < header.e_phnum; ++i)
        if (g_programHeaders[i].p_type == PT_LOAD && g_programHeaders[i].p_vaddr < lowestLoad)
            lowestLoad = g_programHeaders[i].p_vaddr;
    if (lowestLoad == UINTPTR_MAX) return 0;
    const std::uintptr_t loadBias = base - (lowestLoad & ~(kPageSize - 1));

    for (int i = 0; i < header.e_phnum; ++i) {
        const Elf64_Phdr& segment = g_programHeaders[i];
        if (segment.p_type != PT_NOTE) continue;
        std::size_t size = segment.p_memsz < kMaxNoteBytes ? segment.p_memsz : kMaxNoteBytes;
        if (!SafeRead(g_noteBuffer, loadBias + segment.p_vaddr, size)) continue;
        std::size_t offset = 0;
        while (offset + sizeof(Elf64_Nhdr) <= size) {
            Elf64_Nhdr note;
            std::memcpy(&note, g_noteBuffer + offset, sizeof note);
            const std::size_t nameStart = offset + sizeof note;
            const std::size_t descStart = nameStart + ((note.n_namesz + 3) & ~std::size_t{3});
            const std::size_t next = descStart + ((note.n_descsz + 3) & ~std::size_t{3});
            if (next > size) break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                std::memcmp(g_noteBuffer + nameStart, "GNU", 4) == 0 && note.n_descsz > 0) {
                const std::size_t length = note.n_descsz < kMaxBuildIdBytes ? note.n_descsz : kMaxBuildIdBytes;
                std::memcpy(out, g_noteBuffer + descStart, length);
                return length;
            }
            offset = next;
        }
    }
    return 0;
}

bool StartsWithElfMagic(std::uintptr_t address) {
    char magic[SELFMAG];
    return SafeRead(magic, address, sizeof magic) && std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

// One module per ELF file mapped from its offset 0, spanning the following
// mappings of the same file.
void WriteModuleList(DumpFile& file, StreamDirectory& directory) {
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < g_mappingCount && count < kMaxModules; ++i) {
        const Mapping& first = g_mappings[i];
        if (first.offset != 0 || first.inode == 0 || first.pathLength == 0 || PathOf(first)[0] != '/') continue;
        if (!first.readable || !StartsWithElfMagic(first.start)) continue;
        std::uintptr_t end = first.end;
        for (std::size_t k = i + 1; k < g_mappingCount; ++k) {
            if (g_mappings[k].inode != first.inode || !SamePath(g_mappings[k], first)) break;
            end = g_mappings[k].end;
        }
        Module& module = g_modules[count++];
        module = Module{};
        module.baseOfImage = first.start;
        module.sizeOfImage = static_cast<std::uint32_t>(end - first.start);
        module.moduleNameRva = file.AppendUtf16String(PathOf(first), first.pathLength);
        std::uint8_t buildId[kMaxBuildIdBytes];
        const std::size_t buildIdLength = ReadBuildId(first.start, buildId);
        if (buildIdLength > 0) {
            file.AlignTo(4);
            const std::uint32_t cvStart = file.Append(&kCodeViewSignatureElf, sizeof kCodeViewSignatureElf);
            file.Append(buildId, buildIdLength);
            module.cvRecord = Since(file, cvStart);
        }
    }
    const std::uint32_t start = WriteList(file, g_modules, count, sizeof(Module));
    directory.Add(kModuleListStream, Since(file, start));
}

void WriteMiscInfo(DumpFile& file, StreamDirectory& directory) {
    MiscInfo info{};
    info.sizeOfInfo = sizeof info;
    info.flags1 = kMiscInfoProcessId;
    info.processId = static_cast<std::uint32_t>(getpid());
    file.AlignTo(4);
    const std::uint32_t start = file.Append(&info, sizeof info);
    directory.Add(kMiscInfoStream, Since(file, start));
}

void WriteTextStream(DumpFile& file, StreamDirectory& directory, std::uint32_t type, const char* path) {
    file.AlignTo(4);
    directory.Add(type, file.AppendFileContents(path, kTextStreamLimit));
}

// ---------------------------------------------------------------------------
// Facts gathered in advance

void ReadKernelFacts() {
    utsname name{};
    if (uname(&name) != 0) return;
    SignalSafeText text(g_facts.kernelText, sizeof g_facts.kernelText);
    text.Append(name.sysname).AppendChar(' ').Append(name.release).AppendChar(' ');
    text.Append(name.version).AppendChar(' ').Append(name.machine);
    const char* cursor = name.release;
    g_facts.kernelMajor = static_cast<std::uint32_t>(ParseDecimal(cursor));
    if (*cursor == '.') ++cursor;
    g_facts.kernelMinor = static_cast<std::uint32_t>(ParseDecimal(cursor));
    if (*cursor == '.') ++cursor;
    g_facts.kernelPatch = static_cast<std::uint32_t>(ParseDecimal(cursor));
}

void ReadCpuFacts() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        g_facts.cpu.vendorId[0] = ebx;
        g_facts.cpu.vendorId[1] = edx;
        g_facts.cpu.vendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        g_facts.cpu.versionInformation = eax;
        g_facts.cpu.featureInformation = edx;
        unsigned family = (eax >> 8) & 0xf;
        unsigned model = (eax >> 4) & 0xf;
        if (family == 0xf) family += (eax >> 20) & 0xff;
        if (family == 0x6 || family >= 0xf) model |= ((eax >> 16) & 0xf) << 4;
        g_facts.processorLevel = static_cast<std::uint16_t>(family);
        g_facts.processorRevision = static_cast<std::uint16_t>((model << 8) | (eax & 0xf));
    }
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx)) g_facts.cpu.amdExtendedCpuFeatures = edx;
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    g_facts.processorCount = static_cast<std::uint8_t>(online < 1 ? 1 : (online > 255 ? 255 : online));
}

// arg_start and env_start of /proc/self/stat (fields 48 and 50), and the
// environment array itself: the initial stack holds these at its top.
void ReadEnvironmentFloors() {
    g_facts.environmentFloors[0] = reinterpret_cast<std::uintptr_t>(environ);
    ScopedDescriptor stat(open("/proc/self/stat", O_RDONLY | O_CLOEXEC));
    if (stat.get() < 0) return;
    LineReader reader(stat.get());
    if (!reader.Next()) return;
    // The command name (field 2) may hold blanks and parentheses; the
    // fields are counted from its closing parenthesis.
    const char* cursor = g_line;
    for (const char* p = g_line; *p != '\0'; ++p)
        if (*p == ')') cursor = p + 1;
    SkipBlanks(cursor);
    for (int field = 3; field < 48 && *cursor != '\0'; ++field) SkipField(cursor);
    g_facts.environmentFloors[1] = static_cast<std::uintptr_t>(ParseDecimal(cursor));
    SkipBlanks(cursor);
    SkipField(cursor);
    g_facts.environmentFloors[2] = static_cast<std::uintptr_t>(ParseDecimal(cursor));
}

}  // namespace

void MinidumpWriter::PrepareProcessFacts() {
    ReadKernelFacts();
    ReadCpuFacts();
    ReadEnvironmentFloors();
    g_facts.prepared = true;
}

bool MinidumpWriter::Write(int fd, const CrashContext& crash) {
    if (g_writing.exchange(true)) return false;
    DumpFile file(fd);
    StreamDirectory directory(file);

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const Header header{kSignature, kVersion, kDirectorySlots, static_cast<std::uint32_t>(sizeof(Header)), 0,
                        static_cast<std::uint32_t>(now.tv_sec), 0};
    file.Append(&header, sizeof header);
    directory.Reserve();

    ReadMappings();
    WriteSystemInfo(file, directory);

    ContextAmd64 context{};
    if (crash.userContext != nullptr) context = ContextFrom(*static_cast<const ucontext_t*>(crash.userContext));
    file.AlignTo(16);
    const std::uint32_t contextStart = file.Append(&context, sizeof context);
    const LocationDescriptor contextLocation = Since(file, contextStart);

    const MemoryDescriptor stack = AppendMemory(file, StackRange(context.rsp));
    const MemoryDescriptor code = AppendMemory(file, CodeRange(context.rip));

    Thread thread{};
    thread.threadId = static_cast<std::uint32_t>(crash.threadId);
    thread.stack = stack;
    thread.threadContext = contextLocation;
    std::uint32_t start = WriteList(file, &thread, 1, sizeof thread);
    directory.Add(kThreadListStream, Since(file, start));

    MemoryDescriptor ranges[2];
    std::uint32_t rangeCount = 0;
    if (stack.memory.dataSize > 0) ranges[rangeCount++] = stack;
    if (code.memory.dataSize > 0) ranges[rangeCount++] = code;
    start = WriteList(file, ranges, rangeCount, sizeof(MemoryDescriptor));
    directory.Add(kMemoryListStream, Since(file, start));

    ExceptionStream exception{};
    exception.threadId = thread.threadId;
    exception.exceptionRecord = ExceptionFrom(crash, context.rip);
    exception.threadContext = contextLocation;
    file.AlignTo(8);
    start = file.Append(&exception, sizeof exception);
    directory.Add(kExceptionStream, Since(file, start));

    WriteMiscInfo(file, directory);
    WriteModuleList(file, directory);
    WriteTextStream(file, directory, kLinuxProcStatusStream, "/proc/self/status");
    WriteTextStream(file, directory, kLinuxCmdLineStream, "/proc/self/cmdline");
    WriteTextStream(file, directory, kLinuxAuxvStream, "/proc/self/auxv");
    WriteTextStream(file, directory, kLinuxMapsStream, "/proc/self/maps");
    WriteTextStream(file, directory, kLinuxCpuInfoStream, "/proc/cpuinfo");

    const bool written = file.ok();
    g_writing = false;
    return written;
}

}  // namespace platform

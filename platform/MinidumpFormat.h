#pragma once
// The records of the Minidump file format that our crash writer emits, laid
// out byte for byte as the format documents them (little-endian, 4-byte
// packing). Readers such as debuggers and stack walkers depend on the exact
// sizes, so each one is checked at compile time.
#include <cstdint>

namespace platform::minidump {

constexpr std::uint32_t kSignature = 0x504d444d;  // "MDMP"
constexpr std::uint32_t kVersion = 0xa793;

enum StreamType : std::uint32_t {
    kUnusedStream = 0,
    kThreadListStream = 3,
    kModuleListStream = 4,
    kMemoryListStream = 5,
    kExceptionStream = 6,
    kSystemInfoStream = 7,
    kMiscInfoStream = 15,
    kLinuxCpuInfoStream = 0x47670003,
    kLinuxProcStatusStream = 0x47670004,
    kLinuxCmdLineStream = 0x47670006,
    kLinuxAuxvStream = 0x47670008,
    kLinuxMapsStream = 0x47670009,
};

constexpr std::uint16_t kCpuArchitectureAmd64 = 9;
constexpr std::uint32_t kPlatformIdLinux = 0x8201;
constexpr std::uint32_t kContextAmd64 = 0x00100000;
constexpr std::uint32_t kContextAmd64Control = kContextAmd64 | 0x1;
constexpr std::uint32_t kContextAmd64Integer = kContextAmd64 | 0x2;
constexpr std::uint32_t kContextAmd64Segments = kContextAmd64 | 0x4;
constexpr std::uint32_t kContextAmd64FloatingPoint = kContextAmd64 | 0x8;
constexpr std::uint32_t kMiscInfoProcessId = 0x1;
constexpr std::uint32_t kCodeViewSignatureElf = 0x4c457042;  // "BpEL"

#pragma pack(push, 4)

struct LocationDescriptor {
    std::uint32_t dataSize;
    std::uint32_t rva;
};

struct MemoryDescriptor {
    std::uint64_t startOfMemoryRange;
    LocationDescriptor memory;
};

struct Header {
    std::uint32_t signature;
    std::uint32_t version;
    std::uint32_t numberOfStreams;
    std::uint32_t streamDirectoryRva;
    std::uint32_t checkSum;
    std::uint32_t timeDateStamp;
    std::uint64_t flags;
};

struct Directory {
    std::uint32_t streamType;
    LocationDescriptor location;
};

struct Thread {
    std::uint32_t threadId;
    std::uint32_t suspendCount;
    std::uint32_t priorityClass;
    std::uint32_t priority;
    std::uint64_t teb;
    MemoryDescriptor stack;
    LocationDescriptor threadContext;
};

struct ExceptionRecord {
    std::uint32_t exceptionCode;   // Linux: the signal number
    std::uint32_t exceptionFlags;  // Linux: si_code
    std::uint64_t exceptionRecord;
    std::uint64_t exceptionAddress;
    std::uint32_t numberParameters;
    std::uint32_t unusedAlignment;
    std::uint64_t exceptionInformation[15];
};

struct ExceptionStream {
    std::uint32_t threadId;
    std::uint32_t alignment;
    ExceptionRecord exceptionRecord;
    LocationDescriptor threadContext;
};

struct CpuInformationX86 {
    std::uint32_t vendorId[3];
    std::uint32_t versionInformation;
    std::uint32_t featureInformation;
    std::uint32_t amdExtendedCpuFeatures;
};

struct SystemInfo {
    std::uint16_t processorArchitecture;
    std::uint16_t processorLevel;
    std::uint16_t processorRevision;
    std::uint8_t numberOfProcessors;
    std::uint8_t productType;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t buildNumber;
    std::uint32_t platformId;
    std::uint32_t csdVersionRva;
    std::uint16_t suiteMask;
    std::uint16_t reserved2;
    CpuInformationX86 cpu;
};

struct FixedFileInfo {
    std::uint32_t signature;
    std::uint32_t structVersion;
    std::uint32_t fileVersionHigh;
    std::uint32_t fileVersionLow;
    std::uint32_t productVersionHigh;
    std::uint32_t productVersionLow;
    std::uint32_t fileFlagsMask;
    std::uint32_t fileFlags;
    std::uint32_t fileOs;
    std::uint32_t fileType;
    std::uint32_t fileSubtype;
    std::uint32_t fileDateHigh;
    std::uint32_t fileDateLow;
};

struct Module {
    std::uint64_t baseOfImage;
    std::uint32_t sizeOfImage;
    std::uint32_t checkSum;
    std::uint32_t timeDateStamp;
    std::uint32_t moduleNameRva;
    FixedFileInfo versionInfo;
    LocationDescriptor cvRecord;
    LocationDescriptor miscRecord;
    std::uint64_t reserved0;
    std::uint64_t reserved1;
};

struct MiscInfo {
    std::uint32_t sizeOfInfo;
    std::uint32_t flags1;
    std::uint32_t processId;
    std::uint32_t processCreateTime;
    std::uint32_t processUserTime;
    std::uint32_t processKernelTime;
};

struct Uint128 {
    std::uint64_t low;
    std::uint64_t high;
};

// The x86-64 thread context; the floating-point area has the FXSAVE layout,
// which is also what the kernel hands a signal handler.
struct ContextAmd64 {
    std::uint64_t parameterHome[6];
    std::uint32_t contextFlags;
    std::uint32_t mxCsr;
    std::uint16_t cs, ds, es, fs, gs, ss;
    std::uint32_t eflags;
    std::uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
    std::uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip;
    std::uint8_t floatSave[512];
    Uint128 vectorRegister[26];
    std::uint64_t vectorControl;
    std::uint64_t debugControl;
    std::uint64_t lastBranchToRip;
    std::uint64_t lastBranchFromRip;
    std::uint64_t lastExceptionToRip;
    std::uint64_t lastExceptionFromRip;
};

#pragma pack(pop)

static_assert(sizeof(LocationDescriptor) == 8);
static_assert(sizeof(MemoryDescriptor) == 16);
static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(ExceptionRecord) == 152);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(CpuInformationX86) == 24);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(FixedFileInfo) == 52);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(MiscInfo) == 24);
static_assert(sizeof(ContextAmd64) == 1232);
static_assert(__builtin_offsetof(ContextAmd64, contextFlags) == 48);
static_assert(__builtin_offsetof(ContextAmd64, rax) == 120);
static_assert(__builtin_offsetof(ContextAmd64, rip) == 248);
static_assert(__builtin_offsetof(ContextAmd64, floatSave) == 256);

}  // namespace platform::minidump

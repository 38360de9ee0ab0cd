#include <optional>

#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <cstddef>
#include <fstream>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "platform/AlternateSignalStack.h"
#include "platform/MinidumpWriter.h"
#include "platform/Process.h"
#include "support/MinidumpReader.h"
#include "support/TempDir.h"

using testsupport::MinidumpReader;

// The crashing side runs in a fresh copy of this test program, started with
// ZEMBRA_MINIDUMP_CHILD set, so that its environment sits at the top of its
// main stack exactly as in a real program.
namespace {

constexpr const char* kPrivateMarker = "ZEMBRA_PRIVATE_MARKER=do-not-dump-7f3a9c";

const char* g_dumpPath = nullptr;

void WriteDumpAndDie(int signalNumber, siginfo_t* info, void* context) {
    const int fd = open(g_dumpPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const platform::CrashContext crash{signalNumber, info, context, static_cast<pid_t>(syscall(SYS_gettid))};
    platform::MinidumpWriter::Write(fd, crash);
    close(fd);
    signal(signalNumber, SIG_DFL);
    if (info->si_code <= 0) syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), signalNumber);
}

extern "C" __attribute__((noinline, no_sanitize("undefined"))) void MinidumpTestNullWrite() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

volatile int g_divisor = 0;

extern "C" __attribute__((noinline, no_sanitize("undefined"))) int MinidumpTestDivide() { return 100 / g_divisor; }

volatile long g_recursionLimit = 1L << 40;

extern "C" __attribute__((noinline)) long MinidumpTestRecurse(long depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth > g_recursionLimit) return depth;
    return MinidumpTestRecurse(depth + 1) + frame[0];
}

// Some sandboxes refuse process_vm_readv; this one answers EPERM.
void RefuseReadingOtherMemory() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_process_vm_readv, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
}

[[noreturn]] void RunCrashChild(const std::string& scenario) {
    g_dumpPath = std::getenv("ZEMBRA_MINIDUMP_PATH");
    platform::MinidumpWriter::PrepareProcessFacts();
    static platform::AlternateSignalStack mainStack;
    mainStack.Install();
    struct sigaction action{};
    action.sa_sigaction = WriteDumpAndDie;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigfillset(&action.sa_mask);
    for (const int signalNumber : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(signalNumber, &action, nullptr);

    if (scenario == "null") MinidumpTestNullWrite();
    if (scenario == "divide") MinidumpTestDivide();
    if (scenario == "abort") std::abort();
    if (scenario == "overflow") {
        std::thread([] {
            platform::AlternateSignalStack stack;
            stack.Install();
            MinidumpTestRecurse(0);
        }).join();
    }
    if (scenario == "sandboxed") {
        RefuseReadingOtherMemory();
        MinidumpTestNullWrite();
    }
    if (scenario == "small-file") {
        // The file may not grow beyond 6000 bytes: the writer stops midway.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{6000, 6000};
        setrlimit(RLIMIT_FSIZE, &limit);
        MinidumpTestNullWrite();
    }
    _exit(3);
}

const bool g_isCrashChild = [] {
    if (const char* scenario = std::getenv("ZEMBRA_MINIDUMP_CHILD")) RunCrashChild(scenario);
    return false;
}();

struct CrashedChild {
    int exitCode = -1;
    std::string dumpPath;
};

CrashedChild CrashChild(const testsupport::TempDir& dir, const std::string& scenario) {
    CrashedChild child;
    child.dumpPath = dir.str() + "/" + scenario + ".dmp";
    platform::SpawnOptions options;
    options.extraEnvironment = {"ZEMBRA_MINIDUMP_CHILD=" + scenario, "ZEMBRA_MINIDUMP_PATH=" + child.dumpPath,
                                kPrivateMarker};
    const pid_t pid = platform::SpawnProcess({platform::CurrentExecutablePath()}, options);
    if (pid < 0) return child;
    const auto result = platform::WaitForProcess(pid, 120000);
    if (!result.exited) platform::TerminateProcess(pid);
    child.exitCode = result.exitCode;
    return child;
}

MinidumpReader LoadDump(const std::string& path) {
    std::string error;
    auto dump = MinidumpReader::Load(path, &error);
    EXPECT_TRUE(dump.has_value()) << path << ": " << error;
    return dump.value_or(MinidumpReader{});
}

const MinidumpReader::Memory* RangeHolding(const std::vector<MinidumpReader::Memory>& ranges, std::uint64_t address) {
    for (const auto& range : ranges)
        if (address >= range.start && address < range.start + range.size) return &range;
    return nullptr;
}

// Where this test program's own image starts in this process.
std::uint64_t OwnImageBase() {
    std::ifstream maps("/proc/self/maps");
    const std::string exe = platform::CurrentExecutablePath();
    std::string line;
    while (std::getline(maps, line)) {
        if (line.size() > exe.size() && line.compare(line.size() - exe.size(), exe.size(), exe) == 0)
            return std::stoull(line.substr(0, line.find('-')), nullptr, 16);
    }
    return 0;
}

class MinidumpWriterTest : public testing::Test {
protected:
    testsupport::TempDir dir_;
};

}  // namespace

TEST_F(MinidumpWriterTest, NullWriteLeavesTheFaultTheCodeAndTheStack) {
    const auto child = CrashChild(dir_, "null");
    EXPECT_EQ(child.exitCode, 128 + SIGSEGV);
    const MinidumpReader dump = LoadDump(child.dumpPath);
    EXPECT_EQ(dump.version() & 0xffff, 0xa793u);
    EXPECT_EQ(dump.streams().size(), 11u) << "every stream made it";

    const auto exception = dump.ExceptionRecord();
    ASSERT_TRUE(exception);
    EXPECT_EQ(exception->code, static_cast<std::uint32_t>(SIGSEGV));
    EXPECT_EQ(exception->flags, static_cast<std::uint32_t>(SEGV_MAPERR));
    EXPECT_EQ(exception->address, 0u);

    const auto threads = dump.Threads();
    ASSERT_EQ(threads.size(), 1u) << "only the crashing thread";
    EXPECT_EQ(threads[0].threadId, exception->threadId);
    EXPECT_EQ(threads[0].contextRva, exception->contextRva);
    const auto rip = dump.ContextRip(exception->contextRva);
    const auto rsp = dump.ContextRsp(exception->contextRva);
    ASSERT_TRUE(rip && rsp);

    const auto ranges = dump.MemoryList();
    const auto* stack = RangeHolding(ranges, *rsp);
    ASSERT_NE(stack, nullptr) << "the stack around the stack pointer is in the dump";
    EXPECT_EQ(stack->start, threads[0].stack.start);
    const auto* code = RangeHolding(ranges, *rip);
    ASSERT_NE(code, nullptr) << "the code around the faulting instruction is in the dump";

    // The code bytes equal this program's own bytes at the same image offset.
    const std::string exe = platform::CurrentExecutablePath();
    std::uint64_t childBase = 0;
    for (const auto& module : dump.Modules())
        if (module.name == exe) childBase = module.base;
    ASSERT_NE(childBase, 0u) << "the program is in the module list";
    const auto* here = reinterpret_cast<const char*>(OwnImageBase() + (*rip - childBase));
    const std::string dumped = dump.bytes().substr(code->rva + (*rip - code->start), 8);
    EXPECT_EQ(dumped, std::string(here, 8));
}

TEST_F(MinidumpWriterTest, ModulesCarryTheirBuildIdsAndTheLinuxStreamsTheirTexts) {
    const auto child = CrashChild(dir_, "null");
    const MinidumpReader dump = LoadDump(child.dumpPath);
    const std::string exe = platform::CurrentExecutablePath();
    bool sawProgram = false;
    bool sawLibc = false;
    for (const auto& module : dump.Modules()) {
        if (module.name == exe) {
            sawProgram = true;
            EXPECT_EQ(module.buildIdHex, testsupport::BuildIdOfElfFile(exe));
            EXPECT_FALSE(module.buildIdHex.empty());
        }
        if (module.name.find("/libc.so") != std::string::npos) {
            sawLibc = true;
            EXPECT_EQ(module.buildIdHex, testsupport::BuildIdOfElfFile(module.name));
        }
    }
    EXPECT_TRUE(sawProgram);
    EXPECT_TRUE(sawLibc);

    EXPECT_NE(dump.StreamBytes(0x47670009).find(exe), std::string::npos) << "maps";
    EXPECT_EQ(dump.StreamBytes(0x47670004).rfind("Name:", 0), 0u) << "status";
    EXPECT_EQ(dump.StreamBytes(0x47670006), exe + std::string(1, '\0')) << "cmdline";
    EXPECT_NE(dump.StreamBytes(0x47670003).find("processor"), std::string::npos) << "cpuinfo";
    EXPECT_FALSE(dump.StreamBytes(0x47670008).empty()) << "auxv";
    EXPECT_TRUE(dump.Find(7).has_value()) << "system info";
}

TEST_F(MinidumpWriterTest, BuildIdsAreFoundEvenWhereASandboxRefusesMemoryReads) {
    const auto child = CrashChild(dir_, "sandboxed");
    EXPECT_EQ(child.exitCode, 128 + SIGSEGV);
    const MinidumpReader dump = LoadDump(child.dumpPath);
    const std::string exe = platform::CurrentExecutablePath();
    const auto modules = dump.Modules();
    const auto program = std::find_if(modules.begin(), modules.end(), [&](const auto& m) { return m.name == exe; });
    ASSERT_NE(program, modules.end());
    EXPECT_EQ(program->buildIdHex, testsupport::BuildIdOfElfFile(exe));
}

TEST_F(MinidumpWriterTest, TheEnvironmentNeverReachesTheDump) {
    for (const char* scenario : {"null", "abort", "overflow"}) {
        const auto child = CrashChild(dir_, scenario);
        const MinidumpReader dump = LoadDump(child.dumpPath);
        ASSERT_FALSE(dump.bytes().empty()) << scenario;
        EXPECT_EQ(dump.bytes().find("do-not-dump-7f3a9c"), std::string::npos) << scenario;
        EXPECT_EQ(dump.bytes().find("ZEMBRA_MINIDUMP_PATH"), std::string::npos) << scenario;
    }
}

TEST_F(MinidumpWriterTest, SignalsSentByAbortAndArithmeticFaultsAreRecorded) {
    struct Case {
        const char* scenario;
        int signalNumber;
        std::optional<std::uint32_t> flags;
    };
    for (const Case& crash : {Case{"abort", SIGABRT, std::nullopt}, Case{"divide", SIGFPE, FPE_INTDIV}}) {
        const auto child = CrashChild(dir_, crash.scenario);
        EXPECT_EQ(child.exitCode, 128 + crash.signalNumber) << crash.scenario;
        const MinidumpReader dump = LoadDump(child.dumpPath);
        const auto exception = dump.ExceptionRecord();
        ASSERT_TRUE(exception) << crash.scenario;
        EXPECT_EQ(exception->code, static_cast<std::uint32_t>(crash.signalNumber));
        if (crash.flags) {
            EXPECT_EQ(exception->flags, *crash.flags);
        }
        // A sent signal has no fault address, and a division fault's is the
        // instruction itself: either way the instruction stands in.
        EXPECT_EQ(exception->address, dump.ContextRip(exception->contextRva).value_or(~exception->address))
            << crash.scenario;
    }
}

TEST_F(MinidumpWriterTest, StackOverflowOnAWorkerThreadStillLeavesItsStack) {
    const auto child = CrashChild(dir_, "overflow");
    EXPECT_EQ(child.exitCode, 128 + SIGSEGV);
    const MinidumpReader dump = LoadDump(child.dumpPath);
    const auto exception = dump.ExceptionRecord();
    ASSERT_TRUE(exception);
    EXPECT_EQ(exception->code, static_cast<std::uint32_t>(SIGSEGV));
    const auto threads = dump.Threads();
    ASSERT_EQ(threads.size(), 1u);
    const std::string status = dump.StreamBytes(0x47670004);
    const auto pidLine = status.find("\nPid:\t");
    ASSERT_NE(pidLine, std::string::npos);
    EXPECT_NE(std::to_string(threads[0].threadId), status.substr(pidLine + 6, status.find('\n', pidLine + 1) - pidLine - 6))
        << "the crashing thread is the worker, not the main thread";
    EXPECT_GT(threads[0].stack.size, 1024u);
    // The overflowed stack is full of recursion frames whose return
    // addresses point back into the program.
    EXPECT_NE(RangeHolding(dump.MemoryList(), threads[0].stack.start), nullptr);
}

TEST_F(MinidumpWriterTest, ADumpCutShortStillNamesTheStreamsThatMadeIt) {
    const auto child = CrashChild(dir_, "small-file");
    EXPECT_EQ(child.exitCode, 128 + SIGSEGV);
    const MinidumpReader dump = LoadDump(child.dumpPath);
    EXPECT_LE(dump.bytes().size(), 6000u);
    EXPECT_GE(dump.streams().size(), 4u);
    EXPECT_LT(dump.streams().size(), 11u);
    EXPECT_TRUE(dump.Find(7).has_value()) << "system info comes first";
    EXPECT_TRUE(dump.Find(3).has_value()) << "then the crashing thread";
    EXPECT_TRUE(dump.ExceptionRecord().has_value()) << "and the exception";
}

TEST_F(MinidumpWriterTest, WriteReportsAFileItCannotWrite) {
    platform::MinidumpWriter::PrepareProcessFacts();
    const int readOnly = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const platform::CrashContext nothing{SIGSEGV, nullptr, nullptr, getpid()};
    EXPECT_FALSE(platform::MinidumpWriter::Write(readOnly, nothing));
    close(readOnly);
    // The writer is free again afterwards.
    const std::string path = dir_.str() + "/direct.dmp";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_TRUE(platform::MinidumpWriter::Write(fd, nothing));
    close(fd);
    EXPECT_TRUE(MinidumpReader::Load(path).has_value());
}

#include "support/PrivateMounts.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace testsupport {

namespace {

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

}  // namespace

std::optional<std::string> InPrivateMounts(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return std::nullopt;
    const std::string uid = std::to_string(getuid());
    const std::string gid = std::to_string(getgid());
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(1);
        // Files may only be made by a user the new namespace maps.
        WriteProcFile("/proc/self/setgroups", "deny");
        if (!WriteProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + gid + " 1"))
            _exit(1);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(1);
        const std::string result = body();
        const bool sent = write(pipeEnds[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        _exit(sent ? 0 : 2);
    }
    close(pipeEnds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

bool MountTmpfs(const std::string& folder, std::uint64_t bytes, bool readOnly, const std::string& options) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string data = "size=" + std::to_string(bytes);
    if (!options.empty()) data += "," + options;
    return mount("tmpfs", folder.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, data.c_str()) == 0;
}

}  // namespace testsupport

#include "support/InstallerSandbox.h"

#include <cstdlib>
#include <filesystem>

#include "platform/Process.h"

namespace testsupport {

InstallerSandbox::InstallerSandbox() {
    for (const std::string& folder : {appData(), workRoot(), registryDir(), runtimeDir()})
        std::filesystem::create_directories(folder);
}

void InstallerSandbox::WriteSettings(const std::string& iniText) const {
    root_.WriteFile("qk_downloader.cfg", iniText);
}

void InstallerSandbox::SetEnvironment(const std::string& name, const std::string& value) {
    overrides_.push_back(name + "=" + value);
}

std::vector<std::string> InstallerSandbox::Environment() const {
    std::vector<std::string> environment = {"APPDATA=" + appData(),
            "ZEMBRA_WORK_ROOT=" + workRoot(),
            "ZEMBRA_REGISTRY_DIR=" + registryDir(),
            "XDG_RUNTIME_DIR=" + runtimeDir(),
            "XDG_CONFIG_HOME=" + root_.str() + "/config",
            "XDG_CACHE_HOME=" + root_.str() + "/cache",
            "ZEMBRA_PROGRAM_FILES=" + root_.str() + "/programs",
            "ZEMBRA_SETTINGS_FILE=" + settingsFile()};
    for (const std::string& entry : overrides_) {
        const std::string prefix = entry.substr(0, entry.find('=') + 1);
        std::erase_if(environment, [&](const std::string& item) { return item.rfind(prefix, 0) == 0; });
        environment.push_back(entry);
    }
    return environment;
}

std::string InstallerSandbox::InstallerPath() {
    const char* binDir = std::getenv("ZEMBRA_BIN_DIR");
    return std::string(binDir ? binDir : "build/bin") + "/ZembraMorvantaSetup";
}

InstallerRun InstallerSandbox::Run(const std::vector<std::string>& args, int timeoutMs) const {
    const std::string outputPath = root_.str() + "/stdout.txt";
    // A shell only redirects standard output; the arguments pass through "$@" untouched.
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" > \"$ZEMBRA_TEST_STDOUT\" 2>&1",
                                     InstallerPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::SpawnOptions options;
    // Runs that wait for their end have no display, so no wizard window
    // waits for a user (a test that wants one names it with SetEnvironment).
    options.extraEnvironment = {"DISPLAY=", "WAYLAND_DISPLAY="};
    for (const std::string& entry : Environment()) options.extraEnvironment.push_back(entry);
    options.extraEnvironment.push_back("ZEMBRA_TEST_STDOUT=" + outputPath);
    InstallerRun run;
    const pid_t pid = platform::SpawnProcess(argv, options);
    if (pid < 0) return run;
    platform::WaitResult result = platform::WaitForProcess(pid, timeoutMs);
    if (!result.exited) {
        platform::TerminateProcess(pid);
        platform::WaitForProcess(pid, -1);
    }
    run.exited = result.exited;
    run.exitCode = result.exitCode;
    run.standardOutput = ReadFile(outputPath);
    return run;
}

std::vector<std::string> InstallerSandbox::LogFiles() const {
    std::vector<std::string> logs;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(appData(), error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->path().extension() == ".log") logs.push_back(it->path().string());
    }
    return logs;
}

}  // namespace testsupport

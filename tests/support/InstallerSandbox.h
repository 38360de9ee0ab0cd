#pragma once
// Runs the real installer executable in a sandbox: every system location it
// uses (APPDATA, work root, registry store, runtime folder, settings file)
// points into a temporary folder of the test.
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace testsupport {

struct InstallerRun {
    bool exited = false;   // false: killed after the time-out
    int exitCode = -1;
    std::string standardOutput;
};

class InstallerSandbox {
public:
    InstallerSandbox();

    // The settings file qk_downloader.cfg the installer reads.
    void WriteSettings(const std::string& iniText) const;
    // Environment entries ("NAME=value") that redirect the installer into the sandbox.
    std::vector<std::string> Environment() const;
    // Replaces (or adds) one entry of Environment() for later runs.
    void SetEnvironment(const std::string& name, const std::string& value);
    // Runs build/bin/ZembraMorvantaSetup with args; kills it after timeoutMs.
    InstallerRun Run(const std::vector<std::string>& args, int timeoutMs = 120000) const;

    // Every "*.log" file below the APPDATA folder.
    std::vector<std::string> LogFiles() const;

    std::string appData() const { return root_.str() + "/appdata"; }
    std::string workRoot() const { return root_.str() + "/work"; }
    std::string registryDir() const { return root_.str() + "/registry"; }
    std::string runtimeDir() const { return root_.str() + "/run"; }
    std::string settingsFile() const { return root_.str() + "/qk_downloader.cfg"; }
    const TempDir& root() const { return root_; }

    static std::string InstallerPath();

private:
    TempDir root_;
    std::vector<std::string> overrides_;
};

}  // namespace testsupport

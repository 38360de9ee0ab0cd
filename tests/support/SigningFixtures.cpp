#include "support/SigningFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace testsupport {

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool RunQuietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool Complete(const std::string& folder) { return std::filesystem::exists(folder + "/VERIFY_TIME"); }

// Runs the generator into a fresh folder and moves it into place, so a
// folder at its final name is always complete.
bool Generate(const std::string& script, const std::string& folder) {
    const std::string scratch = folder + ".part" + std::to_string(::getpid());
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    if (!RunQuietly("bash " + Quoted(script) + " " + Quoted(scratch))) return false;
    std::filesystem::rename(scratch, folder, ignored);
    std::filesystem::remove_all(scratch, ignored);
    return Complete(folder);
}

// Each test runs in its own process; generating the fixtures once per build
// tree (per version of the scripts) keeps the suite fast. The lock makes
// parallel test processes wait for the first one instead of racing it.
std::string SharedFixtureFolder(const std::string& scriptDir) {
    const char* binDir = std::getenv("ZEMBRA_BIN_DIR");
    if (binDir == nullptr || *binDir == '\0') return "";
    const std::string scripts = ReadFile(scriptDir + "/make_signing_fixtures.sh") + ReadFile(scriptDir + "/sign_appended.sh");
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%016zx", std::hash<std::string>{}(scripts));
    const std::string base = std::string(binDir) + "/../test-fixtures";
    std::error_code error;
    std::filesystem::create_directories(base, error);
    if (error) return "";
    return base + "/signing-" + stamp;
}

}  // namespace

std::string SigningFixtures::ScriptDir() {
    if (const char* source = std::getenv("ZEMBRA_SOURCE_DIR"); source != nullptr && *source != '\0')
        return std::string(source) + "/tests/fixtures";
    // Run outside ctest: find the folder next to this file's source.
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "fixtures").string();
}

SigningFixtures::SigningFixtures() {
    const std::string script = ScriptDir() + "/make_signing_fixtures.sh";
    root_ = SharedFixtureFolder(ScriptDir());
    if (!root_.empty()) {
        const int lock = ::open((root_ + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (lock >= 0) ::flock(lock, LOCK_EX);
        const bool ready = Complete(root_) || Generate(script, root_);
        if (lock >= 0) ::close(lock);
        if (!ready) root_.clear();
    }
    if (root_.empty()) {
        folder_ = std::make_unique<TempDir>();
        root_ = folder_->str() + "/signing";
        if (!Generate(script, root_)) {
            error_ = "fixture script failed: " + script;
            return;
        }
    }
    const std::string time = ReadFile(root_ + "/VERIFY_TIME");
    verifyTime_ = static_cast<std::time_t>(std::strtoll(time.c_str(), nullptr, 10));
    ready_ = verifyTime_ > 0;
    if (!ready_) error_ = "fixture script wrote no VERIFY_TIME";
}

const SigningFixtures& SigningFixtures::Get() {
    static const SigningFixtures fixtures;
    return fixtures;
}

bool SigningFixtures::SignAppended(const std::string& in, const std::string& out) const {
    return RunQuietly("bash " + Quoted(ScriptDir() + "/sign_appended.sh") + " " + Quoted(in) + " " + Quoted(out) +
                      " " + Quoted(Pki("signer.pem")) + " " + Quoted(Pki("signer.key")) + " " +
                      Quoted(Pki("intermediate.pem")));
}

}  // namespace testsupport

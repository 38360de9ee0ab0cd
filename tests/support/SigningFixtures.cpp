#include "support/SigningFixtures.h"

#include <cstdlib>
#include <filesystem>

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

}  // namespace

std::string SigningFixtures::ScriptDir() {
    if (const char* source = std::getenv("ZEMBRA_SOURCE_DIR"); source != nullptr && *source != '\0')
        return std::string(source) + "/tests/fixtures";
    // Run outside ctest: find the folder next to this file's source.
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "fixtures").string();
}

SigningFixtures::SigningFixtures() : folder_(std::make_unique<TempDir>()), root_(folder_->str()) {
    const std::string script = ScriptDir() + "/make_signing_fixtures.sh";
    if (!RunQuietly("bash " + Quoted(script) + " " + Quoted(root_))) {
        error_ = "fixture script failed: " + script;
        return;
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

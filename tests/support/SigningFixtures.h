#pragma once
// Code-signing fixtures made by tests/fixtures/make_signing_fixtures.sh: a
// test CA, signed and broken PE programs and appended-signature packages.
// Under ctest they are made once per build tree (in build/test-fixtures) and
// shared by every test process; otherwise once per process in a temporary
// folder. Tests must treat them as read-only.
#include <ctime>
#include <memory>
#include <string>

#include "support/TempDir.h"

namespace testsupport {

class SigningFixtures {
public:
    // Builds the fixtures on first use. Check Ready() (and Error()) before use.
    static const SigningFixtures& Get();

    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }

    std::string Pe(const std::string& name) const { return root_ + "/pe/" + name; }
    std::string Package(const std::string& name) const { return root_ + "/pkg/" + name; }
    std::string Pki(const std::string& name) const { return root_ + "/pki/" + name; }
    // The trusted root as a PEM file, and the same root rejecting code signing.
    std::string Roots() const { return root_ + "/roots.pem"; }
    std::string DisallowedRoots() const { return root_ + "/roots-disallowed.pem"; }
    // A time inside the validity of every certificate but the expired one.
    std::time_t VerifyTime() const { return verifyTime_; }

    // Signs in with the appended layout into out, using the fixture
    // code-signing certificate. False when the signing tool fails.
    bool SignAppended(const std::string& in, const std::string& out) const;

    // The folder of tests/fixtures in the source tree.
    static std::string ScriptDir();

private:
    SigningFixtures();

    std::unique_ptr<TempDir> folder_;
    std::string root_;
    bool ready_ = false;
    std::string error_;
    std::time_t verifyTime_ = 0;
};

}  // namespace testsupport

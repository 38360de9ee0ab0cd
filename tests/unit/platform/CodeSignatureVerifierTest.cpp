#include "platform/CodeSignatureVerifier.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "support/SigningFixtures.h"
#include "support/TempDir.h"

namespace {

using platform::CodeSignatureVerifier;
using platform::SignatureStatus;
using platform::SignatureTrust;
using testsupport::SigningFixtures;

std::string Bytes(const std::string& path) { return testsupport::ReadFile(path); }

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class CodeSignatureVerifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixtures().Ready()) << fixtures().Error();
    }

    static const SigningFixtures& fixtures() { return SigningFixtures::Get(); }

    SignatureTrust Trust(std::vector<std::string> roots) const {
        SignatureTrust trust;
        trust.rootPaths = std::move(roots);
        trust.verificationTime = fixtures().VerifyTime();
        return trust;
    }

    platform::SignatureVerdict Check(const std::string& path) const {
        return CodeSignatureVerifier(Trust({fixtures().Roots()})).Verify(path);
    }

    testsupport::TempDir temp_;
};

struct Expectation {
    const char* name;
    SignatureStatus status;
};

TEST_F(CodeSignatureVerifierTest, ClassifiesPeFixtures) {
    const Expectation cases[] = {
        {"signed.exe", SignatureStatus::Verified},
        {"signed32.exe", SignatureStatus::Verified},
        {"signed-sha1.exe", SignatureStatus::Verified},
        {"signed-sha512.exe", SignatureStatus::Verified},
        {"signed-timestamped.exe", SignatureStatus::Verified},
        {"expired-timestamped.exe", SignatureStatus::Verified},
        {"nested.exe", SignatureStatus::Verified},
        {"unsigned.exe", SignatureStatus::NotSigned},
        {"unsigned32.exe", SignatureStatus::NotSigned},
        {"tampered.exe", SignatureStatus::DigestMismatch},
        {"appended.exe", SignatureStatus::DigestMismatch},
        {"hidden-in-table.exe", SignatureStatus::Malformed},
        {"truncated.exe", SignatureStatus::Malformed},
        {"table-beyond-file.exe", SignatureStatus::Malformed},
        {"garbage-signature.exe", SignatureStatus::Malformed},
        {"unauthenticated-blob.exe", SignatureStatus::Malformed},
        {"nested-untrusted.exe", SignatureStatus::UntrustedRoot},
        {"bad-header.exe", SignatureStatus::UnknownFormat},
        {"untrusted.exe", SignatureStatus::UntrustedRoot},
        {"untrusted-partial.exe", SignatureStatus::IncompleteChain},
        {"no-intermediate.exe", SignatureStatus::IncompleteChain},
        {"tls-only.exe", SignatureStatus::WrongUsage},
        {"expired.exe", SignatureStatus::Expired},
        {"expired-late-timestamp.exe", SignatureStatus::Expired},
    };
    for (const auto& expected : cases) {
        const auto verdict = Check(fixtures().Pe(expected.name));
        EXPECT_EQ(verdict.status, expected.status)
            << expected.name << ": got " << platform::SignatureStatusName(verdict.status) << " (" << verdict.detail
            << ")";
    }
}

TEST_F(CodeSignatureVerifierTest, ClassifiesAppendedSignatureFixtures) {
    const Expectation cases[] = {
        {"signed.bin", SignatureStatus::Verified},
        {"unsigned.bin", SignatureStatus::NotSigned},
        {"tampered.bin", SignatureStatus::DigestMismatch},
        // Anything after the marker hides the signature: the file reads as unsigned.
        {"appended.bin", SignatureStatus::NotSigned},
        {"truncated.bin", SignatureStatus::NotSigned},
        {"length-beyond-file.bin", SignatureStatus::Malformed},
        {"garbage-signature.bin", SignatureStatus::Malformed},
        {"marker-only.bin", SignatureStatus::Malformed},
        {"untrusted.bin", SignatureStatus::UntrustedRoot},
        {"tls-only.bin", SignatureStatus::WrongUsage},
        {"expired.bin", SignatureStatus::Expired},
    };
    for (const auto& expected : cases) {
        const auto verdict = Check(fixtures().Package(expected.name));
        EXPECT_EQ(verdict.status, expected.status)
            << expected.name << ": got " << platform::SignatureStatusName(verdict.status) << " (" << verdict.detail
            << ")";
    }
}

// The reference tool and the verifier must agree on every PE fixture, except
// where the verifier is deliberately stricter: unsigned data carried inside
// the signature, and nested signatures that do not hold.
TEST_F(CodeSignatureVerifierTest, AgreesWithReferenceToolOnPeFixtures) {
    if (std::system("command -v osslsigncode >/dev/null 2>&1") != 0) GTEST_SKIP() << "osslsigncode not installed";
    const char* names[] = {"signed.exe",        "signed32.exe",          "signed-sha1.exe",
                           "signed-sha512.exe", "signed-timestamped.exe", "expired-timestamped.exe",
                           "nested.exe",        "unsigned.exe",          "tampered.exe",
                           "appended.exe",      "hidden-in-table.exe",   "truncated.exe",
                           "garbage-signature.exe", "untrusted.exe",     "no-intermediate.exe",
                           "tls-only.exe",      "expired.exe",           "expired-late-timestamp.exe"};
    const std::string roots = fixtures().Roots();
    const auto referenceAccepts = [&](const std::string& path) {
        const std::string command = "osslsigncode verify -CAfile '" + roots + "' -TSA-CAfile '" + roots +
                                    "' -time " + std::to_string(fixtures().VerifyTime()) + " -in '" + path +
                                    "' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    };
    for (const char* name : names) {
        const bool weAccept = Check(fixtures().Pe(name)).status == SignatureStatus::Verified;
        EXPECT_EQ(weAccept, referenceAccepts(fixtures().Pe(name))) << name;
    }
    for (const char* stricter : {"unauthenticated-blob.exe", "nested-untrusted.exe"}) {
        EXPECT_TRUE(referenceAccepts(fixtures().Pe(stricter))) << stricter;
        EXPECT_NE(Check(fixtures().Pe(stricter)).status, SignatureStatus::Verified) << stricter;
    }
}

TEST_F(CodeSignatureVerifierTest, TimestampDecidesTheTimeOfTheChainCheck) {
    const auto stamped = Check(fixtures().Pe("expired-timestamped.exe"));
    ASSERT_EQ(stamped.status, SignatureStatus::Verified) << stamped.detail;
    ASSERT_TRUE(stamped.timestamp.has_value());
    EXPECT_EQ(*stamped.timestamp, 1593561600);  // 2020-07-01, as stamped

    // Long after the signer expired, only the stamped file still holds.
    SignatureTrust later = Trust({fixtures().Roots()});
    later.verificationTime = 2524608000;  // 2050-01-01
    CodeSignatureVerifier verifier(later);
    EXPECT_EQ(verifier.Verify(fixtures().Pe("signed.exe")).status, SignatureStatus::Expired);
    EXPECT_EQ(verifier.Verify(fixtures().Pe("signed-timestamped.exe")).status, SignatureStatus::Verified);
    // Before the signer existed.
    SignatureTrust earlier = Trust({fixtures().Roots()});
    earlier.verificationTime = 946771200;  // 2000-01-02
    EXPECT_EQ(CodeSignatureVerifier(earlier).Verify(fixtures().Pe("signed.exe")).status, SignatureStatus::Expired);
}

TEST_F(CodeSignatureVerifierTest, TimestampFromAnUntrustedAuthorityFails) {
    // Trust only the stranger root: the stamp's authority is unknown, and a
    // stamp that does not hold sinks the whole signature.
    const auto verdict =
        CodeSignatureVerifier(Trust({fixtures().Pki("other-root.pem")})).Verify(fixtures().Pe("expired-timestamped.exe"));
    EXPECT_EQ(verdict.status, SignatureStatus::BadTimestamp) << verdict.detail;
    EXPECT_FALSE(verdict.timestamp.has_value());
}

TEST_F(CodeSignatureVerifierTest, RootsComeOnlyFromWhatTheCallerTrusts) {
    EXPECT_EQ(CodeSignatureVerifier(Trust({})).Verify(fixtures().Pe("signed.exe")).status,
              SignatureStatus::IncompleteChain);
    // The system store does not know the test CA.
    SignatureTrust system = Trust({});
    system.useSystemStore = true;
    EXPECT_EQ(CodeSignatureVerifier(system).Verify(fixtures().Package("signed.bin")).status,
              SignatureStatus::IncompleteChain);
    // A missing or unreadable CA file is just no roots.
    EXPECT_EQ(CodeSignatureVerifier(Trust({temp_.str() + "/absent.pem"})).Verify(fixtures().Pe("signed.exe")).status,
              SignatureStatus::IncompleteChain);
    // The stranger's root makes the stranger's file good, and ours not.
    CodeSignatureVerifier stranger(Trust({fixtures().Pki("other-root.pem")}));
    EXPECT_EQ(stranger.Verify(fixtures().Pe("untrusted.exe")).status, SignatureStatus::Verified);
    EXPECT_EQ(stranger.Verify(fixtures().Pe("signed.exe")).status, SignatureStatus::IncompleteChain);
}

TEST_F(CodeSignatureVerifierTest, RootFolderIsReadFileByFile) {
    temp_.WriteFile("roots/readme.txt", "not a certificate\n");
    temp_.WriteFile("roots/a.pem", Bytes(fixtures().Pki("other-root.pem")));
    temp_.WriteFile("roots/b.crt", Bytes(fixtures().Roots()));
    CodeSignatureVerifier verifier(Trust({temp_.str() + "/roots"}));
    EXPECT_EQ(verifier.Verify(fixtures().Pe("signed.exe")).status, SignatureStatus::Verified);
    EXPECT_EQ(verifier.Verify(fixtures().Pe("untrusted.exe")).status, SignatureStatus::Verified);
}

TEST_F(CodeSignatureVerifierTest, RootRejectingCodeSigningDisallowsItsChains) {
    CodeSignatureVerifier verifier(Trust({fixtures().DisallowedRoots()}));
    EXPECT_EQ(verifier.Verify(fixtures().Pe("signed.exe")).status, SignatureStatus::Disallowed);
    EXPECT_EQ(verifier.Verify(fixtures().Package("signed.bin")).status, SignatureStatus::Disallowed);
}

TEST_F(CodeSignatureVerifierTest, FilesThatCannotBeReadAreFileErrors) {
    const auto missing = Check(temp_.str() + "/missing.exe");
    EXPECT_EQ(missing.status, SignatureStatus::FileError);
    EXPECT_EQ(missing.systemError, ENOENT);
    EXPECT_EQ(Check(temp_.str()).status, SignatureStatus::FileError);
    EXPECT_EQ(Check(temp_.WriteFile("empty", "")).status, SignatureStatus::NotSigned);
    EXPECT_EQ(Check(temp_.WriteFile("mz", "MZ")).status, SignatureStatus::UnknownFormat);
}

// No single damaged byte in the signature block, and no cut anywhere, may
// leave a file that passes.
TEST_F(CodeSignatureVerifierTest, DamagedSignedFilesNeverPass) {
    int counter = 0;
    // A fresh name each time: rewriting one file in place makes the
    // filesystem flush on every truncation, which is slow.
    const auto checkCopy = [&](const std::string& bytes) {
        const std::string copy = temp_.str() + "/damaged" + std::to_string(counter++);
        Write(copy, bytes);
        const auto status = Check(copy).status;
        std::remove(copy.c_str());
        return status;
    };
    for (const std::string& source : {fixtures().Pe("signed.exe"), fixtures().Pe("signed-timestamped.exe"),
                                      fixtures().Package("signed.bin")}) {
        const std::string original = Bytes(source);
        ASSERT_EQ(Check(source).status, SignatureStatus::Verified) << source;
        // Everything from a little before the signature block to the end.
        const std::size_t signatureStart = original.size() > 3500 ? original.size() - 3200 : 0;
        for (std::size_t at = signatureStart; at < original.size(); at += 4) {
            std::string damaged = original;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            EXPECT_NE(checkCopy(damaged), SignatureStatus::Verified) << source << " byte " << at;
        }
        for (std::size_t size = 0; size < original.size(); size += 61) {
            EXPECT_NE(checkCopy(original.substr(0, size)), SignatureStatus::Verified) << source << " cut at " << size;
        }
    }
}

TEST_F(CodeSignatureVerifierTest, SignsAnyFileWithTheAppendedLayout) {
    const std::string in = temp_.WriteFile("setup.sh", "#!/bin/sh\nexit 0\n");
    const std::string out = temp_.str() + "/setup-signed.sh";
    ASSERT_TRUE(fixtures().SignAppended(in, out));
    const auto verdict = Check(out);
    EXPECT_EQ(verdict.status, SignatureStatus::Verified) << verdict.detail;
    EXPECT_EQ(Bytes(out).substr(0, 17), Bytes(in));
}

}  // namespace

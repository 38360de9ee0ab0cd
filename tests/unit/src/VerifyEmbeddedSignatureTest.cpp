#include <gtest/gtest.h>

#include "FuntionImpl.h"
#include "SignatureTrustResult.h"
#include "LogLines.h"
#include "support/SigningFixtures.h"
#include "support/TempDir.h"

namespace {

using platform::SignatureStatus;
using platform::SignatureVerdict;
using testsupport::SigningFixtures;

std::string MessageFor(SignatureStatus status, const std::string& path, int systemError = 0) {
    SignatureVerdict verdict;
    verdict.status = status;
    verdict.systemError = systemError;
    return SignatureTrustResult::MessageOf(SignatureTrustResult::OutcomeOf(verdict), path);
}

TEST(SignatureTrustResultTest, EachOutcomeHasItsMessage) {
    const std::string path = "/w/QKDownloader/run/zm.exe";
    EXPECT_EQ(MessageFor(SignatureStatus::Verified, path),
              "The file \"/w/QKDownloader/run/zm.exe\" is signed and the signature was verified.");
    EXPECT_EQ(MessageFor(SignatureStatus::NotSigned, path), "The file \"/w/QKDownloader/run/zm.exe\" is not signed.");
    EXPECT_EQ(MessageFor(SignatureStatus::UnknownFormat, path),
              "The file \"/w/QKDownloader/run/zm.exe\" is not signed.");
    EXPECT_EQ(MessageFor(SignatureStatus::Malformed, path),
              "An unknown error occurred trying to verify the signature of the \"/w/QKDownloader/run/zm.exe\" file.");
    EXPECT_EQ(MessageFor(SignatureStatus::FileError, path, ENOENT),
              "An unknown error occurred trying to verify the signature of the \"/w/QKDownloader/run/zm.exe\" file.");
    EXPECT_EQ(MessageFor(SignatureStatus::NotTrusted, path), "The signature is present, but not trusted.");
    EXPECT_EQ(MessageFor(SignatureStatus::Disallowed, path), "The signature is present, but specifically disallowed.");
    EXPECT_EQ(MessageFor(SignatureStatus::DigestMismatch, path), "Error is: 0x80096010.");
    EXPECT_EQ(MessageFor(SignatureStatus::UntrustedRoot, path), "Error is: 0x800b0109.");
    EXPECT_EQ(MessageFor(SignatureStatus::IncompleteChain, path), "Error is: 0x800b010a.");
    EXPECT_EQ(MessageFor(SignatureStatus::Expired, path), "Error is: 0x800b0101.");
    EXPECT_EQ(MessageFor(SignatureStatus::WrongUsage, path), "Error is: 0x800b0110.");
    EXPECT_EQ(MessageFor(SignatureStatus::BadTimestamp, path), "Error is: 0x80096005.");
}

TEST(SignatureTrustResultTest, NoSignatureResultDependsOnTheLastError) {
    using SignatureTrustResult::TrustOutcome;
    const std::string notSigned = "The file \"p\" is not signed.";
    EXPECT_EQ(SignatureTrustResult::MessageOf(TrustOutcome{0x800B0100, 0x800B0100}, "p"), notSigned);
    EXPECT_EQ(SignatureTrustResult::MessageOf(TrustOutcome{0x800B0100, 0x800B0003}, "p"), notSigned);
    EXPECT_EQ(SignatureTrustResult::MessageOf(TrustOutcome{0x800B0100, 0x800B0001}, "p"), notSigned);
    EXPECT_EQ(SignatureTrustResult::MessageOf(TrustOutcome{0x800B0100, 0x80070002}, "p"),
              "An unknown error occurred trying to verify the signature of the \"p\" file.");
    EXPECT_EQ(SignatureTrustResult::MessageOf(TrustOutcome{0x80092026, 0}, "p").substr(0, 26),
              "CRYPT_E_SECURITY_SETTINGS ");
    // A path is data, never a format.
    EXPECT_EQ(SignatureTrustResult::MessageOf(TrustOutcome{0x800B0100, 0x800B0100}, "%s%n"),
              "The file \"%s%n\" is not signed.");
}

TEST(SignatureTrustResultTest, ResultPrintsAsASignedNumber) {
    EXPECT_EQ(SignatureTrustResult::ResultText(0), "0");
    EXPECT_EQ(SignatureTrustResult::ResultText(0x800B0100), "-2146762496");
}

class VerifyEmbeddedSignatureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixtures().Ready()) << fixtures().Error(); }
    static const SigningFixtures& fixtures() { return SigningFixtures::Get(); }

    // Points the settings at a CA file given relative to the settings folder.
    void UseCaFile(const std::string& caSource) {
        temp_.WriteFile("ca/roots.pem", testsupport::ReadFile(caSource));
        temp_.WriteFile("qk_downloader.cfg", "[Hosts]\nCaFile=ca/roots.pem\n");
    }

    testsupport::TempDir temp_;
    testsupport::ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE", temp_.str() + "/qk_downloader.cfg"};
    LogLines log_;
};

TEST_F(VerifyEmbeddedSignatureTest, SignedPackagePassesAndSaysSo) {
    UseCaFile(fixtures().Roots());
    const std::string package = fixtures().Package("signed.bin");
    EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(package));
    EXPECT_TRUE(log_.Has(" VerifyEmbeddedSignature result is 0, The file \"" + package +
                         "\" is signed and the signature was verified."));
    EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(fixtures().Pe("signed.exe")));
}

TEST_F(VerifyEmbeddedSignatureTest, EveryFailedCheckIsReportedAsNotVerified) {
    UseCaFile(fixtures().Roots());
    const struct {
        std::string path;
        std::string line;
    } cases[] = {
        {fixtures().Package("unsigned.bin"),
         " VerifyEmbeddedSignature result is -2146762496, The file \"" + fixtures().Package("unsigned.bin") +
             "\" is not signed."},
        {fixtures().Package("tampered.bin"), " VerifyEmbeddedSignature result is -2146869232, Error is: 0x80096010."},
        {fixtures().Pe("appended.exe"), " VerifyEmbeddedSignature result is -2146869232, Error is: 0x80096010."},
        {fixtures().Package("untrusted.bin"), " VerifyEmbeddedSignature result is -2146762487, Error is: 0x800b0109."},
        {fixtures().Package("tls-only.bin"), " VerifyEmbeddedSignature result is -2146762480, Error is: 0x800b0110."},
        {fixtures().Package("expired.bin"), " VerifyEmbeddedSignature result is -2146762495, Error is: 0x800b0101."},
        {fixtures().Pe("truncated.exe"),
         " VerifyEmbeddedSignature result is -2146762496, An unknown error occurred trying to verify the signature "
         "of the \"" + fixtures().Pe("truncated.exe") + "\" file."},
        {temp_.str() + "/missing.bin",
         " VerifyEmbeddedSignature result is -2146762496, An unknown error occurred trying to verify the signature "
         "of the \"" + temp_.str() + "/missing.bin\" file."},
    };
    for (const auto& expected : cases) {
        log_.Clear();
        EXPECT_FALSE(FuntionImpl::VerifyEmbeddedSignature(expected.path)) << expected.path;
        EXPECT_TRUE(log_.Has(expected.line)) << expected.line;
        EXPECT_TRUE(log_.HasPart(" VerifyEmbeddedSignature detail: ")) << expected.path;
    }
}

TEST_F(VerifyEmbeddedSignatureTest, RootsComeFromTheSettings) {
    // Without a CA file only the system store counts, and it does not know the test CA.
    temp_.WriteFile("qk_downloader.cfg", "[Settings]\nTestEnv=0\n");
    EXPECT_FALSE(FuntionImpl::VerifyEmbeddedSignature(fixtures().Package("signed.bin")));
    EXPECT_TRUE(log_.Has(" VerifyEmbeddedSignature result is -2146762486, Error is: 0x800b010a."));

    UseCaFile(fixtures().DisallowedRoots());
    log_.Clear();
    EXPECT_FALSE(FuntionImpl::VerifyEmbeddedSignature(fixtures().Package("signed.bin")));
    EXPECT_TRUE(log_.Has(" VerifyEmbeddedSignature result is -2146762479, The signature is present, but "
                         "specifically disallowed."));

    // An absolute CA path is used as it is.
    temp_.WriteFile("qk_downloader.cfg", "[Hosts]\nCaFile=" + fixtures().Pki("other-root.pem") + "\n");
    EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(fixtures().Package("untrusted.bin")));
}

}  // namespace

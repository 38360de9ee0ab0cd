#include "platform/CodeSignatureVerifier.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <openssl/err.h>

#include "platform/AppendedSignatureLayout.h"
#include "platform/AuthenticodeImage.h"
#include "platform/OpenSslHandles.h"
#include "platform/PeImageLayout.h"
#include "platform/ReadOnlyFile.h"
#include "platform/SignedDataRules.h"
#include "platform/SignerTrust.h"

namespace platform {

using namespace codesign;

namespace {

// Real certificate tables hold a few kilobytes; this bounds what a hostile
// header can make us read.
constexpr std::uint64_t kMaxCertificateTableSize = 16 * 1024 * 1024;

SignatureVerdict Result(SignatureStatus status, std::string detail) { return MakeVerdict(status, std::move(detail)); }

SignatureVerdict FileProblem(int error, const std::string& what) {
    SignatureVerdict verdict = Result(SignatureStatus::FileError, what + ": " + std::strerror(error));
    verdict.systemError = error;
    return verdict;
}

// --- reading a file range through a BIO -------------------------------------

struct FileRange {
    ReadOnlyFile* file;
    std::uint64_t position;
    std::uint64_t end;
};

int FileRangeRead(BIO* bio, char* out, int length) {
    auto* range = static_cast<FileRange*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    if (range == nullptr || length <= 0) return 0;
    if (range->position >= range->end) return 0;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(length), range->end - range->position));
    const long long got = range->file->ReadSome(range->position, out, wanted);
    if (got <= 0) return -1;  // the file shrank or failed: the digest cannot match
    range->position += static_cast<std::uint64_t>(got);
    return static_cast<int>(got);
}

long FileRangeControl(BIO* bio, int command, long, void*) {
    auto* range = static_cast<FileRange*>(BIO_get_data(bio));
    switch (command) {
        case BIO_CTRL_EOF:
            return range == nullptr || range->position >= range->end;
        case BIO_CTRL_FLUSH:
            return 1;
        default:
            return 0;
    }
}

const BIO_METHOD* FileRangeMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "file range");
        if (created != nullptr) {
            BIO_meth_set_read(created, FileRangeRead);
            BIO_meth_set_ctrl(created, FileRangeControl);
        }
        return created;
    }();
    return method;
}

// The BIO borrows range, which must outlive it.
BioPtr NewFileRangeBio(FileRange& range) {
    const BIO_METHOD* method = FileRangeMethod();
    if (method == nullptr) return nullptr;
    BioPtr bio(BIO_new(method));
    if (bio) {
        BIO_set_data(bio.get(), &range);
        BIO_set_init(bio.get(), 1);
    }
    return bio;
}

// A read-only BIO over bytes that stay owned by the caller. PKCS7_verify
// copies a plain memory BIO and, in OpenSSL 3.0, leaks that copy on some
// error paths; a pass-through filter in front keeps it off that path.
BioPtr NewMemoryBio(const unsigned char* data, long size) {
    if (size < 0 || size > INT32_MAX) return nullptr;
    BioPtr memory(BIO_new_mem_buf(data, static_cast<int>(size)));
    BioPtr filter(BIO_new(BIO_f_null()));
    if (!memory || !filter) return nullptr;
    BIO_push(filter.get(), memory.release());
    return filter;
}

}  // namespace

const char* SignatureStatusName(SignatureStatus status) {
    switch (status) {
        case SignatureStatus::Verified:
            return "verified";
        case SignatureStatus::NotSigned:
            return "not signed";
        case SignatureStatus::FileError:
            return "file error";
        case SignatureStatus::UnknownFormat:
            return "unknown format";
        case SignatureStatus::Malformed:
            return "malformed signature";
        case SignatureStatus::DigestMismatch:
            return "digest mismatch";
        case SignatureStatus::BadSignature:
            return "bad signature";
        case SignatureStatus::UntrustedRoot:
            return "untrusted root";
        case SignatureStatus::IncompleteChain:
            return "incomplete chain";
        case SignatureStatus::Expired:
            return "expired";
        case SignatureStatus::WrongUsage:
            return "wrong usage";
        case SignatureStatus::Disallowed:
            return "disallowed";
        case SignatureStatus::NotTrusted:
            return "not trusted";
        case SignatureStatus::BadTimestamp:
            return "bad time stamp";
    }
    return "?";
}

CodeSignatureVerifier::CodeSignatureVerifier(SignatureTrust trust) : trust_(std::move(trust)) {}

namespace {

class Verification {
public:
    Verification(const SignatureTrust& trust, ReadOnlyFile& file) : trust_(trust), file_(file) {}

    SignatureVerdict Run() {
        std::vector<unsigned char> prefix;
        const std::size_t prefixSize = static_cast<std::size_t>(std::min<std::uint64_t>(file_.Size(), kPeHeaderWindow));
        if (!file_.ReadAt(0, prefixSize, prefix)) return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        const PeImageLayout layout = ParsePeImageLayout(prefix, file_.Size());
        switch (layout.kind) {
            case PeImageLayout::Kind::Malformed:
                return Result(SignatureStatus::UnknownFormat, "broken PE headers: " + layout.problem);
            case PeImageLayout::Kind::Image:
                return VerifyPeImage(layout);
            case PeImageLayout::Kind::NotPe:
                break;
        }
        return VerifyAppendedSignature();
    }

private:
    SignatureVerdict VerifyPeImage(const PeImageLayout& layout) {
        const std::uint64_t offset = layout.certificateTableOffset;
        const std::uint64_t size = layout.certificateTableSize;
        const std::uint64_t fileSize = file_.Size();
        if (!layout.hasSecurityDirectory || (offset == 0 && size == 0))
            return Result(SignatureStatus::NotSigned, "no certificate table");
        if (offset == 0 || size == 0) return Result(SignatureStatus::Malformed, "half-empty security directory");
        if (offset < layout.securityEntryOffset + 8)
            return Result(SignatureStatus::Malformed, "certificate table overlaps the headers");
        if (offset > fileSize || size > fileSize - offset)
            return Result(SignatureStatus::Malformed, "certificate table runs past the end of the file");
        if (size > kMaxCertificateTableSize) return Result(SignatureStatus::Malformed, "certificate table too large");
        if (offset + size != fileSize)
            return Result(SignatureStatus::DigestMismatch, std::to_string(fileSize - offset - size) +
                                                               " bytes after the certificate table are not signed");

        std::vector<unsigned char> table;
        if (!file_.ReadAt(offset, static_cast<std::size_t>(size), table))
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        std::string problem;
        auto signatures = SplitCertificateTable(table, problem);
        if (!signatures) return Result(SignatureStatus::Malformed, problem);
        if (signatures->empty()) return Result(SignatureStatus::Malformed, "empty certificate table");

        // Every signature in the table must hold, not just the first.
        SignatureVerdict first;
        for (std::size_t i = 0; i < signatures->size(); ++i) {
            SignatureVerdict verdict = VerifyAuthenticode((*signatures)[i].get(), layout);
            if (verdict.status != SignatureStatus::Verified) return verdict;
            if (i == 0) first = std::move(verdict);
        }
        return first;
    }

    // A signature may carry further signatures over the same image; they must
    // all hold too. Nesting deeper than one level is refused.
    SignatureVerdict VerifyAuthenticode(PKCS7* p7, const PeImageLayout& layout, int depth = 0) {
        std::string problem;
        const auto indirect = ParseIndirectData(p7, problem);
        if (!indirect) return Result(SignatureStatus::Malformed, problem);
        const auto signer = SoleSigner(p7, problem);
        if (!signer) return Result(SignatureStatus::Malformed, problem);

        const auto digest = ImageDigest(file_, layout, indirect->digest);
        if (!digest) return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        if (*digest != indirect->imageDigest)
            return Result(SignatureStatus::DigestMismatch, "the image differs from what was signed");

        BioPtr content = NewMemoryBio(indirect->signedContent, indirect->signedContentSize);
        if (!content) return Result(SignatureStatus::BadSignature, "out of memory");
        if (PKCS7_verify(p7, nullptr, nullptr, content.get(), nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
            return Result(SignatureStatus::BadSignature, "signature does not verify: " + OpenSslErrorText());

        const UnsignedAttributes extras = ExamineUnsignedAttributes(signer->info, depth == 0);
        if (!extras.acceptable) return Result(SignatureStatus::Malformed, extras.problem);
        SignatureVerdict verdict = CheckSigner(p7, *signer, extras);
        for (const ASN1_STRING* encoded : extras.nestedSignatures) {
            if (verdict.status != SignatureStatus::Verified) break;
            Pkcs7Ptr nested = ParseSignedData(encoded->data, static_cast<std::size_t>(encoded->length));
            if (!nested) return Result(SignatureStatus::Malformed, "nested signature unreadable");
            SignatureVerdict inner = VerifyAuthenticode(nested.get(), layout, depth + 1);
            if (inner.status != SignatureStatus::Verified) {
                inner.detail = "nested signature: " + inner.detail;
                return inner;
            }
        }
        return verdict;
    }

    SignatureVerdict VerifyAppendedSignature() {
        const std::uint64_t fileSize = file_.Size();
        const std::size_t tailSize =
            static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kAppendedSignatureTailSize));
        std::vector<unsigned char> tail;
        if (!file_.ReadAt(fileSize - tailSize, tailSize, tail))
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        const AppendedSignatureLayout layout = ParseAppendedSignatureLayout(tail, fileSize);
        switch (layout.kind) {
            case AppendedSignatureLayout::Kind::None:
                return Result(SignatureStatus::NotSigned, "no signature");
            case AppendedSignatureLayout::Kind::Malformed:
                return Result(SignatureStatus::Malformed, layout.problem);
            case AppendedSignatureLayout::Kind::Present:
                break;
        }

        std::vector<unsigned char> der;
        if (!file_.ReadAt(layout.signatureOffset, layout.signatureSize, der))
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        Pkcs7Ptr p7 = ParseSignedData(der.data(), der.size());
        if (!p7) return Result(SignatureStatus::Malformed, "signature unreadable: " + OpenSslErrorText());
        // The content must be the file itself, never a copy carried inside the signature.
        if (!PKCS7_type_is_data(p7->d.sign->contents) || !PKCS7_get_detached(p7.get()))
            return Result(SignatureStatus::Malformed, "signature is not detached");
        std::string problem;
        const auto signer = SoleSigner(p7.get(), problem);
        if (!signer) return Result(SignatureStatus::Malformed, problem);

        FileRange range{&file_, 0, layout.contentSize};
        BioPtr content = NewFileRangeBio(range);
        if (!content) return Result(SignatureStatus::BadSignature, "out of memory");
        if (PKCS7_verify(p7.get(), nullptr, nullptr, content.get(), nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
            return Result(SignatureStatus::DigestMismatch, "the content differs from what was signed");
        if (range.position != range.end)
            return FileProblem(file_.Error() ? file_.Error() : EIO, "read failed");
        const UnsignedAttributes extras = ExamineUnsignedAttributes(signer->info, false);
        if (!extras.acceptable) return Result(SignatureStatus::Malformed, extras.problem);
        return CheckSigner(p7.get(), *signer, extras);
    }

    SignatureVerdict CheckSigner(PKCS7* p7, const SignerParts& signer, const UnsignedAttributes& extras) {
        StorePtr store = BuildStore(trust_);
        if (!store) return Result(SignatureStatus::NotTrusted, "out of memory");

        std::optional<std::time_t> stampedAt;
        if (extras.timestampToken != nullptr) {
            const TimestampCheck stamp = VerifyTimestamp(store.get(), signer.info, extras.timestampToken);
            if (!stamp.valid) return Result(SignatureStatus::BadTimestamp, stamp.problem);
            stampedAt = stamp.stampedAt;
        }
        // A valid time stamp fixes the moment the signer's certificates must
        // have been valid; without one, it is now.
        const std::time_t at = stampedAt ? *stampedAt : trust_.verificationTime.value_or(std::time(nullptr));
        SignatureVerdict verdict = CheckChain(store.get(), signer.certificate, p7->d.sign->cert, at, ChainUse::CodeSigning);
        verdict.timestamp = stampedAt;
        return verdict;
    }

    const SignatureTrust& trust_;
    ReadOnlyFile& file_;
};

}  // namespace

SignatureVerdict CodeSignatureVerifier::Verify(const std::string& path) const {
    ReadOnlyFile file;
    if (!file.Open(path)) return FileProblem(file.Error(), "cannot open " + path);
    ERR_clear_error();
    SignatureVerdict verdict = Verification(trust_, file).Run();
    // The error queue is per thread; leave nothing behind for other callers.
    ERR_clear_error();
    return verdict;
}

}  // namespace platform

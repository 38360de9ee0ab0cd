#pragma once
// Layout of the demo setup package: the setup program, then the product's
// bytes, then a trailer describing them, then (optionally) the appended
// signature: detached PKCS#7 DER, a 12-byte record and a marker line.
#include <cstdint>

namespace demopackage {

constexpr char kPayloadMagic[8] = {'Z', 'M', 'P', 'A', 'Y', 'L', 'D', '1'};
constexpr const char* kSignatureMarker = "~Module signature appended~\n";
constexpr const char* kProductFileName = "ZembraMorvanta.exe";
constexpr std::uint32_t kFlagHang = 1;
constexpr std::uint32_t kFlagFail = 2;  // exits with kFailExitCode, installing nothing
constexpr int kFailExitCode = 5;

struct PayloadTrailer {
    std::uint64_t payloadOffset;
    std::uint64_t payloadSize;
    std::uint32_t flags;
    std::uint32_t installMilliseconds;
    char magic[8];
};
static_assert(sizeof(PayloadTrailer) == 32);

}  // namespace demopackage

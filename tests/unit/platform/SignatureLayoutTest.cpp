#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/AppendedSignatureLayout.h"
#include "platform/PeImageLayout.h"

namespace {

using platform::AppendedSignatureLayout;
using platform::ParseAppendedSignatureLayout;
using platform::ParsePeImageLayout;
using platform::PeImageLayout;

std::vector<unsigned char> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

void Put32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
void Put16(std::vector<unsigned char>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

// A minimal image header: DOS header, "PE\0\0" at 0x80, COFF header and an
// optional header of the given kind with 16 data directories.
std::vector<unsigned char> ImageHeader(bool pe32Plus) {
    std::vector<unsigned char> bytes(0x400, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(bytes, 0x3C, 0x80);
    bytes[0x80] = 'P';
    bytes[0x81] = 'E';
    const std::size_t optional = 0x80 + 24;
    Put16(bytes, 0x84 + 16, pe32Plus ? 240 : 224);
    Put16(bytes, optional, pe32Plus ? 0x20B : 0x10B);
    Put32(bytes, optional + (pe32Plus ? 108 : 92), 16);
    const std::size_t security = optional + (pe32Plus ? 112 : 96) + 32;
    Put32(bytes, security, 0x1000);
    Put32(bytes, security + 4, 0x230);
    return bytes;
}

TEST(PeImageLayoutTest, FindsTheFieldsOfBothImageKinds) {
    for (const bool pe32Plus : {false, true}) {
        const auto layout = ParsePeImageLayout(ImageHeader(pe32Plus), 0x1230);
        ASSERT_EQ(layout.kind, PeImageLayout::Kind::Image) << layout.problem;
        EXPECT_EQ(layout.pe32Plus, pe32Plus);
        EXPECT_TRUE(layout.hasSecurityDirectory);
        EXPECT_EQ(layout.checksumOffset, 0x80u + 24 + 64);
        EXPECT_EQ(layout.securityEntryOffset, 0x80u + 24 + (pe32Plus ? 112 : 96) + 32);
        EXPECT_EQ(layout.certificateTableOffset, 0x1000u);
        EXPECT_EQ(layout.certificateTableSize, 0x230u);
    }
}

TEST(PeImageLayoutTest, TellsOtherFilesAndBrokenHeadersApart) {
    EXPECT_EQ(ParsePeImageLayout(Bytes("#!/bin/sh\n"), 10).kind, PeImageLayout::Kind::NotPe);
    EXPECT_EQ(ParsePeImageLayout({}, 0).kind, PeImageLayout::Kind::NotPe);
    EXPECT_EQ(ParsePeImageLayout(Bytes("MZ"), 2).kind, PeImageLayout::Kind::Malformed);

    auto header = ImageHeader(true);
    Put32(header, 0x3C, 0xFFFFFFF0);  // far outside
    EXPECT_EQ(ParsePeImageLayout(header, header.size()).kind, PeImageLayout::Kind::Malformed);
    Put32(header, 0x3C, static_cast<std::uint32_t>(header.size() - 10));  // header cut by the window
    EXPECT_EQ(ParsePeImageLayout(header, header.size()).kind, PeImageLayout::Kind::Malformed);

    header = ImageHeader(true);
    header[0x81] = 'X';
    EXPECT_EQ(ParsePeImageLayout(header, header.size()).kind, PeImageLayout::Kind::Malformed);
    header = ImageHeader(true);
    Put16(header, 0x80 + 24, 0x107);
    EXPECT_EQ(ParsePeImageLayout(header, header.size()).kind, PeImageLayout::Kind::Malformed);
    header = ImageHeader(true);
    Put16(header, 0x84 + 16, 0xFFFF);  // optional header larger than the window
    EXPECT_EQ(ParsePeImageLayout(header, header.size()).kind, PeImageLayout::Kind::Malformed);

    // The prefix handed in is never read beyond the file's real size.
    header = ImageHeader(false);
    EXPECT_EQ(ParsePeImageLayout(header, 0x90).kind, PeImageLayout::Kind::Malformed);
}

TEST(PeImageLayoutTest, ImageWithoutASecurityDirectoryCannotBeSigned) {
    auto few = ImageHeader(false);
    Put32(few, 0x80 + 24 + 92, 4);  // directories 0..3 only
    const auto layout = ParsePeImageLayout(few, few.size());
    EXPECT_EQ(layout.kind, PeImageLayout::Kind::Image);
    EXPECT_FALSE(layout.hasSecurityDirectory);

    auto small = ImageHeader(true);
    Put16(small, 0x84 + 16, 112 + 4 * 8);  // ends right before the security entry
    EXPECT_FALSE(ParsePeImageLayout(small, small.size()).hasSecurityDirectory);
}

std::vector<unsigned char> Tail(std::uint32_t signatureSize, unsigned char idType = 2) {
    std::vector<unsigned char> tail(12, 0);
    tail[2] = idType;
    tail[8] = static_cast<unsigned char>(signatureSize >> 24);
    tail[9] = static_cast<unsigned char>(signatureSize >> 16);
    tail[10] = static_cast<unsigned char>(signatureSize >> 8);
    tail[11] = static_cast<unsigned char>(signatureSize);
    const std::string marker(platform::kAppendedSignatureMarker);
    tail.insert(tail.end(), marker.begin(), marker.end());
    return tail;
}

TEST(AppendedSignatureLayoutTest, ReadsTheRecordBeforeTheMarker) {
    const auto layout = ParseAppendedSignatureLayout(Tail(500), 2000);
    ASSERT_EQ(layout.kind, AppendedSignatureLayout::Kind::Present) << layout.problem;
    EXPECT_EQ(layout.signatureSize, 500u);
    EXPECT_EQ(layout.contentSize, 2000u - 40 - 500);
    EXPECT_EQ(layout.signatureOffset, layout.contentSize);
    // A signature may take everything before the record.
    EXPECT_EQ(ParseAppendedSignatureLayout(Tail(460), 500).contentSize, 0u);
}

TEST(AppendedSignatureLayoutTest, RefusesRecordsItCannotTrust) {
    EXPECT_EQ(ParseAppendedSignatureLayout(Bytes("plain file content without marker.."), 5000).kind,
              AppendedSignatureLayout::Kind::None);
    EXPECT_EQ(ParseAppendedSignatureLayout({}, 0).kind, AppendedSignatureLayout::Kind::None);

    const auto malformed = AppendedSignatureLayout::Kind::Malformed;
    EXPECT_EQ(ParseAppendedSignatureLayout(Tail(500, 1), 2000).kind, malformed);  // not PKCS#7
    EXPECT_EQ(ParseAppendedSignatureLayout(Tail(0), 2000).kind, malformed);
    EXPECT_EQ(ParseAppendedSignatureLayout(Tail(461), 500).kind, malformed);  // longer than the file
    EXPECT_EQ(ParseAppendedSignatureLayout(Tail(0xFFFFFFFF), 0xFFFFFFFFFFull).kind, malformed);
    EXPECT_EQ(ParseAppendedSignatureLayout(Tail(platform::kMaxAppendedSignatureSize + 1), 1ull << 40).kind,
              malformed);
    for (const std::size_t field : {0, 1, 3, 4, 5, 6, 7}) {
        auto tail = Tail(500);
        tail[field] = 1;
        EXPECT_EQ(ParseAppendedSignatureLayout(tail, 2000).kind, malformed) << "field " << field;
    }
    const std::string marker(platform::kAppendedSignatureMarker);
    EXPECT_EQ(ParseAppendedSignatureLayout(Bytes(marker), marker.size()).kind, malformed);
}

}  // namespace

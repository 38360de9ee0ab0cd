// Package bytes land at their offsets of a real file, failures say how much
// reached it, and what is written is handed on to the disk as it gathers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "PackageWriter.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

class PackageWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.str() + "/package.bin";
        descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(descriptor_, 0);
        data_.resize(3 * CPackageWriter::kCallBytes + 8192);
        for (std::size_t i = 0; i < data_.size(); ++i) data_[i] = static_cast<char>('a' + i % 23);
    }
    void TearDown() override { ::close(descriptor_); }

    TempDir dir_;
    std::string path_;
    int descriptor_ = -1;
    std::string data_;
};

TEST_F(PackageWriterTest, WritesLandAtTheirOffsetsInCallsOfTheCallSize) {
    CPackageWriter writer(descriptor_);
    ASSERT_TRUE(writer.Reserve(8 * CPackageWriter::kCallBytes));
    EXPECT_EQ(ReadFile(path_).size(), 0u) << "reserving space leaves the size";
    // Several calls with an unaligned tail, then a piece at an unaligned offset.
    const std::size_t large = 2 * CPackageWriter::kCallBytes + 100;
    const std::int64_t second = 5 * CPackageWriter::kCallBytes + 7;
    ASSERT_EQ(writer.WriteAt(data_.data(), large, 0), large);
    ASSERT_EQ(writer.WriteAt(data_.data() + 3, 5000, second), 5000u);

    std::string expected(static_cast<std::size_t>(second) + 5000, '\0');
    expected.replace(0, large, data_, 0, large);
    expected.replace(static_cast<std::size_t>(second), 5000, data_, 3, 5000);
    EXPECT_TRUE(ReadFile(path_) == expected);
    EXPECT_NE(CPackageWriter::UsageText().find("64 KiB calls"), std::string::npos);
}

TEST_F(PackageWriterTest, FailedWriteReportsWhatReachedTheFile) {
    const int readOnly = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    CPackageWriter writer(readOnly, false);
    errno = 0;
    EXPECT_EQ(writer.WriteAt(data_.data(), data_.size(), 0), 0u);
    EXPECT_EQ(errno, EBADF);
    ::close(readOnly);
}

TEST_F(PackageWriterTest, GatheredBytesAreHandedToTheDiskWhileWritingGoesOn) {
    CPackageWriter writer(descriptor_);
    std::int64_t offset = 0;
    while (offset < CPackageWriteOut::kGatherBytes - static_cast<std::int64_t>(data_.size())) {
        ASSERT_EQ(writer.WriteAt(data_.data(), data_.size(), offset), data_.size());
        offset += static_cast<std::int64_t>(data_.size());
    }
    EXPECT_EQ(writer.writeOuts(), 0) << "less than a gathering";
    ASSERT_EQ(writer.WriteAt(data_.data(), data_.size(), offset), data_.size());
    // The write-out runs on its own thread; the deadline only keeps a broken
    // build from hanging.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (writer.writeOuts() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(writer.writeOuts(), 1);
}

}  // namespace

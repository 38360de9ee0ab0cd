// How package bytes are written: the strategy chosen by measurement, and
// every strategy landing the right bytes at the right offsets of a real file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "PackageWriter.h"
#include "WriteStrategyTuner.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr std::size_t kPiece = 512 << 10;

// Feeds the tuner writes whose cost per byte is given for each strategy.
WriteStrategy ChooseAndPay(CWriteStrategyTuner& tuner, const double (&nsPerByte)[kWriteStrategyCount], bool direct) {
    const WriteStrategy chosen = tuner.Choose(direct);
    tuner.Record(chosen, kPiece, static_cast<std::int64_t>(nsPerByte[static_cast<int>(chosen)] * kPiece));
    return chosen;
}

TEST(WriteStrategyTunerTest, TriesEveryStrategyThenUsesTheCheapestAndLooksAgainNowAndThen) {
    CWriteStrategyTuner tuner;
    const double costs[kWriteStrategyCount] = {2.0, 0.7, 2.6, 0.9};
    int used[kWriteStrategyCount] = {};
    for (int i = 0; i < 640; ++i) ++used[static_cast<int>(ChooseAndPay(tuner, costs, true))];
    for (int strategy = 0; strategy < kWriteStrategyCount; ++strategy) {
        EXPECT_GE(used[strategy], CWriteStrategyTuner::kWarmUpSamples) << strategy;
    }
    EXPECT_GE(used[static_cast<int>(WriteStrategy::MediumCalls)], 600);

    // The machine changes: the page cache becomes dear, direct writes cheap.
    const double changed[kWriteStrategyCount] = {5.0, 4.0, 6.0, 0.5};
    for (int i = 0; i < 2000; ++i) ChooseAndPay(tuner, changed, true);
    EXPECT_EQ(ChooseAndPay(tuner, changed, true), WriteStrategy::Direct);
    EXPECT_NE(ChooseAndPay(tuner, changed, false), WriteStrategy::Direct) << "where direct writes are refused";
    EXPECT_NE(tuner.UsageText().find("direct, whole-buffer calls"), std::string::npos);
}

struct AlignedFree {
    void operator()(char* buffer) const { std::free(buffer); }
};

class PackageWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.str() + "/package.bin";
        descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(descriptor_, 0);
        buffer_.reset(static_cast<char*>(std::aligned_alloc(CPackageWriter::kAlignment, kPiece + 8192)));
        for (std::size_t i = 0; i < kPiece + 8192; ++i) buffer_.get()[i] = static_cast<char>('a' + i % 23);
    }
    void TearDown() override {
        CPackageWriter::ForceStrategy(std::nullopt);
        ::close(descriptor_);
    }

    TempDir dir_;
    std::string path_;
    int descriptor_ = -1;
    std::unique_ptr<char, AlignedFree> buffer_;
};

TEST_F(PackageWriterTest, EveryStrategyWritesTheBytesAtTheirOffsets) {
    CPackageWriter writer(descriptor_, path_);
    ASSERT_TRUE(writer.Reserve(4 * kPiece));
    EXPECT_EQ(ReadFile(path_).size(), 0u) << "reserving space leaves the size";
    std::string expected(4 * kPiece + 8192, '\0');
    for (int strategy = 0; strategy < kWriteStrategyCount; ++strategy) {
        SCOPED_TRACE(strategy);
        CPackageWriter::ForceStrategy(static_cast<WriteStrategy>(strategy));
        // Aligned, with an unaligned tail; then at an unaligned offset from an unaligned buffer.
        const auto offset = static_cast<std::int64_t>(strategy) * static_cast<std::int64_t>(kPiece);
        ASSERT_EQ(writer.WriteAt(buffer_.get(), kPiece - 100, offset), kPiece - 100);
        expected.replace(static_cast<std::size_t>(offset), kPiece - 100, buffer_.get(), kPiece - 100);
        ASSERT_EQ(writer.WriteAt(buffer_.get() + 3, 5000, offset + 7000), 5000u);
        expected.replace(static_cast<std::size_t>(offset) + 7000, 5000, buffer_.get() + 3, 5000);
    }
    const std::string written = ReadFile(path_);
    expected.resize(written.size());
    EXPECT_TRUE(written == expected);
}

TEST_F(PackageWriterTest, FailedWriteReportsWhatReachedTheFile) {
    const int readOnly = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    CPackageWriter writer(readOnly, "");
    EXPECT_FALSE(writer.directAvailable());
    EXPECT_EQ(writer.WriteAt(buffer_.get(), kPiece, 0), 0u);
    ::close(readOnly);
}

}  // namespace

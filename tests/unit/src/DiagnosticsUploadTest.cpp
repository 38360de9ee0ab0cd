#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>
#include <zip.h>

#include "Common/DiagnosticsUpload.h"
#include "Common/ZipArchiveWriter.h"
#include "SingleUserLog.h"
#include "support/TempDir.h"
#include "support/LoopbackPort.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

const platform::CivilTime kTime{2026, 3, 4, 5, 6, 7, 8};

struct ZipEntry {
    std::string name;
    int method = -1;
    std::string content;
};

std::vector<ZipEntry> ReadZip(const std::string& path) {
    std::vector<ZipEntry> entries;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        ZipEntry entry{stat.name, stat.comp_method, std::string(stat.size, '\0')};
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (file) {
            zip_fread(file, entry.content.data(), stat.size);
            zip_fclose(file);
        }
        entries.push_back(entry);
    }
    zip_close(archive);
    std::sort(entries.begin(), entries.end(), [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });
    return entries;
}

std::vector<std::string> NamesOf(const std::vector<ZipEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
}

// A run's log folder in a temporary APPDATA, with the upload service
// pointing at a port where nothing answers.
class PackAndUploadTest : public testing::Test {
protected:
    PackAndUploadTest()
        : appData_("APPDATA", dir_.str() + "/appdata"),
          workRoot_("ZEMBRA_WORK_ROOT", dir_.str() + "/work"),
          settings_("ZEMBRA_SETTINGS_FILE",
                    dir_.WriteFile("qk_downloader.cfg",
                                   "[Hosts]\nLogUpload=http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "\n")) {
        CSingleUserLog::GetInstance().InitLogPaths("packrun");
        logDir_ = CSingleUserLog::GetInstance().GetLogDir();
    }

    std::string WriteInLogDir(const std::string& name, const std::string& text) const {
        return dir_.WriteFile("appdata/QKDownloader/logs/packrun/" + name, text);
    }
    std::vector<std::string> FilesInLogDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(logDir_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string ArchiveInLogDir() const {
        for (const auto& entry : fs::directory_iterator(logDir_))
            if (entry.path().extension() == ".zip") return entry.path().string();
        return "";
    }

    TempDir dir_;
    ScopedEnv appData_;
    ScopedEnv workRoot_;
    ScopedEnv settings_;
    std::string logDir_;
    const std::string logName_ = "packrun_20260101000000000.log";
};

}  // namespace

TEST(DiagnosticsNamingTest, UploadAndArchiveNames) {
    EXPECT_EQ(diagnostics::Stamp17(kTime), "20260304050607008");
    EXPECT_EQ(diagnostics::ArchivePathFor("/logs/run", kTime), "/logs/run/20260304050607008.zip");
    EXPECT_EQ(diagnostics::UploadNameFor("zembramorvanta_zembram_20260101000000000.log", kTime),
              "zembramorvanta_zembram_20260304050607008.zip")
        << "cut at the last underscore";
    EXPECT_EQ(diagnostics::UploadNameFor("_x.log", kTime), "_20260304050607008.zip");
    EXPECT_EQ(diagnostics::UploadNameFor("plain.log", kTime), "") << "the upload names it NoName_";
    EXPECT_EQ(diagnostics::NoNameUploadName("/logs/run/20260304050607008.zip", kTime), "NoName_20260304050607008.zip");
    EXPECT_EQ(diagnostics::NoNameUploadName("/logs/run.d/archive", kTime), "NoName_20260304050607008.tmp")
        << "a dot in a folder name is no extension";
    EXPECT_EQ(diagnostics::CatalogueOrDefault(""), "default");
    EXPECT_EQ(diagnostics::CatalogueOrDefault("close03"), "close03");
}

TEST(DiagnosticsNamingTest, OnlyBareFileNamesAreAccepted) {
    EXPECT_TRUE(diagnostics::IsPlainFileName("run_1.log"));
    EXPECT_TRUE(diagnostics::IsPlainFileName("with blank.log"));
    for (const std::string& bad : std::vector<std::string>{"", ".", "..", "../run_1.log", "/etc/passwd", "a/b.log", std::string("a\0b", 3)})
        EXPECT_FALSE(diagnostics::IsPlainFileName(bad)) << bad;
}

TEST(ZipArchiveWriterTest, WritesDeflatedEntriesThatReadBack) {
    TempDir dir;
    const std::string text(50000, 'a');
    const std::string first = dir.WriteFile("first.log", text);
    const std::string second = dir.WriteFile("second.bin", std::string("\0\1\2\3", 4));
    const std::string path = dir.str() + "/out.zip";
    CZipArchiveWriter archive;
    ASSERT_TRUE(archive.Create(path));
    EXPECT_TRUE(archive.AddFile("run.log", first));
    EXPECT_TRUE(archive.AddFile("run.log.dmp", second));
    EXPECT_FALSE(archive.AddFile("missing", dir.str() + "/missing")) << "a missing file is refused up front";
    EXPECT_FALSE(archive.AddFile("folder", dir.str())) << "so is a folder";
    EXPECT_EQ(archive.EntryCount(), 2);
    ASSERT_TRUE(archive.Close());

    const auto entries = ReadZip(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "run.log");
    EXPECT_EQ(entries[0].method, ZIP_CM_DEFLATE);
    EXPECT_EQ(entries[0].content, text);
    EXPECT_EQ(entries[1].name, "run.log.dmp");
    EXPECT_EQ(entries[1].content, std::string("\0\1\2\3", 4));
    EXPECT_LT(fs::file_size(path), 2000u) << "the log was compressed";
}

TEST(ZipArchiveWriterTest, EmptyOrUnwritableArchivesLeaveNoFile) {
    TempDir dir;
    {
        CZipArchiveWriter archive;
        ASSERT_TRUE(archive.Create(dir.str() + "/empty.zip"));
        archive.Close();
    }
    EXPECT_FALSE(fs::exists(dir.str() + "/empty.zip"));
    {
        CZipArchiveWriter archive;
        ASSERT_TRUE(archive.Create(dir.str() + "/dropped.zip"));
        archive.AddFile("x", dir.WriteFile("x", "x"));
    }
    EXPECT_FALSE(fs::exists(dir.str() + "/dropped.zip")) << "an archive never closed is discarded";
    CZipArchiveWriter nowhere;
    EXPECT_FALSE(nowhere.Create(dir.str() + "/no/such/folder/a.zip"));
}

TEST(UploadLogArchiveTest, ShortPathsAndUnreachableServices) {
    TempDir dir;
    EXPECT_EQ(UploadLogArchive("a.zp", "", "QKDownload2900", "1.0.0.0", "default"), -1);
    const std::string archive = dir.WriteFile("20260304050607008.zip", "PK");
    ScopedEnv settings("ZEMBRA_SETTINGS_FILE",
                       dir.WriteFile("qk_downloader.cfg",
                                     "[Hosts]\nLogUpload=http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "\n"));
    EXPECT_EQ(UploadLogArchive(archive, "", "QKDownload2900", "1.0.0.0", "default"), -3);
}

TEST_F(PackAndUploadTest, CrashModePacksTheLogCopyAndTheCrashedRunsDump) {
    WriteInLogDir(logName_, "the crashed run's log\n");
    WriteInLogDir(logName_ + ".dmp", "MDMP-of-the-crash");
    WriteInLogDir("older_20250101000000000.log.dmp", "MDMP-older");

    EXPECT_EQ(PackAndUploadLogs(logName_, "CrashDmp", true), 0);
    const std::string archive = ArchiveInLogDir();
    ASSERT_FALSE(archive.empty()) << "an unanswered upload leaves the archive";
    EXPECT_TRUE(std::regex_match(fs::path(archive).filename().string(), std::regex(R"(\d{17}\.zip)"))) << archive;
    EXPECT_EQ(ReadFile(logDir_ + "/" + logName_ + "_copy.log"), "the crashed run's log\n") << "and the copy";

    const auto entries = ReadZip(archive);
    ASSERT_EQ(NamesOf(entries), (std::vector<std::string>{logName_, logName_ + ".dmp"}));
    EXPECT_EQ(entries[0].content, "the crashed run's log\n");
    EXPECT_EQ(entries[1].content, "MDMP-of-the-crash");
}

TEST_F(PackAndUploadTest, WithoutTheRunsDumpEveryDumpOfTheFolderGoesIn) {
    WriteInLogDir(logName_, "log\n");
    WriteInLogDir("a_1.log.dmp", "A");
    WriteInLogDir("b.dmp", "B");
    WriteInLogDir("c.dmp.txt", "not a dump");
    fs::create_directories(logDir_ + "/folder.dmp");

    EXPECT_EQ(PackAndUploadLogs(logName_, "CrashDmp", true), 0);
    EXPECT_EQ(NamesOf(ReadZip(ArchiveInLogDir())), (std::vector<std::string>{"a_1.log.dmp", "b.dmp", logName_}));
}

TEST_F(PackAndUploadTest, CloseModePacksNoDumpsAndAMissingLogStillMakesNoArchive) {
    WriteInLogDir(logName_, "log\n");
    WriteInLogDir(logName_ + ".dmp", "D");
    EXPECT_EQ(PackAndUploadLogs(logName_, "close01", false), 0);
    EXPECT_EQ(NamesOf(ReadZip(ArchiveInLogDir())), std::vector<std::string>{logName_});

    fs::remove(ArchiveInLogDir());
    EXPECT_EQ(PackAndUploadLogs("missing_20260101000000000.log", "close01", false), 0);
    EXPECT_EQ(ArchiveInLogDir(), "") << "nothing to pack, nothing to upload";
}

TEST_F(PackAndUploadTest, NamesReachingOutsideTheLogFolderAreRefused) {
    const std::string secret = dir_.WriteFile("secret.txt", "private");
    const auto before = FilesInLogDir();
    for (const std::string name : {"../../../secret.txt", "/etc/hostname", "", ".."})
        EXPECT_EQ(PackAndUploadLogs(name, "CrashDmp", true), -1) << name;
    EXPECT_EQ(FilesInLogDir(), before);
}

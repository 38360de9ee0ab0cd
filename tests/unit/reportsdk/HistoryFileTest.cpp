#include <gtest/gtest.h>

#include "reportsdk/HistoryFile.h"
#include "reportsdk/JsonText.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

// The file as jsoncpp's styled writer would write the document it holds.
std::string StyledRewrite(const std::string& text) {
    Json::Value document;
    EXPECT_TRUE(JsonText::Parse(text, document));
    return JsonText::Styled(document);
}

const std::string kTrickyPayload = "{\n\t\"common\" : \n\t{\n\t\t\"product\" : \"Zembra \\\"M\\\" \xC3\xA9\"\n\t}\n}\n";

}  // namespace

TEST(HistoryFileTest, FileTextIsExactlyWhatTheStyledWriterMakes) {
    TempDir dir;
    HistoryFile history(dir.str() + "/tempga.wk");
    ASSERT_TRUE(history.Update("1::1700000000000::Download::1.Launch", "http://h/g/collect?v=2&cid=1&tid=G&en=a", 0));
    std::string text = ReadFile(history.Path());
    EXPECT_EQ(text, StyledRewrite(text));
    EXPECT_NE(text.find("\"send_count\" : 1"), std::string::npos);

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(history.Update("2::170000000000" + std::to_string(i) + "::Download::x", kTrickyPayload, 0));
    text = ReadFile(history.Path());
    EXPECT_EQ(text, StyledRewrite(text));

    for (const std::string key : {"2::1700000000001::Download::x", "1::1700000000000::Download::1.Launch",
                                  "2::1700000000000::Download::x", "2::1700000000002::Download::x"}) {
        ASSERT_TRUE(history.Update(key, "", HistoryFile::kDelivered));
        text = ReadFile(history.Path());
        EXPECT_EQ(text, StyledRewrite(text));
    }
    EXPECT_EQ(text, "{\n   \"send_count\" : 0,\n   \"send_item\" : []\n}\n");
}

TEST(HistoryFileTest, EntriesKeepSubmissionOrderAndLeaveOnlyWhenDelivered) {
    TempDir dir;
    HistoryFile history(dir.str() + "/tempga.wk");
    history.Update("k1", "p1", HistoryFile::kPending);
    history.Update("k2", "p2", HistoryFile::kPending);
    history.Update("k3", "p3", HistoryFile::kPending);
    history.Update("k2", "p2 again", 1);
    history.Update("unknown", "", HistoryFile::kDelivered);
    history.Update("k1", "", HistoryFile::kDelivered);

    Json::Value document;
    ASSERT_TRUE(JsonText::Parse(ReadFile(history.Path()), document));
    EXPECT_EQ(document["send_count"], 2);
    ASSERT_EQ(document["send_item"].size(), 2u);
    EXPECT_EQ(document["send_item"][0]["task_guid"], "k2");
    EXPECT_EQ(document["send_item"][0]["task_status"], 1);
    EXPECT_EQ(document["send_item"][0]["task_content"], "p2 again");
    EXPECT_EQ(document["send_item"][1]["task_guid"], "k3");
    EXPECT_EQ(document["send_item"][1].getMemberNames(),
              (std::vector<std::string>{"task_content", "task_guid", "task_status"}));

    const HistoryFile::Snapshot snapshot = HistoryFile(history.Path()).Read();
    EXPECT_EQ(snapshot.sendCount, 2);
    ASSERT_EQ(snapshot.entries.size(), 2u);
    EXPECT_EQ(snapshot.entries[1].key, "k3");
    EXPECT_EQ(snapshot.entries[1].content, "p3");
}

TEST(HistoryFileTest, TwoWritersOfTheSameFileNeverLoseEachOthersEntries) {
    TempDir dir;
    HistoryFile first(dir.str() + "/tempga.wk");
    HistoryFile second(dir.str() + "/tempga.wk");
    first.Update("a", "pa", 0);
    second.Update("b", "pb", 0);
    first.Update("c", "pc", 0);
    second.Update("a", "", HistoryFile::kDelivered);
    const HistoryFile::Snapshot snapshot = first.Read();
    ASSERT_EQ(snapshot.entries.size(), 2u);
    EXPECT_EQ(snapshot.entries[0].key, "b");
    EXPECT_EQ(snapshot.entries[1].key, "c");
}

TEST(HistoryFileTest, MissingOrBrokenFilesCountAsEmptyAndAreRewrittenSound) {
    TempDir dir;
    EXPECT_EQ(HistoryFile(dir.str() + "/absent.wk").Read().entries.size(), 0u);

    const std::string path = dir.WriteFile("tempga.wk", "{\"send_count\": 3, \"send_item\": [");
    HistoryFile history(path);
    EXPECT_EQ(history.Read().sendCount, 0);
    history.Update("k", "p", 0);
    Json::Value document;
    ASSERT_TRUE(JsonText::Parse(ReadFile(path), document));
    EXPECT_EQ(document["send_count"], 1);
}

TEST(HistoryFileTest, OnlyTheFirstSendCountEntriesAreConsidered) {
    TempDir dir;
    const std::string path = dir.WriteFile(
        "tempga.wk",
        R"({"send_count":1,"extra":"kept","send_item":[{"task_guid":"a","task_status":0,"task_content":"pa"},)"
        R"({"task_guid":"b","task_status":0,"task_content":"pb"}]})");
    HistoryFile history(path);
    ASSERT_EQ(history.Read().entries.size(), 1u);
    // "b" lies beyond send_count: not found, so it is appended again.
    history.Update("b", "pb2", 0);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text, StyledRewrite(text));
    Json::Value document;
    ASSERT_TRUE(JsonText::Parse(text, document));
    EXPECT_EQ(document["send_count"], 2);
    EXPECT_EQ(document["send_item"].size(), 3u);
    EXPECT_EQ(document["extra"], "kept");
}

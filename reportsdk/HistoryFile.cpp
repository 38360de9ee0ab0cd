#include "reportsdk/HistoryFile.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "platform/FileLock.h"
#include "platform/Folders.h"
#include "reportsdk/JsonText.h"

namespace {

constexpr const char* kSendCount = "send_count";
constexpr const char* kSendItem = "send_item";

// What the styled writer puts around the array items of a document that has
// only "send_count" besides them.
std::string DocumentHead(long long sendCount) {
    return "{\n   \"send_count\" : " + std::to_string(sendCount) + ",\n   \"send_item\" : [";
}
constexpr const char* kEmptyItemsTail = "]\n}\n";
constexpr const char* kItemsTail = "\n   ]\n}\n";

long long Nanoseconds(const timespec& time) { return time.tv_sec * 1000000000LL + time.tv_nsec; }

}  // namespace

HistoryFile::HistoryFile(std::string path) : path_(std::move(path)), lockPath_(path_ + ".lock") {}

HistoryFile::FileIdentity HistoryFile::CurrentIdentity() const {
    struct stat status{};
    if (stat(path_.c_str(), &status) != 0) return {};
    return {true, status.st_dev, status.st_ino, status.st_size, Nanoseconds(status.st_mtim),
            Nanoseconds(status.st_ctim)};
}

void HistoryFile::LoadIfChanged() {
    const FileIdentity current = CurrentIdentity();
    if (loaded_ && current == identity_) return;
    loaded_ = true;
    identity_ = current;
    root_ = Json::Value(Json::objectValue);
    items_.clear();
    if (!current.exists) return;

    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    Json::Value document;
    // A broken file counts as empty; the next change writes a sound one.
    if (!JsonText::Parse(text.str(), document) || !document.isObject()) return;
    const Json::Value& items = document[kSendItem];
    if (items.isArray()) {
        for (const auto& item : items) items_.push_back({item, ""});
    }
    document.removeMember(kSendItem);
    root_ = document;
}

int HistoryFile::SendCount() const {
    const Json::Value& count = JsonText::MemberOf(root_, kSendCount);
    return count.isInt() ? count.asInt() : 0;
}

bool HistoryFile::Update(const std::string& key, const std::string& payload, int status) {
    platform::FileLock lock(lockPath_);
    platform::ScopedFileLock hold(lock);
    LoadIfChanged();

    const std::size_t considered = std::min<std::size_t>(std::max(SendCount(), 0), items_.size());
    for (std::size_t index = 0; index < considered; ++index) {
        Json::Value& item = items_[index].value;
        if (JsonText::TextOf(JsonText::MemberOf(item, "task_guid")) != key || !item.isObject()) continue;
        if (status == kDelivered) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
        } else {
            item["task_status"] = status;
            item["task_content"] = payload;
            items_[index].text.clear();
        }
        root_[kSendCount] = static_cast<int>(items_.size());
        return Write();
    }
    if (status == kDelivered) return true;

    Json::Value item(Json::objectValue);
    item["task_guid"] = key;
    item["task_status"] = status;
    item["task_content"] = payload;
    items_.push_back({item, ""});
    root_[kSendCount] = SendCount() + 1;
    return Write();
}

HistoryFile::Snapshot HistoryFile::Read() {
    platform::FileLock lock(lockPath_);
    platform::ScopedFileLock hold(lock);
    return ReadWhileLocked();
}

HistoryFile::Snapshot HistoryFile::ReadWhileLocked() {
    LoadIfChanged();

    Snapshot snapshot;
    snapshot.sendCount = SendCount();
    const std::size_t considered = std::min<std::size_t>(std::max(snapshot.sendCount, 0), items_.size());
    for (std::size_t index = 0; index < considered; ++index) {
        const Json::Value& item = items_[index].value;
        const Json::Value& status = JsonText::MemberOf(item, "task_status");
        snapshot.entries.push_back({JsonText::TextOf(JsonText::MemberOf(item, "task_guid")),
                                    status.isInt() ? status.asInt() : kPending,
                                    JsonText::TextOf(JsonText::MemberOf(item, "task_content"))});
    }
    return snapshot;
}

bool HistoryFile::CanAssembleFromItems() const {
    if (root_.size() != 1 || !root_.isMember(kSendCount) || !root_[kSendCount].isInt()) return false;
    for (const auto& item : items_) {
        if (!item.value.isObject() || item.value.empty()) return false;
    }
    return true;
}

std::string HistoryFile::ItemText(const Json::Value& item) {
    Json::Value single(Json::objectValue);
    single[kSendCount] = 1;
    single[kSendItem].append(item);
    const std::string document = JsonText::Styled(single);
    const std::string head = DocumentHead(1) + "\n";
    if (document.compare(0, head.size(), head) != 0) return "";
    const std::size_t tail = std::char_traits<char>::length(kItemsTail);
    if (document.size() < head.size() + tail || document.compare(document.size() - tail, tail, kItemsTail) != 0)
        return "";
    return document.substr(head.size(), document.size() - head.size() - tail);
}

std::string HistoryFile::Text() {
    if (CanAssembleFromItems()) {
        std::string text = DocumentHead(root_[kSendCount].asInt());
        if (items_.empty()) return text + kEmptyItemsTail;
        bool assembled = true;
        for (std::size_t index = 0; index < items_.size() && assembled; ++index) {
            Item& item = items_[index];
            if (item.text.empty()) item.text = ItemText(item.value);
            assembled = !item.text.empty();
            text += index == 0 ? "\n" : ",\n";
            text += item.text;
        }
        if (assembled) return text + kItemsTail;
    }
    Json::Value document = root_;
    Json::Value items(Json::arrayValue);
    for (const auto& item : items_) items.append(item.value);
    document[kSendItem] = items;
    return JsonText::Styled(document);
}

bool HistoryFile::Write() {
    const bool written = platform::WriteFileAtomically(path_, Text());
    identity_ = CurrentIdentity();
    return written;
}

#include "reportsdk/HistoryFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <sstream>
#include <sys/stat.h>

#include "platform/DesktopUserFiles.h"
#include "platform/FileLock.h"
#include "reportsdk/BackgroundSync.h"
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
        for (const auto& item : items)
            items_.push_back({item, JsonText::TextOf(JsonText::MemberOf(item, "task_guid")), ""});
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
        if (items_[index].key != key || !items_[index].value.isObject()) continue;
        Json::Value& item = items_[index].value;
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
    items_.push_back({item, key, ""});
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
        snapshot.entries.push_back({items_[index].key,
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

const std::string& HistoryFile::Text() {
    if (CanAssembleFromItems()) {
        std::size_t size = 64;
        for (Item& item : items_) {
            if (item.text.empty()) item.text = ItemText(item.value);
            size += item.text.size() + 2;
        }
        const bool assembled =
            std::all_of(items_.begin(), items_.end(), [](const Item& item) { return !item.text.empty(); });
        if (assembled) {
            text_.clear();
            text_.reserve(size);
            text_ += DocumentHead(root_[kSendCount].asInt());
            if (items_.empty()) return text_ += kEmptyItemsTail;
            for (std::size_t index = 0; index < items_.size(); ++index) {
                text_ += index == 0 ? "\n" : ",\n";
                text_ += items_[index].text;
            }
            return text_ += kItemsTail;
        }
    }
    Json::Value document = root_;
    Json::Value items(Json::arrayValue);
    for (const auto& item : items_) items.append(item.value);
    document[kSendItem] = items;
    text_ = JsonText::Styled(document);
    return text_;
}

// Temporary file, then rename: a crash of the process at any moment leaves
// either the old or the new file whole, since the kernel keeps what was
// written. The new file is synced by a background worker right after, not
// here: several analytics calls run on the window's thread at the install
// click, and while a download writes at full speed each sync waits tens of
// milliseconds. A power cut in between may bring back an older copy, which
// loses at most the latest changes.
bool HistoryFile::ReplaceFile(const std::string& text) const {
    const std::string temporary = path_ + ".tmp" + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool complete = written == text.size();
    close(fd);
    platform::HandToDesktopUser(temporary);
    if (complete && rename(temporary.c_str(), path_.c_str()) == 0) {
        BackgroundSync::Request(path_);
        return true;
    }
    unlink(temporary.c_str());
    return false;
}

bool HistoryFile::Write() {
    const bool written = ReplaceFile(Text());
    identity_ = CurrentIdentity();
    return written;
}

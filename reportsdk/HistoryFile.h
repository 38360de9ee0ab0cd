#pragma once
// The history file "tempga.wk": every event that was accepted and not yet
// delivered, as one JSON object {"send_count", "send_item"} written whole
// with jsoncpp's styled writer.
//
// Each change is a read-modify-write under an exclusive lock on a lock file
// beside it, so that processes of the same product never lose each other's
// entries, and the new text replaces the old file atomically, so that a crash
// in mid-write leaves the previous file. The parsed document and each entry's
// text are kept between changes and read again only when another process has
// replaced the file, which keeps a burst of events cheap.
#include <string>
#include <sys/types.h>
#include <vector>

#include <json/json.h>

class HistoryFile {
public:
    static constexpr int kPending = 0;
    static constexpr int kDelivered = 2;

    struct Entry {
        std::string key;
        int status = kPending;
        std::string content;
    };
    struct Snapshot {
        std::vector<Entry> entries;  // the first "send_count" entries
        int sendCount = 0;
    };

    explicit HistoryFile(std::string path);

    // Sets the entry of key to status and payload; status 2 removes it, an
    // unknown key is appended unless the status is 2. False when the file
    // could not be written.
    bool Update(const std::string& key, const std::string& payload, int status);
    Snapshot Read();
    // Read for a caller that already holds the lock file (LockPath()).
    Snapshot ReadWhileLocked();

    const std::string& LockPath() const { return lockPath_; }

    const std::string& Path() const { return path_; }

    // The file text for the document, made exactly as jsoncpp's styled
    // writer makes it.
    const std::string& Text();

private:
    struct FileIdentity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        long long modifiedNs = 0;
        long long changedNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    struct Item {
        Json::Value value;
        std::string key;   // its "task_guid"
        std::string text;  // its text inside the styled document; "" until needed
    };

    FileIdentity CurrentIdentity() const;
    void LoadIfChanged();
    int SendCount() const;
    bool Write();
    bool ReplaceFile(const std::string& text) const;
    bool CanAssembleFromItems() const;
    static std::string ItemText(const Json::Value& item);

    std::string path_;
    std::string lockPath_;
    bool loaded_ = false;
    FileIdentity identity_;
    Json::Value root_{Json::objectValue};  // everything but "send_item"
    std::vector<Item> items_;
    std::string text_;  // kept to reuse its storage: the file can reach megabytes
};

#pragma once
// The skin package: a ZIP archive of layouts, language files and pictures,
// shared by every window of the process. Without an archive, files come from
// the resource folder on disk. All functions may be called from any thread.
#include <cstddef>
#include <string>
#include <vector>

namespace ZembraUI {

class CSkinArchive {
public:
    // Largest file handed out by ReadFile.
    static constexpr std::size_t kMaxFileSize = 4194304;
    // Name under which an archive opened from memory is known.
    static constexpr const char* kMemoryArchiveName = "membuffer";

    // Opens the archive from bytes that stay valid and unchanged while it is
    // open (nothing is copied). While the memory archive is open, a further
    // call does nothing and returns true. Replaces an archive opened from a
    // file.
    static bool OpenFromMemory(const void* data, std::size_t size);
    // Opens an archive kept on disk. The archive stays the file source even
    // when it cannot be opened now: reads then fail with "Error opening zip
    // file" (and try to open it again) until Close.
    static bool OpenFromFile(const std::string& path);
    static void Close();
    static bool IsOpen();

    // Folder that file names are appended to when no archive is in use; a
    // trailing "/" is added when missing, "\" becomes "/".
    static void SetResourceFolder(const std::string& folder);
    static std::string GetResourceFolder();

    // Reads one file of the skin into out (exactly its size). With an archive:
    // "\" becomes "/", the first entry in directory order whose name matches
    // ignoring case wins, names of 256 characters or more are not found.
    // Without one: the resource folder + name from disk. On failure returns
    // false with error set to the reason and out emptied.
    static bool ReadFile(const std::string& name, std::vector<unsigned char>& out, std::string& error);

    // Reads a file from disk with the same checks and error texts as a skin
    // file in the resource folder, allowing at most maxSize bytes.
    static bool ReadDiskFile(const std::string& path, std::vector<unsigned char>& out, std::string& error,
                             std::size_t maxSize = kMaxFileSize);
};

}  // namespace ZembraUI

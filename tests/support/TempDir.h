#pragma once
// A temporary folder removed with everything in it when the test ends.
#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Writes text to a file below the folder (creating parents) and returns its path.
    std::string WriteFile(const std::string& relativePath, const std::string& text) const;

private:
    std::filesystem::path path_;
};

// Reads a whole file; "" when it does not exist.
std::string ReadFile(const std::string& path);

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool hadValue_;
    std::string oldValue_;
};

}  // namespace testsupport

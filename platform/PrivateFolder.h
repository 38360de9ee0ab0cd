#pragma once
// Folders that only this user can change. The installer keeps its lock,
// its work files and the package it runs in them, so another local user can
// neither block a start nor swap what is run.
#include <string>

namespace platform {

// Why path is no private folder of this user: it is missing, a symbolic
// link, not a folder, owned by another user, or writable by group or
// others. "" when it is one.
std::string PrivateFolderProblem(const std::string& path);

// Creates path (its parent must exist) with mode 0700 when it is missing,
// takes group and other access away from an existing one of ours, and
// checks it. Returns the problem, "" when the folder is fit for use.
std::string MakePrivateFolder(const std::string& path);

// Creates every folder of relative below root as private folders. Returns
// the first problem met, "" when the whole chain is private.
std::string MakePrivateFolderChain(const std::string& root, const std::string& relative);

// A private folder of this user under the temporary folder:
// $TMPDIR/zembra-<uid>, or a fresh folder with an unguessable name when
// another user took that name first. Chosen once per process for each
// temporary folder; "" when none can be made.
std::string PrivateTempFolder();

struct FolderChoice {
    std::string path;     // "" when no private folder could be had
    std::string refused;  // the folder asked for when it was not fit
    std::string problem;  // why it was refused
};

// The folder for this session's lock and beacon: $XDG_RUNTIME_DIR when it is
// a private folder of this user, else PrivateTempFolder().
FolderChoice ChooseRuntimeFolder();

// The work folder relative (e.g. "QKDownloader/run") below WorkRootDir(),
// made private; when any part of it is not ours alone, the same folders
// below PrivateTempFolder() instead.
FolderChoice ChooseWorkFolder(const std::string& relative);

}  // namespace platform

#pragma once
// The checks the wizard makes before an install starts: the product must not
// be running; the package and the installed product must fit on their
// filesystems; a solid-state filesystem is suggested when the chosen folder
// lies on a spinning disk; the install folder must be creatable and
// writable; a folder due to be renamed at the next restart is reported.
//
// The checks change nothing on screen. Each returns what the window is to
// do: the message-box kind to show when the install is refused, and the
// install-path text when a check moved the folder to another filesystem.
// The one question (switch to the suggested solid-state filesystem?) is
// asked through the window's callback, which returns the box's answer.
//
// A "drive" here is a mounted local block-device filesystem; its "letter"
// is its mount point, ending with "/".
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Common/install_ui_mainwnd/EnumMsgType.h"
#include "Common/install_ui_mainwnd/FolderChooser.h"
#include "Common/install_ui_mainwnd/ProductService.h"
#include "platform/Folders.h"

class CConfigure;
class IFlowAnalytics;

// What the window knows when the install button is clicked.
struct InstallTargetInputs {
    std::string installPathText;  // the text of install_file_path_edit
    std::string softwareName;     // the embedded Software_name label
    int suggestSsd = 0;           // the embedded SuggestSSD label; 0 off
    std::string workFolder;       // the logger's work folder
};

struct ProductRunningCheck {
    bool mayInstall = false;         // true: the product's process is not running
    std::optional<EnumMsgType> box;  // MsgAppExist when it runs; none when the list could not be read
};

struct FreeSpaceCheck {
    enum Result { Enough = 1, WorkDriveTooSmall = -1, InstallDriveTooSmall = -2 };
    int result = Enough;
    // Free bytes of the filesystem found too small; nullopt while enough.
    std::optional<std::uint64_t> freeBytes;
};

struct InstallPathCheck {
    bool passed = false;             // the install may start; the window shows the running page
    std::optional<EnumMsgType> box;  // when refused: MsgNoEnoughSpace or MsgPathError
    std::string installPathText;     // the edit's text afterwards (moved to another drive, or unchanged)
    std::string installDir;          // the folder the setup installs into
    bool pendingRename = false;      // the folder is due to be renamed or deleted at restart
};

// The checks of the install click, in their order. The window puts
// installPathText into its path edit whatever the outcome (a refused
// install shows the folder the checks tried last), shows box with an empty
// text when set, and switches to the running page when started.
struct InstallStartCheck {
    bool started = false;            // all checks passed; the install may start
    std::optional<EnumMsgType> box;  // a refusal's box, for the window to show
    std::string installPathText;     // the edit's text afterwards
    std::string installDir;
};

struct BrowseResult {
    int result = -1;                 // 0 a folder was chosen; -1 cancelled or no chooser
    bool chooserAvailable = false;   // false: no desktop chooser, the edit is the way to type a folder
    std::string installPathText;     // the edit's new text when chosen
    std::optional<float> freeSpaceGb;  // free space of the chosen folder's filesystem, when known
};

class CInstallTargetChecks {
public:
    // Shows a message box and returns its answer (1 Yes/OK, 2 No/close).
    using AskUser = std::function<int(EnumMsgType kind, const std::string& text)>;

    explicit CInstallTargetChecks(IFlowAnalytics& analytics, platform::DriveSources drives = {});

    // The install click's checks: the product's process, the install
    // target, then the product's service. Reports "DL024" when the product
    // runs or the process list cannot be read.
    InstallStartCheck BeginInstallChecks(const CConfigure& configuration, const InstallTargetInputs& inputs,
                                         const AskUser& ask,
                                         const ServiceManagers& services = ServiceManagers::Detect());

    // Whether a process runs the executable named processName (exact,
    // case-sensitive file name).
    ProductRunningCheck AppIsRunning(const std::string& processName) const;

    // Space, solid-state suggestion, folder creation and write access, and
    // the pending-rename report. The space checks and the suggestion run
    // only when the configuration came from the download-information reply.
    InstallPathCheck IsCorrectInstallPath(const CConfigure& configuration, const InstallTargetInputs& inputs,
                                          const AskUser& ask);

    // Work filesystem: more than size free. Install filesystem: more than
    // size x3 free when it is the work filesystem as well, else size x2. A
    // filesystem whose free space cannot be queried counts as enough.
    FreeSpaceCheck EnoughFreeSpace(std::int64_t size, const std::string& workFolder,
                                   const std::string& installDir) const;

    // The first solid-state drive (mount order) with room for the package
    // where the folder can be made, when suggestSsd is on and the path lies
    // on a spinning disk; "" else.
    std::string NeedSuggestSSD(std::int64_t size, const InstallTargetInputs& inputs) const;
    // Mount points of the fixed (not USB, not removable) solid-state drives.
    std::vector<std::string> GetSsdDriveLetters() const;
    // The path moved onto the drive with the most free space where it can
    // be made; unchanged when that is its own drive or no drive qualifies.
    std::string MoveToRoomiestDrive(const std::string& pathText) const;
    // The path moved onto the suggested solid-state drive.
    std::string SwitchToSsd(const std::string& pathText, const std::string& suggestedSsd) const;
    // The path moved onto another drive: the part below its own mount
    // point, placed below driveRoot.
    std::string MoveOntoDrive(const std::string& pathText, const std::string& driveRoot) const;

    // The chosen folder, its filesystem's free space and the product folder.
    BrowseResult BrowseInstallFolder(const std::string& currentPathText,
                                     const FolderChooserPrograms& programs = FolderChooserPrograms::Detect()) const;

    // The install folder: the path text with "\" turned into "/", followed
    // by "/" and the product name unless the text contains it already.
    static std::string GetInstallDir(const std::string& pathText, const std::string& softwareName);
    // The configuration's Software_name once loaded, else the embedded one.
    static std::string GetProductFolderName(const CConfigure& configuration, const std::string& softwareName);
    // True when a pending rename or delete of the registry store names a
    // file inside dir.
    static bool IsPendingRename(const std::string& dir);

private:
    struct DriveFacts {
        std::string mountPoint;
        std::uint64_t freeBytes;
        bool solidState;
    };
    std::vector<DriveFacts> SearchableDrives() const;
    std::string DriveOf(const std::string& path) const;
    std::optional<std::string> InstallDirProblem(const std::string& dir) const;
    // The space checks for the folder in check.installPathText, which moves
    // to the roomiest drive when its own is too small.
    bool EnsureSpace(std::int64_t size, const InstallTargetInputs& inputs, InstallPathCheck& check) const;

    IFlowAnalytics& analytics_;
    platform::DriveSources drives_;
};

// The free space a filesystem needs for a package of size bytes: x3 when it
// holds both the package and the installed product, x2 for the product alone.
std::uint64_t RequiredFreeBytes(std::int64_t size, bool sameDriveAsWork);

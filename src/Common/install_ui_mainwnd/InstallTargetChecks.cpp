#include "Common/install_ui_mainwnd/InstallTargetChecks.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include <easylogging++.h>

#include "CConfigure.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "FuntionImpl.h"
#include "platform/Process.h"
#include "platform/RegistryStore.h"

namespace {

constexpr std::size_t kKernelNameLength = 15;  // the kernel keeps this much of a program's name
constexpr std::size_t kLoggedPathLength = 260;
constexpr const char* kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kBrowsedProductFolder = "Zembra";

bool IsValidUtf8(const std::string& text) { return FuntionImpl::AnsiToUtf8(text) == text; }

std::string FileNameOf(std::string path) {
    // A replaced executable still runs; the kernel marks its old path.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        path.resize(path.size() - kDeleted.size());
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path as the mount table sees it: symbolic links of the part that
// exists resolved, the part still to be created appended.
std::string ResolvedPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

std::string NearestExistingFolder(std::string path) {
    std::error_code error;
    while (path.size() > 1 && !std::filesystem::is_directory(path, error)) {
        const auto slash = path.find_last_of('/', path.size() - 2);
        if (slash == std::string::npos) return "/";
        path.resize(slash == 0 ? 1 : slash);
    }
    return path.empty() ? "/" : path;
}

// True when this process may create path: its nearest existing folder is
// writable (not on a read-only mount, not someone else's).
bool CanCreate(const std::string& path) {
    return access(NearestExistingFolder(path).c_str(), W_OK | X_OK) == 0;
}

std::string FreeText(const std::optional<std::uint64_t>& free) {
    return free ? std::to_string(*free) : "unknown";
}

bool IsPathInside(const std::string& path, const std::string& root) {
    return path.rfind(root, 0) == 0 || path + "/" == root;
}

}  // namespace

std::uint64_t RequiredFreeBytes(std::int64_t size, bool sameDriveAsWork) {
    if (size <= 0) return 0;
    const std::uint64_t factor = sameDriveAsWork ? 3 : 2;
    const auto bytes = static_cast<std::uint64_t>(size);
    if (bytes > std::numeric_limits<std::uint64_t>::max() / factor) return std::numeric_limits<std::uint64_t>::max();
    return bytes * factor;
}

CInstallTargetChecks::CInstallTargetChecks(IFlowAnalytics& analytics, platform::DriveSources drives)
    : analytics_(analytics), drives_(std::move(drives)) {}

InstallStartCheck CInstallTargetChecks::BeginInstallChecks(const CConfigure& configuration,
                                                           const InstallTargetInputs& inputs, const AskUser& ask,
                                                           const ServiceManagers& services) {
    InstallStartCheck start;
    start.installPathText = inputs.installPathText;
    const ProductRunningCheck running = AppIsRunning(configuration.Process_name);
    if (!running.mayInstall) {
        analytics_.FlowError("DL024");
        LOG(INFO) << "app is running";
        start.box = running.box;
        return start;
    }
    const InstallPathCheck path = IsCorrectInstallPath(configuration, inputs, ask);
    start.installPathText = path.installPathText;
    start.installDir = path.installDir;
    if (!path.passed) {
        start.box = path.box;
        return start;
    }
    StopProductService(configuration.Software_id, services);
    start.started = true;
    return start;
}

ProductRunningCheck CInstallTargetChecks::AppIsRunning(const std::string& processName) const {
    ProductRunningCheck check;
    const std::vector<platform::ProcessInfo> processes = platform::ListProcesses();
    if (processes.empty()) {
        LOG(INFO) << " Process list cannot be read";
        return check;
    }
    const pid_t self = getpid();
    for (const platform::ProcessInfo& process : processes) {
        if (process.pid == self || processName.empty()) continue;
        // Another user's process hides its executable; its kernel name is
        // then all there is, cut to 15 bytes.
        const std::string fileName = FileNameOf(process.executable);
        const bool runs = fileName.empty() ? process.name == processName.substr(0, kKernelNameLength)
                                           : fileName == processName;
        if (!runs) continue;
        LOG(INFO) << (fileName.empty() ? process.name : fileName) << "," << processName << "ID:" << process.pid;
        check.box = MsgAppExist;
        return check;
    }
    check.mayInstall = true;
    return check;
}

InstallPathCheck CInstallTargetChecks::IsCorrectInstallPath(const CConfigure& configuration,
                                                            const InstallTargetInputs& inputs, const AskUser& ask) {
    InstallPathCheck check;
    check.installPathText = inputs.installPathText;
    const bool fromReply = configuration.LoadState == CConfigure::LoadStateLoaded &&
                           configuration.LoadSource == CConfigure::LoadSourceReply;
    if (fromReply) {
        const std::int64_t size = configuration.Filesize;
        const std::string suggested = NeedSuggestSSD(size, inputs);
        if (!suggested.empty() && ask && ask(MsgSuggestSSD, suggested) == 1) {
            LOG(INFO) << " user choose ok to switch ssd: " << suggested;
            check.installPathText = SwitchToSsd(check.installPathText, suggested);
        }
        if (!EnsureSpace(size, inputs, check)) return check;
    }
    check.installDir = GetInstallDir(check.installPathText, inputs.softwareName);
    if (const auto problem = InstallDirProblem(check.installDir)) {
        LOG(INFO) << " Install dir not usable: " << *problem << ", " << BoundedUtf8(check.installDir, kLoggedPathLength);
        analytics_.FlowError("DL009");
        check.box = MsgPathError;
        return check;
    }
    analytics_.FunnelParam("Download", "DownloadEnvReady", "", "");
    if (IsPendingRename(check.installDir)) {
        check.pendingRename = true;
        analytics_.Event("Other", "ProcessNeedRestartSign", "");
    }
    check.passed = true;
    return check;
}

bool CInstallTargetChecks::EnsureSpace(std::int64_t size, const InstallTargetInputs& inputs,
                                       InstallPathCheck& check) const {
    FreeSpaceCheck space =
        EnoughFreeSpace(size, inputs.workFolder, GetInstallDir(check.installPathText, inputs.softwareName));
    if (space.result == FreeSpaceCheck::InstallDriveTooSmall) {
        check.installPathText = MoveToRoomiestDrive(check.installPathText);
        space = EnoughFreeSpace(size, inputs.workFolder, GetInstallDir(check.installPathText, inputs.softwareName));
        if (space.result == FreeSpaceCheck::InstallDriveTooSmall) {
            analytics_.FlowError("DL008");
            analytics_.Event("Other", "NoEnoughSpace", "install_" + FreeText(space.freeBytes));
        }
    }
    if (space.result == FreeSpaceCheck::Enough) return true;
    check.box = MsgNoEnoughSpace;
    return false;
}

FreeSpaceCheck CInstallTargetChecks::EnoughFreeSpace(std::int64_t size, const std::string& workFolder,
                                                     const std::string& installDir) const {
    FreeSpaceCheck check;
    if (size <= 0) return check;
    const std::optional<std::uint64_t> workFree = platform::FreeBytesAvailable(workFolder);
    if (!workFree) LOG(INFO) << " Free space unknown: " << BoundedUtf8(workFolder, kLoggedPathLength);
    if (workFree && *workFree <= static_cast<std::uint64_t>(size)) {
        LOG(INFO) << " PC space not enough1: " << *workFree << "<=" << size;
        analytics_.FlowError("DL008");
        analytics_.Event("Other", "NoEnoughSpace", "download_" + std::to_string(*workFree));
        check.result = FreeSpaceCheck::WorkDriveTooSmall;
        check.freeBytes = workFree;
        return check;
    }
    const std::uint64_t needed = RequiredFreeBytes(size, platform::SameDrive(installDir, workFolder));
    const std::optional<std::uint64_t> installFree = platform::FreeBytesAvailable(installDir);
    if (!installFree) LOG(INFO) << " Free space unknown: " << BoundedUtf8(installDir, kLoggedPathLength);
    if (installFree && *installFree <= needed) {
        LOG(INFO) << " PC space not enough2: " << *installFree << "<=" << needed;
        check.result = FreeSpaceCheck::InstallDriveTooSmall;
        check.freeBytes = installFree;
    }
    return check;
}

std::string CInstallTargetChecks::NeedSuggestSSD(std::int64_t size, const InstallTargetInputs& inputs) const {
    LOG(INFO) << " custom suggest ssd: " << inputs.suggestSsd;
    if (inputs.suggestSsd == 0 || inputs.installPathText.empty()) return "";
    const std::string ownDrive = DriveOf(inputs.installPathText);
    for (const platform::Drive& drive : platform::ListDrives(drives_)) {
        if (drive.mountPoint == ownDrive && drive.isSolidState) {
            LOG(INFO) << " CurInstallPath is ssd";
            return "";
        }
    }
    const std::vector<std::string> letters = GetSsdDriveLetters();
    std::string joined;
    for (const std::string& letter : letters) joined += (joined.empty() ? "" : " ") + letter;
    LOG(INFO) << " CurInstallPath is not ssd, get ssd: " << joined;
    for (const std::string& letter : letters) {
        if (!CanCreate(MoveOntoDrive(inputs.installPathText, letter))) {
            LOG(INFO) << " Judge path not writable: " << letter;
            continue;
        }
        const bool holdsWork = platform::SameDrive(letter, inputs.workFolder);
        const std::optional<std::uint64_t> free = platform::FreeBytesAvailable(letter);
        LOG(INFO) << " Judge space: " << FreeText(free) << ", " << size << "*" << (holdsWork ? 3 : 2);
        if (free && RequiredFreeBytes(size, holdsWork) < *free) {
            LOG(INFO) << " Judge space ok, can use ssd: " << letter;
            return letter;
        }
    }
    return "";
}

std::vector<std::string> CInstallTargetChecks::GetSsdDriveLetters() const {
    std::vector<std::string> letters;
    for (const DriveFacts& drive : SearchableDrives())
        if (drive.solidState) letters.push_back(drive.mountPoint);
    return letters;
}

std::string CInstallTargetChecks::MoveToRoomiestDrive(const std::string& pathText) const {
    if (pathText.empty() || pathText.front() != '/') return pathText;
    const std::string ownDrive = DriveOf(pathText);
    std::optional<DriveFacts> roomiest;
    for (const DriveFacts& drive : SearchableDrives()) {
        if (roomiest && drive.freeBytes <= roomiest->freeBytes) continue;
        if (drive.mountPoint == ownDrive || CanCreate(MoveOntoDrive(pathText, drive.mountPoint))) roomiest = drive;
    }
    // The path's own drive competes too, even where its root is not ours to
    // write (a home folder on "/"): staying is no move.
    for (const platform::Drive& drive : platform::ListDrives(drives_))
        if (drive.mountPoint == ownDrive && (!roomiest || drive.freeBytes > roomiest->freeBytes)) return pathText;
    if (!roomiest || roomiest->mountPoint == ownDrive) return pathText;
    return MoveOntoDrive(pathText, roomiest->mountPoint);
}

std::string CInstallTargetChecks::SwitchToSsd(const std::string& pathText, const std::string& suggestedSsd) const {
    return MoveOntoDrive(pathText, suggestedSsd);
}

std::string CInstallTargetChecks::MoveOntoDrive(const std::string& pathText, const std::string& driveRoot) const {
    if (pathText.empty() || pathText.front() != '/' || driveRoot.empty()) return pathText;
    const std::string resolved = ResolvedPath(pathText);
    std::string ownDrive = DriveOf(pathText);
    if (ownDrive.empty()) ownDrive = "/";
    std::string below = IsPathInside(resolved, ownDrive) ? resolved.substr(std::min(ownDrive.size(), resolved.size()))
                                                         : resolved.substr(1);
    std::string root = driveRoot;
    if (root.back() != '/') root += '/';
    return root + below;
}

BrowseResult CInstallTargetChecks::BrowseInstallFolder(const std::string& currentPathText,
                                                       const FolderChooserPrograms& programs) const {
    BrowseResult browse;
    browse.installPathText = currentPathText;
    const std::string start = currentPathText.empty() || currentPathText.front() != '/'
                                  ? std::string("/")
                                  : NearestExistingFolder(currentPathText);
    const FolderChooserResult chosen = ChooseFolderWithDesktop(start, "", programs);
    browse.chooserAvailable = chosen.choice != FolderChoice::NoChooser;
    if (chosen.choice != FolderChoice::Chosen) return browse;
    if (const auto free = platform::FreeBytesAvailable(chosen.folder))
        browse.freeSpaceGb = static_cast<float>(static_cast<double>(*free) / 1024 / 1024 / 1024);
    std::string path = chosen.folder;
    if (path.find(kBrowsedProductFolder) == std::string::npos) {
        if (path.back() != '/') path += '/';
        path += kBrowsedProductFolder;
    }
    browse.installPathText = path;
    browse.result = 0;
    return browse;
}

std::string CInstallTargetChecks::GetInstallDir(const std::string& pathText, const std::string& softwareName) {
    std::string dir = pathText;
    for (char& c : dir)
        if (c == '\\') c = '/';
    if (dir.find(softwareName) != std::string::npos) return dir;
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir + softwareName;
}

std::string CInstallTargetChecks::GetProductFolderName(const CConfigure& configuration,
                                                       const std::string& softwareName) {
    return configuration.LoadState == CConfigure::LoadStateLoaded ? configuration.Software_name : softwareName;
}

bool CInstallTargetChecks::IsPendingRename(const std::string& dir) {
    const std::optional<std::string> pending = platform::RegistryStore::ReadString(
        platform::RegistryHive::LocalMachine, kSessionManagerKey, "PendingFileRenameOperations");
    if (!pending || dir.empty()) return false;
    const std::string inside = dir.back() == '/' ? dir : dir + "/";
    return pending->find(inside) != std::string::npos;
}

std::vector<CInstallTargetChecks::DriveFacts> CInstallTargetChecks::SearchableDrives() const {
    std::vector<DriveFacts> drives;
    for (const platform::Drive& drive : platform::ListDrives(drives_)) {
        // Fixed disks only. Whether the folder can be made there depends on
        // the folder; the searches ask for each candidate.
        if (drive.isUsb || drive.isRemovable) continue;
        drives.push_back({drive.mountPoint, drive.freeBytes, drive.isSolidState});
    }
    return drives;
}

std::string CInstallTargetChecks::DriveOf(const std::string& path) const {
    const std::string resolved = ResolvedPath(path);
    std::string best;
    for (const platform::Drive& drive : platform::ListDrives(drives_))
        if (IsPathInside(resolved, drive.mountPoint) && drive.mountPoint.size() > best.size()) best = drive.mountPoint;
    return best;
}

std::optional<std::string> CInstallTargetChecks::InstallDirProblem(const std::string& dir) const {
    if (!IsValidUtf8(dir)) return "not valid UTF-8";
    if (dir.empty() || dir.front() != '/') return "not an absolute path";
    const int created = platform::CreateDirectoryTree(dir);
    if (created == 112) return "disk full";
    if (created != 0) return std::string("cannot create: ") + std::strerror(created);
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) return "not a folder";
    if (access(dir.c_str(), W_OK | X_OK) != 0) return std::string("not writable: ") + std::strerror(errno);
    return std::nullopt;
}

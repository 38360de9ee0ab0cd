#include "Common/install_ui_mainwnd/FolderChooser.h"

#include <cstdlib>
#include <vector>

#include <easylogging++.h>

#include "FuntionImpl.h"
#include "platform/DesktopOpen.h"
#include "platform/Process.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

std::vector<std::string> ChooserCommand(const FolderChooserPrograms& programs, const std::string& startFolder,
                                        const std::string& title) {
    std::string start = startFolder;
    if (!start.empty() && start.back() != '/') start += '/';
    if (!programs.zenity.empty())
        return {programs.zenity, "--file-selection", "--directory", "--title=" + title, "--filename=" + start};
    return {programs.kdialog, "--getexistingdirectory", start.empty() ? "/" : start, "--title", title};
}

}  // namespace

FolderChooserPrograms FolderChooserPrograms::Detect() {
    FolderChooserPrograms programs;
    programs.zenity = platform::FindProgramOnPath("zenity");
    programs.kdialog = platform::FindProgramOnPath("kdialog");
    programs.hasDisplay = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    return programs;
}

FolderChooserResult ChooseFolderWithDesktop(const std::string& startFolder, const std::string& title,
                                            const FolderChooserPrograms& programs) {
    FolderChooserResult result;
    if (!programs.hasDisplay || (programs.zenity.empty() && programs.kdialog.empty())) {
        LOG(INFO) << " No folder chooser on this desktop";
        return result;
    }
    const std::vector<std::string> argv = ChooserCommand(programs, startFolder, title);
    const platform::CapturedRun run = platform::RunForOutput(argv, -1);
    if (!run.started) {
        LOG(INFO) << " Folder chooser could not start: " << argv[0] << ", " << errno;
        return result;
    }
    std::string folder = run.output;
    while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
    // Both choosers answer 1 for Cancel; anything but one absolute folder
    // name on one line is no choice either.
    if (run.exitCode != 0 || folder.empty() || folder.front() != '/' || folder.find('\n') != std::string::npos ||
        FuntionImpl::AnsiToUtf8(folder) != folder) {
        LOG(INFO) << " Folder chooser closed without a folder: " << run.exitCode;
        result.choice = FolderChoice::Cancelled;
        return result;
    }
    result.choice = FolderChoice::Chosen;
    result.folder = folder;
    return result;
}

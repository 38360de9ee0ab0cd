#pragma once
// The desktop's own folder chooser: the desktop portal's over the session
// bus, else zenity or kdialog, when one is installed. Without one the
// wizard's install-path edit stays the way to type a folder.
#include <string>

enum class FolderChoice { Chosen, Cancelled, NoChooser };

struct FolderChooserResult {
    FolderChoice choice = FolderChoice::NoChooser;
    std::string folder;  // the chosen folder when choice is Chosen
};

// The choosers found on this system; "" for each one missing.
struct FolderChooserPrograms {
    std::string sessionBus;  // D-Bus address of the session bus, for the portal
    std::string zenity;
    std::string kdialog;
    bool hasDisplay = false;

    static FolderChooserPrograms Detect();
};

// Shows the first chooser available (a portal without a file chooser passes
// on to the programs), starting in startFolder, and waits for
// the user's answer. It touches no window of ours, so a window may call it
// from a thread of its own to keep repainting meanwhile.
FolderChooserResult ChooseFolderWithDesktop(const std::string& startFolder, const std::string& title,
                                            const FolderChooserPrograms& programs = FolderChooserPrograms::Detect());

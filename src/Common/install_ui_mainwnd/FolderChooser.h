#pragma once
// The desktop's own folder chooser (zenity or kdialog), when one is
// installed. Without one the wizard's install-path edit stays the way to
// type a folder.
#include <string>

enum class FolderChoice { Chosen, Cancelled, NoChooser };

struct FolderChooserResult {
    FolderChoice choice = FolderChoice::NoChooser;
    std::string folder;  // the chosen folder when choice is Chosen
};

// The chooser programs found on this system; "" for each one missing.
struct FolderChooserPrograms {
    std::string zenity;
    std::string kdialog;
    bool hasDisplay = false;

    static FolderChooserPrograms Detect();
};

// Shows the first chooser available, starting in startFolder, and waits for
// the user's answer. It touches no window of ours, so a window may call it
// from a thread of its own to keep repainting meanwhile.
FolderChooserResult ChooseFolderWithDesktop(const std::string& startFolder, const std::string& title,
                                            const FolderChooserPrograms& programs = FolderChooserPrograms::Detect());

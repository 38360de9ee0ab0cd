#pragma once
// What the install flow needs from the wizard window, and nothing more: post
// it a message, read and raise its progress bar, share the run's flags and
// ticks, and read its configuration, labels, language and install folder.
// The wizard window implements it; so does the headless host, so the whole
// flow runs without a window.
#include <cstdint>
#include <string>

#include "EnumLanguage.h"

class CConfigure;
class IConfigLabelSource;
class InstallRunState;

class IInstallWindowPort {
public:
    virtual ~IInstallWindowPort() = default;

    // Posts a message to the window's queue; false when the window is gone
    // (the flow goes on regardless).
    virtual bool PostWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // The progress bar, 0..100. SetProgress only ever raises it; the worker
    // calls it from its own thread while downloading, so a window whose
    // toolkit is not thread-safe hands the value to its UI thread.
    virtual int GetProgress() const = 0;
    virtual void SetProgress(int percent) = 0;

    virtual InstallRunState& RunState() = 0;
    // The product configuration the window owns (filled by the worker).
    virtual CConfigure& Configuration() = 0;
    // The configuration labels of the embedded layout.
    virtual const IConfigLabelSource& ConfigurationLabels() const = 0;
    virtual EnumLanguage CurrentLanguage() const = 0;
    // The folder the setup installs into (install path field + product folder).
    virtual std::string GetInstallDir() const = 0;

    // The automatic product start at the end of a successful run: a click on
    // the window's "start_app" button, handled on the window's own thread.
    virtual void DeliverStartAppClick() = 0;
    // True once the window has begun to close (the user closed it, or the
    // program is ending): a worker then starts nothing new.
    virtual bool IsClosing() const = 0;
};

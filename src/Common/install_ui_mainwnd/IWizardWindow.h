#pragma once
// What the wizard's pages ask of the native window they live in.
class IWizardWindow {
public:
    virtual ~IWizardWindow() = default;
    // Gives the window this client size, keeping its top-left corner, and
    // repaints it.
    virtual void ResizeWindow(int width, int height) = 0;
    // Shows percent (0..100) in the taskbar button, normal state.
    virtual void ShowTaskbarProgress(int percent) = 0;
};

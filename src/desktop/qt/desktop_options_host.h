#pragma once

#include "core/options_presenter.h"

namespace calventa::app {

class DesktopApp;

// The window side of the options dialog in the desktop program: opacity previews, the
// fan-control warning, message boxes, and the steps of "OK" on the main window.
class DesktopOptionsHost final : public core::OptionsHost
{
public:
    explicit DesktopOptionsHost(DesktopApp& app) : m_app(app) {}

    void SetMainWindowOpacity(int opacity) override;
    void ShowFanWarning() override;
    void ShowMessage(const std::string& text) override;
    void SetTimerIntervals(int sensorMs, int diskMs) override;
    void HideMainWindow() override;
    void RestoreMainWindowParent() override;
    void SetMainWindowStaysOnTop(bool onTop) override;
    void ReapplyMainWindowFrame() override;
    void PutMainWindowOnDesktop() override;
    void ShowMainWindowUnlessMinimized() override;
    void HideOptionsDialog() override;

private:
    DesktopApp& m_app;
    // Whether the main window was up when "OK" hid it: a window left in the tray or
    // minimized stays there.
    bool m_mainWindowWasShown = false;
};

} // namespace calventa::app

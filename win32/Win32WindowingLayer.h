#pragma once

#include "WindowingLayer.h"

#include <string>

namespace win32layer {

// The windows as standard Win32 controls; message boxes, number formatting
// and the event loop are the system's.
class Win32WindowingLayer : public forms::WindowingLayer {
public:
    Win32WindowingLayer();
    Win32WindowingLayer(const Win32WindowingLayer&) = delete;
    Win32WindowingLayer& operator=(const Win32WindowingLayer&) = delete;
    ~Win32WindowingLayer() override;

    std::unique_ptr<forms::WindowPeer> createPeer(forms::Window& window) override;
    void showMessageBox(const std::string& prompt, int style, const std::string& title) override;
    std::string formatNumber(double value, int decimals) const override;
    bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                            const std::function<void()>& everyTick) override;
    void wake() override;
    void endProgram(int status) override;
    void dismissMessageBoxes() override;

    // Formats numbers for this locale ("en-US") instead of the user's
    // regional settings; empty returns to those.
    void useNumberLocale(std::string localeName);

private:
    // An auto-reset event: wake() releases the innermost waiter.
    void* m_wakeEvent;
    std::string m_numberLocale;
};

} // namespace win32layer

#pragma once

#include "WindowingLayer.h"

#include <QEventLoop>

class QMessageBox;

#include <vector>

namespace qtlayer {

// The windows as Qt 6 widgets; message boxes, number formatting and the
// event loop are Qt's.
class QtWindowingLayer : public forms::WindowingLayer {
public:
    std::unique_ptr<forms::WindowPeer> createPeer(forms::Window& window) override;
    void showMessageBox(const std::string& prompt, int style, const std::string& title) override;
    std::string formatNumber(double value, int decimals) const override;
    bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                            const std::function<void()>& everyTick) override;
    void wake() override;
    void endProgram(int status) override;
    void dismissMessageBoxes() override;

private:
    // The event loops waiting in processEventsUntil, innermost last.
    std::vector<QEventLoop*> m_waiting;
    std::vector<QMessageBox*> m_openBoxes;
};

} // namespace qtlayer

#pragma once

#include <QPointer>
#include <QProgressBar>

namespace platform {

// A progress bar with single-precision Min, Max and Value. The writer sets
// Value once per block, up to 102,400 times for one file, without returning
// to the event loop; the bar must still move on screen. So this control
// passes a value on to the widget, which then repaints itself at once, only
// when the shown percentage changes: about a hundred paints per file.
class ProgressBar {
public:
    ProgressBar() = default;
    explicit ProgressBar(QProgressBar* widget);

    float Min() const { return m_min; }
    float Max() const { return m_max; }
    float Value() const { return m_value; }
    void setMin(float min);
    void setMax(float max);
    void setValue(float value);


private:
    void show();

    QPointer<QProgressBar> m_widget;
    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
};

} // namespace platform

#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int kShownSteps = 100;

} // namespace

ProgressBar::ProgressBar(QProgressBar* widget)
    : m_widget(widget)
{
    if (m_widget) {
        m_widget->setRange(0, kShownSteps);
        m_widget->reset();
    }
}

void ProgressBar::setMin(float min)
{
    m_min = min;
    show();
}

void ProgressBar::setMax(float max)
{
    m_max = max;
    show();
}

void ProgressBar::setValue(float value)
{
    m_value = value;
    show();
}

void ProgressBar::show()
{
    if (!m_widget)
        return;
    const float span = m_max - m_min;
    const float fraction = span > 0 ? (m_value - m_min) / span : 0.0f;
    const int step = static_cast<int>(std::floor(std::clamp(fraction, 0.0f, 1.0f) * kShownSteps));
    // QProgressBar repaints itself right away when its value changes, and
    // ignores a value it already shows.
    m_widget->setValue(step);
}

} // namespace platform

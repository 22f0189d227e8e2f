#include "Controls.h"

#include "Window.h"
#include "WindowPeer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace forms {

Control::Control(Window& window, std::string name)
    : m_name(std::move(name))
{
    window.adopt(*this);
}

ControlPeer& Control::peer() const
{
    if (!m_peer)
        throw std::logic_error("The control " + m_name + " is used while its window is not loaded.");
    return *m_peer;
}

void Control::attach(ControlPeer* peer, const ControlDesign&)
{
    m_peer = peer;
}

void Control::SetVisible(bool visible)
{
    peer().setVisible(visible);
}

void Control::Refresh()
{
    peer().refresh();
}

std::string TextBox::Text() const
{
    return peer().text();
}

void TextBox::SetText(const std::string& text)
{
    peer().setText(text);
}

void TextBox::AppendText(std::string_view text)
{
    peer().appendText(text);
}

std::string Label::Caption() const
{
    return peer().text();
}

void Label::SetCaption(const std::string& caption)
{
    peer().setText(caption);
}

void Image::attach(ControlPeer* peer, const ControlDesign& design)
{
    Control::attach(peer, design);
    m_picture = design.picture;
}

void Image::SetPicture(PictureId picture)
{
    peer().setPicture(picture);
    m_picture = picture;
}

void ProgressBar::attach(ControlPeer* peer, const ControlDesign& design)
{
    Control::attach(peer, design);
    m_min = 0;
    m_max = 100;
    m_value = 0;
    m_shownStep = 0;
}

void ProgressBar::SetMin(float min)
{
    m_min = min;
    show();
}

void ProgressBar::SetMax(float max)
{
    m_max = max;
    show();
}

void ProgressBar::SetValue(float value)
{
    m_value = value;
    show();
}

void ProgressBar::show()
{
    ControlPeer& bar = peer();
    const float span = m_max - m_min;
    const float fraction = span > 0 ? std::clamp((m_value - m_min) / span, 0.0f, 1.0f) : 0.0f;
    const int steps = bar.progressSteps();
    const int step = static_cast<int>(std::floor(fraction * static_cast<float>(steps)));
    if (step == m_shownStep)
        return;
    m_shownStep = step;
    bar.setProgressStep(step);
}

} // namespace forms

#include "QtControlPeer.h"

#include "dozozeda_resources.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>

#include <stdexcept>

namespace qtlayer {

namespace {

[[noreturn]] void unsupported(const QWidget* widget, const char* operation)
{
    throw std::logic_error(std::string("The control ") + toUtf8(widget ? widget->objectName() : QString())
                           + " has no " + operation + ".");
}

} // namespace

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

QString toQtLines(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString toCrLfLines(QString text)
{
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QtControlPeer::QtControlPeer(QWidget* widget)
    : m_widget(widget)
{
}

std::string QtControlPeer::text() const
{
    unsupported(m_widget, "text");
}

void QtControlPeer::setText(const std::string&)
{
    unsupported(m_widget, "text");
}

void QtControlPeer::appendText(std::string_view)
{
    unsupported(m_widget, "text to append to");
}

void QtControlPeer::setVisible(bool visible)
{
    m_widget->setVisible(visible);
}

void QtControlPeer::setEnabled(bool enabled)
{
    m_widget->setEnabled(enabled);
}

void QtControlPeer::setPicture(forms::PictureId)
{
    unsupported(m_widget, "picture");
}

int QtControlPeer::progressSteps() const
{
    unsupported(m_widget, "progress");
}

void QtControlPeer::setProgressStep(int)
{
    unsupported(m_widget, "progress");
}

void QtControlPeer::refresh()
{
    m_widget->repaint();
}

std::string QtCaptionPeer::text() const
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget()))
        return toUtf8(button->text());
    return toUtf8(static_cast<const QGroupBox*>(widget())->title());
}

void QtCaptionPeer::setText(const std::string& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget()))
        button->setText(fromUtf8(text));
    else
        static_cast<QGroupBox*>(widget())->setTitle(fromUtf8(text));
}

QtLabelPeer::QtLabelPeer(QLabel* label)
    : QtControlPeer(label)
    , m_label(label)
{
}

std::string QtLabelPeer::text() const
{
    return toUtf8(toCrLfLines(m_label->text()));
}

void QtLabelPeer::setText(const std::string& text)
{
    m_label->setText(toQtLines(fromUtf8(text)));
}

void QtLabelPeer::setPicture(forms::PictureId picture)
{
    switch (picture) {
    case forms::PictureId::None:
        m_label->setPixmap(QPixmap());
        break;
    case forms::PictureId::Idle:
        m_label->setPixmap(QPixmap(dozozeda::resources::idlePicture()));
        break;
    case forms::PictureId::Busy:
        m_label->setPixmap(QPixmap(dozozeda::resources::busyPicture()));
        break;
    }
}

QtProgressPeer::QtProgressPeer(QProgressBar* bar)
    : QtControlPeer(bar)
    , m_bar(bar)
{
    m_bar->setRange(0, 100);
    m_bar->reset();
}

int QtProgressPeer::progressSteps() const
{
    return 100;
}

void QtProgressPeer::setProgressStep(int step)
{
    // QProgressBar repaints itself right away when its value changes, even
    // while no event loop runs.
    m_bar->setValue(step);
}

QtMenuItemPeer::QtMenuItemPeer(QAction* action)
    : QtControlPeer(nullptr)
    , m_action(action)
{
}

std::string QtMenuItemPeer::text() const
{
    return toUtf8(m_action->text());
}

void QtMenuItemPeer::setText(const std::string& text)
{
    m_action->setText(fromUtf8(text));
}

void QtMenuItemPeer::setVisible(bool visible)
{
    m_action->setVisible(visible);
}

void QtMenuItemPeer::setEnabled(bool enabled)
{
    m_action->setEnabled(enabled);
}

void QtMenuItemPeer::refresh()
{
}

} // namespace qtlayer

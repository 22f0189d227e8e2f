#pragma once

#include "WindowPeer.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;

namespace qtlayer {

// A control built from its design as a Qt widget. The base covers what every
// widget does; each kind adds its own operations.
class QtControlPeer : public forms::ControlPeer {
public:
    explicit QtControlPeer(QWidget* widget);

    QWidget* widget() const { return m_widget; }

    std::string text() const override;
    void setText(const std::string& text) override;
    void appendText(std::string_view text) override;
    void setVisible(bool visible) override;
    void setEnabled(bool enabled) override;
    void setPicture(forms::PictureId picture) override;
    int progressSteps() const override;
    void setProgressStep(int step) override;
    void refresh() override;

private:
    QPointer<QWidget> m_widget;
};

// Buttons, options and frames: their caption.
class QtCaptionPeer : public QtControlPeer {
public:
    using QtControlPeer::QtControlPeer;
    std::string text() const override;
    void setText(const std::string& text) override;
};

class QtLabelPeer : public QtControlPeer {
public:
    explicit QtLabelPeer(QLabel* label);
    std::string text() const override;
    void setText(const std::string& text) override;
    void setPicture(forms::PictureId picture) override;

private:
    QLabel* m_label;
};

class QtLineEditPeer : public QtControlPeer {
public:
    explicit QtLineEditPeer(QLineEdit* box);
    std::string text() const override;
    void setText(const std::string& text) override;
    void appendText(std::string_view text) override;

private:
    QLineEdit* m_box;
};

// A multi-line text box. Qt ends lines with LF alone; the conversion to and
// from CR LF happens here, so that a CR never shows up as a stray glyph.
class QtPlainTextPeer : public QtControlPeer {
public:
    explicit QtPlainTextPeer(QPlainTextEdit* box);
    std::string text() const override;
    void setText(const std::string& text) override;
    void appendText(std::string_view text) override;

private:
    QPlainTextEdit* m_box;
};

// Shows the percentage it is at, so a hundred positions are all it can tell apart.
class QtProgressPeer : public QtControlPeer {
public:
    explicit QtProgressPeer(QProgressBar* bar);
    int progressSteps() const override;
    void setProgressStep(int step) override;

private:
    QProgressBar* m_bar;
};

class QtMenuItemPeer : public QtControlPeer {
public:
    explicit QtMenuItemPeer(QAction* action);
    std::string text() const override;
    void setText(const std::string& text) override;
    void setVisible(bool visible) override;
    void setEnabled(bool enabled) override;
    void refresh() override;

private:
    QPointer<QAction> m_action;
};

QString fromUtf8(const std::string& text);
std::string toUtf8(const QString& text);
QString toQtLines(QString text);
QString toCrLfLines(QString text);

} // namespace qtlayer

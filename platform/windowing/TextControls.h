#pragma once

#include <QString>

class QLabel;
class QPlainTextEdit;

namespace platform {

// The text of a text box and the caption of a label, with CR LF line breaks
// as the windows compose them. Qt separates lines with LF alone; the
// conversion happens here so that a CR never shows up as a stray glyph.
QString Text(const QPlainTextEdit* box);
// Replaces the whole text, keeping the caret, the selection and the scroll
// position where the user left them.
void SetText(QPlainTextEdit* box, const QString& text);

QString Caption(const QLabel* label);
void SetCaption(QLabel* label, const QString& caption);

} // namespace platform

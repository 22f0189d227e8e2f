#include "TextControls.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace platform {

namespace {

const QString crLf = QStringLiteral("\r\n");

QString toQtLines(QString text)
{
    return text.replace(crLf, QStringLiteral("\n"));
}

QString toCrLfLines(QString text)
{
    return text.replace(QLatin1Char('\n'), crLf);
}

} // namespace

QString Text(const QPlainTextEdit* box)
{
    return toCrLfLines(box->toPlainText());
}

void SetText(QPlainTextEdit* box, const QString& text)
{
    const QTextCursor before = box->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    const int vertical = box->verticalScrollBar()->value();

    box->setPlainText(toQtLines(text));
    // The scroll position counts wrapped lines, but new text is laid out only
    // when painted, until then one line per paragraph. Restoring the position
    // before the layout would shift the view down by every wrapped line above,
    // so the lines above the view are laid out first, and only those.
    if (auto* layout = qobject_cast<QPlainTextDocumentLayout*>(box->document()->documentLayout())) {
        int lines = 0;
        for (QTextBlock block = box->document()->begin(); block.isValid() && lines <= vertical; block = block.next()) {
            layout->ensureBlockLayout(block);
            lines += block.lineCount();
        }
    }

    QTextCursor after(box->document());
    const int end = after.document()->characterCount() - 1;
    after.setPosition(qMin(anchor, end));
    after.setPosition(qMin(position, end), QTextCursor::KeepAnchor);
    box->setTextCursor(after);
    box->verticalScrollBar()->setValue(vertical);
}

QString Caption(const QLabel* label)
{
    return toCrLfLines(label->text());
}

void SetCaption(QLabel* label, const QString& caption)
{
    label->setText(toQtLines(caption));
}

} // namespace platform

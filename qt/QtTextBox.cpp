#include "QtControlPeer.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace qtlayer {

QtLineEditPeer::QtLineEditPeer(QLineEdit* box)
    : QtControlPeer(box)
    , m_box(box)
{
}

std::string QtLineEditPeer::text() const
{
    return toUtf8(m_box->text());
}

void QtLineEditPeer::setText(const std::string& text)
{
    m_box->setText(fromUtf8(text));
}

void QtLineEditPeer::appendText(std::string_view text)
{
    m_box->setText(m_box->text() + fromUtf8(std::string(text)));
}

QtPlainTextPeer::QtPlainTextPeer(QPlainTextEdit* box)
    : QtControlPeer(box)
    , m_box(box)
{
}

std::string QtPlainTextPeer::text() const
{
    return toUtf8(toCrLfLines(m_box->toPlainText()));
}

void QtPlainTextPeer::setText(const std::string& text)
{
    const QTextCursor before = m_box->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    const int vertical = m_box->verticalScrollBar()->value();

    m_box->setPlainText(toQtLines(fromUtf8(text)));
    // The scroll position counts wrapped lines, but new text is laid out only
    // when painted, until then one line per paragraph. Restoring the position
    // before the layout would shift the view down by every wrapped line above,
    // so the lines above the view are laid out first, and only those.
    if (auto* layout = qobject_cast<QPlainTextDocumentLayout*>(m_box->document()->documentLayout())) {
        int lines = 0;
        for (QTextBlock block = m_box->document()->begin(); block.isValid() && lines <= vertical; block = block.next()) {
            layout->ensureBlockLayout(block);
            lines += block.lineCount();
        }
    }

    QTextCursor after(m_box->document());
    const int end = after.document()->characterCount() - 1;
    after.setPosition(qMin(anchor, end));
    after.setPosition(qMin(position, end), QTextCursor::KeepAnchor);
    m_box->setTextCursor(after);
    m_box->verticalScrollBar()->setValue(vertical);
}

void QtPlainTextPeer::appendText(std::string_view text)
{
    const int anchor = m_box->textCursor().anchor();
    const int position = m_box->textCursor().position();
    const int vertical = m_box->verticalScrollBar()->value();

    // Inserting at the end lays out only the new lines, whatever the box holds.
    QTextCursor end(m_box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(toQtLines(fromUtf8(std::string(text))));

    // A caret at the very end would otherwise move along with the new text.
    if (m_box->textCursor().anchor() != anchor || m_box->textCursor().position() != position) {
        QTextCursor kept(m_box->document());
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        m_box->setTextCursor(kept);
    }
    m_box->verticalScrollBar()->setValue(vertical);
}

} // namespace qtlayer

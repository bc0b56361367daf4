#include "app/log_pane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace quillon {

LogPaneWidget::LogPaneWidget(const QString& objectName, QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(objectName);
    setReadOnly(true);
    setUndoRedoEnabled(false);  // an undo stack would keep every rewritten progress line
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMaximumBlockCount(0);  // never trimmed
}

void LogPaneWidget::AppendLine(const QString& line) {
    if (empty_) {
        lastLineStart_ = 0;
        setPlainText(line);
        empty_ = false;
    } else {
        // The new paragraph starts after the old text and its paragraph separator.
        lastLineStart_ = document()->characterCount();
        appendPlainText(line);
    }
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogPaneWidget::ReplaceLastLine(const QString& line) {
    if (empty_) {
        AppendLine(line);
        return;
    }
    QTextCursor cursor(document());
    cursor.setPosition(lastLineStart_);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.insertText(line);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogPaneWidget::ReplaceLineFromEnd(int fromEnd, const QString& line) {
    if (fromEnd == 0) {
        ReplaceLastLine(line);
        return;
    }
    const QTextBlock block = document()->findBlockByNumber(document()->blockCount() - 1 - fromEnd);
    if (empty_ || !block.isValid()) {
        return;
    }
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(line);
    lastLineStart_ = document()->lastBlock().position();
}

void LogPaneWidget::Clear() {
    clear();
    empty_ = true;
    lastLineStart_ = 0;
}

void LogPaneWidget::SetBackground(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, colour);
    setPalette(palette);
}

QStringList LogPaneWidget::Lines() const {
    if (empty_) {
        return {};
    }
    return toPlainText().split(QLatin1Char('\n'));
}

}  // namespace quillon

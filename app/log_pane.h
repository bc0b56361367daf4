#pragma once

#include <QPlainTextEdit>

namespace quillon {

// A read-only, vertically scrolling pane of log lines (Memo1, Memo2, Memo3).
// Replacing the last line touches only that line, so a log of many thousand lines
// stays fast while an operation rewrites its progress line block after block.
class LogPaneWidget : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogPaneWidget(const QString& objectName, QWidget* parent = nullptr);

    void AppendLine(const QString& line);
    // Overwrites the last appended line; on an empty pane the line is appended.
    void ReplaceLastLine(const QString& line);
    // Overwrites the line `fromEnd` lines above the last (0 = the last line).
    void ReplaceLineFromEnd(int fromEnd, const QString& line);
    void Clear();
    void SetBackground(const QColor& colour);

    QStringList Lines() const;

private:
    int lastLineStart_ = 0;
    bool empty_ = true;
};

}  // namespace quillon

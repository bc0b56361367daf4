#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace quillon {

// StatusBar1: panel 0 the board state, panel 1 the target state, panel 2 the gauge CGauge1.
class StatusBarWidget : public QFrame {
    Q_OBJECT
public:
    static constexpr int kPanelWidths[3] = {180, 120, 217};

    explicit StatusBarWidget(QWidget* parent = nullptr);

    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    void SetProgress(int percent);
    // An operation started: the gauge starts empty and its text names it ("Erase 45%");
    // it ended: the text shows the percentage alone again.
    void OperationStarted(const QString& label);
    void OperationEnded();
    QProgressBar* Gauge() const { return gauge_; }

private:
    QLabel* panels_[2] = {nullptr, nullptr};
    QProgressBar* gauge_ = nullptr;
};

}  // namespace quillon

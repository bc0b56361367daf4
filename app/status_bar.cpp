#include "app/status_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

#include "app/widget_helpers.h"

namespace quillon {

namespace {
// A framed panel of the bar: a text panel is a QLabel, the gauge's a plain QFrame.
template <typename Frame = QFrame>
Frame* SunkenPanel(QWidget* parent, int width) {
    auto* panel = new Frame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedWidth(width);
    return panel;
}
}  // namespace

StatusBarWidget::StatusBarWidget(QWidget* parent) : QFrame(parent) {
    setObjectName("StatusBar1");
    auto* row = MakeRow(this, {0, 1, 0, 0}, 0);
    for (int i = 0; i < 2; ++i) {
        auto* label = SunkenPanel<QLabel>(this, kPanelWidths[i]);
        label->setObjectName(QString("StatusBar1_Panel%1").arg(i));
        label->setIndent(3);
        row->addWidget(label);
        panels_[i] = label;
    }
    // Panel 2 holds the gauge over its whole rectangle.
    QFrame* gaugePanel = SunkenPanel(this, kPanelWidths[2]);
    gaugePanel->setObjectName("StatusBar1_Panel2");
    auto* gaugeBox = new QHBoxLayout(gaugePanel);
    gaugeBox->setContentsMargins(1, 1, 1, 1);
    gauge_ = new QProgressBar(gaugePanel);
    gauge_->setObjectName("CGauge1");
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setTextVisible(true);
    gauge_->setAlignment(Qt::AlignCenter);
    // The bar in the active caption's gradient colour on the button face.
    QPalette colours = gauge_->palette();
    colours.setColor(QPalette::Highlight, kGradientActiveCaption);
    colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    colours.setColor(QPalette::HighlightedText, colours.color(QPalette::ButtonText));
    gauge_->setPalette(colours);
    gaugeBox->addWidget(gauge_);
    row->addWidget(gaugePanel);
    row->addStretch(1);
    setFixedHeight(22);
}

void StatusBarWidget::SetPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < 2) {
        panels_[panel]->setText(text);
    }
}

QString StatusBarWidget::PanelText(int panel) const {
    return panel >= 0 && panel < 2 ? panels_[panel]->text() : QString();
}

void StatusBarWidget::SetProgress(int percent) {
    gauge_->setValue(std::clamp(percent, 0, 100));
}

void StatusBarWidget::OperationStarted(const QString& label) {
    gauge_->setValue(0);
    gauge_->setFormat(label + QStringLiteral(" %p%"));
}

void StatusBarWidget::OperationEnded() {
    gauge_->setFormat(QStringLiteral("%p%"));
}

}  // namespace quillon

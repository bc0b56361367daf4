#include "app/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/program_icon.h"

namespace quillon {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("AboutBox");
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(14, 14, 14, 14);
    grid->setHorizontalSpacing(16);

    auto* icon = new QLabel(panel);
    icon->setObjectName("ProgramIcon");
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    auto* product = new QLabel("Kavo EC Quillon via Vessa", panel);
    product->setObjectName("ProductName");
    QFont large = product->font();
    large.setPointSizeF(large.pointSizeF() * 1.3);
    large.setBold(true);
    product->setFont(large);
    version_ = new QLabel(panel);
    version_->setObjectName("Version");
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(product, 0, 1);
    grid->addWidget(version_, 1, 1);
    outer->addWidget(panel);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    outer->addLayout(buttons);
}

void AboutBox::SetVersionText(const QString& text) {
    version_->setText(text);
}

QString AboutBox::VersionText() const {
    return version_->text();
}

void AboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, not on the main window.
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

}  // namespace quillon

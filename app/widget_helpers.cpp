#include "app/widget_helpers.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalBlocker>

namespace quillon {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        QStyle::StandardPixmap icon) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    if (icon != QStyle::SP_CustomBase) {
        button->setIcon(button->style()->standardIcon(icon));
    }
    button->setAutoDefault(false);
    return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(name);
    return group;
}

QGridLayout* MakeGrid(QWidget* owner, const QMargins& margins, int horizontalSpacing,
                      int verticalSpacing) {
    auto* grid = new QGridLayout(owner);
    grid->setContentsMargins(margins);
    grid->setHorizontalSpacing(horizontalSpacing);
    grid->setVerticalSpacing(verticalSpacing);
    return grid;
}

void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetCheckedQuietly(QAbstractButton* button, bool checked) {
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
}

}  // namespace quillon

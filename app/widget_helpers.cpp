#include "app/widget_helpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quillon {

namespace {
template <typename Box>
Box* MakeBox(QWidget* owner, const QMargins& margins, int spacing) {
    auto* box = new Box(owner);
    box->setContentsMargins(margins);
    box->setSpacing(spacing);
    return box;
}
}  // namespace

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

QMenu* MakeMenu(QMenuBar* bar, const char* name, const QString& caption) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(name);
    return menu;
}

QAction* MakeAction(QWidget* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QGridLayout* MakeGrid(QWidget* owner, const QMargins& margins, int horizontalSpacing,
                      int verticalSpacing) {
    auto* grid = new QGridLayout(owner);
    grid->setContentsMargins(margins);
    grid->setHorizontalSpacing(horizontalSpacing);
    grid->setVerticalSpacing(verticalSpacing);
    return grid;
}

QVBoxLayout* MakeColumn(QWidget* owner, const QMargins& margins, int spacing) {
    return MakeBox<QVBoxLayout>(owner, margins, spacing);
}

QHBoxLayout* MakeRow(QWidget* owner, const QMargins& margins, int spacing) {
    return MakeBox<QHBoxLayout>(owner, margins, spacing);
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

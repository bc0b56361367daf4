#pragma once

#include <QColor>
#include <QMargins>
#include <QString>
#include <QStyle>

class QAbstractButton;
class QAction;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class QWidget;

namespace quillon {

// Small builders that give every control its layout name as objectName.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase);
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption);
QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption);
// A menu of the bar, and an item of a menu (or of the bar itself).
QMenu* MakeMenu(QMenuBar* bar, const char* name, const QString& caption);
QAction* MakeAction(QWidget* menu, const char* name, const QString& caption);
// The grid that lays out `owner`, with its margins and spacing between cells.
QGridLayout* MakeGrid(QWidget* owner, const QMargins& margins, int horizontalSpacing,
                      int verticalSpacing);
// The column or row that lays out `owner`, with its margins and spacing between items.
QVBoxLayout* MakeColumn(QWidget* owner, const QMargins& margins, int spacing);
QHBoxLayout* MakeRow(QWidget* owner, const QMargins& margins, int spacing);

void SetBackground(QWidget* widget, const QColor& colour);

// Sets a check box or radio button without letting its clicked/toggled handlers run.
void SetCheckedQuietly(QAbstractButton* button, bool checked);

// Colours the operator knows from the bench tool.
inline const QColor kSilver{0xC0, 0xC0, 0xC0};
inline const QColor kMoneyGreen{0xC0, 0xDC, 0xC0};
inline const QColor kSkyBlue{0xA6, 0xCA, 0xF0};
inline const QColor kPurple{0x80, 0x00, 0x80};
inline const QColor kAqua{0x00, 0xFF, 0xFF};
// The desktop's default gradient colour of an active window caption.
inline const QColor kGradientActiveCaption{0xB9, 0xD1, 0xEA};

}  // namespace quillon

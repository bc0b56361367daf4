#pragma once

#include <QDialog>

class QLabel;

namespace quillon {

// TAboutBox: borderless, centred, a raised panel with the program icon, the product name
// and the version, closed by OK.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    void SetVersionText(const QString& text);
    QString VersionText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* version_ = nullptr;
};

}  // namespace quillon

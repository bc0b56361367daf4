#include "app/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "app/file_filter.h"

namespace quillon {

namespace {
QMessageBox::Icon IconFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Warning:
            return QMessageBox::Warning;
        case MessageKind::Error:
            return QMessageBox::Critical;
        case MessageKind::Information:
            return QMessageBox::Information;
        case MessageKind::Plain:
            break;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

void ShowMessageBox(QWidget* parent, MessageKind kind, const std::string& title,
                    const std::string& text) {
    QMessageBox box(IconFor(kind), QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.setObjectName("MessageBox");
    box.exec();
}

std::optional<std::string> AskForFile(QWidget* parent, bool save,
                                      const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    // The same dialog on every desktop, so what the operator sees does not depend on it.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(ToQtNameFilters(QString::fromStdString(request.filter)));
    const QString folder = QString::fromStdString(request.initialFolder);
    dialog.setDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
    if (!request.proposedName.empty()) {
        dialog.selectFile(QString::fromStdString(request.proposedName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

}  // namespace quillon

#include "app/UserPrompts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

QStringList UserPrompts::OpenFiles(QWidget* owner, const QString& filter, const QString& startDir) {
    return QFileDialog::getOpenFileNames(owner, QString(), startDir, filter);
}

QString UserPrompts::BrowseForFolder(QWidget* owner, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, QString(), start, QFileDialog::ShowDirsOnly);
}

void UserPrompts::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                             Icon icon) {
    const QMessageBox::Icon boxIcon = icon == Icon::Information ? QMessageBox::Information
                                      : icon == Icon::Warning   ? QMessageBox::Warning
                                                                : QMessageBox::Critical;
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

void UserPrompts::OpenDocument(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

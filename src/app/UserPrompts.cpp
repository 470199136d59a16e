// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UserPrompts.h"

#include "app/ShutdownCountdown.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace {
// Dialogs belong to the owner's window, not to the page: the page's skin sheet and palette
// reach its children, and the standard dialogs keep the desktop's look.
QWidget* DialogParent(QWidget* owner) {
    return owner != nullptr ? owner->window() : nullptr;
}

QMessageBox::Icon BoxIcon(UserPrompts::Icon icon) {
    return icon == UserPrompts::Icon::Information ? QMessageBox::Information
           : icon == UserPrompts::Icon::Warning   ? QMessageBox::Warning
                                                  : QMessageBox::Critical;
}
} // namespace

QStringList UserPrompts::OpenFiles(QWidget* owner, const QString& filter, const QString& startDir) {
    return QFileDialog::getOpenFileNames(DialogParent(owner), QString(), startDir, filter);
}

QString UserPrompts::BrowseForFolder(QWidget* owner, const QString& start) {
    return QFileDialog::getExistingDirectory(DialogParent(owner), QString(), start,
                                             QFileDialog::ShowDirsOnly);
}

void UserPrompts::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                             Icon icon) {
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, DialogParent(owner));
    box.exec();
}

void UserPrompts::OpenDocument(QWidget* owner, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    QPointer<QWidget> guard(owner);
    auto cannotOpen = [this, guard, shown] {
        MessageBox(guard,
                   tr("No program on this computer opens %1.\n\nOpen it by hand (a web browser "
                      "opens the guide, a file manager a folder).")
                       .arg(shown),
                   tr("Warning"), Icon::Warning);
    };
#ifndef Q_OS_WIN
    // The desktop's opener says whether a program took the file only by its exit status,
    // which Qt does not wait for: it is watched here, without waiting.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        auto* process = new QProcess;
        process->setProgram(opener);
        process->setArguments({path});
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(process, &QProcess::finished, process,
                         [process, cannotOpen](int code, QProcess::ExitStatus status) {
                             process->deleteLater();
                             if (status != QProcess::NormalExit || code != 0)
                                 cannotOpen();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, cannotOpen](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             process->deleteLater();
                             cannotOpen();
                         });
        process->start();
        return;
    }
#endif
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        cannotOpen();
}

bool UserPrompts::Confirm(QWidget* owner, const QString& text, const QString& caption,
                          const QString& yesText, const QString& noText) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton,
                    DialogParent(owner));
    QPushButton* yes = box.addButton(yesText, QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(noText, QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

QWidget* UserPrompts::AskStopAndClose(QWidget* owner, const std::function<void(bool)>& answer) {
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Morvane"),
                                tr("Converting is not finished. Stop it and close Morvane?"),
                                QMessageBox::NoButton, DialogParent(owner));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* stop = box->addButton(tr("Stop and close"), QMessageBox::AcceptRole);
    QPushButton* keep = box->addButton(tr("Keep converting"), QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    QObject::connect(box, &QDialog::finished, box,
                     [box, stop, answer] { answer(box->clickedButton() == stop); });
    box->open();
    return box;
}

void UserPrompts::BatchEndBox(QWidget* owner, const QString& text, const QString& caption,
                              Icon icon, const std::function<void()>& openFolder) {
    auto* box = new QMessageBox(BoxIcon(icon), caption, text, QMessageBox::Ok, DialogParent(owner));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* open = box->addButton(tr("Open Folder"), QMessageBox::ActionRole);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok); // Escape and the close box close it
    QObject::connect(open, &QPushButton::clicked, box, [openFolder] {
        if (openFolder)
            openFolder();
    });
    box->open();
}

void UserPrompts::ShowCountdown(QWidget* owner, ShutdownCountdown* countdown) {
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Shut Down"), countdown->Text(),
                                QMessageBox::Cancel, DialogParent(owner));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(countdown, &ShutdownCountdown::Ticked, box,
                     [box, countdown] { box->setText(countdown->Text()); });
    QObject::connect(countdown, &ShutdownCountdown::Expired, box, &QWidget::close);
    QObject::connect(countdown, &ShutdownCountdown::Canceled, box, &QWidget::close);
    // Cancel, Escape or the close box: the computer stays on.
    QObject::connect(box, &QDialog::finished, countdown, &ShutdownCountdown::Cancel);
    box->open();
}

void UserPrompts::Notify(const QString& title, const QString& text) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Morvane") << uint(0) << QStringLiteral("video-x-generic") << title
         << text << QStringList() << QVariantMap() << int(-1);
    // No answer is awaited: without a notification service nothing happens.
    QDBusConnection::sessionBus().asyncCall(call);
}

std::optional<ExistingOutputs> UserPrompts::AskExistingOutputs(QWidget* owner,
                                                               const QStringList& names) {
    QMessageBox box(QMessageBox::Warning, tr("Warning"),
                    names.size() == 1 ? tr("1 file already exists")
                                      : tr("%1 files already exist").arg(names.size()),
                    QMessageBox::NoButton, DialogParent(owner));
    constexpr int shown = 10;
    QString list = names.mid(0, shown).join(u'\n');
    if (names.size() > shown)
        list += tr("\n... and %1 more").arg(names.size() - shown);
    box.setInformativeText(tr("In the output directory:\n%1\n\nOverwrite them, keep both (the new "
                              "files get free names such as \"clip (2).3gp\"), or skip these "
                              "jobs?")
                               .arg(list));
    QPushButton* overwrite = box.addButton(tr("Overwrite"), QMessageBox::AcceptRole);
    QPushButton* keepBoth = box.addButton(tr("Keep both"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(tr("Skip them"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == overwrite)
        return ExistingOutputs::Overwrite;
    if (box.clickedButton() == keepBoth)
        return ExistingOutputs::KeepBoth;
    if (box.clickedButton() == skip)
        return ExistingOutputs::Skip;
    return std::nullopt;
}

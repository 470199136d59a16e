// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ConversionEngine.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;
class ShutdownCountdown;

// The dialogs and message boxes the page shows. Tests put their own answers in its place.
class UserPrompts {
    Q_DECLARE_TR_FUNCTIONS(UserPrompts)

public:
    enum class Icon { Information, Warning, Error };

    virtual ~UserPrompts() = default;
    // Existing files (several may be picked), starting in startDir; none when the user
    // cancels.
    virtual QStringList OpenFiles(QWidget* owner, const QString& filter, const QString& startDir);
    // A folder, or "" when the user cancels.
    virtual QString BrowseForFolder(QWidget* owner, const QString& start);
    // Opens a local document (a help page) or folder with the program the desktop uses for it;
    // when no program opens it, a box says so with the path to open by hand.
    virtual void OpenDocument(QWidget* owner, const QString& path);
    // A modal box with an OK button.
    virtual void MessageBox(QWidget* owner, const QString& text, const QString& caption, Icon icon);
    // A question with two answers; true for yesText. The default (and Escape) is noText.
    virtual bool Confirm(QWidget* owner, const QString& text, const QString& caption,
                         const QString& yesText, const QString& noText);
    // Closing the window while a batch runs: "Stop and close" or "Keep converting" (the
    // default, and Escape). It returns at once with the question (nullptr once answered);
    // answer(true) follows a stop-and-close, answer(false) any other end of the question.
    virtual QWidget* AskStopAndClose(QWidget* owner, const std::function<void(bool)>& answer);
    // The end-of-batch box: OK (the default button, also Escape and the close box) and "Open
    // Folder", which calls openFolder. It returns at once; the box stays until the user
    // closes it.
    virtual void BatchEndBox(QWidget* owner, const QString& text, const QString& caption, Icon icon,
                             const std::function<void()>& openFolder);
    // Shows a running countdown with a Cancel button that cancels it; the box closes when the
    // countdown ends either way. It returns at once.
    virtual void ShowCountdown(QWidget* owner, ShutdownCountdown* countdown);
    // What becomes of the output files that already exist (names as the job list shows
    // them): Overwrite, Keep both or Skip them; nothing when the user cancels (the default
    // and Escape, so that no key pressed by chance touches a file).
    virtual std::optional<ExistingOutputs> AskExistingOutputs(QWidget* owner,
                                                              const QStringList& names);
    // A desktop notification (org.freedesktop.Notifications); nothing when there is none.
    virtual void Notify(const QString& title, const QString& text);
};

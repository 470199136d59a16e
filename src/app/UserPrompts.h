#pragma once

#include <QString>

#include <functional>

class QWidget;
class ShutdownCountdown;

// The dialogs and message boxes the page shows. Tests put their own answers in its place.
class UserPrompts {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~UserPrompts() = default;
    // One existing file, or "" when the user cancels.
    virtual QString OpenFile(QWidget* owner, const QString& filter);
    // A folder, or "" when the user cancels.
    virtual QString BrowseForFolder(QWidget* owner, const QString& start);
    // Opens a local document (a help page) with the program the desktop uses for it.
    virtual void OpenDocument(const QString& path);
    // A modal box with an OK button.
    virtual void MessageBox(QWidget* owner, const QString& text, const QString& caption, Icon icon);
    // The end-of-batch box: OK (the default button) and "Open Folder", which calls openFolder.
    // It returns at once; the box stays until the user closes it.
    virtual void BatchEndBox(QWidget* owner, const QString& text, const QString& caption, Icon icon,
                             const std::function<void()>& openFolder);
    // Shows a running countdown with a Cancel button that cancels it; the box closes when the
    // countdown ends either way. It returns at once.
    virtual void ShowCountdown(QWidget* owner, ShutdownCountdown* countdown);
    // A desktop notification (org.freedesktop.Notifications); nothing when there is none.
    virtual void Notify(const QString& title, const QString& text);
};

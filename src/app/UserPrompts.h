#pragma once

#include <QString>

class QWidget;

// The dialogs and message boxes the page shows. Tests put their own answers in its place.
class UserPrompts {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~UserPrompts() = default;
    // Existing files (several may be picked), starting in startDir; none when the user
    // cancels.
    virtual QStringList OpenFiles(QWidget* owner, const QString& filter, const QString& startDir);
    // A folder, or "" when the user cancels.
    virtual QString BrowseForFolder(QWidget* owner, const QString& start);
    // Opens a local document (a help page) with the program the desktop uses for it.
    virtual void OpenDocument(const QString& path);
    // A modal box with an OK button.
    virtual void MessageBox(QWidget* owner, const QString& text, const QString& caption, Icon icon);
};

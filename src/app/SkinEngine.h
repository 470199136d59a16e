// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPalette>
#include <QPointer>
#include <QString>
#include <QWidget>

// Dresses the program's windows from a skin file: "Derov.skf" is a Qt style sheet beside the
// program. Its operations are called by number, in this order at start-up: 17 (reset), 1 (enable
// skinning), 2 (name the skin file), 18 (apply it); 6 for each window (flag 0 a window whose
// controls take the skin, flag 1 a control that draws itself); 7 at the end (release).
// Without a skin file, or before 18, every window keeps the platform's look. The sheet and the
// skin's own palette go to the windows announced with flag 0 and their children, never to the
// whole application: file dialogs and message boxes follow the desktop.
class SkinEngine {
public:
    // The operations by what they take, so that a call with the wrong argument cannot compile.
    enum Operation : int {
        Reset = 17,
        Enable = 1,
        ApplySkin = 18,
        Release = 7,
    };
    enum FileOperation : int { LoadSkinFile = 2 };
    enum WindowOperation : int { AddWindow = 6 };
    // What AddWindow announces.
    enum WindowKind : int {
        SkinnedWindow = 0,   // a window whose controls take the skin
        SelfDrawnControl = 1 // a control that draws its own face
    };

    // The one skin engine of the program.
    static SkinEngine& Instance();

    void Call(Operation operation, int value = 0);
    void Call(FileOperation operation, const QString& fileName);
    void Call(FileOperation operation, int) = delete; // a 0 would pass for a file name
    void Call(WindowOperation operation, QWidget* window, WindowKind kind);

    bool IsEnabled() const { return enabled; }
    bool IsApplied() const { return applied; }
    // The style sheet read from the skin file ("" when there is none).
    const QString& StyleSheet() const { return styleSheet; }
    // The palette a skinned window keeps, whatever the desktop's palette is.
    static QPalette Palette();

private:
    void Dress(QWidget* window) const;
    static void Undress(QWidget* window);

    bool enabled = false;
    bool applied = false;
    QString styleSheet;
    QList<QPointer<QWidget>> windows;
};

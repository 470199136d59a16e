// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SkinEngine.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QStringConverter>
#include <QStyle>

SkinEngine& SkinEngine::Instance() {
    static SkinEngine engine;
    return engine;
}

void SkinEngine::Call(Operation operation, int value) {
    switch (operation) {
    case Reset:
        enabled = false;
        applied = false;
        styleSheet.clear();
        windows.clear();
        break;
    case Enable:
        enabled = value != 0;
        break;
    case ApplySkin:
        // Only the windows announced with flag 0 take the sheet: the standard dialogs and
        // message boxes keep the desktop's look, which their texts are made for.
        applied = enabled && !styleSheet.isEmpty();
        for (const QPointer<QWidget>& window : windows)
            Dress(window);
        break;
    case Release:
        for (const QPointer<QWidget>& window : windows)
            Undress(window);
        applied = false;
        windows.clear();
        break;
    }
}

void SkinEngine::Call(FileOperation operation, const QString& fileName) {
    Q_ASSERT(operation == LoadSkinFile);
    styleSheet.clear();
    QFile file(fileName);
    if (!enabled || !file.open(QIODevice::ReadOnly))
        return; // no skin: the platform's look
    auto decoder = QStringDecoder(QStringConverter::Utf8);
    styleSheet = decoder.decode(file.readAll());
}

void SkinEngine::Call(WindowOperation operation, QWidget* window, WindowKind kind) {
    Q_ASSERT(operation == AddWindow);
    if (window == nullptr)
        return;
    const bool selfDrawn = kind == SelfDrawnControl;
    // Self-drawn controls paint their own faces; the sheet can single them out by this
    // property (and leaves their painting alone).
    window->setProperty("selfDrawn", selfDrawn);
    if (selfDrawn) {
        if (applied) {
            window->style()->unpolish(window);
            window->style()->polish(window);
        }
        return;
    }
    windows.append(window);
    Dress(window);
}

QPalette SkinEngine::Palette() {
    // The colours the sheet's texts and backgrounds were chosen against: a light page whatever
    // the desktop's palette is, so no text of the page turns dark on dark or light on light.
    QPalette palette(QColor(0xee, 0xf3, 0xfa));
    const QColor text(0x1d, 0x2a, 0x3f);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::AlternateBase, QColor(0xf3, 0xf5, 0xf9));
        palette.setColor(group, QPalette::Button, QColor(0xdc, 0xe6, 0xf4));
        palette.setColor(group, QPalette::Highlight, QColor(0x1e, 0x32, 0x60));
        palette.setColor(group, QPalette::HighlightedText, QColor(0xf0, 0xfa, 0x80));
        palette.setColor(group, QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe8));
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::PlaceholderText, QColor(0x6b, 0x77, 0x8c));
        palette.setColor(group, QPalette::Link, QColor(0, 0, 238));
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6b, 0x77, 0x8c));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6b, 0x77, 0x8c));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6b, 0x77, 0x8c));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0xf3, 0xf5, 0xf9));
    return palette;
}

void SkinEngine::Dress(QWidget* window) const {
    if (window == nullptr || !applied)
        return;
    // Under a style sheet Qt stops handing a parent's palette down to its children, so each
    // control, and each combo box's pop-up list, takes the skin's palette itself.
    for (QComboBox* combo : window->findChildren<QComboBox*>())
        combo->view();
    const QPalette skin = Palette();
    window->setPalette(skin);
    for (QWidget* child : window->findChildren<QWidget*>())
        child->setPalette(skin);
    window->setStyleSheet(styleSheet);
}

void SkinEngine::Undress(QWidget* window) {
    if (window == nullptr || window->styleSheet().isEmpty())
        return;
    window->setStyleSheet(QString());
    window->setPalette(QPalette());
    for (QWidget* child : window->findChildren<QWidget*>())
        child->setPalette(QPalette());
}

#include "app/SkinEngine.h"

#include <QApplication>
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
        // The whole application takes the sheet, so message boxes match the window.
        applied = enabled && !styleSheet.isEmpty();
        if (applied)
            qApp->setStyleSheet(styleSheet);
        break;
    case Release:
        if (applied)
            qApp->setStyleSheet(QString());
        applied = false;
        windows.clear();
        break;
    case LoadSkinFile:
    case AddWindow:
        break;
    }
}

void SkinEngine::Call(Operation operation, const QString& fileName) {
    if (operation != LoadSkinFile)
        return;
    styleSheet.clear();
    QFile file(fileName);
    if (!enabled || !file.open(QIODevice::ReadOnly))
        return; // no skin: the platform's look
    auto decoder = QStringDecoder(QStringConverter::Utf8);
    styleSheet = decoder.decode(file.readAll());
}

void SkinEngine::Call(Operation operation, QWidget* window, int flag) {
    if (operation != AddWindow || window == nullptr)
        return;
    windows.append(window);
    // Self-drawn controls paint their own faces; the sheet can single them out by this
    // property (and leaves their painting alone).
    window->setProperty("selfDrawn", flag == 1);
    if (applied) {
        window->style()->unpolish(window);
        window->style()->polish(window);
    }
}

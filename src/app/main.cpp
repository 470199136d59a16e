// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMorvaneApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Morvane"));
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    CMorvaneApp app;
    app.InitInstance();
    return app.ExitInstance();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMorvaneApp.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[]) {
    // A full disk or a file size limit makes a write fail (log.txt, settings), not end the
    // program halfway through a batch. The encoders get the default back.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Morvane"));
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    CMorvaneApp app;
    app.InitInstance();
    return app.ExitInstance();
}

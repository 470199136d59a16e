// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMorvaneApp.h"

#include <QApplication>

#include <csignal>
#include <cstring>

namespace {

void NameTheProgram() {
    QCoreApplication::setOrganizationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
}

// Whether the command line asks only for text (help, version): that needs no display.
bool AsksForTextOnly(int argc, char* argv[]) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    // A full disk or a file size limit makes a write fail (log.txt, settings), not end the
    // program halfway through a batch. The encoders get the default back.
    std::signal(SIGXFSZ, SIG_IGN);
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication console(argc, argv);
        NameTheProgram();
        CMorvaneApp::CommandLineFiles(CMorvaneApp::ArgumentsOf(argc, argv),
                                      QString()); // prints and ends
        return 0;
    }
    QApplication application(argc, argv); // takes its own options out of argv
    NameTheProgram();
    CMorvaneApp app;
    app.SetArguments(CMorvaneApp::ArgumentsOf(argc, argv));
    app.InitInstance();
    return app.ExitInstance();
}

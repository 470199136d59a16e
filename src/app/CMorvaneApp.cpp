#include "app/CMorvaneApp.h"

#include "app/CFrameDlg.h"
#include "engine/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

bool CMorvaneApp::InitInstance() {
    // The skin and the profile files are found relative to the program folder, whatever
    // folder the program was started from.
    AppPaths::SetProgramDir(QCoreApplication::applicationDirPath());
    QDir::setCurrent(AppPaths::ProgramDir());

    CFrameDlg frame;
    frame.exec();
    return false;
}

int CMorvaneApp::ExitInstance() {
    return 0;
}

#include "app/CMorvaneApp.h"

#include "app/CFrameDlg.h"
#include "app/SkinEngine.h"
#include "engine/AppPaths.h"

#include <QApplication>
#include <QDir>

void CMorvaneApp::StartUp(const QString& programDir) {
    AppPaths::SetProgramDir(programDir);
    QDir::setCurrent(AppPaths::ProgramDir());

    // The program's font, small enough for the page's fixed pixel layout.
    QFont font = QApplication::font();
    font.setPointSizeF(8);
    QApplication::setFont(font);

    SkinEngine& skin = SkinEngine::Instance();
    skin.Call(SkinEngine::Reset, 0);
    skin.Call(SkinEngine::Enable, 1);
    skin.Call(SkinEngine::LoadSkinFile, QStringLiteral("Derov.skf"));
    skin.Call(SkinEngine::ApplySkin);
}

bool CMorvaneApp::InitInstance() {
    StartUp(QCoreApplication::applicationDirPath());
    CFrameDlg frame;
    frame.exec();
    return false;
}

int CMorvaneApp::ExitInstance() {
    SkinEngine::Instance().Call(SkinEngine::Release);
    return 0;
}

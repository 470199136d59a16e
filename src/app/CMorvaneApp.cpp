#include "app/CMorvaneApp.h"

#include "app/CFrameDlg.h"
#include "app/CMorvaneDlg.h"
#include "app/SkinEngine.h"
#include "engine/AppPaths.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

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
    // Files named on the command line (a desktop's "open with") are added once the window shows.
    const QStringList files = QCoreApplication::arguments().mid(1);
    if (!files.isEmpty())
        QTimer::singleShot(0, &frame, [&frame, files] { frame.Page().AddFiles(files); });
    frame.exec();
    return false;
}

int CMorvaneApp::ExitInstance() {
    SkinEngine::Instance().Call(SkinEngine::Release);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMorvaneApp.h"

#include "app/CFrameDlg.h"
#include "app/CMorvaneDlg.h"
#include "app/SkinEngine.h"
#include "media/AppPaths.h"
#include "media/FileNames.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

namespace {
// The program's translations are built into it (translations/, a resource).
const QString translationDir = QStringLiteral(":/i18n");

QString OwnTranslationFile(const QString& language) {
    return QStringLiteral("%1/morvane_%2.qm").arg(translationDir, language);
}

void InstallTranslator(const QString& name, const QString& dir) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(name, dir))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
} // namespace

void CMorvaneApp::StartUp(const QString& programDir) {
    // The current folder stays the one the program was started from: names given by the
    // user are relative to it. Everything of the program's own is found from its folder.
    AppPaths::SetProgramDir(programDir);

    // The program's font, small enough for the page's fixed pixel layout.
    QFont font = QApplication::font();
    font.setPointSizeF(8);
    QApplication::setFont(font);

    SkinEngine& skin = SkinEngine::Instance();
    skin.Call(SkinEngine::Reset, 0);
    skin.Call(SkinEngine::Enable, 1);
    skin.Call(SkinEngine::LoadSkinFile, AppPaths::DataDir() + QStringLiteral("Derov.skf"));
    skin.Call(SkinEngine::ApplySkin);
}

QStringList CMorvaneApp::CommandLineFiles(const QStringList& arguments, const QString& startDir) {
    QCommandLineParser parser;
    // The guide is named where it is: installed, a relative name would lead nowhere.
    parser.setApplicationDescription(
        QStringLiteral(
            "Converts video and audio files into 3GP and 3G2 files for phones.\n\n"
            "Morvane is free software under the GNU General Public License, version 3 or (at your\n"
            "option) any later version, and comes with no warranty; see\n%1#licence.")
            .arg(QDir::toNativeSeparators(AppPaths::DataDir() + QStringLiteral("help/help.html"))));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Media files to add to the list."),
                                 QStringLiteral("[files...]"));
    // --help and --version print to the console and end the program; so does a wrong option.
    parser.process(arguments);
    QStringList files;
    const QDir start(startDir);
    for (const QString& name : parser.positionalArguments())
        files.append(QDir::cleanPath(start.absoluteFilePath(name)));
    return files;
}

QStringList CMorvaneApp::ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));
    return arguments;
}

QString CMorvaneApp::ChooseTranslation(const QStringList& uiLanguages) {
    for (const QString& wanted : uiLanguages) {
        const QLocale locale(wanted);
        // "C" and "POSIX" ask for the program's own texts; a name Qt does not know is skipped.
        if (locale.language() == QLocale::English || wanted == u"C" || wanted == u"POSIX")
            return {};
        if (locale.language() == QLocale::C)
            continue;
        const QString language = QLocale::languageToCode(locale.language());
        if (QFileInfo::exists(OwnTranslationFile(language)))
            return language;
    }
    return {};
}

QString CMorvaneApp::InstallTranslations(const QStringList& uiLanguages) {
    const QString language = ChooseTranslation(uiLanguages);
    if (language.isEmpty())
        return {};
    InstallTranslator(QStringLiteral("qtbase_") + language,
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    InstallTranslator(QStringLiteral("morvane_") + language, translationDir);
    return language;
}

bool CMorvaneApp::InitInstance() {
    // Before anything else: the names are relative to the folder the program started from.
    const QStringList files = CommandLineFiles(
        arguments.isEmpty() ? QCoreApplication::arguments() : arguments, QDir::currentPath());
    StartUp(QCoreApplication::applicationDirPath());
    // After the command line: --help and a wrong option answer in English, as the manual does.
    InstallTranslations(QLocale::system().uiLanguages());
    CFrameDlg frame;
    // Files named on the command line (a desktop's "open with") are added once the window shows.
    if (!files.isEmpty())
        QTimer::singleShot(0, &frame, [&frame, files] { frame.Page().AddFiles(files); });
    frame.exec();
    return false;
}

int CMorvaneApp::ExitInstance() {
    SkinEngine::Instance().Call(SkinEngine::Release);
    return 0;
}

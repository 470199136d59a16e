// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The application object: start-up and exit around the one modal frame window.
class CMorvaneApp {
public:
    // Start-up, then the frame window until it is closed. Returns false: the program ends
    // when the window has closed.
    bool InitInstance();
    int ExitInstance();
    // The command line, the program's name first (Qt's own options taken out).
    void SetArguments(const QStringList& commandLine) { arguments = commandLine; }

    // The start-up before the window opens: the program folder (the skin and the profiles are
    // found there; the current folder is left as it is), the program's font and the skin.
    static void StartUp(const QString& programDir);
    // The files named on a command line (the program's name first), as absolute paths: relative
    // names are taken from startDir. --help and --version print to the console and end the
    // program, as does an option it does not know.
    static QStringList CommandLineFiles(const QStringList& arguments, const QString& startDir);
    // main()'s arguments as their bytes: a file name that is not UTF-8 (or starts with U+FEFF)
    // must still be found, and Qt's own list would change it.
    static QStringList ArgumentsOf(int argc, char* argv[]);

    // The translation for the first of the user's languages (QLocale::uiLanguages(), most
    // wanted first) that the program speaks: "de" and the like, or "" for English, the
    // program's own language, which also ends the search.
    static QString ChooseTranslation(const QStringList& uiLanguages);
    // Installs the program's translation for that language and Qt's own (dialog buttons);
    // returns the language, "" when the window stays English.
    static QString InstallTranslations(const QStringList& uiLanguages);

private:
    QStringList arguments;
};

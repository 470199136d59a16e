#include "engine/AppPaths.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/OutputType.h"
#include "profiles/Profile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace {

void ListProfiles(QTextStream& out) {
    CProfileIniReader reader;
    for (int t = 0; t < OutputTypeCount; ++t) {
        const auto type = static_cast<OutputType>(t);
        reader.SetFile(QDir(AppPaths::ProfileDir()).filePath(ProfileFileName(type)));
        out << t << ": " << OutputTypeTitle(type) << '\n';
        if (!reader.HasKeys(QStringLiteral("Info"))) {
            out << "   (no profile file)\n";
            continue;
        }
        const int defaultProfile = ParseLeadingInt(
            reader.GetValue(QStringLiteral("Info"), QStringLiteral("DefaultProfile")));
        QStringList names;
        reader.GetSectionNames(names);
        for (int i = 1; i < names.size(); ++i) {
            out << (i == defaultProfile ? " * " : "   ") << i << ". "
                << reader.GetValue(names.at(i), QStringLiteral("Title")) << '\n';
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    AppPaths::SetProgramDir(QCoreApplication::applicationDirPath());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts video and audio files for mobile phones."));
    parser.addHelpOption();
    const QCommandLineOption listOption(
        QStringLiteral("list-profiles"),
        QStringLiteral("Lists the output types and their profiles."));
    parser.addOption(listOption);
    if (!parser.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << parser.errorText() << '\n';
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);

    QTextStream out(stdout);
    if (parser.isSet(listOption)) {
        ListProfiles(out);
        return 0;
    }
    QTextStream(stderr) << parser.helpText();
    return 2;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliProgressPrinter.h"
#include "cli/EncoderEcho.h"
#include "cli/FileList.h"
#include "cli/InterruptWatcher.h"
#include "cli/JsonEvents.h"
#include "cli/StandardOutput.h"
#include "engine/ConversionEngine.h"
#include "engine/EncoderCapabilities.h"
#include "engine/ErrorLog.h"
#include "engine/JobList.h"
#include "engine/SizeModel.h"
#include "engine/StoredSettings.h"
#include "media/AppPaths.h"
#include "media/FileNames.h"
#include "media/MediaProbe.h"
#include "power/SleepInhibitor.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/OutputType.h"
#include "profiles/Profile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <optional>
#include <unistd.h>

namespace {

enum ExitCode {
    ExitOk = 0,
    ExitFailed = 1,
    ExitUsage = 2,
    ExitOutputFailed = 3,
    ExitStopped = 130,
};

QTextStream& Err() {
    static QTextStream err(stderr);
    return err;
}

int UsageError(const QString& message) {
    Err() << "morvane-cli: " << message << "\nTry 'morvane-cli --help' for more information."
          << Qt::endl;
    return ExitUsage;
}

// A file name as the terminal shows it: control characters escaped as in log.txt, so that a
// name cannot move the cursor or forge a line.
QString Shown(const QString& file) {
    return EscapeForLog(DisplayFileName(file));
}

// Waits for the answer of a query of what the encoder can make. Nothing else runs yet, so
// this waits in the event loop (at most a few seconds: an encoder that does not answer is just
// not asked); a stop request ends the wait.
void WaitForAnswer(EncoderCapabilities& capabilities, InterruptWatcher& interrupt) {
    QEventLoop loop;
    QObject::connect(&capabilities, &EncoderCapabilities::Ready, &loop, &QEventLoop::quit);
    QObject::connect(&interrupt, &InterruptWatcher::InterruptRequested, &loop, &QEventLoop::quit);
    QObject::connect(&interrupt, &InterruptWatcher::StopAfterCurrentRequested, &loop,
                     &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!interrupt.Interrupted() && !interrupt.StopAfterCurrentAsked())
        loop.exec();
}

// Asks the encoder program what it can make, and waits for the answer.
void QueryCapabilities(EncoderCapabilities& capabilities, InterruptWatcher& interrupt) {
    bool answered = false;
    const QMetaObject::Connection connection =
        QObject::connect(&capabilities, &EncoderCapabilities::Ready, &capabilities,
                         [&answered] { answered = true; });
    capabilities.Query(AppPaths::FindProgram(QStringLiteral("ffmpeg")));
    if (!answered)
        WaitForAnswer(capabilities, interrupt);
    QObject::disconnect(connection);
}

void ListProfiles(StandardOutput& out, const EncoderCapabilities& capabilities) {
    for (int t = 0; t < OutputTypeCount; ++t) {
        const auto type = static_cast<OutputType>(t);
        const ProfileList list = ReadProfileList(AppPaths::ProfileDirs(), type);
        out.Line(QStringLiteral("%1: %2").arg(t).arg(OutputTypeTitle(type)));
        if (!list.hasFile) {
            out.Line(QStringLiteral("   (no profile file)"));
            continue;
        }
        for (int row = 0; row < list.titles.size(); ++row) {
            out.Line(QStringLiteral("%1%2. %3")
                         .arg(row == list.defaultRow ? " * " : "   ")
                         .arg(row + 1)
                         .arg(list.titles.at(row)));
            CProfileIniReader reader;
            const Result<ResolvedProfile> profile =
                ResolveProfile(reader, AppPaths::ProfileDirs(), type, row);
            const QString missing =
                profile ? capabilities.MissingFor(NeedsOfTemplates(profile->passTemplates)).error()
                        : profile.error();
            if (!missing.isEmpty())
                out.Line(QStringLiteral("      (unavailable: %1)").arg(missing));
        }
    }
}

// Makes a folder named on the command line when it is missing, with its parents, and says so
// (unless quiet); false, said, when it cannot be made. what: "output", "work".
bool MadeWhenMissing(const QString& dir, const char* what, bool quiet) {
    if (!QtReachesFileName(dir) || QFileInfo::exists(dir))
        return true; // what is there is checked by its user
    if (!QDir().mkpath(dir)) {
        Err() << "morvane-cli: the " << what << " directory " << Shown(dir) << " cannot be made."
              << Qt::endl;
        return false;
    }
    if (!quiet)
        Err() << "morvane-cli: made the " << what << " directory " << Shown(dir) << Qt::endl;
    return true;
}

// A stop asked before the batch started: nothing converts.
int StoppedBeforeConverting() {
    Err() << "morvane-cli: stopped before converting." << Qt::endl;
    return ExitStopped;
}

// The code of a run whose standard output failed: said on stderr, as nothing else can.
int OutputFailed(const StandardOutput& out, int code) {
    Err() << "morvane-cli: the standard output cannot be written (" << out.ErrorText()
          << "); nothing more was printed there." << Qt::endl;
    return code == ExitStopped || code == ExitUsage ? code : ExitOutputFailed;
}

// The profile a type uses when none is named: the file's DefaultProfile, else the first.
int DefaultProfileSelection(OutputType type) {
    return std::max(ReadProfileList(AppPaths::ProfileDirs(), type).defaultRow, 0);
}

// A file's absolute path, by string: QFileInfo would lose the bytes of a name that is not UTF-8.
QString AbsolutePath(const QString& file) {
    return QDir::isAbsolutePath(file) ? QDir::cleanPath(file)
                                      : QDir::cleanPath(QDir::currentPath() + u'/' + file);
}

// The folder of path below base (both absolute and clean), "" for base itself; nothing when
// path is not inside base.
std::optional<QString> FolderBelow(const QString& base, const QString& path) {
    const QString folder = path.left(path.lastIndexOf(u'/'));
    if (folder == base || (folder.isEmpty() && base == u"/"))
        return QString();
    const QString prefix = base.endsWith(u'/') ? base : base + u'/';
    if (!folder.startsWith(prefix))
        return std::nullopt;
    return folder.mid(prefix.size());
}

std::optional<double> ParseSeconds(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0)
        return std::nullopt;
    return value;
}

// The files of one output type, profile and output folder: one batch.
struct BatchGroup {
    OutputType type;
    int selection;
    QString subfolder; // of the output folder, with --keep-folders; "" for the folder itself
    QList<FileEntry> files;
    JobList jobs;
};

// Runs one batch to its end in the event loop and returns how it went. human: where the
// progress lines go (nothing with quiet); json: where the JSON events go, or nothing.
BatchResult RunBatch(JobList& jobs, const BatchSettings& settings, InterruptWatcher& interrupt,
                     StandardOutput& human, StandardOutput* json, const QString& outputDir,
                     bool quiet, int firstJob, StandardOutput* verbose) {
    const QString extension = OutputExtension(settings.outputType);
    CliProgressPrinter printer(jobs, human, extension, settings.simultaneousJobs > 1);
    const bool skipsSameSource = settings.existing == ExistingOutputs::SkipSameSource;
    printer.SetSkipsSameSource(skipsSameSource);
    std::optional<JsonEvents> events;
    if (json != nullptr) {
        events.emplace(jobs, *json, outputDir, extension, firstJob);
        events->SetSkipsSameSource(skipsSameSource);
    }
    ConversionEngine engine;
    std::optional<EncoderEcho> echo;
    if (verbose != nullptr) {
        echo.emplace(jobs, *verbose);
        QObject::connect(
            &engine, &ConversionEngine::EncoderOutput, &engine,
            [&](JobId id, const QByteArray& chunk) { echo->Output(int(jobs.IndexOf(id)), chunk); });
    }
    QObject::connect(&engine, &ConversionEngine::JobChanged, &engine, [&](JobId id) {
        const int row = int(jobs.IndexOf(id));
        if (!quiet)
            printer.JobChanged(row, engine.Progress());
        if (events)
            events->JobChanged(row);
    });
    QObject::connect(&engine, &ConversionEngine::JobEnded, &engine,
                     [&](JobId id, JobStatus status) {
                         const int row = int(jobs.IndexOf(id));
                         if (!quiet)
                             printer.JobEnded(row, status);
                         if (events)
                             events->JobEnded(row);
                         if (echo)
                             echo->JobEnded(row);
                     });
    QObject::connect(&interrupt, &InterruptWatcher::InterruptRequested, &engine,
                     &ConversionEngine::CancelActiveJob);
    QObject::connect(&interrupt, &InterruptWatcher::SuspendRequested, &engine,
                     [&engine] { engine.SetPaused(true); });
    QObject::connect(&interrupt, &InterruptWatcher::ResumeRequested, &engine,
                     [&engine] { engine.SetPaused(false); });
    QObject::connect(&interrupt, &InterruptWatcher::StopAfterCurrentRequested, &engine, [&] {
        if (engine.IsConverting() && !engine.StopsAfterCurrentJobs() && !quiet)
            human.Line(QStringLiteral("Stopping after the running jobs"));
        engine.StopAfterCurrentJobs();
    });
    BatchResult result = engine.StartBatch(jobs, settings);
    if (result.status == BatchResult::Status::Started) {
        QEventLoop loop;
        QObject::connect(&engine, &ConversionEngine::BatchFinished, &loop,
                         [&](const BatchResult& finished) {
                             result = finished;
                             loop.quit();
                         });
        loop.exec();
    }
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    // Before anything else: a signal that comes while the encoder is asked or the files are
    // opened is a request like any other, never its default action (SIGUSR1 would end the
    // program).
    InterruptWatcher::InstallHandlers();
    // A full disk or a file size limit makes a write fail (log.txt), not end the program
    // halfway through a batch; so does a reader of the standard output that goes away. The
    // encoders get the defaults back.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    AppPaths::SetProgramDir(QCoreApplication::applicationDirPath());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Converts video and audio files for mobile phones, with the profiles of the desktop "
            "converter.\n\nA job whose output file already exists keeps that file and writes its "
            "own under a free name (\"clip (2).3gp\", printed), unless --overwrite or "
            "--skip-existing says otherwise. A job is finished only when its file has been "
            "checked to play. With --jobs several files convert side by side, each with its own "
            "encoder, and every status line ends with its time left.\n\n"
            "While it converts: Ctrl+Z pauses the encoders with the program and fg resumes them; "
            "Ctrl+C stops at once (what the running jobs wrote is removed); SIGUSR1 (kill -USR1 "
            "<pid>) lets the running jobs finish and starts no other.\n\n"
            "A pass whose encoder makes no progress (no output, no growth of its file) for "
            "--stall-timeout seconds is stopped and its job fails.\n\n"
            "Exit codes: 0 every job finished (or was skipped), 1 a job failed "
            "or a file could not be opened, 2 wrong usage, 3 the standard output could not be "
            "written (a reader that went away, a full disk; the batch went on), 130 stopped with "
            "Ctrl+C, SIGUSR1 or a closed terminal.\n\n"
            "Morvane is free software under the GNU General Public License, version 3 or (at your "
            "option) any later version, and comes with no warranty; see %1#licence.")
            .arg(QDir::toNativeSeparators(AppPaths::DataDir() + QStringLiteral("help/help.html"))));
    parser.addHelpOption();
    const QCommandLineOption typeOption(
        {QStringLiteral("t"), QStringLiteral("type")},
        QStringLiteral("Output type: 0 3GP + AMR, 1 3GP + AAC, 2 3GP2 + AAC (default 0)."),
        QStringLiteral("0|1|2"), QStringLiteral("0"));
    const QCommandLineOption profileOption(
        {QStringLiteral("p"), QStringLiteral("profile")},
        QStringLiteral("Profile number, from 1 (default: the file's default profile)."),
        QStringLiteral("N"));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output-dir")},
        QStringLiteral("Output directory (default: the stored output directory)."),
        QStringLiteral("DIR"));
    const QCommandLineOption beginOption({QStringLiteral("b"), QStringLiteral("begin")},
                                         QStringLiteral("Begin of every file's range in seconds."),
                                         QStringLiteral("SEC"));
    const QCommandLineOption endOption({QStringLiteral("e"), QStringLiteral("end")},
                                       QStringLiteral("End of every file's range in seconds."),
                                       QStringLiteral("SEC"));
    const QCommandLineOption listOption(
        QStringLiteral("list-profiles"),
        QStringLiteral("Lists the output types and their profiles (* marks the default)."));
    const QCommandLineOption overwriteOption(
        QStringLiteral("overwrite"),
        QStringLiteral("Replace output files that already exist (never a file being read)."));
    const QCommandLineOption skipOption(
        QStringLiteral("skip-existing"),
        QStringLiteral("Do not convert files whose output already exists, made from the same "
                       "source with the same settings; one of another (or an unknown) source is "
                       "kept beside the new file. By default both are kept: the new file gets a "
                       "free name such as \"clip (2).3gp\"."));
    const QCommandLineOption jobsOption(
        {QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("How many files convert side by side: 1 to %1, or auto for the number of "
                       "processor cores (here %2). Default 1.")
            .arg(ConversionEngine::MaxSimultaneousJobs)
            .arg(ConversionEngine::AutoSimultaneousJobs()),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption stallOption(
        QStringLiteral("stall-timeout"),
        QStringLiteral("Seconds an encoder may go without progress before its job fails; 0 "
                       "waits for ever. Default %1.")
            .arg(BatchSettings().stallTimeoutSeconds),
        QStringLiteral("SEC"), QString::number(BatchSettings().stallTimeoutSeconds));
    const QCommandLineOption fitOption(
        QStringLiteral("fit"),
        QStringLiteral("Makes every file fit into SIZE (300K, 1M, 1.5MB or bytes; K is 1000 "
                       "bytes): the video rate is chosen for it, and a file that cannot fit "
                       "fails with the reason."),
        QStringLiteral("SIZE"));
    const QCommandLineOption filesFromOption(
        QStringLiteral("files-from"),
        QStringLiteral("Also converts the files listed in FILE (- for standard input), one a "
                       "line; a line may add settings after TABs: begin=SEC, end=SEC, type=T, "
                       "profile=N."),
        QStringLiteral("FILE"));
    const QCommandLineOption nullOption(
        {QStringLiteral("0"), QStringLiteral("null")},
        QStringLiteral("The --files-from list is separated by NUL characters, not lines."));
    const QCommandLineOption shardOption(
        QStringLiteral("shard"),
        QStringLiteral("Converts only the entries K, K+N, K+2N, ... of all the files given "
                       "(counted from 0), so N runs with K = 0 to N-1 share one list."),
        QStringLiteral("K/N"));
    const QCommandLineOption keepFoldersOption(
        QStringLiteral("keep-folders"),
        QStringLiteral("Mirrors each file's folder below BASE under the output folder (made as "
                       "needed), so that equal names from different folders never meet; a file "
                       "outside BASE is not converted."),
        QStringLiteral("BASE"));
    const QCommandLineOption workDirOption(
        QStringLiteral("work-dir"),
        QStringLiteral("Folder for the files being made (a local disk when the output folder is "
                       "on a network share); finished files are still placed in the output "
                       "folder, never replacing one there. Default: the output folder."),
        QStringLiteral("DIR"));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"),
        QStringLiteral("Prints one JSON object a line for every job event on standard output; "
                       "the other lines go to standard error."));
    const QCommandLineOption quietOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Prints errors only."));
    const QCommandLineOption verboseOption(
        {QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Also prints the encoder's own lines on standard error."));
    const QCommandLineOption versionOption({QStringLiteral("V"), QStringLiteral("version")},
                                           QStringLiteral("Prints the version."));
    parser.addOptions({typeOption,  profileOption, outputOption,      beginOption,
                       endOption,   jobsOption,    overwriteOption,   skipOption,
                       stallOption, fitOption,     listOption,        filesFromOption,
                       nullOption,  shardOption,   keepFoldersOption, workDirOption,
                       jsonOption,  quietOption,   verboseOption,     versionOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to convert."),
                                 QStringLiteral("FILE..."));

    // The arguments as their bytes: a file name that is not valid UTF-8 must still be found.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    StandardOutput out(STDOUT_FILENO);
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        out.Write(parser.helpText());
        return out.Failed() ? OutputFailed(out, ExitOk) : ExitOk;
    }
    if (parser.isSet(versionOption)) {
        out.Line(QStringLiteral("morvane-cli %1").arg(QStringLiteral(MORVANE_VERSION)));
        return out.Failed() ? OutputFailed(out, ExitOk) : ExitOk;
    }
    InterruptWatcher interrupt;
    EncoderCapabilities capabilities;
    if (parser.isSet(listOption)) {
        QueryCapabilities(capabilities, interrupt);
        if (interrupt.Interrupted() || interrupt.StopAfterCurrentAsked())
            return ExitStopped;
        ListProfiles(out, capabilities);
        return out.Failed() ? OutputFailed(out, ExitOk) : ExitOk;
    }

    // Usage.
    bool ok = false;
    const int typeValue = parser.value(typeOption).trimmed().toInt(&ok);
    if (!ok || !IsValidOutputType(typeValue))
        return UsageError(QStringLiteral("the output type must be 0, 1 or 2."));
    const auto type = static_cast<OutputType>(typeValue);
    int selection = DefaultProfileSelection(type);
    if (parser.isSet(profileOption)) {
        const int number = parser.value(profileOption).trimmed().toInt(&ok);
        if (!ok || number < 1)
            return UsageError(QStringLiteral("the profile must be a number from 1."));
        selection = number - 1;
    }
    std::optional<double> begin;
    std::optional<double> end;
    if (parser.isSet(beginOption) && !(begin = ParseSeconds(parser.value(beginOption))))
        return UsageError(QStringLiteral("the begin must be a number of seconds, 0 or more."));
    if (parser.isSet(endOption) && !(end = ParseSeconds(parser.value(endOption))))
        return UsageError(QStringLiteral("the end must be a number of seconds, 0 or more."));
    if (parser.isSet(overwriteOption) && parser.isSet(skipOption))
        return UsageError(QStringLiteral("--overwrite and --skip-existing exclude each other."));
    int simultaneousJobs = ConversionEngine::AutoSimultaneousJobs();
    if (parser.value(jobsOption).trimmed() != u"auto") {
        simultaneousJobs = parser.value(jobsOption).trimmed().toInt(&ok);
        if (!ok || simultaneousJobs < 1 || simultaneousJobs > ConversionEngine::MaxSimultaneousJobs)
            return UsageError(QStringLiteral("the jobs must be a number from 1 to %1, or auto.")
                                  .arg(ConversionEngine::MaxSimultaneousJobs));
    }
    const int stallSeconds = parser.value(stallOption).trimmed().toInt(&ok);
    if (!ok || stallSeconds < 0)
        return UsageError(QStringLiteral("the stall timeout must be a number of seconds, 0 or "
                                         "more."));
    std::optional<qint64> fitBytes = 0;
    if (parser.isSet(fitOption) && !(fitBytes = ParseFileSize(parser.value(fitOption))))
        return UsageError(QStringLiteral("the fit size must be a size such as 300K, 1M, 1.5MB "
                                         "or a number of bytes."));
    if (begin && end && *end <= *begin)
        return UsageError(QStringLiteral("the end must come after the begin."));
    if (parser.isSet(jsonOption) && parser.isSet(quietOption))
        return UsageError(QStringLiteral("--json and --quiet exclude each other."));
    if (parser.isSet(verboseOption) && parser.isSet(quietOption))
        return UsageError(QStringLiteral("--verbose and --quiet exclude each other."));
    std::optional<Shard> shard = Shard{};
    if (parser.isSet(shardOption) && !(shard = ParseShard(parser.value(shardOption))))
        return UsageError(QStringLiteral("the shard must be K/N, with K from 0 to N - 1."));
    QList<FileEntry> entries;
    for (const QString& file : parser.positionalArguments())
        entries.append(FileEntry{file, {}, {}, {}, {}});
    if (parser.isSet(filesFromOption)) {
        const Result<QByteArray> list = ReadFileList(parser.value(filesFromOption));
        if (!list) {
            Err() << "morvane-cli: " << list.error() << Qt::endl;
            return ExitFailed;
        }
        const Result<QList<FileEntry>> listed =
            ParseFileList(*list, parser.isSet(nullOption) ? '\0' : '\n');
        if (!listed)
            return UsageError(listed.error());
        entries += *listed;
    }
    if (entries.isEmpty())
        return UsageError(QStringLiteral("no file to convert."));
    QList<FileEntry> files;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (shard->Takes(i))
            files.append(entries.at(i));
    }
    if (files.isEmpty())
        return ExitOk; // a shard of a short list may have nothing to do

    // Every entry's type and profile (the options' where its line names none) and, with
    // --keep-folders, its output folder; entries of one type, profile and folder convert in one
    // batch, batches in the order they first appear.
    const bool keepFolders = parser.isSet(keepFoldersOption);
    const QString base = AbsolutePath(parser.value(keepFoldersOption));
    QList<QString> outsideBase;
    QList<BatchGroup> groups;
    for (const FileEntry& file : files) {
        const std::optional<QString> subfolder =
            keepFolders ? FolderBelow(base, AbsolutePath(file.path)) : QString();
        if (!subfolder) {
            outsideBase.append(file.path);
            continue;
        }
        const auto entryType = file.type ? static_cast<OutputType>(*file.type) : type;
        const int entrySelection = file.profile ? *file.profile - 1
                                   : file.type  ? DefaultProfileSelection(entryType)
                                                : selection;
        auto group = std::find_if(groups.begin(), groups.end(), [&](const BatchGroup& g) {
            return g.type == entryType && g.selection == entrySelection &&
                   g.subfolder == *subfolder;
        });
        if (group == groups.end()) {
            CProfileIniReader reader;
            ProfileProblem problem = ProfileProblem::None;
            const Result<ResolvedProfile> profile = ResolveProfile(
                reader, AppPaths::ProfileDirs(), entryType, entrySelection, &problem);
            if (problem == ProfileProblem::NoSuchProfile)
                return UsageError(profile.error());
            if (!profile) {
                Err() << "morvane-cli: " << profile.error() << Qt::endl;
                return ExitFailed;
            }
            groups.append(BatchGroup{entryType, entrySelection, *subfolder, {}, {}});
            group = groups.end() - 1;
        }
        group->files.append(file);
    }
    // What the encoder can make is asked in the background (two runs of ffmpeg, about a fifth
    // of a second) while the files are opened; nothing converts before the answer.
    bool answered = false;
    QObject::connect(&capabilities, &EncoderCapabilities::Ready, &capabilities,
                     [&answered] { answered = true; });
    capabilities.Query(AppPaths::FindProgram(QStringLiteral("ffmpeg")));
    const QString outputDir =
        parser.isSet(outputOption) ? parser.value(outputOption) : StoredSettings::LoadOutputDir();
    const bool quiet = parser.isSet(quietOption);
    // A folder named with -o is made when missing, as a script expects (`-o out/phone`).
    if (parser.isSet(outputOption) && !MadeWhenMissing(outputDir, "output", quiet))
        return ExitFailed;
    if (const Result<void> dir = ConversionEngine::CheckOutputDir(outputDir); !dir) {
        Err() << "morvane-cli: " << dir.error().trimmed() << Qt::endl;
        return ExitFailed;
    }
    const QString workDir = parser.value(workDirOption);
    if (parser.isSet(workDirOption)) {
        // The encoder is handed its paths as text.
        if (!QtReachesFileName(workDir))
            return UsageError(QStringLiteral("the work directory's name must be valid UTF-8."));
        if (!MadeWhenMissing(workDir, "work", quiet))
            return ExitFailed;
    }

    const bool json = parser.isSet(jsonOption);
    StandardOutput errOut(STDERR_FILENO);
    // With --json the standard output is the scripts'; people read standard error.
    StandardOutput& human = json ? errOut : out;
    const QString shownOutputDir = AppPaths::WithTrailingSeparator(QDir(outputDir).absolutePath());

    bool hadErrors = false;
    for (const QString& file : outsideBase) {
        const QString why = QStringLiteral("it is not inside the folder %1 given with "
                                           "--keep-folders")
                                .arg(Shown(base));
        Err() << "morvane-cli: cannot convert " << Shown(file) << ": " << why << Qt::endl;
        if (json)
            JsonEvents::OpenFailed(out, AbsolutePath(file), why);
        hadErrors = true;
    }
    // Every file is opened first, as the window does when a file is added.
    for (BatchGroup& group : groups) {
        JobList& jobs = group.jobs;
        for (const FileEntry& entry : group.files) {
            const QString& file = entry.path;
            // Opening a long list takes a while: Ctrl+Z pauses here, a stop ends it.
            interrupt.Poll();
            if (interrupt.Interrupted() || interrupt.StopAfterCurrentAsked())
                return StoppedBeforeConverting();
            const QString path = AbsolutePath(file);
            const Result<MediaInfo> info = ProbeMedia(path);
            if (!info) {
                Err() << "morvane-cli: cannot open " << Shown(file) << ": " << info.error()
                      << Qt::endl;
                if (json)
                    JsonEvents::OpenFailed(out, path, info.error());
                hadErrors = true;
                continue;
            }
            Job job = Job::FromPath(path, info->duration);
            const std::optional<double> entryEnd = entry.end ? entry.end : end;
            job.beginTime = entry.begin.value_or(begin.value_or(0.0));
            job.endTime = entryEnd ? std::min(*entryEnd, info->duration) : info->duration;
            if (job.endTime <= job.beginTime) {
                const QString why = QStringLiteral("%1 plays only %2 seconds: the range is empty.")
                                        .arg(Shown(file))
                                        .arg(info->duration);
                Err() << "morvane-cli: " << why << Qt::endl;
                if (json)
                    JsonEvents::OpenFailed(out, path, why);
                hadErrors = true;
                continue;
            }
            jobs.Append(job);
        }
    }
    groups.removeIf([](const BatchGroup& group) { return group.jobs.Count() == 0; });
    if (groups.isEmpty())
        return out.Failed() ? OutputFailed(out, ExitFailed) : ExitFailed;

    // The computer stays awake while the batch runs; without logind it converts all the same.
    SleepInhibitor awake;
    awake.Acquire(QStringLiteral("Converting videos"));
    if (!answered)
        WaitForAnswer(capabilities, interrupt);
    interrupt.Poll();
    if (interrupt.Interrupted() || interrupt.StopAfterCurrentAsked()) {
        awake.Release();
        return StoppedBeforeConverting();
    }
    BatchSettings settings;
    settings.outputDir = outputDir;
    settings.workDir = workDir;
    settings.sourceIndex = true;
    settings.capabilities = &capabilities;
    settings.simultaneousJobs = simultaneousJobs;
    settings.stallTimeoutSeconds = stallSeconds;
    settings.fitBytes = *fitBytes;
    settings.existing = parser.isSet(overwriteOption) ? ExistingOutputs::Overwrite
                        : parser.isSet(skipOption)    ? ExistingOutputs::SkipSameSource
                                                      : ExistingOutputs::KeepBoth;
    BatchResult total;
    bool ran = false; // a batch was not refused
    int jobCount = 0;
    int code = hadErrors ? ExitFailed : ExitOk;
    bool stopped = false;
    for (BatchGroup& group : groups) {
        settings.outputType = group.type;
        settings.profileSelection = group.selection;
        QString shownDir = shownOutputDir;
        settings.outputDir = outputDir;
        if (!group.subfolder.isEmpty()) {
            settings.outputDir = QDir(outputDir).filePath(group.subfolder);
            shownDir = AppPaths::WithTrailingSeparator(shownDir + group.subfolder);
            // A mirrored folder is made as it is needed; a failure refuses its batch below.
            QDir().mkpath(settings.outputDir);
        }
        const BatchResult result =
            RunBatch(group.jobs, settings, interrupt, human, json ? &out : nullptr, shownDir, quiet,
                     jobCount + 1, parser.isSet(verboseOption) ? &errOut : nullptr);
        if (result.status == BatchResult::Status::Refused) {
            Err() << "morvane-cli: " << result.message.trimmed() << Qt::endl;
            code = ExitFailed;
            continue;
        }
        ran = true;
        jobCount += group.jobs.Count();
        total.finishedJobs += result.finishedJobs;
        total.failedJobs += result.failedJobs;
        total.skippedJobs += result.skippedJobs;
        total.canceledJobs += result.canceledJobs;
        if (result.status == BatchResult::Status::Canceled ||
            result.status == BatchResult::Status::Stopped || interrupt.Interrupted()) {
            stopped = true;
            break;
        }
    }
    awake.Release();
    if (ran && !quiet)
        human.Line(QStringLiteral("Converting Finished"));
    if (stopped) {
        code = ExitStopped;
    } else if (total.failedJobs > 0) {
        Err() << "morvane-cli: " << total.failedJobs << " of " << jobCount << " jobs failed; see "
              << ErrorLog::LogPlace() << Qt::endl;
        code = ExitFailed;
    }
    if (json)
        JsonEvents::BatchEnded(out, total, jobCount, out.Failed() ? ExitOutputFailed : code);
    return out.Failed() ? OutputFailed(out, code) : code;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliProgressPrinter.h"
#include "cli/InterruptWatcher.h"
#include "cli/StandardOutput.h"
#include "engine/ConversionEngine.h"
#include "engine/EncoderCapabilities.h"
#include "engine/ErrorLog.h"
#include "engine/JobList.h"
#include "engine/StoredSettings.h"
#include "media/AppPaths.h"
#include "media/FileNames.h"
#include "media/MediaExporter.h"
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
        const ProfileList list = ReadProfileList(AppPaths::ProfileDir(), type);
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
                ResolveProfile(reader, AppPaths::ProfileDir(), type, row);
            const QString missing =
                profile ? capabilities.MissingFor(NeedsOfTemplates(profile->passTemplates)).error()
                        : profile.error();
            if (!missing.isEmpty())
                out.Line(QStringLiteral("      (unavailable: %1)").arg(missing));
        }
    }
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
    return std::max(ReadProfileList(AppPaths::ProfileDir(), type).defaultRow, 0);
}

std::optional<double> ParseSeconds(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0)
        return std::nullopt;
    return value;
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
    parser.setApplicationDescription(QStringLiteral(
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
        "option) any later version, and comes with no warranty; see help/help.html#licence."));
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
        QStringLiteral("Do not convert files whose output already exists. By default both are "
                       "kept: the new file gets a free name such as \"clip (2).3gp\"."));
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
    parser.addOptions({typeOption, profileOption, outputOption, beginOption, endOption, jobsOption,
                       overwriteOption, skipOption, stallOption, listOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to convert."),
                                 QStringLiteral("FILE..."));

    // The arguments as their bytes: a file name that is not valid UTF-8 must still be found.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    StandardOutput out(STDOUT_FILENO);
    if (parser.isSet(QStringLiteral("help"))) {
        out.Write(parser.helpText());
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
    if (begin && end && *end <= *begin)
        return UsageError(QStringLiteral("the end must come after the begin."));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return UsageError(QStringLiteral("no file to convert."));

    CProfileIniReader reader;
    ProfileProblem problem = ProfileProblem::None;
    const Result<ResolvedProfile> profile =
        ResolveProfile(reader, AppPaths::ProfileDir(), type, selection, &problem);
    if (problem == ProfileProblem::NoSuchProfile)
        return UsageError(profile.error());
    if (!profile) {
        Err() << "morvane-cli: " << profile.error() << Qt::endl;
        return ExitFailed;
    }
    // What the encoder can make is asked in the background (two runs of ffmpeg, about a fifth
    // of a second) while the files are opened; nothing converts before the answer.
    bool answered = false;
    QObject::connect(&capabilities, &EncoderCapabilities::Ready, &capabilities,
                     [&answered] { answered = true; });
    capabilities.Query(AppPaths::FindProgram(QStringLiteral("ffmpeg")));
    const QString outputDir =
        parser.isSet(outputOption) ? parser.value(outputOption) : StoredSettings::LoadOutputDir();
    if (const Result<void> dir = ConversionEngine::CheckOutputDir(outputDir); !dir) {
        Err() << "morvane-cli: " << dir.error().trimmed() << Qt::endl;
        return ExitFailed;
    }

    // Every file is opened first, as the window does when a file is added.
    bool hadErrors = false;
    JobList jobs;
    for (const QString& file : files) {
        // Opening a long list takes a while: Ctrl+Z pauses here, a stop ends it.
        interrupt.Poll();
        if (interrupt.Interrupted() || interrupt.StopAfterCurrentAsked())
            return StoppedBeforeConverting();
        // By string: QFileInfo would lose the bytes of a name that is not UTF-8.
        const QString path = QDir::isAbsolutePath(file)
                                 ? QDir::cleanPath(file)
                                 : QDir::cleanPath(QDir::currentPath() + u'/' + file);
        const Result<MediaInfo> info = ProbeMedia(path);
        if (!info) {
            Err() << "morvane-cli: cannot open " << Shown(file) << ": " << info.error() << Qt::endl;
            hadErrors = true;
            continue;
        }
        Job job = Job::FromPath(path, info->duration);
        job.beginTime = begin.value_or(0.0);
        job.endTime = end ? std::min(*end, info->duration) : info->duration;
        if (job.endTime <= job.beginTime) {
            Err() << "morvane-cli: " << Shown(file) << " plays only " << info->duration
                  << " seconds: the range is empty." << Qt::endl;
            hadErrors = true;
            continue;
        }
        jobs.Append(job);
    }
    if (jobs.Count() == 0)
        return ExitFailed;

    MediaExporter exporter;
    CliProgressPrinter printer(jobs, out, OutputExtension(type), simultaneousJobs > 1);
    ConversionEngine engine;
    engine.SetExporter(&exporter);
    QObject::connect(&engine, &ConversionEngine::JobChanged, &engine,
                     [&](int row) { printer.JobChanged(row, engine.Progress()); });
    QObject::connect(&engine, &ConversionEngine::JobEnded, &engine,
                     [&](int row, JobStatus status) { printer.JobEnded(row, status); });
    QObject::connect(&interrupt, &InterruptWatcher::InterruptRequested, &engine,
                     &ConversionEngine::CancelActiveJob);
    QObject::connect(&interrupt, &InterruptWatcher::SuspendRequested, &engine,
                     [&engine] { engine.SetPaused(true); });
    QObject::connect(&interrupt, &InterruptWatcher::ResumeRequested, &engine,
                     [&engine] { engine.SetPaused(false); });
    QObject::connect(&interrupt, &InterruptWatcher::StopAfterCurrentRequested, &engine, [&] {
        if (engine.IsConverting() && !engine.StopsAfterCurrentJobs())
            out.Line(QStringLiteral("Stopping after the running jobs"));
        engine.StopAfterCurrentJobs();
    });
    BatchSettings settings;
    settings.outputType = type;
    settings.profileSelection = selection;
    settings.outputDir = outputDir;
    settings.capabilities = &capabilities;
    settings.simultaneousJobs = simultaneousJobs;
    settings.stallTimeoutSeconds = stallSeconds;
    settings.existing = parser.isSet(overwriteOption) ? ExistingOutputs::Overwrite
                        : parser.isSet(skipOption)    ? ExistingOutputs::Skip
                                                      : ExistingOutputs::KeepBoth;
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
    BatchResult result = engine.StartBatch(jobs, settings);
    if (result.status == BatchResult::Status::Started) {
        QObject::connect(&engine, &ConversionEngine::BatchFinished, &app,
                         [&](const BatchResult& finished) {
                             result = finished;
                             QCoreApplication::quit();
                         });
        QCoreApplication::exec();
    }
    awake.Release();
    if (result.status == BatchResult::Status::Refused) {
        Err() << "morvane-cli: " << result.message.trimmed() << Qt::endl;
        return ExitFailed;
    }
    out.Line(QStringLiteral("Converting Finished"));
    int code = hadErrors ? ExitFailed : ExitOk;
    if (result.status == BatchResult::Status::Canceled ||
        result.status == BatchResult::Status::Stopped || interrupt.Interrupted()) {
        code = ExitStopped;
    } else if (result.failedJobs > 0) {
        Err() << "morvane-cli: " << result.failedJobs << " of " << jobs.Count()
              << " jobs failed; see " << QDir::toNativeSeparators(AppPaths::WritableDir())
              << "log.txt" << Qt::endl;
        code = ExitFailed;
    }
    return out.Failed() ? OutputFailed(out, code) : code;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the check of a finished file costs against the job it ends: a 640x480 clip of
// each length given in seconds (20 and 180 when none is given) is encoded with each output
// type's default profile command (timed), and the check of its output is timed (the fastest of
// 5). Target: under 5% of the job's time. Processor times are printed too: on a busy machine
// they say more than the clock.
#include "engine/CommandTemplate.h"
#include "engine/EncoderCapabilities.h"
#include "media/AppPaths.h"
#include "media/OutputCheck.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <vector>

#include <sys/resource.h>

namespace {

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The processor time the children that ended so far took, in ms.
double ChildrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Encodes a clip of the given length with every type's default profile and times the checks.
bool BenchClip(QTextStream& out, int seconds) {
    QTemporaryDir dir;
    const QString clip = dir.filePath("bench.avi");
    const QString length = QString::number(seconds);
    if (!Run("ffmpeg", {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                        "testsrc2=size=640x480:rate=25:duration=" + length, "-f", "lavfi", "-i",
                        "sine=duration=" + length, "-c:v", "mpeg4", "-q:v", "4", "-c:a",
                        "libmp3lame", clip})) {
        out << "ffmpeg could not make the clip\n";
        return false;
    }
    Job job = Job::FromPath(clip, seconds);
    for (int t = 0; t < OutputTypeCount; ++t) {
        const auto type = static_cast<OutputType>(t);
        CProfileIniReader reader;
        reader.SetFile(QDir(AppPaths::ProfileDir()).filePath(ProfileFileName(type)));
        const int selection = ReadProfileList(AppPaths::ProfileDir(), type).defaultRow;
        const Result<ResolvedProfile> profile =
            ResolveProfile(reader, AppPaths::ProfileDir(), type, selection);
        if (!profile) {
            out << profile.error() << "\n";
            return false;
        }
        const QString workDir = AppPaths::WithTrailingSeparator(dir.filePath(QString::number(t)));
        QDir().mkpath(workDir);
        QElapsedTimer encode;
        encode.start();
        const double encodeCpuStart = ChildrenCpuMs();
        job.status = JobStatus::FirstPass;
        for (const QString& pass : profile->passTemplates) {
            const CommandLine command = ExpandCommandTemplate(pass, job, workDir);
            if (!Run(AppPaths::FindProgram(command.Program()), command.ProgramArguments())) {
                out << "the encoder failed: " << command.Printable() << "\n";
                return false;
            }
        }
        const double encodeMs = encode.nsecsElapsed() / 1e6;
        const double encodeCpuMs = ChildrenCpuMs() - encodeCpuStart;

        OutputExpectation expected;
        expected.brandPrefix = type == OutputType::Aac3g2 ? "3g2" : "3gp";
        expected.video = expected.audio = true;
        expected.encoders = NeedsOfTemplates(profile->passTemplates).encoders;
        expected.duration = seconds;
        const QString output = workDir + job.baseName + OutputExtension(type);
        double checkMs = 1e300;
        double checkCpuMs = 1e300;
        QString problem;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer check;
            check.start();
            const double cpuStart = ThreadCpuMs();
            problem = CheckOutputFile(output, expected).error();
            checkCpuMs = std::min(checkCpuMs, ThreadCpuMs() - cpuStart);
            checkMs = std::min(checkMs, check.nsecsElapsed() / 1e6);
        }
        const auto figure = [](double ms) { return QString::number(ms, 'f', ms < 100 ? 1 : 0); };
        out << seconds << " s, " << OutputTypeTitle(type).simplified() << ", "
            << profile->profile.title.section(u',', 0, 0) << ": job " << figure(encodeMs)
            << " ms (processor " << figure(encodeCpuMs) << " ms), check " << figure(checkMs)
            << " ms (processor " << figure(checkCpuMs)
            << " ms) = " << QString::number(100.0 * checkMs / encodeMs, 'f', 2) << "% of the job ("
            << QString::number(100.0 * checkCpuMs / encodeCpuMs, 'f', 2)
            << "% of its processor time)"
            << (problem.isEmpty() ? QString() : QStringLiteral(" [check failed: %1]").arg(problem))
            << "\n";
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    AppPaths::SetProgramDir(QStringLiteral(MORVANE_PROGRAM_DIR));
    QTextStream out(stdout);
    QList<int> lengths;
    for (const QString& argument : app.arguments().mid(1))
        lengths.append(argument.toInt());
    if (lengths.isEmpty())
        lengths = {20, 180};
    for (const int seconds : lengths) {
        if (seconds <= 0) {
            out << "a clip length is a whole number of seconds\n";
            return 2;
        }
        if (!BenchClip(out, seconds))
            return 1;
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the check of a finished file costs against the job it ends: a 20 s 640x480
// clip is encoded with each output type's default profile command (timed), and the check of
// its output is timed (median of 5). Target: under 5% of the job's time.
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
#include <vector>

namespace {

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    AppPaths::SetProgramDir(QStringLiteral(MORVANE_PROGRAM_DIR));
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString clip = dir.filePath("bench.avi");
    if (!Run("ffmpeg",
             {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
              "testsrc2=size=640x480:rate=25:duration=20", "-f", "lavfi", "-i", "sine=duration=20",
              "-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", clip})) {
        out << "ffmpeg could not make the clip\n";
        return 1;
    }
    Job job = Job::FromPath(clip, 20.0);
    for (int t = 0; t < OutputTypeCount; ++t) {
        const auto type = static_cast<OutputType>(t);
        CProfileIniReader reader;
        reader.SetFile(QDir(AppPaths::ProfileDir()).filePath(ProfileFileName(type)));
        const int selection = ParseLeadingInt(reader.GetValue(QStringLiteral("Info"),
                                                              QStringLiteral("DefaultProfile"))) -
                              1;
        const Result<ResolvedProfile> profile =
            ResolveProfile(reader, AppPaths::ProfileDir(), type, selection);
        if (!profile) {
            out << profile.error() << "\n";
            return 1;
        }
        const QString workDir = AppPaths::WithTrailingSeparator(dir.filePath(QString::number(t)));
        QDir().mkpath(workDir);
        QElapsedTimer encode;
        encode.start();
        job.status = JobStatus::FirstPass;
        for (const QString& pass : profile->passTemplates) {
            const CommandLine command = ExpandCommandTemplate(pass, job, workDir);
            if (!Run(AppPaths::FindProgram(command.Program()), command.ProgramArguments())) {
                out << "the encoder failed: " << command.Printable() << "\n";
                return 1;
            }
        }
        const double encodeMs = encode.nsecsElapsed() / 1e6;

        OutputExpectation expected;
        expected.brandPrefix = type == OutputType::Aac3g2 ? "3g2" : "3gp";
        expected.video = expected.audio = true;
        expected.encoders = NeedsOfTemplates(profile->passTemplates).encoders;
        expected.duration = 20.0;
        const QString output = workDir + job.baseName + OutputExtension(type);
        std::vector<double> checks;
        QString problem;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer check;
            check.start();
            problem = CheckOutputFile(output, expected).error();
            checks.push_back(check.nsecsElapsed() / 1e6);
        }
        std::sort(checks.begin(), checks.end());
        out << OutputTypeTitle(type) << ": job " << QString::number(encodeMs, 'f', 0)
            << " ms, check " << QString::number(checks[2], 'f', 1)
            << " ms (median of 5) = " << QString::number(100.0 * checks[2] / encodeMs, 'f', 2)
            << "% of the job"
            << (problem.isEmpty() ? QString() : QStringLiteral(" [check failed: %1]").arg(problem))
            << "\n";
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Takes pictures of the main window for the documentation (not a test):
//   screenshot_main_window converting OUT.png   three jobs, the second one converting
//   screenshot_main_window side-by-side OUT.png three jobs converting at once, with the time
//                                               left (the whole screen, for the title bar)
//   screenshot_main_window trimmed OUT.png      a clip loaded and trimmed
//   screenshot_main_window start OUT.png        right after start (mid-fade) and OUT-faded.png
// Run it under a display (Xvfb) or offscreen; it makes its own clips with ffmpeg.
// MORVANE_NO_SKIN=1 leaves the skin off; MORVANE_DARK=1 runs under Fusion with a dark palette,
// as a dark desktop theme would.
#include "TestPaths.h"
#include "app/CFrameDlg.h"
#include "app/CMorvaneApp.h"
#include "app/CMorvaneDlg.h"
#include "app/SkinEngine.h"
#include "app/UserPrompts.h"
#include "controls/CFadePicture.h"
#include "media/AppPaths.h"
#include "preview/CRangeSlider.h"
#include "preview/RangeChangedEvent.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class SilentPrompts : public UserPrompts {
public:
    QStringList files;
    QString folder;
    QStringList OpenFiles(QWidget*, const QString&, const QString&) override {
        return files.isEmpty() ? QStringList() : QStringList{files.takeFirst()};
    }
    QString BrowseForFolder(QWidget*, const QString&) override { return folder; }
    void MessageBox(QWidget*, const QString&, const QString&, Icon) override {}
};

QString MakeClip(const QString& folder, const QString& name, int seconds) {
    const QString path = QDir(folder).filePath(name);
    QProcess::execute(
        "ffmpeg", {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                   QStringLiteral("testsrc2=size=640x480:rate=25:duration=%1").arg(seconds), "-f",
                   "lavfi", "-i", QStringLiteral("sine=frequency=440:duration=%1").arg(seconds),
                   "-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", path});
    return path;
}

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 3) {
        qWarning("usage: screenshot_main_window converting|trimmed|start OUT.png");
        return 2;
    }
    if (qEnvironmentVariableIsSet("MORVANE_DARK")) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette dark(QColor(53, 53, 53));
        dark.setColor(QPalette::Base, QColor(35, 35, 35));
        dark.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
        dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        QApplication::setPalette(dark);
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    CMorvaneApp::StartUp(TestPaths::ProgramDir());
    if (qEnvironmentVariableIsSet("MORVANE_NO_SKIN"))
        SkinEngine::Instance().Call(SkinEngine::Release);

    QTemporaryDir temp;
    SilentPrompts prompts;
    prompts.folder = temp.filePath("out");
    QDir().mkpath(prompts.folder);
    CFrameDlg frame;
    CMorvaneDlg& page = frame.Page();
    page.SetUserPrompts(&prompts);
    frame.show();

    if (mode == "start") {
        // The fade adds each step over the last, so it looks nearly done after a second.
        Wait(350);
        frame.grab().save(out);
        Wait(4000);
        QString faded = out;
        faded.replace(".png", "-faded.png");
        frame.grab().save(faded);
        return 0;
    }

    Wait(300);
    const int seconds = mode == "side-by-side" ? 180 : mode == "converting" ? 40 : 20;
    prompts.files = {MakeClip(temp.path(), "holiday beach.avi", seconds),
                     MakeClip(temp.path(), "concert.avi", seconds),
                     MakeClip(temp.path(), "birthday party.avi", seconds)};
    for (int i = 0; i < 3; ++i)
        page.AddFile();
    page.OnBrowse();
    Wait(500);

    if (mode == "trimmed") {
        page.SelectRow(1);
        page.OnListClick();
        Wait(300);
        auto* slider = static_cast<CRangeSlider*>(page.Control(CMorvaneDlg::IdcTrimSlider));
        slider->SetSelection(4.2, 15.7);
        RangeChangedEvent changed(RangeChangedEvent::BothEnds, 0);
        QCoreApplication::sendEvent(&page, &changed);
        Wait(200);
        page.ShowStill(page.Jobs().At(1).sourcePath, 4.2);
        Wait(1000);
        frame.grab().save(out);
        return 0;
    }

    // Converting: picture the second job half-way through its pass, or all three jobs
    // side by side once their time left is known.
    const bool sideBySide = mode == "side-by-side";
    page.SetSimultaneousJobs(sideBySide ? 3 : 1);
    bool taken = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        bool ready = true;
        for (int row = sideBySide ? 0 : 1; row < (sideBySide ? 3 : 2); ++row) {
            const Job& job = page.Jobs().At(row);
            ready = ready && job.status == JobStatus::FirstPass &&
                    job.encodedTime > seconds * (sideBySide ? 0.2 : 0.45) &&
                    (!sideBySide || job.secondsLeft >= 0.0);
        }
        if (!ready)
            return;
        probe.stop();
        page.UpdateTitle();
        Wait(300);
        if (sideBySide)
            QGuiApplication::primaryScreen()->grabWindow(0).save(out);
        else
            frame.grab().save(out);
        taken = true;
        page.OnStopConverting();
    });
    probe.start(5);
    page.OnStartConverting();
    QElapsedTimer limit;
    limit.start();
    while (page.IsConverting() && limit.elapsed() < 300000)
        Wait(100);
    page.SetSimultaneousJobs(1);
    if (!taken) {
        for (const Job& job : page.Jobs())
            qWarning("never seen converting: %s: %d %s", qPrintable(job.sourcePath),
                     int(job.status), qPrintable(job.failReason));
        return 1;
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The outer window under a real window manager (run by run_under_openbox.sh on Xvfb with
// openbox): the frame the manager adds counts in the 692 x 610, and the user cannot resize.
#include "TestPaths.h"
#include "app/CFrameDlg.h"
#include "media/AppPaths.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestFrameUnderWm : public QObject {
    Q_OBJECT
private slots:
    void outerSizeIncludesTheFrame();
};

void TestFrameUnderWm::outerSizeIncludesTheFrame() {
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    AppPaths::SetProgramDir(TestPaths::ProgramDir());
    CFrameDlg frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    // The manager's frame arrives after the window is shown.
    QTRY_VERIFY(frame.frameGeometry().size() != frame.size());
    QTRY_COMPARE(frame.frameGeometry(), QRect(0, 0, 692, 610));
    QCOMPARE(frame.minimumSize(), frame.maximumSize());
    frame.resize(900, 700);
    QCoreApplication::processEvents();
    QCOMPARE(frame.frameGeometry().size(), QSize(692, 610));
}

QTEST_MAIN(TestFrameUnderWm)
#include "tst_frame_under_wm.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LauncherProgress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 MinIntervalMs = 250;

} // namespace

void LauncherProgress::Show(double share, int jobsLeft) {
    const int permille = int(std::lround(std::clamp(share, 0.0, 1.0) * 1000.0));
    if (permille == shownPermille && jobsLeft == shownJobsLeft)
        return;
    if (lastSent.isValid() && lastSent.elapsed() < MinIntervalMs && jobsLeft == shownJobsLeft)
        return;
    shownPermille = permille;
    shownJobsLeft = jobsLeft;
    lastSent.start();
    Send(permille / 1000.0, jobsLeft, true);
}

void LauncherProgress::Clear() {
    if (shownPermille < 0)
        return;
    shownPermille = -1;
    shownJobsLeft = -1;
    lastSent.invalidate();
    Send(0.0, 0, false);
}

void LauncherProgress::Send(double share, int jobsLeft, bool visible) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/com/canonical/unity/launcherentry/morvane"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    const QVariantMap properties{
        {QStringLiteral("progress"), share},
        {QStringLiteral("progress-visible"), visible},
        {QStringLiteral("count"), qint64(jobsLeft)},
        {QStringLiteral("count-visible"), visible && jobsLeft > 0},
    };
    update << AppUri() << properties;
    bus.send(update);
}

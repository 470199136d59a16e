// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EncoderCapabilities.h"

#include "engine/CommandTemplate.h"
#include "media/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Raised when the kept file's layout changes.
constexpr int CacheFormat = 1;

// What identifies a file's contents without reading it: its path, device, inode, size and
// modification time (nanoseconds). "" when it cannot be read.
QString FileIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return QStringLiteral("%1|%2|%3|%4|%5.%6")
        .arg(path)
        .arg(info.st_dev)
        .arg(info.st_ino)
        .arg(info.st_size)
        .arg(info.st_mtim.tv_sec)
        .arg(info.st_mtim.tv_nsec);
}

// The FFmpeg libraries this process has loaded. The encoder program loads the same ones when
// it comes from the same installation, so installing an FFmpeg build with other encoders (the
// extra codecs package replaces libavcodec) changes the key even though ffmpeg itself stays.
QStringList LoadedFfmpegLibraries() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QStringList libraries;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype slash = line.indexOf('/');
        if (slash < 0 || !line.contains("/libav"))
            continue;
        const QString path = QString::fromLocal8Bit(line.mid(slash));
        if (!libraries.contains(path))
            libraries.append(path);
    }
    std::sort(libraries.begin(), libraries.end());
    return libraries;
}

QString CacheKeyFor(const QString& programPath) {
    const QString program = FileIdentity(QFileInfo(programPath).canonicalFilePath());
    if (program.isEmpty())
        return {};
    QStringList parts{QString::number(CacheFormat), program};
    for (const QString& library : LoadedFfmpegLibraries())
        parts.append(FileIdentity(library));
    return parts.join(u'\n');
}

QSet<QString> NamesOf(const QJsonValue& value) {
    QSet<QString> names;
    for (const QJsonValue& name : value.toArray())
        names.insert(name.toString());
    return names;
}

QJsonArray ArrayOf(const QSet<QString>& names) {
    QStringList sorted(names.cbegin(), names.cend());
    std::sort(sorted.begin(), sorted.end());
    return QJsonArray::fromStringList(sorted);
}

bool IsEncoderOption(const QString& word) {
    static const QSet<QString> options{"-c",       "-codec",   "-c:v",       "-c:a",
                                       "-codec:v", "-codec:a", "-vcodec",    "-acodec",
                                       "-c:v:0",   "-c:a:0",   "-codec:v:0", "-codec:a:0"};
    return options.contains(word);
}

} // namespace

EncoderNeeds NeedsOfTemplates(const QStringList& passTemplates) {
    EncoderNeeds needs;
    for (const QString& text : passTemplates) {
        const QList<TemplateWord> words = SplitCommandTemplate(text);
        if (words.isEmpty())
            continue;
        if (needs.program.isEmpty())
            needs.program = words.first().text;
        qsizetype lastInput = -1;
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (words.at(i).text == u"-i")
                lastInput = i;
        }
        for (qsizetype i = 1; i + 1 < words.size(); ++i) {
            const QString& option = words.at(i).text;
            const QString& value = words.at(i + 1).text;
            if (IsEncoderOption(option) && value != u"copy" && !needs.encoders.contains(value))
                needs.encoders.append(value);
            else if (option == u"-f" && i > lastInput && !needs.muxers.contains(value))
                needs.muxers.append(value);
        }
    }
    return needs;
}

QSet<QString> ParseEncoderListing(const QByteArray& listing) {
    QSet<QString> names;
    bool pastRule = false;
    for (const QByteArray& rawLine : listing.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!pastRule) {
            pastRule = line.startsWith("--");
            continue;
        }
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2)
            names.insert(QString::fromUtf8(fields.at(1)));
    }
    return names;
}

QString PackageForEncoder(const QString& encoder) {
    if (encoder == u"libopencore_amrnb" || encoder == u"libopencore_amrwb" ||
        encoder == u"libvo_amrwbenc")
        return QStringLiteral("libavcodec-extra");
    return {};
}

EncoderCapabilities::EncoderCapabilities(QObject* parent) : QObject(parent) {}

EncoderCapabilities::~EncoderCapabilities() {
    for (QProcess* run : {encodersRun.get(), muxersRun.get()}) {
        if (run != nullptr && run->state() != QProcess::NotRunning) {
            run->disconnect(this);
            run->kill();
            run->waitForFinished(1000);
        }
    }
}

void EncoderCapabilities::Query(const QString& path) {
    programPath = path;
    known = false;
    encoders.clear();
    muxers.clear();
    pending = 0;
    cacheKey.clear();
    if (path.isEmpty()) {
        emit Ready();
        return;
    }
    cacheKey = CacheKeyFor(path);
    if (ReadCache()) {
        emit Ready();
        return;
    }
    const auto start = [this, &path](std::unique_ptr<QProcess>& run, const char* listing) {
        run = std::make_unique<QProcess>();
        run->setStandardInputFile(QProcess::nullDevice());
        run->setStandardErrorFile(QProcess::nullDevice());
        // Like every child: the program's blocked signals and ignored SIGPIPE are not its own.
        run->setChildProcessModifier([parent = ::getpid()] { ChildProcess::SetUp(parent); });
        connect(run.get(), &QProcess::finished, this, &EncoderCapabilities::OnListed);
        connect(run.get(), &QProcess::errorOccurred, this, [this, raw = run.get()] {
            if (raw->state() == QProcess::NotRunning)
                OnListed();
        });
        ++pending;
        run->start(path, {QStringLiteral("-hide_banner"), QString::fromLatin1(listing)});
    };
    start(encodersRun, "-encoders");
    start(muxersRun, "-muxers");
}

void EncoderCapabilities::OnListed() {
    if (pending <= 0 || --pending > 0)
        return;
    const auto listed = [](QProcess& run) {
        return run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0
                   ? ParseEncoderListing(run.readAllStandardOutput())
                   : QSet<QString>();
    };
    encoders = listed(*encodersRun);
    muxers = listed(*muxersRun);
    // A program that lists nothing is no ffmpeg we can ask: nothing is known then.
    known = !encoders.isEmpty() && !muxers.isEmpty();
    if (known)
        WriteCache();
    emit Ready();
}

QString EncoderCapabilities::CacheFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/encoder-capabilities.json");
}

bool EncoderCapabilities::ReadCache() {
    if (cacheKey.isEmpty())
        return false;
    QFile file(CacheFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
    if (kept.value(QStringLiteral("key")).toString() != cacheKey)
        return false;
    encoders = NamesOf(kept.value(QStringLiteral("encoders")));
    muxers = NamesOf(kept.value(QStringLiteral("muxers")));
    known = !encoders.isEmpty() && !muxers.isEmpty();
    return known;
}

// One answer is kept (the last program asked); written whole or not at all, so runs that
// start together never read half a file. A cache that cannot be written only costs time.
void EncoderCapabilities::WriteCache() const {
    if (cacheKey.isEmpty())
        return;
    const QString path = CacheFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QJsonObject kept{{QStringLiteral("key"), cacheKey},
                           {QStringLiteral("encoders"), ArrayOf(encoders)},
                           {QStringLiteral("muxers"), ArrayOf(muxers)}};
    file.write(QJsonDocument(kept).toJson(QJsonDocument::Compact));
    file.commit();
}

Result<void> EncoderCapabilities::MissingFor(const EncoderNeeds& needs) const {
    if (!known || QFileInfo(needs.program).fileName() != QFileInfo(programPath).fileName())
        return {};
    const QString program = QFileInfo(programPath).fileName();
    for (const QString& encoder : needs.encoders) {
        if (encoders.contains(encoder))
            continue;
        const QString package = PackageForEncoder(encoder);
        return Failure(tr("This profile needs the encoder \"%1\", which the installed %2 "
                          "does not have. %3")
                           .arg(encoder, program,
                                package.isEmpty()
                                    ? tr("Install a build of %1 that has it.").arg(program)
                                    : tr("Install the package %1 (on Debian: sudo apt install "
                                         "%1).")
                                          .arg(package)));
    }
    for (const QString& muxer : needs.muxers) {
        if (!muxers.contains(muxer))
            return Failure(tr("This profile needs the output format \"%1\", which "
                              "the installed %2 cannot write.")
                               .arg(muxer, program));
    }
    return {};
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SourceRecord.h"

#include "engine/KeyedRecord.h"
#include "media/FileNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const AttributeName = "user.morvane.source";
const char* const IndexName = ".morvane-sources";
const char* const RecordHeader = "morvane source";
constexpr qint64 EndBytes = 64 * 1024;
constexpr int MaxRecordBytes = 8192;

qint64 Nanoseconds(const timespec& time) {
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads up to length bytes at offset; false on a read error.
bool ReadAt(int fd, qint64 offset, qint64 length, QCryptographicHash& hash) {
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(length - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0; // shorter meanwhile: what was there is hashed
        done += n;
    }
    hash.addData(QByteArrayView(bytes.constData(), done));
    return true;
}

// An output file as the index knows it: its name in the folder, size and modification time,
// so that a record of an earlier file of that name (deleted, replaced by hand) is not taken for
// the file there now.
QByteArray IndexKey(const QString& output, const struct stat& info) {
    return EncodeFileName(QFileInfo(output).fileName()).toPercentEncoding() + '\t' +
           QByteArray::number(qint64(info.st_size)) + '\t' +
           QByteArray::number(Nanoseconds(info.st_mtim)) + '\t';
}

QByteArray IndexPath(const QString& output) {
    return EncodeFileName(QFileInfo(output).dir().filePath(QString::fromLatin1(IndexName)));
}

bool NoAttributes(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS || error == EPERM ||
           error == E2BIG || error == ENOSPC || error == ERANGE;
}

} // namespace

Result<SourceIdentity> SourceIdentity::Of(const QString& path, const QByteArray& settings) {
    const QByteArray bytes = EncodeFileName(path);
    const int fd = ::open(bytes.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(SystemError(errno));
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return Failure(SystemError(errno));
    SourceIdentity identity;
    identity.path = bytes;
    identity.size = info.st_size;
    identity.modifiedNs = Nanoseconds(info.st_mtim);
    identity.settings = settings;
    // MD5: a tenth of SHA-256's time, and nobody forges a clip to be skipped.
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qint64 head = std::min<qint64>(identity.size, EndBytes);
    const qint64 tail = std::min<qint64>(identity.size - head, EndBytes);
    if (!ReadAt(fd, 0, head, hash) || !ReadAt(fd, identity.size - tail, tail, hash))
        return Failure(SystemError(errno));
    identity.digest = hash.result().toHex();
    return identity;
}

QByteArray SourceIdentity::Settings(int outputType, int profileSelection, double begin, double end,
                                    qint64 fitBytes) {
    QString settings = QStringLiteral("type=%1 profile=%2 begin=%3 end=%4")
                           .arg(outputType)
                           .arg(profileSelection + 1)
                           .arg(begin, 0, 'f', 3)
                           .arg(end, 0, 'f', 3);
    // A file fitted into a size is another file than one at the profile's rates; records of
    // files made without a size read as before.
    if (fitBytes > 0)
        settings += QStringLiteral(" fit=%1").arg(fitBytes);
    return settings.toLatin1();
}

QByteArray SourceIdentity::ToRecord() const {
    return WriteKeyedRecord(RecordHeader, {{"path", path},
                                           {"size", QByteArray::number(size)},
                                           {"modified", QByteArray::number(modifiedNs)},
                                           {"digest", digest},
                                           {"settings", settings}});
}

std::optional<SourceIdentity> SourceIdentity::FromRecord(const QByteArray& record) {
    const auto fields = ReadKeyedRecord(RecordHeader, record);
    if (!fields)
        return std::nullopt;
    SourceIdentity identity;
    identity.path = fields->value("path");
    identity.size = fields->value("size", "-1").toLongLong();
    identity.modifiedNs = fields->value("modified").toLongLong();
    identity.digest = fields->value("digest");
    identity.settings = fields->value("settings");
    if (identity.size < 0 || identity.digest.isEmpty())
        return std::nullopt;
    return identity;
}

bool SourceIdentity::IsSameAs(const SourceIdentity& other) const {
    return size == other.size && modifiedNs == other.modifiedNs && digest == other.digest &&
           settings == other.settings;
}

Result<void> RecordSource(const QString& output, const SourceIdentity& source, bool index,
                          const AttributeCalls& calls) {
    const QByteArray path = EncodeFileName(output);
    const QByteArray record = source.ToRecord();
    if (calls.setxattr(path.constData(), AttributeName, record.constData(), size_t(record.size()),
                       0) == 0)
        return {};
    if (!NoAttributes(errno) || !index)
        return Failure(SystemError(errno));
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return Failure(SystemError(errno));
    // One write of one line to a file opened for appending: runs that share the folder
    // never mix their lines.
    const QByteArray line = IndexKey(output, info) + record.toPercentEncoding() + '\n';
    const int fd = ::open(IndexPath(output).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure(SystemError(errno));
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    const int error = errno;
    if (::close(fd) != 0 || !written)
        return Failure(SystemError(written ? errno : error));
    return {};
}

std::optional<SourceIdentity> RecordedSource(const QString& output, const AttributeCalls& calls) {
    const QByteArray path = EncodeFileName(output);
    QByteArray record(MaxRecordBytes, Qt::Uninitialized);
    const ssize_t length =
        calls.getxattr(path.constData(), AttributeName, record.data(), size_t(record.size()));
    if (length >= 0)
        return SourceIdentity::FromRecord(record.left(length));
    if (!NoAttributes(errno) && errno != ENODATA)
        return std::nullopt;
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return std::nullopt;
    // The index: the last line of this very file counts.
    QFile index(QFile::decodeName(IndexPath(output)));
    if (!index.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray key = IndexKey(output, info);
    QByteArray found;
    while (!index.atEnd()) {
        const QByteArray line = index.readLine();
        if (line.startsWith(key))
            found = line.mid(key.size()).trimmed();
    }
    if (found.isEmpty())
        return std::nullopt;
    return SourceIdentity::FromRecord(QByteArray::fromPercentEncoding(found));
}

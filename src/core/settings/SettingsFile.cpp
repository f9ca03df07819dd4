#include "core/settings/SettingsFile.h"

#include "core/settings/Profile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

// A folder that every user may write to: the computer's shared settings folder.
bool sharedFolder(const QByteArray& dirName, struct stat* dir = nullptr) {
    struct stat st {};
    if (::stat(dirName.constData(), &st) != 0) return false;
    if (dir) *dir = st;
    return (st.st_mode & (S_ISVTX | S_IWOTH)) != 0;
}

QByteArray folderOf(const QString& path) {
    return QFile::encodeName(QFileInfo(path).absolutePath());
}

// The file a settings path stands for. A link is followed, and the file it points to is
// replaced in its place; but in a folder that every user may write, a link made by another
// user could point at any file of ours, so there only the user's own links (and the folder
// owner's) count. Anything else at the path is dealt with where it is opened.
FileResult target(const QString& path, QString* file) {
    *file = path;
    struct stat link {};
    if (::lstat(QFile::encodeName(path).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return {};
    struct stat dir {};
    if (sharedFolder(folderOf(path), &dir) && link.st_uid != ::geteuid() &&
        link.st_uid != dir.st_uid)
        return {ELOOP, QStringLiteral("it is a link that another user made")};
    *file = QFileInfo(path).symLinkTarget();
    return {};
}

// Opens `name` only if it is a regular file: never through a link (the caller has resolved
// the ones it trusts), never blocking on a FIFO or device that another user put in its place.
// In a shared folder, a file with a second name is refused too: writing into it would write
// into wherever that other name lies. Gives the descriptor, or -1 with `result` set.
int openRegular(const QByteArray& name, int flags, FileResult* result) {
    const int fd = ::open(name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *result =
            errno == ELOOP ? FileResult{ELOOP, QStringLiteral("it is a link")} : FileResult{errno};
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *result = {errno};
    } else if (!S_ISREG(st.st_mode)) {
        *result = S_ISDIR(st.st_mode) ? FileResult{EISDIR}
                                      : FileResult{EINVAL, QStringLiteral("it is not a file")};
    } else if (st.st_nlink > 1 && sharedFolder(folderOf(QFile::decodeName(name)))) {
        *result = {EMLINK, QStringLiteral("it is a second name of another file")};
    } else {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    ::close(fd);
    return -1;
}

// Writes all of `data` at `offset`, or at the file position when `offset` is negative.
int writeAll(int fd, const QByteArray& data, off_t offset = -1) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const auto size = static_cast<size_t>(left);
        const ssize_t n = offset < 0 ? ::write(fd, p, size) : ::pwrite(fd, p, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= n;
        if (offset >= 0) offset += n;
    }
    return 0;
}

// Reads the rest of `fd` into `content`; more than `maxSize` bytes (when not negative) is
// refused.
FileResult readAll(int fd, QByteArray& content, qsizetype maxSize = -1) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {errno, {}};
        if (n == 0) return {};
        if (maxSize >= 0 && content.size() + n > maxSize)
            return {EFBIG, QStringLiteral("it is larger than %1 bytes").arg(maxSize)};
        content.append(buffer, n);
    }
}

// The line that leads a pending copy; a save never writes a line that starts with ';'.
constexpr char kMarker[] = "\n;~velmora-pending ";

QByteArray checksum(QByteArrayView data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex();
}

FileResult replace(const QString& target, const QByteArray& content) {
    const QFileInfo info(target);
    const QByteArray targetName = QFile::encodeName(info.absoluteFilePath());
    const QByteArray dirName = QFile::encodeName(info.absolutePath());

    struct stat old {};
    const bool hasOld = ::lstat(targetName.constData(), &old) == 0;
    if (hasOld && !S_ISREG(old.st_mode)) return {EINVAL, QStringLiteral("it is not a file")};

    const QByteArray prefix = QFile::encodeName(SettingsFile::temporaryPrefix(target));
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = prefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
        if (fd < 0 && errno != EEXIST) return {errno};
    }
    if (fd < 0) return {EEXIST};

    int error = writeAll(fd, content);
    // The new file keeps the mode of the old one (best effort: content matters more); a first
    // file in the shared folder is for every user.
    if (!error && hasOld) ::fchmod(fd, old.st_mode & 07777);
    if (!error && !hasOld && sharedFolder(dirName)) ::fchmod(fd, 0666);
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(tempName.constData(), targetName.constData()) != 0) error = errno;
    if (error) {
        ::unlink(tempName.constData());
        return {error};
    }
    // Make the rename itself durable; the file is in place either way, so errors are ignored.
    const int dirFd = ::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

} // namespace

QString FileResult::reason() const {
    return note.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : note;
}

QString SettingsFile::temporaryPrefix(const QString& path) {
    QString file;
    target(path, &file);
    const QFileInfo info(file);
    return info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".tmp");
}

SettingsFile::State SettingsFile::load(const QString& path, Profile& profile, FileResult* problem) {
    profile.parse({});
    QString file;
    FileResult result = target(path, &file);
    const QByteArray name = QFile::encodeName(file);
    const int fd = result.ok() ? openRegular(name, O_RDONLY, &result) : -1;
    if (fd < 0) {
        if (result.note.isEmpty() && (result.error == ENOENT || result.error == ENOTDIR))
            return State::Missing;
        if (problem) *problem = result;
        return State::Unreadable;
    }
    // In a shared folder a save may have to rewrite another user's file where it stands; a
    // file this user may read but not write would swallow every save.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid != ::geteuid() && sharedFolder(folderOf(file)) &&
        ::access(name.constData(), W_OK) != 0) {
        ::close(fd);
        if (problem)
            *problem = {EACCES, QStringLiteral("it belongs to another user, and this user may "
                                               "not write it")};
        return State::Unreadable;
    }
    QByteArray content;
    const FileResult got = readAll(fd, content);
    ::close(fd);
    if (!got.ok()) {
        if (problem) *problem = got;
        return State::Unreadable;
    }
    profile.parse(settled(content));
    return State::Loaded;
}

SettingsFile::State SettingsFile::read(const QString& path, QByteArray& content, qsizetype maxSize,
                                       FileResult* problem) {
    content.clear();
    QString file;
    FileResult result = target(path, &file);
    const int fd = result.ok() ? openRegular(QFile::encodeName(file), O_RDONLY, &result) : -1;
    if (fd >= 0) {
        result = readAll(fd, content, maxSize);
        ::close(fd);
        if (result.ok()) return State::Loaded;
        content.clear();
    } else if (result.note.isEmpty() && (result.error == ENOENT || result.error == ENOTDIR)) {
        return State::Missing;
    }
    if (problem) *problem = result;
    return State::Unreadable;
}

FileResult SettingsFile::write(const QString& path, const QByteArray& content) {
    QString file;
    if (const FileResult refused = target(path, &file); !refused.ok()) return refused;
    const FileResult replaced = replace(file, content);
    // No right to create the temporary file or to rename over the file: the folder belongs
    // to somebody else, or is sticky. Rewriting in place needs only the file's own permission.
    // Its failure is the one to tell: it names the real cause (a full disk, say), where the
    // refused rename only says why it was tried.
    if ((replaced.error == EACCES || replaced.error == EPERM) && QFileInfo::exists(file))
        return writeInPlace(file, content);
    return replaced;
}

QByteArray SettingsFile::pendingBlock(const QByteArray& content, qsizetype oldSize) {
    QByteArray block(std::max<qsizetype>(content.size() - oldSize, 0), '\n');
    block += kMarker;
    block += QByteArray::number(content.size()) + ' ' + checksum(content) + '\n';
    block += content;
    return block;
}

QByteArray SettingsFile::settled(const QByteArray& raw) {
    const QByteArrayView marker(kMarker);
    qsizetype end = raw.size();
    for (;;) {
        const qsizetype at = QByteArrayView(raw.constData(), end).lastIndexOf(marker);
        if (at < 0) return end == raw.size() ? raw : raw.left(end);
        const qsizetype lineStart = at + marker.size();
        const qsizetype lineEnd = raw.indexOf('\n', lineStart);
        if (lineEnd >= 0 && lineEnd < end) {
            const QList<QByteArray> fields = raw.mid(lineStart, lineEnd - lineStart).split(' ');
            bool ok = false;
            const qsizetype size = fields.size() == 2 ? fields[0].toLongLong(&ok) : -1;
            if (ok && size >= 0 && size <= end - lineEnd - 1) {
                const QByteArray copy = raw.mid(lineEnd + 1, size);
                if (checksum(copy) == fields[1]) return copy;
            }
        }
        // A copy cut short: the save that wrote it had not touched what stands before it.
        end = at + 1;
    }
}

FileResult SettingsFile::writeInPlace(const QString& path, const QByteArray& content) {
    QString file;
    FileResult result = target(path, &file);
    const int fd = result.ok() ? openRegular(QFile::encodeName(file), O_RDWR, &result) : -1;
    if (fd < 0) return result;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return {errno};
    }
    const off_t oldSize = st.st_size;
    const QByteArray block = pendingBlock(content, oldSize);
    // 1. The complete copy behind the old content, on the disk before anything old changes.
    //    A failure here leaves the old content as it was; the partial copy is cut off again.
    // The space is reserved without growing the file, so that a kill leaves no run of
    // zeros; filesystems without the call are written all the same, a full disk is not.
    int error = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, oldSize, block.size()) == 0 ? 0 : errno;
    if (error == EOPNOTSUPP || error == ENOSYS) error = 0;
    if (!error) error = writeAll(fd, block, oldSize);
    if (!error && ::fdatasync(fd) != 0) error = errno;
    if (error) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, oldSize);
        ::close(fd);
        return {error};
    }
    // 2. The new content over the start, then the file cut to it. Until the cut, a reader
    //    takes the copy behind the marker.
    error = writeAll(fd, content, 0);
    if (!error && ::fdatasync(fd) != 0) error = errno;
    if (!error && ::ftruncate(fd, content.size()) != 0) error = errno;
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    return {error};
}

int SettingsFile::removeStaleTemporaries(const QString& path, int minAgeSeconds) {
    const QFileInfo prefix(temporaryPrefix(path));
    QDir dir(prefix.absolutePath());
    // Matched by hand: a name filter is a wildcard pattern, and that brings in the regular
    // expression engine at every start for one prefix.
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    const time_t now = ::time(nullptr);
    for (const QString& fileName : names) {
        if (!fileName.startsWith(prefix.fileName(), Qt::CaseInsensitive)) continue;
        const QByteArray name = QFile::encodeName(dir.filePath(fileName));
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - st.st_mtime < minAgeSeconds) continue;
        if (::unlink(name.constData()) == 0) ++removed;
    }
    return removed;
}

SettingsFileLock::SettingsFileLock(const QString& path, int timeoutMs) {
    QString file;
    if (!target(path, &file).ok()) return; // the load refuses it, so no save follows
    const QByteArray name = QFile::encodeName(file);
    for (int waited = 0;; waited += 20) {
        FileResult refused;
        const int fd = openRegular(name, O_RDONLY, &refused);
        if (fd < 0) return; // nothing to lock yet (the first save creates the file) or unusable
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // A save of another copy may have renamed a new file in while we waited: the lock
            // must be on the file that the path names now.
            struct stat locked {
            }, current{};
            if (::fstat(fd, &locked) == 0 && ::lstat(name.constData(), &current) == 0 &&
                locked.st_ino == current.st_ino && locked.st_dev == current.st_dev) {
                fd_ = fd;
                return;
            }
        }
        ::close(fd);
        if (waited >= timeoutMs) return;
        QThread::msleep(20);
    }
}

SettingsFileLock::~SettingsFileLock() {
    if (fd_ >= 0) ::close(fd_); // closing releases the lock
}

} // namespace velmora

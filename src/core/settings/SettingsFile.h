#pragma once
// The settings file on disk, shared by every user of the computer. Reading tells a missing
// file from one that exists but cannot be read (which is never replaced). Writing replaces
// the whole file through a temporary file and a rename, so a crash never leaves half a file;
// where this user may not rename over the file (a sticky shared folder, a file of another
// user, a read-only folder holding a writable file) it rewrites the file in place instead.
// A lock on the file keeps two copies from interleaving their read-modify-write.

#include <QByteArray>
#include <QString>

#include <utility>

namespace velmora {

class Profile;

// The outcome of a file operation: errno when it failed, 0 when it worked.
struct FileResult {
    FileResult() = default;
    FileResult(int systemError, QString whatWasFound = {})
        : error(systemError), note(std::move(whatWasFound)) {}

    int error = 0;
    QString note; // what was found at the path, where the system's text would mislead
    bool ok() const { return error == 0; }
    QString reason() const; // the note, else the system's text for the error
};

class SettingsFile {
public:
    enum class State { Missing, Loaded, Unreadable };

    // Reads `path` into `profile` (emptied first). Unreadable covers everything that must not
    // be used: a file that cannot be read, anything but a regular file (a FIFO never blocks
    // the program), a link or a second name that another user may have made in a shared
    // folder, and another user's file there that this user may not write. `problem` says which.
    static State load(const QString& path, Profile& profile, FileResult* problem = nullptr);
    // Reads the bytes of `path`, opened as load opens it (a regular file only, never blocking,
    // never through another user's link in a shared folder); a file larger than `maxSize`
    // bytes is Unreadable.
    static State read(const QString& path, QByteArray& content, qsizetype maxSize,
                      FileResult* problem = nullptr);
    // Writes `content` as the whole file: replaced through a rename, or in place where this
    // user may not rename over it. A file created in a shared folder (sticky or writable by
    // all) is made readable and writable by all, so that the computer's other users can use it.
    static FileResult write(const QString& path, const QByteArray& content);
    // Rewrites the file's content where it stands, in the crash-safe steps above. The space is
    // reserved first, so that a full disk leaves the old content as it was.
    static FileResult writeInPlace(const QString& path, const QByteArray& content);
    // The settings a file's bytes hold: the newest whole copy behind a marker, else the
    // content before the markers (an interrupted rewrite in place leaves both).
    static QByteArray settled(const QByteArray& raw);
    // What a rewrite in place puts behind `oldSize` bytes of old content: line breaks enough
    // that the new content, written over the start, ends before the marker; the marker line;
    // the copy.
    static QByteArray pendingBlock(const QByteArray& content, qsizetype oldSize);
    // Removes temporary files that interrupted saves left beside `path` and that are older
    // than `minAgeSeconds` (a younger one may belong to a save of another copy in progress).
    // Gives how many were removed.
    static int removeStaleTemporaries(const QString& path, int minAgeSeconds = 60);
    // The prefix of the temporary files beside `path`.
    static QString temporaryPrefix(const QString& path);
};

// An advisory lock on the settings file for one read-modify-write. Another copy that holds it
// is waited for up to `timeoutMs`; after that the save goes ahead unlocked rather than hang.
class SettingsFileLock {
public:
    explicit SettingsFileLock(const QString& path, int timeoutMs = 2000);
    ~SettingsFileLock();
    SettingsFileLock(const SettingsFileLock&) = delete;
    SettingsFileLock& operator=(const SettingsFileLock&) = delete;
    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace velmora

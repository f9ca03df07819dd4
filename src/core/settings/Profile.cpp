#include "core/settings/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Bounds of `text` without surrounding blanks and tabs, as [begin, end).
void blankBounds(const char* text, qsizetype size, qsizetype& begin, qsizetype& end) {
    begin = 0;
    end = size;
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
}

QByteArray trimmedCopy(const char* text, qsizetype size) {
    qsizetype begin = 0;
    qsizetype end = 0;
    blankBounds(text, size, begin, end);
    return QByteArray(text + begin, end - begin);
}

QByteArray trimmedSlice(const QByteArray& text, qsizetype maxLen) {
    qsizetype begin = 0;
    qsizetype end = 0;
    blankBounds(text.constData(), text.size(), begin, end);
    if (maxLen >= 0 && end - begin > maxLen) end = begin + maxLen;
    if (begin == 0 && end == text.size()) return text; // shares the data, no copy
    return text.mid(begin, end - begin);
}

// Names compare by ASCII letters only: a byte such as 0xC4 is a different letter in every
// code page, so folding it would join names the user sees as different.
QByteArray fold(const QByteArray& name) {
    QByteArray folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// A line of the file cannot hold these bytes; a value carrying them could otherwise open new
// lines or sections when the file is read again.
QByteArray lineSafe(const QByteArray& text) {
    QByteArray safe = text;
    for (char& c : safe)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return safe;
}

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

void Profile::clear() {
    sections_.clear();
    sectionIndex_.clear();
}

bool Profile::load(const QString& path) {
    clear();
    const QFileInfo info(path);
    // A FIFO or device would block or never end; only a regular file is a settings file.
    if (!info.isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    parse(content);
    return true;
}

bool Profile::save(const QString& path) const {
    QString target = path;
    const QFileInfo info(path);
    // Replace the file a link points to, not the link itself.
    if (info.isSymLink()) target = info.symLinkTarget();
    const QFileInfo targetInfo(target);
    const QByteArray targetName = QFile::encodeName(targetInfo.absoluteFilePath());
    const QByteArray dirName = QFile::encodeName(targetInfo.absolutePath());

    // The new file keeps the mode of the old one; a first file gets 0666 less the umask,
    // since all users of the computer share it.
    struct stat old {};
    const bool hasOld = ::stat(targetName.constData(), &old) == 0;
    if (hasOld && !S_ISREG(old.st_mode)) return false;

    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = dirName + "/." + QFile::encodeName(targetInfo.fileName()) + ".tmp" +
                   QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = writeAll(fd, serialize());
    if (ok && hasOld) ::fchmod(fd, old.st_mode & 07777); // best effort: content matters more
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempName.constData(), targetName.constData()) == 0;
    if (!ok) {
        ::unlink(tempName.constData());
        return false;
    }
    // Make the rename itself durable; the file is in place either way, so errors are ignored.
    const int dirFd = ::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void Profile::parse(const QByteArray& content) {
    clear();
    qsizetype current = -1; // index, not pointer: appending a section may move the others
    const char* data = content.constData();
    const qsizetype size = content.size();
    qsizetype lineStart = 0;
    while (lineStart < size) {
        qsizetype lineEnd = content.indexOf('\n', lineStart);
        const qsizetype next = lineEnd < 0 ? size : lineEnd + 1;
        if (lineEnd < 0) lineEnd = size;
        if (lineEnd > lineStart && data[lineEnd - 1] == '\r') --lineEnd;

        qsizetype begin = 0;
        qsizetype end = 0;
        blankBounds(data + lineStart, lineEnd - lineStart, begin, end);
        const char* line = data + lineStart + begin;
        const qsizetype len = end - begin;
        lineStart = next;
        if (len == 0 || line[0] == ';' || line[0] == '#') continue;

        if (line[0] == '[') {
            const char* close = static_cast<const char*>(memchr(line, ']', len));
            if (!close) continue;
            const QByteArray name = trimmedCopy(line + 1, close - line - 1);
            if (name.isEmpty()) {
                current = -1;
            } else {
                sectionFor(name);
                current = sectionIndex_.value(fold(name));
            }
            continue;
        }
        // Keys before the first section have no section to belong to.
        if (current < 0) continue;
        const char* eq = static_cast<const char*>(memchr(line, '=', len));
        if (!eq) continue;
        const QByteArray name = trimmedCopy(line, eq - line);
        if (name.isEmpty()) continue;
        QByteArray folded = fold(name);
        Section& section = sections_[current];
        if (section.index.contains(folded)) continue; // the first of duplicate keys counts
        const qsizetype valueOffset = eq - line + 1;
        section.index.insert(folded, section.keys.size());
        section.keys.append(
            Key{name, std::move(folded), trimmedCopy(line + valueOffset, len - valueOffset)});
    }
}

QByteArray Profile::serialize() const {
    qsizetype total = 0;
    for (const Section& section : sections_) {
        total += section.name.size() + 4;
        for (const Key& key : section.keys)
            total += key.name.size() + key.value.size() + 3;
    }
    QByteArray out;
    out.reserve(total);
    for (const Section& section : sections_) {
        out += '[' + section.name + "]\r\n";
        for (const Key& key : section.keys) {
            out += key.name;
            out += '=';
            out += key.value;
            out += "\r\n";
        }
    }
    return out;
}

const Profile::Section* Profile::findSection(const QByteArray& section) const {
    const auto it = sectionIndex_.constFind(fold(section));
    return it == sectionIndex_.cend() ? nullptr : &sections_[*it];
}

Profile::Section& Profile::sectionFor(const QByteArray& section) {
    QByteArray folded = fold(section);
    const auto it = sectionIndex_.constFind(folded);
    if (it != sectionIndex_.cend()) return sections_[*it];
    sectionIndex_.insert(folded, sections_.size());
    sections_.append(Section{section, std::move(folded), {}, {}});
    return sections_.last();
}

const QByteArray* Profile::findValue(const QByteArray& section, const QByteArray& key) const {
    const Section* found = findSection(section);
    if (!found) return nullptr;
    const auto it = found->index.constFind(fold(key));
    return it == found->index.cend() ? nullptr : &found->keys[*it].value;
}

QByteArray Profile::readSetting(const QByteArray& section, const QByteArray& key,
                                const QByteArray& defaultValue) const {
    const QByteArray* value = findValue(section, key);
    return value ? trimmedSlice(*value, kReadLimit) : defaultValue;
}

QByteArray Profile::readRaw(const QByteArray& section, const QByteArray& key,
                            const QByteArray& defaultValue) const {
    const QByteArray* value = findValue(section, key);
    return value ? trimmedSlice(*value, -1) : defaultValue;
}

bool Profile::hasKey(const QByteArray& section, const QByteArray& key) const {
    return findValue(section, key) != nullptr;
}

void Profile::writeSetting(const QByteArray& section, const QByteArray& key,
                           const QByteArray& value) {
    const QByteArray keyName = lineSafe(key);
    if (section.isEmpty() || keyName.isEmpty()) return;
    Section& target = sectionFor(lineSafe(section));
    QByteArray folded = fold(keyName);
    const auto it = target.index.constFind(folded);
    if (it != target.index.cend()) {
        target.keys[*it].value = lineSafe(value);
        return;
    }
    target.index.insert(folded, target.keys.size());
    target.keys.append(Key{keyName, std::move(folded), lineSafe(value)});
}

void Profile::eraseSection(const QByteArray& section) {
    const auto it = sectionIndex_.constFind(fold(section));
    if (it == sectionIndex_.cend()) return;
    sections_.removeAt(*it);
    sectionIndex_.clear();
    for (qsizetype i = 0; i < sections_.size(); ++i)
        sectionIndex_.insert(sections_[i].folded, i);
}

QList<QByteArray> Profile::sectionNames() const {
    QList<QByteArray> names;
    names.reserve(sections_.size());
    for (const Section& section : sections_)
        names.append(section.name);
    return names;
}

QList<QByteArray> Profile::keyNames(const QByteArray& section) const {
    QList<QByteArray> names;
    const Section* found = findSection(section);
    if (!found) return names;
    names.reserve(found->keys.size());
    for (const Key& key : found->keys)
        names.append(key.name);
    return names;
}

bool Profile::holdsExactly(const QByteArray& value) {
    for (char c : value)
        if (c == '\r' || c == '\n' || c == '\0') return false;
    return value.isEmpty() || (!isBlank(value.front()) && !isBlank(value.back()));
}

} // namespace velmora

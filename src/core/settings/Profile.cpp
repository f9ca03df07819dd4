#include "core/settings/Profile.h"

#include "core/settings/SettingsFile.h"

#include <algorithm>
#include <cstring>

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
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (std::none_of(name.cbegin(), name.cend(), upper)) return name; // shared, no copy
    QByteArray folded = name;
    for (char& c : folded)
        if (upper(c)) c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// A line of the file cannot hold these bytes; a value carrying them could otherwise open new
// lines or sections when the file is read again.
QByteArray lineSafe(const QByteArray& text) {
    const auto unsafe = [](char c) { return c == '\r' || c == '\n' || c == '\0'; };
    if (std::none_of(text.cbegin(), text.cend(), unsafe)) return text; // shared, no copy
    QByteArray safe = text;
    for (char& c : safe)
        if (unsafe(c)) c = ' ';
    return safe;
}

} // namespace

void Profile::clear() {
    sections_.clear();
    sectionIndex_.clear();
}

bool Profile::load(const QString& path) {
    return SettingsFile::load(path, *this) == SettingsFile::State::Loaded;
}

bool Profile::save(const QString& path) const {
    return SettingsFile::write(path, serialize()).ok();
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
        QByteArray name = trimmedCopy(line, eq - line);
        if (name.isEmpty()) continue;
        Section& section = sections_[current];
        section.mayRepeat = true;
        const qsizetype valueOffset = eq - line + 1;
        section.keys.append(
            Key{std::move(name), trimmedCopy(line + valueOffset, len - valueOffset)});
    }
}

void Profile::indexKeys(const Section& section) {
    if (section.indexed == section.keys.size() && !section.mayRepeat) return;
    if (section.mayRepeat) {
        section.index.clear();
        section.indexed = 0;
    }
    section.index.reserve(section.keys.size());
    qsizetype kept = section.indexed;
    for (qsizetype i = section.indexed; i < section.keys.size(); ++i) {
        QByteArray folded = fold(section.keys[i].name);
        if (section.index.contains(folded)) continue; // a repeated key: the first one counts
        section.index.insert(std::move(folded), kept);
        if (kept != i) section.keys[kept] = std::move(section.keys[i]);
        ++kept;
    }
    section.keys.resize(kept);
    section.indexed = kept;
    section.mayRepeat = false;
}

QByteArray Profile::serialize() const {
    qsizetype total = 0;
    for (const Section& section : sections_) {
        total += section.name.size() + 4;
        if (section.mayRepeat) indexKeys(section); // drops repeated keys before they count
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
    indexKeys(*found);
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
    indexKeys(target);
    QByteArray folded = fold(keyName);
    const auto it = target.index.constFind(folded);
    if (it != target.index.cend()) {
        target.keys[*it].value = lineSafe(value);
        return;
    }
    target.index.insert(std::move(folded), target.keys.size());
    target.keys.append(Key{keyName, lineSafe(value)});
    target.indexed = target.keys.size();
}

void Profile::appendSettings(const QByteArray& section,
                             const QList<std::pair<QByteArray, QByteArray>>& keys) {
    if (section.isEmpty()) return;
    Section& target = sectionFor(lineSafe(section));
    if (!target.keys.isEmpty()) target.mayRepeat = true; // whatever the caller believes
    target.keys.reserve(target.keys.size() + keys.size());
    for (const auto& [key, value] : keys) {
        QByteArray keyName = lineSafe(key);
        if (!keyName.isEmpty()) target.keys.append(Key{std::move(keyName), lineSafe(value)});
    }
}

void Profile::eraseSection(const QByteArray& section) {
    const auto it = sectionIndex_.constFind(fold(section));
    if (it == sectionIndex_.cend()) return;
    sections_.removeAt(*it);
    sectionIndex_.clear();
    for (qsizetype i = 0; i < sections_.size(); ++i)
        sectionIndex_.insert(sections_[i].folded, i);
}

void Profile::removeKey(const QByteArray& section, const QByteArray& key) {
    const auto at = sectionIndex_.constFind(fold(section));
    if (at == sectionIndex_.cend()) return;
    Section& target = sections_[*at];
    indexKeys(target);
    const auto it = target.index.constFind(fold(key));
    if (it == target.index.cend()) return;
    target.keys.removeAt(*it);
    // Positions behind the removed key moved: the index is built again when next needed.
    target.index.clear();
    target.indexed = 0;
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
    indexKeys(*found);
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

#include "core/presence/Roster.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

// Finds entries whose field before the first `end` (all of the text when there is none)
// equals a given text, ignoring ASCII letter case. Everything that depends only on the
// searched text is worked out once per lookup, so each entry costs one length check and one
// memcmp: this runs for every entry on every received announcement.
class FieldMatcher {
public:
    FieldMatcher(const QByteArray& field, char end)
        : field_(field), end_(end), hasEnd_(field.contains(end)),
          hasLetters_(std::any_of(field.begin(), field.end(),
                                  [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; })) {}

    bool operator()(const QByteArray& text) const {
        const qsizetype len = field_.size();
        if (hasEnd_) {
            // Only a field without `end` can match; the text's field stops at its first `end`.
            return false;
        }
        if (text.size() < len || (text.size() > len && text[len] != end_)) return false;
        if (std::memcmp(text.constData(), field_.constData(), std::size_t(len)) == 0) return true;
        return hasLetters_ && qstrnicmp(text.constData(), field_.constData(), len) == 0;
    }

private:
    const QByteArray& field_;
    char end_;
    bool hasEnd_;
    bool hasLetters_;
};

} // namespace

QByteArray Roster::makeEntry(const QByteArray& address, const QByteArray& name, char code,
                             const QByteArray& status) {
    QByteArray e;
    e.reserve(address.size() + name.size() + status.size() + 3);
    e.append(address).append('=').append(name).append(kSep).append(code).append(status);
    return e;
}

namespace {

// Position of the first text of `list` whose field before "=" is `field`, or -1.
int findField(const QList<QByteArray>& list, const QByteArray& field) {
    const FieldMatcher matches(field, '=');
    for (qsizetype i = 0; i < list.size(); ++i)
        if (matches(list[i])) return int(i);
    return -1;
}

} // namespace

int Roster::findAddress(const QByteArray& address) const {
    std::lock_guard guard(lock_);
    return findField(entries_, address);
}

int Roster::findName(const QByteArray& name) const {
    std::lock_guard guard(lock_);
    return findField(nameIndex_, name);
}

void Roster::append(const QByteArray& entry, const QByteArray& address, const QByteArray& name) {
    entries_.append(entry);
    nameIndex_.append(name + '=' + address);
}

Roster::ApplyResult Roster::applyStatusAnnouncement(const QByteArray& text, const QByteArray& key,
                                                    bool addressedToMe,
                                                    const OwnTakeover& takeover) {
    ApplyResult result;
    const auto parsed = datagram::parseStatusAnnouncement(text);
    if (!parsed) return result;
    if (addressedToMe && takeover) takeover(parsed->code, parsed->status);

    const QByteArray entry = makeEntry(key, parsed->name, parsed->code, parsed->status);
    std::lock_guard guard(lock_);
    result.ignored = false;
    int i = findAddress(key);
    if (i < 0) i = findName(parsed->name);
    if (i >= 0) {
        result.position = i;
        result.changed = entries_[i] != entry;
        entries_[i] = entry;
        if (i < kMarkedPositions) {
            seen_.set(std::size_t(i));
            answered_.set(std::size_t(i));
        }
    } else {
        append(entry, key, parsed->name);
        result.appended = true;
    }
    return result;
}

bool Roster::seed(const QByteArray& ownAddress, const QByteArray& displayName,
                  const QList<ArchivedEntry>& archive) {
    std::lock_guard guard(lock_);
    append(makeEntry(ownAddress, displayName, 'g', "In"), ownAddress, displayName);
    bool titleNote = false;
    int kept = 0;
    for (const ArchivedEntry& a : archive) {
        if (kept == kArchiveKept) break;
        if (findAddress(a.address) >= 0 || findName(a.name) >= 0) continue;
        ++kept;
        QByteArray entry = a.entry;
        if (entry.indexOf(kArchivedMark, 1) < 0) {
            entry.append(kArchivedMark);
            titleNote = true;
        }
        append(entry, a.address, a.name);
    }
    return titleNote;
}

void Roster::reset(const QByteArray& ownAddress, const QByteArray& loginName) {
    std::lock_guard guard(lock_);
    entries_.clear();
    nameIndex_.clear();
    append(makeEntry(ownAddress, loginName, 'g', "In"), ownAddress, loginName);
    displayOrder_ = {SortKey{loginName, 0}};
    listRows_ = 1;
}

std::optional<std::pair<int, QByteArray>> Roster::entryForRow(int row) const {
    std::lock_guard guard(lock_);
    if (row < 0 || row >= displayOrder_.size()) return std::nullopt;
    const int position = displayOrder_[row].position;
    if (position < 0 || position >= entries_.size()) return std::nullopt;
    return std::make_pair(position, entries_[position]);
}

RosterFields Roster::split(const QByteArray& entry) {
    RosterFields f;
    const qsizetype eq = entry.indexOf('=');
    f.address = eq < 0 ? entry : entry.left(eq);
    const qsizetype sep = entry.indexOf(kSep);
    if (sep < 0) {
        f.name = eq < 0 ? QByteArray() : entry.mid(eq + 1);
        return f;
    }
    f.name = eq >= 0 && eq < sep ? entry.mid(eq + 1, sep - eq - 1) : QByteArray();
    if (sep + 1 < entry.size()) f.code = entry[sep + 1];
    f.status = trimBlanks(entry.mid(sep + 2));
    return f;
}

bool Roster::isOffLine(const QByteArray& entry) {
    return entry.contains("(off-line)") || entry.contains("<shut down>");
}

quint32 colourForCode(char code, const ClassColours& colours) {
    switch (code) {
    case 'g':
        return colours.in;
    case 'r':
        return colours.out;
    case 'f':
        return colours.busy;
    case 'y':
        return colours.others;
    case 's':
        return colours.idle;
    case 'w':
        return 16777215;
    case 'b':
        return 16711680;
    case 'z':
        return 16776960;
    case 0:
        return 16777215;
    default:
        return colours.idle;
    }
}

} // namespace velmora

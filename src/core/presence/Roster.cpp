#include "core/presence/Roster.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

// More replaced positions than this without a sort in between, and the next sort starts
// afresh: cheaper than moving that many rows one by one, and the list stays bounded when
// nobody sorts.
constexpr qsizetype kChangesKept = 256;

// The field a lookup compares: the text before its first "=", all of it when there is none.
QByteArrayView fieldOf(const QByteArray& text) {
    const qsizetype eq = text.indexOf('=');
    return QByteArrayView(text).first(eq < 0 ? text.size() : eq);
}

// The colour code and status text of an entry: everything from its separator on.
QByteArrayView statusPart(const QByteArray& entry) {
    const qsizetype sep = entry.indexOf(kSep);
    return sep < 0 ? QByteArrayView() : QByteArrayView(entry).sliced(sep);
}

// Addresses ignore the case of ASCII letters only, as they always did; names ignore the case of
// every Windows-1252 letter, so that "ÉMILE" finds "émile".
char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

} // namespace

void Roster::FieldIndex::clear() {
    slots_.clear();
    used_ = 0;
}

quint32 Roster::FieldIndex::hashOf(QByteArrayView field) const {
    quint32 h = 2166136261u; // FNV-1a over the folded bytes
    for (char c : field)
        h = (h ^ static_cast<unsigned char>(fold_(c))) * 16777619u;
    // The table uses the low bits; mix the high ones into them.
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    return h;
}

bool Roster::FieldIndex::matches(QByteArrayView field, const QByteArray& text) const {
    const QByteArrayView other = fieldOf(text);
    if (other.size() != field.size()) return false;
    for (qsizetype i = 0; i < field.size(); ++i)
        if (fold_(field[i]) != fold_(other[i])) return false;
    return true;
}

void Roster::FieldIndex::add(QByteArrayView field, int position) {
    if ((used_ + 1) * 2 > slots_.size()) {
        std::vector<Slot> old(std::max<std::size_t>(16, slots_.size() * 2));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.position < 0) continue;
            std::size_t i = s.hash & mask;
            while (slots_[i].position >= 0)
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }
    const quint32 hash = hashOf(field);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].position >= 0)
        i = (i + 1) & mask;
    slots_[i] = {position, hash};
    ++used_;
}

void Roster::FieldIndex::remove(QByteArrayView field, int position) {
    if (slots_.empty()) return;
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = hashOf(field) & mask;
    while (slots_[hole].position != position) {
        if (slots_[hole].position < 0) return; // not held
        hole = (hole + 1) & mask;
    }
    // Later slots of the run move up into the hole unless that would put them before their
    // home slot, so that no search stops early at a gap.
    for (std::size_t j = (hole + 1) & mask; slots_[j].position >= 0; j = (j + 1) & mask) {
        const std::size_t home = slots_[j].hash & mask;
        const bool homeBetween = hole <= j ? home > hole && home <= j : home > hole || home <= j;
        if (!homeBetween) {
            slots_[hole] = slots_[j];
            hole = j;
        }
    }
    slots_[hole] = Slot{};
    --used_;
}

int Roster::FieldIndex::first(QByteArrayView field, const QList<QByteArray>& texts) const {
    if (slots_.empty()) return -1;
    const quint32 hash = hashOf(field);
    const std::size_t mask = slots_.size() - 1;
    int found = -1;
    // Every position with this field lies in the run from the home slot; the lowest wins.
    for (std::size_t i = hash & mask; slots_[i].position >= 0; i = (i + 1) & mask) {
        const int p = slots_[i].position;
        if (slots_[i].hash == hash && (found < 0 || p < found) && matches(field, texts[p]))
            found = p;
    }
    return found;
}

QByteArray Roster::makeEntry(const QByteArray& address, const QByteArray& name, StatusCode code,
                             const QByteArray& status) {
    QByteArray e;
    e.reserve(address.size() + name.size() + status.size() + 3);
    e.append(address).append('=').append(name).append(kSep).append(toWire(code)).append(status);
    return e;
}

Roster::Roster() : addressIndex_(asciiLower), nameLookup_(foldAnsiLetter) {}

Roster::~Roster() = default;

int Roster::findAddress(const QByteArray& address) const {
    // A text with "=" never matches: an entry's address field ends at its first "=".
    if (address.contains('=')) return -1;
    std::lock_guard guard(lock_);
    return addressIndex_.first(address, entries_);
}

int Roster::findName(const QByteArray& name) const {
    if (name.contains('=')) return -1;
    std::lock_guard guard(lock_);
    return nameLookup_.first(name, nameIndex_);
}

void Roster::append(const QByteArray& entry, const QByteArray& address, const QByteArray& name) {
    const int position = int(entries_.size());
    entries_.append(entry);
    nameIndex_.append(name + '=' + address);
    origins_.emplace_back();
    addressIndex_.add(fieldOf(entry), position);
    nameLookup_.add(fieldOf(nameIndex_.last()), position);
}

void Roster::noteChanged(int position) {
    if (changes_.everything) return;
    if (changes_.positions.size() >= kChangesKept) {
        changes_.positions.clear();
        changes_.everything = true;
        return;
    }
    changes_.positions.append(position);
}

Roster::Changes Roster::takeChanges() {
    std::lock_guard guard(lock_);
    return std::exchange(changes_, Changes{});
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
        // An archived entry's mark is no part of the status it restored.
        QByteArrayView before = statusPart(entries_[i]);
        if (before.endsWith(kArchivedMark)) before.chop(qsizetype(sizeof kArchivedMark) - 1);
        result.statusChanged = result.changed && before != statusPart(entry);
        if (result.changed) {
            // The address may have changed (found by name, or in another letter case).
            addressIndex_.remove(fieldOf(entries_[i]), i);
            addressIndex_.add(fieldOf(entry), i);
            entries_[i] = entry;
            noteChanged(i);
        }
        if (i < kMarkedPositions) {
            seen_.set(std::size_t(i));
            answered_.set(std::size_t(i));
        }
    } else if (entries_.size() < kMaxEntries) {
        result.position = int(entries_.size());
        append(entry, key, parsed->name);
        result.appended = true;
    } else {
        result.ignored = true;
    }
    return result;
}

bool Roster::seed(const QByteArray& ownAddress, const QByteArray& displayName,
                  const QList<ArchivedEntry>& archive) {
    std::lock_guard guard(lock_);
    append(makeEntry(ownAddress, displayName, StatusCode::In, "In"), ownAddress, displayName);
    bool titleNote = false;
    int kept = 0;
    for (const ArchivedEntry& a : archive) {
        if (kept == kArchiveKept || entries_.size() >= kMaxEntries) break;
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
    addressIndex_.clear();
    nameLookup_.clear();
    origins_.clear();
    append(makeEntry(ownAddress, loginName, StatusCode::In, "In"), ownAddress, loginName);
    displayOrder_ = {SortKey{0}};
    changes_ = Changes{{}, true};
    listRows_ = 1;
}

void Roster::noteSource(int position, Source source, const QDateTime& at) {
    std::lock_guard guard(lock_);
    if (position < 0 || std::size_t(position) >= origins_.size()) return;
    Origin& o = origins_[std::size_t(position)];
    if (source == Source::OwnCopy) o.heard = at;
    o.passedOn = source == Source::PassedOn;
}

Roster::Origin Roster::origin(int position) const {
    std::lock_guard guard(lock_);
    if (position < 0 || std::size_t(position) >= origins_.size()) return {};
    return origins_[std::size_t(position)];
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
    if (sep + 1 < entry.size()) f.code = fromWire(entry[sep + 1]);
    f.status = trimBlanks(entry.mid(sep + 2));
    return f;
}

bool Roster::isOffLine(const QByteArray& entry) {
    return entry.contains("(off-line)") || entry.contains("<shut down>");
}

quint32 colourForCode(StatusCode code, const ClassColours& colours) {
    switch (code) {
    case StatusCode::In:
        return colours.in;
    case StatusCode::Out:
        return colours.out;
    case StatusCode::Busy:
        return colours.busy;
    case StatusCode::Remark:
        return colours.others;
    case StatusCode::Idle:
        return colours.idle;
    case StatusCode::WhiteRemark:
        return 16777215;
    case StatusCode::Blue:
        return 16711680;
    case StatusCode::Aqua:
        return 16776960;
    default:
        return colours.idle;
    }
}

} // namespace velmora

#include "board/Roster.h"

#include "net/AnsiText.h"
#include "net/Datagram.h"

#include <cstring>

namespace velmora {

namespace {

// Whether `text` begins with `prefix` followed by `end` (or the end of text when `end` is
// absent from text), ignoring ASCII letter case. Allocation-free: it runs for every entry of
// every lookup.
bool FieldEquals(const QByteArray& text, char end, const QByteArray& field) {
    qsizetype len = text.indexOf(end);
    if (len < 0) len = text.size();
    return len == field.size() && qstrnicmp(text.constData(), field.constData(), len) == 0;
}

} // namespace

QByteArray TRoster::MakeEntry(const QByteArray& address, const QByteArray& name, char code,
                              const QByteArray& status) {
    QByteArray e;
    e.reserve(address.size() + name.size() + status.size() + 3);
    e.append(address).append('=').append(name).append(kSep).append(code).append(status);
    return e;
}

int TRoster::FindAddress(const QByteArray& address) const {
    std::lock_guard guard(lock_);
    for (qsizetype i = 0; i < entries_.size(); ++i)
        if (FieldEquals(entries_[i], '=', address)) return int(i);
    return -1;
}

int TRoster::FindName(const QByteArray& name) const {
    std::lock_guard guard(lock_);
    for (qsizetype i = 0; i < nameIndex_.size(); ++i)
        if (FieldEquals(nameIndex_[i], '=', name)) return int(i);
    return -1;
}

void TRoster::Append(const QByteArray& entry, const QByteArray& address, const QByteArray& name) {
    entries_.append(entry);
    nameIndex_.append(name + '=' + address);
}

TRoster::TApplyResult TRoster::ApplyStatusAnnouncement(const QByteArray& text,
                                                       const QByteArray& key, bool addressedToMe,
                                                       const OwnTakeover& takeover) {
    TApplyResult result;
    const auto parsed = datagram::ParseStatusAnnouncement(text);
    if (!parsed) return result;
    if (addressedToMe && takeover) takeover(parsed->code, parsed->status);

    const QByteArray entry = MakeEntry(key, parsed->name, parsed->code, parsed->status);
    std::lock_guard guard(lock_);
    result.ignored = false;
    int i = FindAddress(key);
    if (i < 0) i = FindName(parsed->name);
    if (i >= 0) {
        result.position = i;
        result.changed = entries_[i] != entry;
        entries_[i] = entry;
        if (i < kMarkedPositions) {
            seen_.set(std::size_t(i));
            answered_.set(std::size_t(i));
        }
    } else {
        Append(entry, key, parsed->name);
        result.appended = true;
    }
    return result;
}

bool TRoster::Seed(const QByteArray& ownAddress, const QByteArray& displayName,
                   const QList<TArchivedEntry>& archive) {
    std::lock_guard guard(lock_);
    Append(MakeEntry(ownAddress, displayName, 'g', "In"), ownAddress, displayName);
    bool titleNote = false;
    for (const TArchivedEntry& a : archive) {
        if (FindAddress(a.address) >= 0 || FindName(a.name) >= 0) continue;
        QByteArray entry = a.entry;
        if (entry.indexOf(kArchivedMark, 1) < 0) {
            entry.append(kArchivedMark);
            titleNote = true;
        }
        Append(entry, a.address, a.name);
    }
    return titleNote;
}

void TRoster::Reset(const QByteArray& ownAddress, const QByteArray& loginName) {
    std::lock_guard guard(lock_);
    entries_.clear();
    nameIndex_.clear();
    Append(MakeEntry(ownAddress, loginName, 'g', "In"), ownAddress, loginName);
    displayOrder_ = {TSortKey{loginName, 0}};
}

std::optional<std::pair<int, QByteArray>> TRoster::EntryForRow(int row) const {
    std::lock_guard guard(lock_);
    if (row < 0 || row >= displayOrder_.size()) return std::nullopt;
    const int position = displayOrder_[row].position;
    if (position < 0 || position >= entries_.size()) return std::nullopt;
    return std::make_pair(position, entries_[position]);
}

TRosterFields TRoster::Split(const QByteArray& entry) {
    TRosterFields f;
    const qsizetype eq = entry.indexOf('=');
    f.address = eq < 0 ? entry : entry.left(eq);
    const qsizetype sep = entry.indexOf(kSep);
    if (sep < 0) {
        f.name = eq < 0 ? QByteArray() : entry.mid(eq + 1);
        return f;
    }
    f.name = eq >= 0 && eq < sep ? entry.mid(eq + 1, sep - eq - 1) : QByteArray();
    if (sep + 1 < entry.size()) f.code = entry[sep + 1];
    f.status = TrimBlanks(entry.mid(sep + 2));
    return f;
}

bool TRoster::IsOffLine(const QByteArray& entry) {
    return entry.contains("(off-line)") || entry.contains("<shut down>");
}

quint32 ColourForCode(char code, const TClassColours& colours) {
    switch (code) {
    case 'g':
        return colours.In;
    case 'r':
        return colours.Out;
    case 'f':
        return colours.Busy;
    case 'y':
        return colours.Rest;
    case 's':
        return colours.inActive;
    case 'w':
        return 16777215;
    case 'b':
        return 16711680;
    case 'z':
        return 16776960;
    case 0:
        return 16777215;
    default:
        return colours.inActive;
    }
}

} // namespace velmora

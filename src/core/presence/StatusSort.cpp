#include "core/presence/StatusSort.h"

#include "core/net/AnsiText.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace velmora {

namespace {

// Lower case for the letters of Windows-1252, so that keys compare without regard to case
// with a plain byte comparison. The field separators "=" and 0xF7 sort before every other
// character, so that a field orders before its continuations (10.0.0.2 before 10.0.0.20,
// "Ann" before "Anna").
char fold(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '=') return '\x01';
    if (b == 0xF7) return '\x02';
    return foldAnsiLetter(c);
}

// Appends `text` folded; the key's buffer is reused from the previous sort.
void appendFolded(QByteArray& key, const char* text, qsizetype size) {
    const qsizetype at = key.size();
    key.resize(at + size);
    char* out = key.data() + at;
    for (qsizetype i = 0; i < size; ++i)
        out[i] = fold(text[i]);
}

// The colour sort's class of an entry whose first 0xF7 stands at `sep`: its colour code, with In
// first of all; an entry without a status sorts with the idle ones, whose colour it is painted
// in.
char colourClass(const QByteArray& entry, qsizetype sep) {
    if (sep < 0 || entry.size() - sep - 1 < 2) return toWire(StatusCode::Idle);
    const char code = entry[sep + 1];
    return code == toWire(StatusCode::In) ? '0' : code;
}

void buildNameKey(QByteArray& key, const QByteArray& entry, char onTopLetter) {
    const qsizetype eq = entry.indexOf('=');
    const qsizetype from = eq > 0 ? eq + 1 : 0;
    const qsizetype size = entry.size() - from;
    const char first = size < 3 ? '0' : entry[from];
    key.resize(0);
    key.append(first == onTopLetter ? ' ' : '!');
    appendFolded(key, entry.constData() + from, size);
}

void buildColourKey(QByteArray& key, const QByteArray& entry) {
    const qsizetype sep = entry.indexOf(kSep);
    key.resize(0);
    key.append(colourClass(entry, sep));
    appendFolded(key, entry.constData(), sep < 0 ? entry.size() : sep);
}

// One text between separators in the locale's collation, and what ends it, numbered in the
// order the byte keys put the separators: the end of the key, then "=", then 0xF7.
struct Segment {
    std::optional<QCollatorSortKey> key; // always set; the key itself cannot be made empty
    char end = 0;
};
using Segments = QVarLengthArray<Segment, 1>; // a name is one text but for an odd "="

// Everything both orders compare for one roster entry, worked out when the entry changes.
// The locale's text order applies to the name: people with equal names are the same person,
// so what follows it hardly ever decides, and it compares as the byte keys do.
struct EntryKeys {
    QByteArray folded;        // the whole entry, folded as in the byte keys
    qsizetype nameFrom = 0;   // the name sort's text: folded[nameFrom..]
    qsizetype addressEnd = 0; // the colour sort's address with its "=": folded[..addressEnd]
    qsizetype colourEnd = 0;  // the colour sort's text: folded[..colourEnd]
    char first = 0;           // what the on-top letter is compared with
    char cls = 0;             // the colour class
    // The name sort's text up to its first 0xF7, collated; none in the C locale.
    Segments name;
    // The colour sort's text after the address, where it is not the same name (an address with
    // "=" in it, or an entry without one before its 0xF7).
    bool ownColourName = false;
    Segments colourName;

    const Segments& colourTexts() const { return ownColourName ? colourName : name; }
};

// Splits entry[from..to) at "=" into collated texts; the last one ends with `end`.
void collate(Segments& out, const QCollator& collator, const QByteArray& entry, qsizetype from,
             qsizetype to, char end) {
    qsizetype start = from;
    for (qsizetype i = from; i <= to; ++i) {
        if (i < to && entry[i] != '=') continue;
        out.append(
            {collator.sortKey(fromAnsi(entry.mid(start, i - start))), i < to ? '\x01' : end});
        start = i + 1;
    }
}

void computeKeys(EntryKeys& k, const QByteArray& entry, const QCollator* collator) {
    const qsizetype size = entry.size();
    k.folded.resize(size);
    char* folded = k.folded.data();
    for (qsizetype i = 0; i < size; ++i)
        folded[i] = fold(entry[i]);
    const qsizetype eq = entry.indexOf('=');
    const qsizetype sep = entry.indexOf(kSep);
    k.nameFrom = eq > 0 ? eq + 1 : 0;
    k.first = size - k.nameFrom < 3 ? '0' : entry[k.nameFrom];
    k.colourEnd = sep < 0 ? size : sep;
    k.addressEnd = eq >= 0 && eq < k.colourEnd ? eq + 1 : k.colourEnd;
    k.cls = colourClass(entry, sep);

    k.name.clear();
    k.colourName.clear();
    k.ownColourName = k.addressEnd != k.nameFrom;
    if (!collator) return;
    const qsizetype nameSep = entry.indexOf(kSep, k.nameFrom);
    collate(k.name, *collator, entry, k.nameFrom, nameSep < 0 ? size : nameSep,
            nameSep < 0 ? '\0' : '\x02');
    if (k.ownColourName && k.addressEnd < k.colourEnd)
        collate(k.colourName, *collator, entry, k.addressEnd, k.colourEnd, '\0');
}

int compareBytes(const QByteArray& a, qsizetype aFrom, qsizetype aTo, const QByteArray& b,
                 qsizetype bFrom, qsizetype bTo) {
    const qsizetype aSize = aTo - aFrom;
    const qsizetype bSize = bTo - bFrom;
    const qsizetype common = std::min(aSize, bSize);
    if (common > 0) {
        if (const int c =
                std::memcmp(a.constData() + aFrom, b.constData() + bFrom, std::size_t(common)))
            return c;
    }
    return aSize < bSize ? -1 : aSize > bSize ? 1 : 0;
}

// `toEnd`: the texts stop at the first 0xF7, which then counts as the end (the colour sort).
int compareSegments(const Segments& a, const Segments& b, bool toEnd) {
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (const int c = a[i].key->compare(*b[i].key)) return c;
        const char aEnd = toEnd && a[i].end == 2 ? 0 : a[i].end;
        const char bEnd = toEnd && b[i].end == 2 ? 0 : b[i].end;
        if (aEnd != bEnd) return aEnd < bEnd ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// More moved rows than this (and at least kFewestMovesForFullSort) in one call, and a full
// sort is cheaper than moving them one by one.
constexpr qsizetype kFewestMovesForFullSort = 32;

} // namespace

// What the roster keeps for StatusSort between sorts: the keys of every position and the order
// they were last sorted in.
struct StatusSortCache {
    std::vector<EntryKeys> keys; // one per roster position the display order covers
    bool valid = false;
    bool byColour = false;
    char onTopLetter = 0;
    QLocale locale;
    // None in the C locale, whose text order is the byte order: the byte keys decide alone,
    // exactly as they always did.
    std::optional<QCollator> collator;
};

namespace {

// The strict order of the status list's rows, by roster position; rows equal in every key
// keep the order of their positions, so that every row has exactly one place.
class RowOrder {
public:
    explicit RowOrder(const StatusSortCache& cache) : keys_(cache.keys), cache_(cache) {}

    bool operator()(int a, int b) const {
        const EntryKeys& x = keys_[std::size_t(a)];
        const EntryKeys& y = keys_[std::size_t(b)];
        int c;
        if (cache_.byColour) {
            if (x.cls != y.cls) return uchar(x.cls) < uchar(y.cls);
            c = compareBytes(x.folded, 0, x.addressEnd, y.folded, 0, y.addressEnd);
            if (c == 0 && cache_.collator)
                c = compareSegments(x.colourTexts(), y.colourTexts(), true);
            if (c == 0) c = compareBytes(x.folded, 0, x.colourEnd, y.folded, 0, y.colourEnd);
        } else {
            const bool xOnTop = x.first == cache_.onTopLetter;
            const bool yOnTop = y.first == cache_.onTopLetter;
            if (xOnTop != yOnTop) return xOnTop;
            c = cache_.collator ? compareSegments(x.name, y.name, false) : 0;
            if (c == 0)
                c = compareBytes(x.folded, x.nameFrom, x.folded.size(), y.folded, y.nameFrom,
                                 y.folded.size());
        }
        return c != 0 ? c < 0 : a < b;
    }
    bool operator()(const SortKey& row, int position) const {
        return (*this)(row.position, position);
    }
    bool operator()(const SortKey& a, const SortKey& b) const {
        return (*this)(a.position, b.position);
    }

private:
    const std::vector<EntryKeys>& keys_;
    const StatusSortCache& cache_;
};

void fullSort(StatusSortCache& cache, QList<SortKey>& order) {
    order.resize(qsizetype(cache.keys.size()));
    for (qsizetype i = 0; i < order.size(); ++i)
        order[i].position = int(i);
    std::sort(order.begin(), order.end(), RowOrder(cache));
}

// Moves the row of `position`, whose keys change to those of `entry`, to its new place. False
// when the row is not where its old keys say, and the order must be sorted afresh.
bool moveRow(StatusSortCache& cache, QList<SortKey>& order, int position, const QByteArray& entry) {
    const RowOrder less(cache);
    // The order is still sorted by the row's old keys, so they find it.
    const auto begin = order.begin();
    const auto end = order.end();
    const auto row = std::lower_bound(begin, end, position, less);
    if (row == end || row->position != position) return false;
    computeKeys(cache.keys[std::size_t(position)], entry,
                cache.collator ? &*cache.collator : nullptr);
    if (row != begin && less(position, (row - 1)->position)) {
        std::rotate(std::lower_bound(begin, row, position, less), row, row + 1);
    } else if (row + 1 != end && less((row + 1)->position, position)) {
        std::rotate(row, row + 1, std::lower_bound(row + 1, end, position, less));
    }
    return true;
}

} // namespace

QByteArray nameSortKey(const QByteArray& entry, char onTopLetter) {
    QByteArray key;
    buildNameKey(key, entry, onTopLetter);
    return key;
}

QByteArray colourSortKey(const QByteArray& entry) {
    QByteArray key;
    buildColourKey(key, entry);
    return key;
}

void sortDisplayOrder(Roster& roster, bool byColour, char onTopLetter, const QLocale& locale) {
    std::lock_guard guard(roster.lock());
    const QList<QByteArray>& entries = roster.entries();
    QList<SortKey>& order = roster.displayOrder();
    order.detach(); // iterators into it must stay valid while rows move
    roster.setListRows(std::max(roster.listRows(), roster.count()));
    std::shared_ptr<StatusSortCache>& held = roster.sortCache();
    if (!held) held = std::make_shared<StatusSortCache>();
    StatusSortCache& cache = *held;
    const Roster::Changes changes = roster.takeChanges();

    const bool newLocale = !cache.valid || cache.locale != locale;
    if (newLocale) {
        cache.locale = locale;
        cache.collator.reset();
        if (locale.language() != QLocale::C) {
            cache.collator.emplace(locale);
            cache.collator->setCaseSensitivity(Qt::CaseInsensitive);
        }
    }
    const QCollator* collator = cache.collator ? &*cache.collator : nullptr;
    const qsizetype sorted = qsizetype(cache.keys.size());
    const qsizetype count = entries.size();
    const qsizetype moves = changes.positions.size() + std::max<qsizetype>(count - sorted, 0);
    const bool allKeys = newLocale || changes.everything || sorted > count;
    // The on-top letter only matters to the name sort.
    const bool afresh = allKeys || order.size() != sorted || cache.byColour != byColour ||
                        (!byColour && cache.onTopLetter != onTopLetter) ||
                        moves > std::max(kFewestMovesForFullSort, count / 8);
    cache.byColour = byColour;
    cache.onTopLetter = onTopLetter;
    cache.valid = true;

    if (!afresh) {
        bool moved = true;
        for (int p : changes.positions)
            if (p < sorted && !(moved = moveRow(cache, order, p, entries[p]))) break;
        for (qsizetype p = sorted; moved && p < count; ++p) {
            cache.keys.emplace_back();
            computeKeys(cache.keys.back(), entries[p], collator);
            const RowOrder less(cache);
            order.insert(std::lower_bound(order.begin(), order.end(), int(p), less),
                         SortKey{int(p)});
        }
        if (moved) return;
    }

    // Keys that are still right stay: a change of order or on-top letter only sorts again.
    if (allKeys) cache.keys.clear();
    for (int p : changes.positions)
        if (p < qsizetype(cache.keys.size()))
            computeKeys(cache.keys[std::size_t(p)], entries[p], collator);
    for (qsizetype p = qsizetype(cache.keys.size()); p < count; ++p) {
        cache.keys.emplace_back();
        computeKeys(cache.keys.back(), entries[p], collator);
    }
    fullSort(cache, order);
}

void sortDisplayOrder(Roster& roster, bool byColour, char onTopLetter) {
    sortDisplayOrder(roster, byColour, onTopLetter, QLocale());
}

QByteArray sortTitle(bool byColour, char onTopLetter, const QByteArray& titleNote) {
    if (!byColour && onTopLetter >= 'A' && onTopLetter <= 'Z')
        return QByteArray(kProgramTitle) + " - (Names starting with " + onTopLetter + " on top)";
    return QByteArray(kProgramTitle) + titleNote;
}

} // namespace velmora

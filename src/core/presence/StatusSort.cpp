#include "core/presence/StatusSort.h"

#include "core/net/AnsiText.h"

#include <algorithm>

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
    if (b >= 'A' && b <= 'Z') return char(b + 32);
    if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return char(b + 32);
    if (b == 0x8A || b == 0x8C || b == 0x8E) return char(b + 16); // Š Œ Ž
    if (b == 0x9F) return char(0xFF);                             // Ÿ
    return c;
}

// Appends `text` folded; the key's buffer is reused from the previous sort.
void appendFolded(QByteArray& key, const char* text, qsizetype size) {
    const qsizetype at = key.size();
    key.resize(at + size);
    char* out = key.data() + at;
    for (qsizetype i = 0; i < size; ++i)
        out[i] = fold(text[i]);
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
    char cls = sep >= 0 && entry.size() - sep - 1 >= 2 ? entry[sep + 1] : 's';
    if (cls == 'g') cls = '0';
    key.resize(0);
    key.append(cls);
    appendFolded(key, entry.constData(), sep < 0 ? entry.size() : sep);
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

void sortDisplayOrder(Roster& roster, bool byColour, char onTopLetter) {
    std::lock_guard guard(roster.lock());
    const QList<QByteArray>& entries = roster.entries();
    QList<SortKey>& order = roster.displayOrder();
    roster.setListRows(std::max(roster.listRows(), roster.count()));
    order.resize(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        SortKey& k = order[i];
        k.position = int(i);
        if (byColour)
            buildColourKey(k.key, entries[i]);
        else
            buildNameKey(k.key, entries[i], onTopLetter);
    }
    std::sort(order.begin(), order.end(),
              [](const SortKey& a, const SortKey& b) { return a.key < b.key; });
}

QByteArray sortTitle(bool byColour, char onTopLetter, const QByteArray& titleNote) {
    if (!byColour && onTopLetter >= 'A' && onTopLetter <= 'Z')
        return QByteArray(kProgramTitle) + " - (Names starting with " + onTopLetter + " on top)";
    return QByteArray(kProgramTitle) + titleNote;
}

} // namespace velmora

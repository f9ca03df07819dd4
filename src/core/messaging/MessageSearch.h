#pragma once
// Finding kept messages by what a person remembers of them: a word of the text or of the
// sender's name, typed without minding letter case or accents.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <array>

namespace velmora {

// What a history entry holds besides its bytes: the message text without the trailer, the
// sender's name from " - - - From name (address)", and the arrival line " at h:nn AM on Mon ".
// A part the entry lacks is empty.
struct EntryParts {
    QByteArray text;
    QByteArray sender;
    QByteArray arrival;
};
EntryParts entryParts(const QByteArray& entry);

// The first line of the message text that is not blank, without its leading blanks.
QByteArray firstTextLine(const EntryParts& parts);
// "Mon 9:05 AM" from " at 9:05 AM on Mon "; an arrival line of another form as it is, trimmed.
QByteArray arrivalShown(const QByteArray& arrival);

class MessageSearch {
public:
    MessageSearch();

    // The positions, in the order of `entries` (newest first), of the entries whose text or
    // sender holds every blank-separated word of `query`. Both sides are compared after the
    // same folding: the query reduced to Windows-1252 as a typed message is, then every
    // character decomposed, stripped of its accents and case-folded ("ß" reads as "ss"). A
    // query without a word finds nothing.
    QList<qsizetype> find(const QList<QByteArray>& entries, const QString& query);
    // Folds the entries that the next search will meet, so that it only compares.
    void prepare(const QList<QByteArray>& entries);

    // The folded form of Windows-1252 text, in UTF-8.
    QByteArray folded(const QByteArray& ansi) const;

private:
    // Appends the folded form of `ansi` to `out`.
    void foldInto(QByteArray& out, QByteArrayView ansi) const;

    // The folded text and sender of an entry. Entries never change in place, so an entry's
    // bytes, found again by their address, fold the same as the last time; the copy kept here
    // holds that address for as long as the entry is remembered.
    struct Folded {
        QByteArray entry;
        QByteArray text;
    };
    const QByteArray& foldedEntry(const QByteArray& entry, QHash<const char*, Folded>& next);

    std::array<QByteArray, 256> foldTable_;
    // Only what the last search met: erased and dropped entries are let go at the next one.
    QHash<const char*, Folded> cache_;
};

} // namespace velmora

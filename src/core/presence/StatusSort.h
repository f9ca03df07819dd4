#pragma once
// The two orders of the status list: by name, with the names that start with a chosen letter
// on top, or by colour class with the people who are In first.

#include "core/presence/Roster.h"

#include <QByteArray>
#include <QLocale>

namespace velmora {

inline constexpr char kProgramTitle[] = "Dazuviz Velmora";

// The byte key of one roster entry in the name sort: "!" or, for names starting with the
// on-top letter, a blank, followed by the entry after its first "=", letter case folded and the
// separators "=" and 0xF7 turned into the two lowest characters. In the C locale rows sort by
// this key; elsewhere it decides only between rows the locale's text order holds equal.
QByteArray nameSortKey(const QByteArray& entry, char onTopLetter);
// The byte key in the colour sort: the class character ("0" for In, "s" when the entry has no
// status), then address, "=" and name, folded the same way.
QByteArray colourSortKey(const QByteArray& entry);

// Brings the display order up to date with the roster and grows the list's row count to the
// roster's. Rows sort by their byte key as above, except that names compare in `locale`'s text
// order, letter case ignored ("\xC9mile" before "Zoe"): first the on-top mark or the class,
// then (colour sort) the address character by character, then the name, a name before its
// longer continuations, then the rest of the byte key. Keys are kept per entry: after an
// announcement only the changed row moves, to the place a binary search finds; a change of
// order, on-top letter or locale sorts everything.
void sortDisplayOrder(Roster& roster, bool byColour, char onTopLetter, const QLocale& locale);
// The same in the default locale (the system's unless the program set another).
void sortDisplayOrder(Roster& roster, bool byColour, char onTopLetter);

// The window title for the order in use.
QByteArray sortTitle(bool byColour, char onTopLetter, const QByteArray& titleNote);

} // namespace velmora

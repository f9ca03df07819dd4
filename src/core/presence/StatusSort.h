#pragma once
// The two orders of the status list: by name, with the names that start with a chosen letter
// on top, or by colour class with the people who are In first.

#include "core/presence/Roster.h"

#include <QByteArray>

namespace velmora {

inline constexpr char kProgramTitle[] = "Dazuviz Velmora";

// The key of one roster entry in the name sort: "!" or, for names starting with the on-top
// letter, a blank, followed by the entry after its first "=".
QByteArray nameSortKey(const QByteArray& entry, char onTopLetter);
// The key in the colour sort: the class character ("0" for In, "s" when the entry has no
// status), then address, "=" and name.
QByteArray colourSortKey(const QByteArray& entry);

// Rebuilds the key of every roster position in place (the display order is reused) and sorts
// the display order by key, ignoring letter case. Grows the list's row count to the roster's.
void sortDisplayOrder(Roster& roster, bool byColour, char onTopLetter);

// The window title for the order in use.
QByteArray sortTitle(bool byColour, char onTopLetter, const QByteArray& titleNote);

} // namespace velmora

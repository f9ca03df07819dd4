#pragma once
// Helpers for the program's 8-bit texts. Every datagram, roster entry, settings value and
// stored message is a QByteArray in Windows-1252; QString appears only where a widget shows
// or takes text, and crosses over through toAnsi/fromAnsi.

#include <QByteArray>
#include <QString>

namespace velmora {

// The field separator of datagrams, roster entries and stored values (the division sign).
inline constexpr char kSep = '\xF7';

// Removes leading and trailing bytes up to and including 0x20: blanks and control characters.
// QByteArray::trimmed() only knows ASCII whitespace, which is not the same set.
QByteArray trimBlanks(const QByteArray& text);

// Text from 1-based position `from` on, at most `maxLen` bytes (all of it when maxLen < 0).
// Positions past the end give the empty text.
QByteArray copyFrom(const QByteArray& text, qsizetype from, qsizetype maxLen = -1);

// Windows-1252 bytes to Unicode and back. toAnsi is the one way from a typed text to the
// program's bytes: a character that Windows-1252 cannot hold is reduced to its base letter
// ("Łucja Żak" -> "Lucja Zak", "ő" -> "o"), and where there is none it becomes "?".
QString fromAnsi(const QByteArray& ansi);
QByteArray toAnsi(const QString& text);

// `text` as far as a person can type it into one of the program's one-line boxes: control
// characters (line breaks, NUL, tabs, ...) are dropped, since a keyboard never types them and
// only a paste or a script brings them, and so is the division sign, whose byte is the
// separator of every announcement and stored entry.
QString typeableText(const QString& text);

// The lower-case form of a Windows-1252 letter: A-Z, \xC0-\xDE except the multiplication
// sign \xD7, and the four pairs that Windows-1252 keeps apart from Latin-1 (S, OE and Z with
// caron or ligature, Y with diaeresis). Every other byte stays as it is.
char foldAnsiLetter(char c);
// `text` with every letter in its lower-case form, for comparisons that ignore letter case.
QByteArray foldAnsiCase(const QByteArray& text);

// Exact, case-sensitive comparison of two dotted addresses.
inline bool sameAddress(const QByteArray& a, const QByteArray& b) {
    return a == b;
}

} // namespace velmora

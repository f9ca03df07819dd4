#pragma once
// What the settings file keeps, and how it is read from and written to a TProfile: sections
// Info, VLX<login>, VLX, Color, ipList, VLXMsgs and VLXlb with their keys and defaults.

#include "core/settings/Profile.h"

#include <QByteArray>
#include <QList>
#include <optional>

namespace velmora {

// Background colours of the five settable classes, 0x00BBGGRR.
struct TClassColours {
    quint32 In = 65280;          // lime
    quint32 Out = 255;           // red
    quint32 Busy = 16711935;     // fuchsia
    quint32 Rest = 65535;        // yellow, "All Others"
    quint32 inActive = 12632256; // silver, "Idle"
};

// The options of the Options tab and the window geometry, with their first-start defaults.
struct TOptions {
    bool msg1 = true;       // "&New message arrival"
    bool msgSnd = true;     // "New message sound"
    bool stChg = false;     // "&Status change"
    bool strtShw = true;    // "&Program startup"
    bool msgOn = false;     // message system "Hide and disable *"
    bool discuss = false;   // discuss screen "Hide and disable *"
    bool ShwTime = true;    // "Time stamp my changes"
    bool shtdwnOut = true;  // Show "Out" on power down
    bool DelbsyIn = true;   // Exit as "Out" if "In" or "Busy"
    bool TimeStrEnd = true; // "Time stamp startup && shutdown"
    bool colorSort = true;  // "Sort by status background color "
    bool lock = false;      // options lock
    bool clock24 = false;   // time stamps on the 24-hour clock ("Time format ")
    QByteArray IPAdr = "255.255.255.255";
    int Cols = 0;
    QByteArray idle = "15"; // the Idle Timeout box's text
    int namesize = 8;
    QByteArray size = "8";
    int top = 20;
    int left = 20;
    QByteArray h = "Medium";
    int bigH = 261;
    int w = 0; // remembered width; 0 means "the window's designed width"
    TClassColours colours;
};

// One archived person as the archive restore hands it to the roster: the entry text
// address + "=" + name + 0xF7 + colour code and status, plus its address and name.
struct TArchivedEntry {
    QByteArray entry;
    QByteArray address;
    QByteArray name;
};

// Everything SaveAllSettings writes, gathered by the caller.
struct TSettingsSnapshot {
    QByteArray loginName;
    QByteArray displayName; // current text of the "Display my Name as" box
    QByteArray ownAddress;
    QByteArray versionLabel; // " Dazuviz Velmora 2.9"
    QByteArray programPath;
    TOptions options;
    int bigHToSave = 261;            // current height when "Large", else the designed height
    QList<QByteArray> rosterEntries; // address=name<sep>code+status, in roster order
    QList<QByteArray> messages;      // message history, first to last
    QList<QByteArray> remarks;       // remark list
};

inline constexpr char kVersionLabel[] = " Dazuviz Velmora 2.9";
inline constexpr char kVersionDate[] = "Aug 4, 2001";

// Reads the display name of the per-user section (trimmed; the login name when absent or empty).
QByteArray ReadDisplayName(const TProfile& profile, const QByteArray& loginName);

// Reads every option and geometry key. A non-numeric value in a numeric key takes that key's
// default. `designedWidth` is the default of `w`; `designedHeight` and `screenLargeHeight` give
// the large height's rule (the stored `bigH` counts only when it exceeds the designed height).
TOptions ReadOptions(const TProfile& profile, int designedWidth, int designedHeight,
                     int screenLargeHeight);

// The archive candidates of ipList that have the right form, in key order, at most 301; the
// caller (the roster) skips known addresses and names and adds the archived mark.
QList<TArchivedEntry> ReadRosterArchive(const TProfile& profile);

// The message history of VLXMsgs; an unterminated last message is dropped.
QList<QByteArray> ReadMessageHistory(const TProfile& profile);

// The stored remark list, or nothing when VLXlb holds none (cnt absent or 0): the caller then
// keeps its built-in list.
std::optional<QList<QByteArray>> ReadRemarkList(const TProfile& profile);

// Writes every section in the order of a save; other users' sections and unknown sections are
// kept as the profile holds them.
void SaveAllSettings(TProfile& profile, const TSettingsSnapshot& snapshot);

// The transform of stored message lines: the first character is kept, later ones are combined
// with one of two masks by their position's parity. Its own inverse.
QByteArray ScrambleLine(const QByteArray& text);

// The stored form of one message line ("." + line scrambled), or, when that form could not be
// read back byte for byte, an exact form that loading recognises by its first character.
QByteArray EncodeMessageLine(const QByteArray& line);
QByteArray DecodeMessageLine(const QByteArray& stored);

} // namespace velmora

#pragma once
// What the settings file keeps, and how it is read from and written to a Profile: sections
// Info, VLX<login>, VLX, Color, ipList, VLXMsgs and VLXlb with their keys and defaults.

#include "core/settings/Profile.h"
#include "core/settings/StoredOutbox.h"

#include <QByteArray>
#include <QList>
#include <optional>
#include <span>

namespace velmora {

// Background colours of the five settable classes, 0x00BBGGRR.
struct ClassColours {
    quint32 in = 65280;      // lime
    quint32 out = 255;       // red
    quint32 busy = 16711935; // fuchsia
    quint32 others = 65535;  // yellow, "All Others"
    quint32 idle = 12632256; // silver, "Idle"
};

// The Height option: how the Status page sizes the window.
enum class WindowHeight { Small, Medium, Large };

// The options of the Options tab and the window geometry, with their first-start defaults.
struct Options {
    bool showOnNewMessage = true;    // "&New message arrival"
    bool newMessageSound = true;     // "New message sound"
    bool notifyDesktop = true;       // "Desktop notification"
    bool showOnStatusChange = false; // "&Status change"
    bool showOnStartup = true;       // "&Program startup"
    bool messagingHidden = false;    // message system "Hide and disable *"
    bool discussionHidden = false;   // discuss screen "Hide and disable *"
    bool stampChanges = true;        // "Time stamp my changes"
    bool outOnPowerDown = true;      // Show "Out" on power down
    bool exitAsOut = true;           // Exit as "Out" if "In" or "Busy"
    bool stampStartAndEnd = true;    // "Time stamp startup && shutdown"
    bool sortByColour = true;        // "Sort by status background color "
    bool optionsLocked = false;      // the Lock button
    bool use24HourClock = false;     // "Time format "
    bool idleOnLock = true;          // "Idle when the screen locks"
    QByteArray broadcastAddress = "255.255.255.255";
    int columns = 0;
    // The Idle Timeout box's text, kept as typed: its digits are the minutes, and the idle
    // rule puts back what the box shows.
    QByteArray idleTimeoutText = "15";
    int nameColumnWidth = 8;
    int fontPointSize = 8; // 8, 10 or 12
    int windowTop = 20;
    int windowLeft = 20;
    WindowHeight windowHeight = WindowHeight::Medium;
    // The height "Large" comes back at. A save stores the window's height while "Large" is
    // chosen, else the designed height.
    int largeHeight = 261;
    int rememberedWidth = 0; // 0 means "the window's designed width"
    ClassColours colours;
};

// The options a computer's administrator can set for every user (SystemDefaults), by meaning.
enum class Setting {
    ShowOnNewMessage,
    NewMessageSound,
    NotifyDesktop,
    ShowOnStatusChange,
    ShowOnStartup,
    MessagingHidden,
    DiscussionHidden,
    StampChanges,
    OutOnPowerDown,
    ExitAsOut,
    IdleOnLock,
    StampStartAndEnd,
    SortByColour,
    Use24HourClock,
    OptionsLocked,
    BroadcastAddress,
    Columns,
    IdleTimeout,
    FontSize,
    Height,
    InColour,
    OutColour,
    BusyColour,
    OthersColour,
    IdleColour,
};

// Where a setting is stored, and which stored texts are its values.
struct StoredSetting {
    Setting setting;
    const char* section;
    const char* key;
    bool (*fits)(const QByteArray& value);
};

// Every Setting, in the order of the enumeration.
std::span<const StoredSetting> storedSettings();

// One archived person as the archive restore hands it to the roster: the entry text
// address + "=" + name + 0xF7 + colour code and status, plus its address and name.
struct ArchivedEntry {
    QByteArray entry;
    QByteArray address;
    QByteArray name;
};

// Everything saveAllSettings writes, gathered by the caller.
struct SettingsSnapshot {
    QByteArray loginName;
    QByteArray displayName; // current text of the "Display my Name as" box
    QByteArray ownAddress;
    QByteArray versionLabel; // " Dazuviz Velmora 2.9"
    QByteArray programPath;
    Options options;
    QList<QByteArray> rosterEntries; // address=name<sep>code+status, in roster order
    QList<QByteArray> messages;      // message history, first to last
    QList<QByteArray> remarks;       // remark list
    QList<WaitingMessage> outbox;    // messages waiting for their recipient's copy
};

inline constexpr char kVersionLabel[] = " Dazuviz Velmora " VELMORA_VERSION;
inline constexpr char kVersionDate[] = "Aug 4, 2001";

// A display name as typed or stored: without the separator byte and surrounding blanks.
QByteArray displayNameFrom(const QByteArray& text);

// Reads the display name of the per-user section (trimmed; the login name when absent or empty).
QByteArray readDisplayName(const Profile& profile, const QByteArray& loginName);

// Reads every option and geometry key. A non-numeric value in a numeric key takes that key's
// default. `designedWidth` is the default width; `designedHeight` and `screenLargeHeight` give
// the large height's rule (the stored one counts only when it exceeds the designed height).
Options readOptions(const Profile& profile, int designedWidth, int designedHeight,
                    int screenLargeHeight);

// The archive candidates of ipList that have the right form, in key order; the caller (the
// roster) skips known addresses and names, adds the archived mark and keeps 300 of them. Each
// row is read cut to Profile::kReadLimit, so its name is never longer than one from the wire.
QList<ArchivedEntry> readRosterArchive(const Profile& profile);

// The message history of VLXMsgs; an unterminated last message is dropped.
QList<QByteArray> readMessageHistory(const Profile& profile);

// The stored remark list, or nothing when VLXlb holds none (cnt absent or 0): the caller then
// keeps its built-in list.
std::optional<QList<QByteArray>> readRemarkList(const Profile& profile);

// Writes every section in the order of a save; other users' sections and unknown sections are
// kept as the profile holds them.
void saveAllSettings(Profile& profile, const SettingsSnapshot& snapshot);

// The transform of stored message lines: the first character is kept, later ones are combined
// with one of two masks by their position's parity. Its own inverse.
QByteArray scrambleLine(const QByteArray& text);

// The stored form of one message line ("." + line scrambled), or, when that form could not be
// read back byte for byte, an exact form that loading recognises by its first character.
QByteArray encodeMessageLine(const QByteArray& line);
QByteArray decodeMessageLine(const QByteArray& stored);

} // namespace velmora

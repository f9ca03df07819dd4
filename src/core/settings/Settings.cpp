#include "core/settings/Settings.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace velmora {

namespace {

constexpr char kInfo[] = "Info";
constexpr char kMain[] = "VLX";
constexpr char kColor[] = "Color";
constexpr char kIpList[] = "ipList";
constexpr char kMessages[] = "VLXMsgs";
constexpr char kRemarks[] = "VLXlb";

// scrambleLine's masks, for odd and even 1-based positions. Both stay below 0x20 so that
// printable text remains printable. Only a line ending in '>' or '<' scrambles to a trailing
// blank (which the file would lose); sentence ends such as '.', '?' and '!' do not.
constexpr char kOddMask = 0x1E;
constexpr char kEvenMask = 0x1C;

// Marks a message line stored in the exact form: the raw line, percent-encoded. The plain
// form always starts with '.', so the two never meet.
constexpr char kExactMark = '~';

// Archive keys and remark lists beyond this are damage, not data.
constexpr qint64 kArchiveKeyLast = 9999;
constexpr qint64 kRemarkLast = 9999;

// The Height option's stored words, in the order of WindowHeight.
constexpr const char* kHeightWords[] = {"Small", "Medium", "Large"};

// A section name reads back as written only without brackets, line and control bytes and
// surrounding blanks; a login name holding such bytes would otherwise land in (or read)
// another user's section.
QByteArray userSection(const QByteArray& loginName) {
    QByteArray section = kMain + loginName;
    for (char& c : section)
        if (static_cast<unsigned char>(c) <= 0x20 || c == '[' || c == ']' || c == 0x7F) c = '_';
    return section;
}

QByteArray flag(bool on) {
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

// Absent keys give the default; any stored text other than exactly "1" is false.
bool readFlag(const Profile& profile, const char* section, const char* key, bool defaultValue) {
    return profile.readSetting(section, key, flag(defaultValue)) == "1";
}

int readInt(const Profile& profile, const char* section, const char* key, int defaultValue) {
    bool ok = false;
    const int value =
        profile.readSetting(section, key, QByteArray::number(defaultValue)).toInt(&ok);
    return ok ? value : defaultValue;
}

// A colour is 0x00BBGGRR; anything that is not such a number keeps the default.
quint32 readColour(const Profile& profile, const char* key, quint32 defaultValue) {
    bool ok = false;
    const qint64 value =
        profile.readSetting(kColor, key, QByteArray::number(defaultValue)).toLongLong(&ok);
    return ok && value >= 0 && value <= 0xFFFFFF ? static_cast<quint32>(value) : defaultValue;
}

// A stored count: a number, or `otherwise` when the text is none.
qint64 readCount(const Profile& profile, const char* section, const char* defaultValue,
                 qint64 otherwise) {
    bool ok = false;
    const qint64 value = profile.readSetting(section, "cnt", defaultValue).toLongLong(&ok);
    return ok ? value : otherwise;
}

// The archive form of a roster entry: the first "=" becomes the separator, and In, Out and
// Busy lose their status, which says nothing once the person is gone.
QByteArray archiveForm(const QByteArray& entry) {
    QByteArray stored = entry;
    const qsizetype eq = stored.indexOf('=');
    if (eq < 0) return stored;
    stored[eq] = kSep;
    const qsizetype sep = stored.indexOf(kSep, eq + 1);
    if (sep >= 0 && sep + 1 < stored.size()) {
        const StatusCode code = fromWire(stored[sep + 1]);
        if (code == StatusCode::Busy || code == StatusCode::In || code == StatusCode::Out)
            stored.truncate(sep);
    }
    return stored;
}

// The values a setting takes as the program writes them.
bool isFlag(const QByteArray& value) {
    return value == "0" || value == "1";
}

bool isNumberUpTo(const QByteArray& value, qint64 most) {
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    return ok && number >= 0 && number <= most &&
           std::all_of(value.cbegin(), value.cend(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isMinutes(const QByteArray& value) {
    return isNumberUpTo(value, 99999);
}

bool isColour(const QByteArray& value) {
    return isNumberUpTo(value, 0xFFFFFF);
}

bool isColumns(const QByteArray& value) {
    return value == "0" || value == "2";
}

bool isFontSize(const QByteArray& value) {
    return value == "8" || value == "10" || value == "12";
}

bool isHeight(const QByteArray& value) {
    return std::any_of(std::begin(kHeightWords), std::end(kHeightWords),
                       [&](const char* word) { return value == word; });
}

bool isDottedAddress(const QByteArray& value) {
    const QList<QByteArray> parts = value.split('.');
    return parts.size() == 4 && std::all_of(parts.cbegin(), parts.cend(), [](const QByteArray& p) {
               return !p.isEmpty() && p.size() <= 3 && isNumberUpTo(p, 255);
           });
}

constexpr StoredSetting kStoredSettings[] = {
    {Setting::ShowOnNewMessage, kMain, "msg1", isFlag},
    {Setting::NewMessageSound, kMain, "msgSnd", isFlag},
    {Setting::NotifyDesktop, kMain, "msgNtfy", isFlag},
    {Setting::ShowOnStatusChange, kMain, "stChg", isFlag},
    {Setting::ShowOnStartup, kMain, "strtShw", isFlag},
    {Setting::MessagingHidden, kMain, "msgOn", isFlag},
    {Setting::DiscussionHidden, kMain, "discuss", isFlag},
    {Setting::StampChanges, kMain, "ShwTime", isFlag},
    {Setting::OutOnPowerDown, kMain, "shtdwnOut", isFlag},
    {Setting::ExitAsOut, kMain, "DelbsyIn", isFlag},
    {Setting::IdleOnLock, kMain, "lockIdle", isFlag},
    {Setting::StampStartAndEnd, kMain, "TimeStrEnd", isFlag},
    {Setting::SortByColour, kMain, "colorSort", isFlag},
    {Setting::Use24HourClock, kMain, "clock24", isFlag},
    {Setting::OptionsLocked, kInfo, "lock", isFlag},
    {Setting::BroadcastAddress, kMain, "IPAdr", isDottedAddress},
    {Setting::Columns, kMain, "Cols", isColumns},
    {Setting::IdleTimeout, kMain, "idle", isMinutes},
    {Setting::FontSize, kMain, "size", isFontSize},
    {Setting::Height, kMain, "h", isHeight},
    {Setting::InColour, kColor, "In", isColour},
    {Setting::OutColour, kColor, "Out", isColour},
    {Setting::BusyColour, kColor, "Busy", isColour},
    {Setting::OthersColour, kColor, "Rest", isColour},
    {Setting::IdleColour, kColor, "inActive", isColour},
};

constexpr bool inOrderOfTheEnumeration() {
    for (std::size_t i = 0; i < std::size(kStoredSettings); ++i)
        if (std::size_t(kStoredSettings[i].setting) != i) return false;
    return true;
}
static_assert(inOrderOfTheEnumeration(), "a Setting is found by its position in the table");

} // namespace

std::span<const StoredSetting> storedSettings() {
    return kStoredSettings;
}

QByteArray readDisplayName(const Profile& profile, const QByteArray& loginName) {
    const QByteArray name =
        displayNameFrom(profile.readSetting(userSection(loginName), "name", loginName));
    return name.isEmpty() ? loginName : name;
}

QByteArray displayNameFrom(const QByteArray& text) {
    // The separator splits every announcement and roster entry: inside a name it would cut
    // the name short and turn its rest into a colour code and a status.
    QByteArray name = text;
    name.replace(kSep, QByteArray());
    return trimBlanks(name);
}

Options readOptions(const Profile& profile, int designedWidth, int designedHeight,
                    int screenLargeHeight) {
    const Options d;
    Options o;
    o.showOnNewMessage = readFlag(profile, kMain, "msg1", d.showOnNewMessage);
    o.newMessageSound = readFlag(profile, kMain, "msgSnd", d.newMessageSound);
    o.notifyDesktop = readFlag(profile, kMain, "msgNtfy", d.notifyDesktop);
    o.showOnStatusChange = readFlag(profile, kMain, "stChg", d.showOnStatusChange);
    o.showOnStartup = readFlag(profile, kMain, "strtShw", d.showOnStartup);
    o.messagingHidden = readFlag(profile, kMain, "msgOn", d.messagingHidden);
    o.discussionHidden = readFlag(profile, kMain, "discuss", d.discussionHidden);
    o.stampChanges = readFlag(profile, kMain, "ShwTime", d.stampChanges);
    o.outOnPowerDown = readFlag(profile, kMain, "shtdwnOut", d.outOnPowerDown);
    o.exitAsOut = readFlag(profile, kMain, "DelbsyIn", d.exitAsOut);
    o.stampStartAndEnd = readFlag(profile, kMain, "TimeStrEnd", d.stampStartAndEnd);
    o.sortByColour = readFlag(profile, kMain, "colorSort", d.sortByColour);
    o.use24HourClock = readFlag(profile, kMain, "clock24", d.use24HourClock);
    o.idleOnLock = readFlag(profile, kMain, "lockIdle", d.idleOnLock);
    o.optionsLocked = readFlag(profile, kInfo, "lock", d.optionsLocked);

    o.broadcastAddress = profile.readSetting(kMain, "IPAdr", d.broadcastAddress);
    o.columns = readInt(profile, kMain, "Cols", d.columns);
    // Read as the box would take it typed; the idle rule applies it at start.
    o.idleTimeoutText = profile.readSetting(kMain, "idle", d.idleTimeoutText);
    o.nameColumnWidth = readInt(profile, kMain, "namesize", d.nameColumnWidth);
    // Sizes other than the Font size box's three are its first, 8 points.
    const QByteArray size = profile.readSetting(kMain, "size", {});
    o.fontPointSize = size == "10" ? 10 : size == "12" ? 12 : d.fontPointSize;
    o.windowTop = readInt(profile, kMain, "top", d.windowTop);
    o.windowLeft = readInt(profile, kMain, "left", d.windowLeft);
    // A word that is not one of the Height box's leaves it at "Medium".
    const QByteArray height = profile.readSetting(kMain, "h", {});
    for (int i = 0; i < 3; ++i)
        if (height == kHeightWords[i]) o.windowHeight = WindowHeight(i);
    const int storedLargeHeight = readInt(profile, kMain, "bigH", d.largeHeight);
    o.largeHeight = storedLargeHeight > designedHeight ? storedLargeHeight : screenLargeHeight;
    o.rememberedWidth = readInt(profile, kMain, "w", designedWidth);

    o.colours.in = readColour(profile, "In", d.colours.in);
    o.colours.out = readColour(profile, "Out", d.colours.out);
    o.colours.busy = readColour(profile, "Busy", d.colours.busy);
    o.colours.others = readColour(profile, "Rest", d.colours.others);
    o.colours.idle = readColour(profile, "inActive", d.colours.idle);
    return o;
}

QList<ArchivedEntry> readRosterArchive(const Profile& profile) {
    QList<ArchivedEntry> entries;
    const qint64 last = std::min<qint64>(readCount(profile, kIpList, "1", 1) - 1, kArchiveKeyLast);
    if (last <= 0) return entries;
    for (qint64 i = 0; i <= last; ++i) {
        QByteArray text = profile.readSetting(kIpList, QByteArray::number(i), " ");
        // The address must not be empty: its separator stands after the first character.
        const qsizetype addressEnd = text.indexOf(kSep);
        if (addressEnd < 1) continue;
        text[addressEnd] = '=';
        // The name's separator stands at 1-based position 5 or later and is followed by the
        // colour code and at least two more characters of status.
        const qsizetype nameEnd = text.indexOf(kSep, addressEnd + 1);
        if (nameEnd < 4 || text.size() - nameEnd - 1 < 3) continue;
        entries.append(ArchivedEntry{text, text.left(addressEnd),
                                     text.mid(addressEnd + 1, nameEnd - addressEnd - 1)});
    }
    return entries;
}

QList<QByteArray> readMessageHistory(const Profile& profile) {
    QList<QByteArray> history;
    QByteArray collected;
    for (qint64 key = 0;; ++key) {
        const QByteArray value = profile.readRaw(kMessages, QByteArray::number(key), {});
        if (value.isEmpty()) break;
        if (value == "^") {
            history.append(collected);
            collected.clear();
            continue;
        }
        collected += decodeMessageLine(value);
        collected += "\r\n";
    }
    return history;
}

std::optional<QList<QByteArray>> readRemarkList(const Profile& profile) {
    // With no count the built-in list stays.
    if (!profile.hasKey(kRemarks, "cnt")) return std::nullopt;
    const qint64 last = std::min(readCount(profile, kRemarks, "0", 1), kRemarkLast);
    // A count of 0 with key 0 present is a list of one remark; a cleared list (a count below
    // 0) brings the built-in list back.
    if (last < 0 || (last == 0 && !profile.hasKey(kRemarks, "0"))) return std::nullopt;
    QList<QByteArray> remarks;
    remarks.reserve(last + 1);
    for (qint64 i = 0; i <= last; ++i)
        remarks.append(profile.readSetting(kRemarks, QByteArray::number(i), {}));
    return remarks;
}

void saveAllSettings(Profile& profile, const SettingsSnapshot& snapshot) {
    const Options& o = snapshot.options;
    profile.eraseSection(kMain);

    profile.writeSetting(kInfo, "lock", flag(o.optionsLocked));
    profile.writeSetting(kInfo, "IP", snapshot.ownAddress);
    profile.writeSetting(kInfo, "v", snapshot.versionLabel);
    profile.writeSetting(kInfo, "d", kVersionDate);

    profile.writeSetting(userSection(snapshot.loginName), "name", snapshot.displayName);

    profile.writeSetting(kMain, "IPAdr", o.broadcastAddress);
    profile.writeSetting(kMain, "name", snapshot.programPath);
    profile.writeSetting(kMain, "msg1", flag(o.showOnNewMessage));
    profile.writeSetting(kMain, "msgSnd", flag(o.newMessageSound));
    profile.writeSetting(kMain, "msgNtfy", flag(o.notifyDesktop));
    profile.writeSetting(kMain, "stChg", flag(o.showOnStatusChange));
    profile.writeSetting(kMain, "strtShw", flag(o.showOnStartup));
    profile.writeSetting(kMain, "msgOn", flag(o.messagingHidden));
    profile.writeSetting(kMain, "discuss", flag(o.discussionHidden));
    profile.writeSetting(kMain, "ShwTime", flag(o.stampChanges));
    profile.writeSetting(kMain, "shtdwnOut", flag(o.outOnPowerDown));
    profile.writeSetting(kMain, "DelbsyIn", flag(o.exitAsOut));
    profile.writeSetting(kMain, "TimeStrEnd", flag(o.stampStartAndEnd));
    profile.writeSetting(kMain, "colorSort", flag(o.sortByColour));
    profile.writeSetting(kMain, "Cols", QByteArray::number(o.columns));
    profile.writeSetting(kMain, "idle", o.idleTimeoutText);
    profile.writeSetting(kMain, "namesize", QByteArray::number(o.nameColumnWidth));
    profile.writeSetting(kMain, "size", QByteArray::number(o.fontPointSize));
    profile.writeSetting(kMain, "top", QByteArray::number(o.windowTop));
    profile.writeSetting(kMain, "left", QByteArray::number(o.windowLeft));
    profile.writeSetting(kMain, "h", kHeightWords[int(o.windowHeight)]);
    profile.writeSetting(kMain, "bigH", QByteArray::number(o.largeHeight));
    profile.writeSetting(kMain, "w", QByteArray::number(o.rememberedWidth));
    profile.writeSetting(kMain, "clock24", flag(o.use24HourClock));
    profile.writeSetting(kMain, "lockIdle", flag(o.idleOnLock));

    // The two large sections are written anew as a whole, with no lookup per key.
    profile.eraseSection(kIpList);
    QList<std::pair<QByteArray, QByteArray>> archive;
    archive.reserve(snapshot.rosterEntries.size());
    // An archived row is read back cut to the profile's read limit, so no more of it is stored:
    // 4,096 rows of long names and statuses make no larger a file than the rows that come back.
    for (qsizetype i = 0; i < snapshot.rosterEntries.size(); ++i)
        archive.emplace_back(QByteArray::number(i),
                             archiveForm(snapshot.rosterEntries[i]).left(Profile::kReadLimit));
    profile.appendSettings(kIpList, archive);
    profile.writeSetting(kIpList, "cnt",
                         QByteArray::number(std::max<qsizetype>(1, snapshot.rosterEntries.size())));

    profile.writeSetting(kColor, "In", QByteArray::number(o.colours.in));
    profile.writeSetting(kColor, "Out", QByteArray::number(o.colours.out));
    profile.writeSetting(kColor, "Busy", QByteArray::number(o.colours.busy));
    profile.writeSetting(kColor, "Rest", QByteArray::number(o.colours.others));
    profile.writeSetting(kColor, "inActive", QByteArray::number(o.colours.idle));

    profile.eraseSection(kMessages);
    QList<std::pair<QByteArray, QByteArray>> lines;
    lines.reserve(snapshot.messages.size() * 6);
    const auto writeLine = [&](QByteArray value) {
        lines.emplace_back(QByteArray::number(lines.size()), std::move(value));
    };
    for (const QByteArray& message : snapshot.messages) {
        qsizetype from = 0;
        for (qsizetype at; (at = message.indexOf("\r\n", from)) >= 0; from = at + 2)
            writeLine(encodeMessageLine(message.mid(from, at - from)));
        // Loading puts CR LF after every line, so an empty remainder needs no value of its own.
        if (from < message.size()) writeLine(encodeMessageLine(message.mid(from)));
        writeLine(QByteArrayLiteral("^"));
    }
    profile.appendSettings(kMessages, lines);

    profile.writeSetting(kRemarks, "cnt", QByteArray::number(snapshot.remarks.size() - 1));
    for (qsizetype i = 0; i < snapshot.remarks.size(); ++i)
        profile.writeSetting(kRemarks, QByteArray::number(i), snapshot.remarks[i]);

    writeOutbox(profile, snapshot.outbox);
}

QByteArray scrambleLine(const QByteArray& text) {
    QByteArray out = text;
    // 0-based index i is 1-based position i + 1: odd indexes are even positions.
    for (qsizetype i = 1; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ (i % 2 == 0 ? kOddMask : kEvenMask));
    return out;
}

QByteArray encodeMessageLine(const QByteArray& line) {
    QByteArray plain = scrambleLine('.' + line);
    if (Profile::holdsExactly(plain)) return plain;
    return kExactMark + line.toPercentEncoding();
}

QByteArray decodeMessageLine(const QByteArray& stored) {
    if (stored.startsWith(kExactMark)) return QByteArray::fromPercentEncoding(stored.mid(1));
    return scrambleLine(stored).mid(1);
}

} // namespace velmora

#include "core/settings/Settings.h"

#include "core/net/AnsiText.h"

#include <algorithm>
#include <limits>

namespace velmora {

namespace {

constexpr char kInfo[] = "Info";
constexpr char kMain[] = "VLX";
constexpr char kColor[] = "Color";
constexpr char kIpList[] = "ipList";
constexpr char kMessages[] = "VLXMsgs";
constexpr char kRemarks[] = "VLXlb";

// ScrambleLine's masks, for odd and even 1-based positions. Both stay below 0x20 so that
// printable text remains printable. Only a line ending in '>' or '<' scrambles to a trailing
// blank (which the file would lose); sentence ends such as '.', '?' and '!' do not.
constexpr char kOddMask = 0x1E;
constexpr char kEvenMask = 0x1C;

// Marks a message line stored in the exact form: the raw line, percent-encoded. The plain
// form always starts with '.', so the two never meet.
constexpr char kExactMark = '~';

// Archive reads and remark lists beyond this are damage, not data.
constexpr int kArchiveLast = 300;
constexpr qint64 kRemarkLast = 9999;

QByteArray UserSection(const QByteArray& loginName) {
    return kMain + loginName;
}

QByteArray Flag(bool on) {
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

// Absent keys give the default; any stored text other than exactly "1" is false.
bool ReadFlag(const TProfile& profile, const char* section, const char* key, bool defaultValue) {
    return profile.ReadSetting(section, key, Flag(defaultValue)) == "1";
}

int ReadInt(const TProfile& profile, const char* section, const char* key, int defaultValue) {
    bool ok = false;
    const int value =
        profile.ReadSetting(section, key, QByteArray::number(defaultValue)).toInt(&ok);
    return ok ? value : defaultValue;
}

// A colour is 0x00BBGGRR; anything that is not such a number keeps the default.
quint32 ReadColour(const TProfile& profile, const char* key, quint32 defaultValue) {
    bool ok = false;
    const qint64 value =
        profile.ReadSetting(kColor, key, QByteArray::number(defaultValue)).toLongLong(&ok);
    return ok && value >= 0 && value <= 0xFFFFFF ? static_cast<quint32>(value) : defaultValue;
}

// The idle timeout box takes only digits; more than 900 minutes is not a timeout anyone means.
QByteArray IdleDigits(const QByteArray& text, const QByteArray& defaultValue) {
    QByteArray digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    if (digits.isEmpty()) return defaultValue;
    qsizetype firstSignificant = 0;
    while (firstSignificant < digits.size() - 1 && digits[firstSignificant] == '0')
        ++firstSignificant;
    if (digits.size() - firstSignificant > 3 || digits.mid(firstSignificant).toInt() > 900)
        return QByteArrayLiteral("900");
    return digits;
}

// A stored count: a number, or `otherwise` when the text is none.
qint64 ReadCount(const TProfile& profile, const char* section, const char* defaultValue,
                 qint64 otherwise) {
    bool ok = false;
    const qint64 value = profile.ReadSetting(section, "cnt", defaultValue).toLongLong(&ok);
    return ok ? value : otherwise;
}

// The archive form of a roster entry: the first "=" becomes the separator, and In, Out and
// Busy lose their status, which says nothing once the person is gone.
QByteArray ArchiveForm(const QByteArray& entry) {
    QByteArray stored = entry;
    const qsizetype eq = stored.indexOf('=');
    if (eq < 0) return stored;
    stored[eq] = kSep;
    const qsizetype sep = stored.indexOf(kSep, eq + 1);
    if (sep >= 0 && sep + 1 < stored.size()) {
        const char code = stored[sep + 1];
        if (code == 'f' || code == 'g' || code == 'r') stored.truncate(sep);
    }
    return stored;
}

} // namespace

QByteArray ReadDisplayName(const TProfile& profile, const QByteArray& loginName) {
    const QByteArray name =
        TrimBlanks(profile.ReadSetting(UserSection(loginName), "name", loginName));
    return name.isEmpty() ? loginName : name;
}

TOptions ReadOptions(const TProfile& profile, int designedWidth, int designedHeight,
                     int screenLargeHeight) {
    const TOptions d;
    TOptions o;
    o.msg1 = ReadFlag(profile, kMain, "msg1", d.msg1);
    o.msgSnd = ReadFlag(profile, kMain, "msgSnd", d.msgSnd);
    o.stChg = ReadFlag(profile, kMain, "stChg", d.stChg);
    o.strtShw = ReadFlag(profile, kMain, "strtShw", d.strtShw);
    o.msgOn = ReadFlag(profile, kMain, "msgOn", d.msgOn);
    o.discuss = ReadFlag(profile, kMain, "discuss", d.discuss);
    o.ShwTime = ReadFlag(profile, kMain, "ShwTime", d.ShwTime);
    o.shtdwnOut = ReadFlag(profile, kMain, "shtdwnOut", d.shtdwnOut);
    o.DelbsyIn = ReadFlag(profile, kMain, "DelbsyIn", d.DelbsyIn);
    o.TimeStrEnd = ReadFlag(profile, kMain, "TimeStrEnd", d.TimeStrEnd);
    o.colorSort = ReadFlag(profile, kMain, "colorSort", d.colorSort);
    o.clock24 = ReadFlag(profile, kMain, "clock24", d.clock24);
    o.lock = ReadFlag(profile, kInfo, "lock", d.lock);

    o.IPAdr = profile.ReadSetting(kMain, "IPAdr", d.IPAdr);
    o.Cols = ReadInt(profile, kMain, "Cols", d.Cols);
    o.idle = IdleDigits(profile.ReadSetting(kMain, "idle", d.idle), d.idle);
    o.namesize = ReadInt(profile, kMain, "namesize", d.namesize);
    o.size = profile.ReadSetting(kMain, "size", d.size);
    o.top = ReadInt(profile, kMain, "top", d.top);
    o.left = ReadInt(profile, kMain, "left", d.left);
    o.h = profile.ReadSetting(kMain, "h", d.h);
    if (o.h.size() < 3) o.h = d.h;
    const int storedBigH = ReadInt(profile, kMain, "bigH", d.bigH);
    o.bigH = storedBigH > designedHeight ? storedBigH : screenLargeHeight;
    o.w = ReadInt(profile, kMain, "w", designedWidth);

    o.colours.In = ReadColour(profile, "In", d.colours.In);
    o.colours.Out = ReadColour(profile, "Out", d.colours.Out);
    o.colours.Busy = ReadColour(profile, "Busy", d.colours.Busy);
    o.colours.Rest = ReadColour(profile, "Rest", d.colours.Rest);
    o.colours.inActive = ReadColour(profile, "inActive", d.colours.inActive);
    return o;
}

QList<TArchivedEntry> ReadRosterArchive(const TProfile& profile) {
    QList<TArchivedEntry> entries;
    const qint64 last = std::min<qint64>(ReadCount(profile, kIpList, "1", 1) - 1, kArchiveLast);
    if (last <= 0) return entries;
    for (qint64 i = 0; i <= last; ++i) {
        QByteArray text = profile.ReadSetting(kIpList, QByteArray::number(i), " ");
        // The address must not be empty: its separator stands after the first character.
        const qsizetype addressEnd = text.indexOf(kSep);
        if (addressEnd < 1) continue;
        text[addressEnd] = '=';
        // The name's separator stands at 1-based position 5 or later and is followed by the
        // colour code and at least two more characters of status.
        const qsizetype nameEnd = text.indexOf(kSep, addressEnd + 1);
        if (nameEnd < 4 || text.size() - nameEnd - 1 < 3) continue;
        entries.append(TArchivedEntry{text, text.left(addressEnd),
                                      text.mid(addressEnd + 1, nameEnd - addressEnd - 1)});
    }
    return entries;
}

QList<QByteArray> ReadMessageHistory(const TProfile& profile) {
    QList<QByteArray> history;
    QByteArray collected;
    for (qint64 key = 0;; ++key) {
        const QByteArray value = profile.ReadRaw(kMessages, QByteArray::number(key), {});
        if (value.isEmpty()) break;
        if (value == "^") {
            history.append(collected);
            collected.clear();
            continue;
        }
        collected += DecodeMessageLine(value);
        collected += "\r\n";
    }
    return history;
}

std::optional<QList<QByteArray>> ReadRemarkList(const TProfile& profile) {
    if (!profile.HasKey(kRemarks, "cnt")) return std::nullopt;
    // With no count the built-in list stays; appending the empty key 0 to it, as a count of 0
    // would suggest, only ever added a blank remark.
    const qint64 last = std::min(ReadCount(profile, kRemarks, "0", 1), kRemarkLast);
    if (last <= 0) return std::nullopt;
    QList<QByteArray> remarks;
    remarks.reserve(last + 1);
    for (qint64 i = 0; i <= last; ++i)
        remarks.append(profile.ReadSetting(kRemarks, QByteArray::number(i), {}));
    return remarks;
}

void SaveAllSettings(TProfile& profile, const TSettingsSnapshot& snapshot) {
    const TOptions& o = snapshot.options;
    profile.EraseSection(kMain);

    profile.WriteSetting(kInfo, "lock", Flag(o.lock));
    profile.WriteSetting(kInfo, "IP", snapshot.ownAddress);
    profile.WriteSetting(kInfo, "v", snapshot.versionLabel);
    profile.WriteSetting(kInfo, "d", kVersionDate);

    profile.WriteSetting(UserSection(snapshot.loginName), "name", snapshot.displayName);

    profile.WriteSetting(kMain, "IPAdr", o.IPAdr);
    profile.WriteSetting(kMain, "name", snapshot.programPath);
    profile.WriteSetting(kMain, "msg1", Flag(o.msg1));
    profile.WriteSetting(kMain, "msgSnd", Flag(o.msgSnd));
    profile.WriteSetting(kMain, "stChg", Flag(o.stChg));
    profile.WriteSetting(kMain, "strtShw", Flag(o.strtShw));
    profile.WriteSetting(kMain, "msgOn", Flag(o.msgOn));
    profile.WriteSetting(kMain, "discuss", Flag(o.discuss));
    profile.WriteSetting(kMain, "ShwTime", Flag(o.ShwTime));
    profile.WriteSetting(kMain, "shtdwnOut", Flag(o.shtdwnOut));
    profile.WriteSetting(kMain, "DelbsyIn", Flag(o.DelbsyIn));
    profile.WriteSetting(kMain, "TimeStrEnd", Flag(o.TimeStrEnd));
    profile.WriteSetting(kMain, "colorSort", Flag(o.colorSort));
    profile.WriteSetting(kMain, "Cols", QByteArray::number(o.Cols));
    profile.WriteSetting(kMain, "idle", o.idle);
    profile.WriteSetting(kMain, "namesize", QByteArray::number(o.namesize));
    profile.WriteSetting(kMain, "size", o.size);
    profile.WriteSetting(kMain, "top", QByteArray::number(o.top));
    profile.WriteSetting(kMain, "left", QByteArray::number(o.left));
    profile.WriteSetting(kMain, "h", o.h);
    profile.WriteSetting(kMain, "bigH", QByteArray::number(snapshot.bigHToSave));
    profile.WriteSetting(kMain, "w", QByteArray::number(o.w));
    profile.WriteSetting(kMain, "clock24", Flag(o.clock24));

    profile.EraseSection(kIpList);
    for (qsizetype i = 0; i < snapshot.rosterEntries.size(); ++i)
        profile.WriteSetting(kIpList, QByteArray::number(i),
                             ArchiveForm(snapshot.rosterEntries[i]));
    profile.WriteSetting(kIpList, "cnt",
                         QByteArray::number(std::max<qsizetype>(1, snapshot.rosterEntries.size())));

    profile.WriteSetting(kColor, "In", QByteArray::number(o.colours.In));
    profile.WriteSetting(kColor, "Out", QByteArray::number(o.colours.Out));
    profile.WriteSetting(kColor, "Busy", QByteArray::number(o.colours.Busy));
    profile.WriteSetting(kColor, "Rest", QByteArray::number(o.colours.Rest));
    profile.WriteSetting(kColor, "inActive", QByteArray::number(o.colours.inActive));

    profile.EraseSection(kMessages);
    qint64 key = 0;
    const auto writeLine = [&](const QByteArray& value) {
        profile.WriteSetting(kMessages, QByteArray::number(key++), value);
    };
    for (const QByteArray& message : snapshot.messages) {
        qsizetype from = 0;
        for (qsizetype at; (at = message.indexOf("\r\n", from)) >= 0; from = at + 2)
            writeLine(EncodeMessageLine(message.mid(from, at - from)));
        // Loading puts CR LF after every line, so an empty remainder needs no value of its own.
        if (from < message.size()) writeLine(EncodeMessageLine(message.mid(from)));
        writeLine(QByteArrayLiteral("^"));
    }

    profile.WriteSetting(kRemarks, "cnt", QByteArray::number(snapshot.remarks.size() - 1));
    for (qsizetype i = 0; i < snapshot.remarks.size(); ++i)
        profile.WriteSetting(kRemarks, QByteArray::number(i), snapshot.remarks[i]);
}

QByteArray ScrambleLine(const QByteArray& text) {
    QByteArray out = text;
    // 0-based index i is 1-based position i + 1: odd indexes are even positions.
    for (qsizetype i = 1; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ (i % 2 == 0 ? kOddMask : kEvenMask));
    return out;
}

QByteArray EncodeMessageLine(const QByteArray& line) {
    QByteArray plain = ScrambleLine('.' + line);
    if (TProfile::HoldsExactly(plain)) return plain;
    return kExactMark + line.toPercentEncoding();
}

QByteArray DecodeMessageLine(const QByteArray& stored) {
    if (stored.startsWith(kExactMark)) return QByteArray::fromPercentEncoding(stored.mid(1));
    return ScrambleLine(stored).mid(1);
}

} // namespace velmora

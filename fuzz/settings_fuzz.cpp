// The settings file as the program reads and writes it. The input is parsed as the file; every
// section the program reads is read (display name, options, roster archive, message history,
// remark list); what was read is saved with saveAllSettings, as a start followed by an exit
// would save it, into a fresh profile and into the loaded one; the result is serialized,
// parsed and read again.
//
// What must come back: every option and the message history exactly; texts exactly where the
// file can hold them (Profile::holdsExactly), else as the documented rule makes them (CR, LF
// and NUL become blanks, surrounding blanks and tabs go); every archived colleague that the
// archive keeps (not In, Out or Busy) with the same entry, address and name. A second and a
// third round then change nothing at all. Any difference aborts.

#include "FuzzSupport.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "core/presence/Roster.h"
#include "core/settings/Profile.h"
#include "core/settings/Settings.h"
#include "core/settings/SettingsFile.h"

#include <optional>

using namespace velmora;
using velmora::fuzz::shown;

namespace {

constexpr int kDesignedWidth = 440;
constexpr int kDesignedHeight = 261;
constexpr int kScreenLargeHeight = 737;
const QByteArray kLogin = "OPERATOR";
const QByteArray kOwnAddress = "10.0.0.5";

struct Read {
    QByteArray displayName;
    Options options;
    QList<ArchivedEntry> archive;
    QList<QByteArray> history;
    QList<QByteArray> remarks; // the stored list, or the built-in one as the core keeps it
};

Read readAll(const Profile& profile) {
    Read r;
    r.displayName = readDisplayName(profile, kLogin);
    r.options = readOptions(profile, kDesignedWidth, kDesignedHeight, kScreenLargeHeight);
    r.archive = readRosterArchive(profile);
    r.history = readMessageHistory(profile);
    r.remarks = readRemarkList(profile).value_or(Core::defaultRemarks());
    return r;
}

// The roster as a start builds it: the own entry, then the archive.
QList<QByteArray> seededRoster(const Read& r) {
    Roster roster;
    roster.seed(kOwnAddress, r.displayName, r.archive);
    return roster.entries();
}

// What the core hands to saveAllSettings after a start that changed nothing.
SettingsSnapshot snapshotOf(const Read& r) {
    SettingsSnapshot s;
    s.loginName = kLogin;
    s.displayName = r.displayName;
    s.ownAddress = kOwnAddress;
    s.versionLabel = kVersionLabel;
    s.programPath = "/usr/bin/velmora";
    s.options = r.options;
    s.rosterEntries = seededRoster(r);
    s.messages = r.history;
    s.remarks = r.remarks;
    return s;
}

Profile parsed(const QByteArray& content) {
    Profile p;
    p.parse(content);
    return p;
}

// Saves `r` into `profile`, then reads the serialized result back.
Read saveAndReadBack(Profile& profile, const Read& r) {
    saveAllSettings(profile, snapshotOf(r));
    return readAll(parsed(profile.serialize()));
}

// What the file keeps of a text value that holdsExactly refuses.
QByteArray keptText(const QByteArray& value) {
    QByteArray t = value;
    for (char& c : t)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    qsizetype b = 0;
    qsizetype e = t.size();
    while (b < e && (t[b] == ' ' || t[b] == '\t'))
        ++b;
    while (e > b && (t[e - 1] == ' ' || t[e - 1] == '\t'))
        --e;
    return t.mid(b, e - b);
}

QByteArray expectedText(const QByteArray& value) {
    return Profile::holdsExactly(value) ? value : keptText(value);
}

void reportText(const char* what, const QByteArray& expected, const QByteArray& got) {
    std::fprintf(stderr, "%s: expected \"%s\", got \"%s\"\n", what, shown(expected).constData(),
                 shown(got).constData());
}

#define SAME_TEXT(what, expected, got)                                                             \
    do {                                                                                           \
        if ((expected) != (got)) reportText(what, expected, got);                                  \
        FUZZ_CHECK((expected) == (got));                                                           \
    } while (false)

#define SAME_FIELD(field)                                                                          \
    do {                                                                                           \
        if (a.field != b.field) std::fprintf(stderr, "option %s differs\n", #field);               \
        FUZZ_CHECK(a.field == b.field);                                                            \
    } while (false)

void checkSameOptions(const Options& a, const Options& b) {
    SAME_FIELD(showOnNewMessage);
    SAME_FIELD(newMessageSound);
    SAME_FIELD(showOnStatusChange);
    SAME_FIELD(showOnStartup);
    SAME_FIELD(messagingHidden);
    SAME_FIELD(discussionHidden);
    SAME_FIELD(stampChanges);
    SAME_FIELD(outOnPowerDown);
    SAME_FIELD(exitAsOut);
    SAME_FIELD(stampStartAndEnd);
    SAME_FIELD(sortByColour);
    SAME_FIELD(optionsLocked);
    SAME_FIELD(use24HourClock);
    SAME_FIELD(broadcastAddress);
    SAME_FIELD(columns);
    SAME_FIELD(idleTimeoutText);
    SAME_FIELD(nameColumnWidth);
    SAME_FIELD(fontPointSize);
    SAME_FIELD(windowTop);
    SAME_FIELD(windowLeft);
    SAME_FIELD(windowHeight);
    SAME_FIELD(largeHeight);
    SAME_FIELD(rememberedWidth);
    SAME_FIELD(colours.in);
    SAME_FIELD(colours.out);
    SAME_FIELD(colours.busy);
    SAME_FIELD(colours.others);
    SAME_FIELD(colours.idle);
}

void checkSameHistory(const QList<QByteArray>& expected, const QList<QByteArray>& got) {
    if (expected != got) {
        std::fprintf(stderr, "history: %d messages expected, %d read\n", int(expected.size()),
                     int(got.size()));
        for (qsizetype i = 0; i < std::min(expected.size(), got.size()); ++i)
            if (expected[i] != got[i]) reportText("message", expected[i], got[i]);
    }
    FUZZ_CHECK(expected == got);
}

void checkSameArchive(const QList<ArchivedEntry>& a, const QList<ArchivedEntry>& b) {
    FUZZ_CHECK(a.size() == b.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        SAME_TEXT("archived entry", a[i].entry, b[i].entry);
        SAME_TEXT("archived address", a[i].address, b[i].address);
        SAME_TEXT("archived name", a[i].name, b[i].name);
    }
}

void checkSame(const Read& a, const Read& b) {
    SAME_TEXT("display name", a.displayName, b.displayName);
    checkSameOptions(a.options, b.options);
    checkSameArchive(a.archive, b.archive);
    checkSameHistory(a.history, b.history);
    FUZZ_CHECK(a.remarks.size() == b.remarks.size());
    for (qsizetype i = 0; i < a.remarks.size(); ++i)
        SAME_TEXT("remark", a.remarks[i], b.remarks[i]);
}

// The first round, from the file as given to the file as the program wrote it.
void checkFirstRound(const Read& first, const Read& second) {
    const QByteArray name = trimBlanks(expectedText(first.displayName));
    SAME_TEXT("display name", name.isEmpty() ? kLogin : name, second.displayName);

    Options expected = first.options;
    expected.broadcastAddress = expectedText(first.options.broadcastAddress);
    expected.idleTimeoutText = expectedText(first.options.idleTimeoutText);
    checkSameOptions(expected, second.options);

    checkSameHistory(first.history, second.history);

    FUZZ_CHECK(first.remarks.size() == second.remarks.size());
    for (qsizetype i = 0; i < first.remarks.size(); ++i)
        SAME_TEXT("remark", expectedText(first.remarks[i]), second.remarks[i]);

    // Every colleague of the roster whose status says more than In, Out or Busy comes back
    // as the roster held them, in roster order; others may be gone, none is made up.
    const QList<QByteArray> roster = seededRoster(first);
    FUZZ_CHECK(second.archive.size() <= roster.size());
    qsizetype next = 0;
    // Position 0 is the own entry, which a start never takes from the archive.
    for (const QByteArray& e : roster.mid(1)) {
        const qsizetype eq = e.indexOf('=');
        const qsizetype sep = e.indexOf(kSep);
        if (eq < 1 || sep < 4 || eq > sep || e.size() - sep - 1 < 3) continue;
        const char code = e[sep + 1];
        if (code == 'f' || code == 'g' || code == 'r') continue;
        if (!Profile::holdsExactly(e) || e.size() > Profile::kReadLimit) continue;
        while (next < second.archive.size() && second.archive[next].entry != e)
            ++next;
        if (next == second.archive.size()) {
            std::fprintf(stderr, "archived entry \"%s\" was lost; read back:\n",
                         shown(e).constData());
            for (const ArchivedEntry& a : second.archive)
                std::fprintf(stderr, "  \"%s\"\n", shown(a.entry).constData());
        }
        FUZZ_CHECK(next < second.archive.size());
        SAME_TEXT("archived address", e.left(eq), second.archive[next].address);
        SAME_TEXT("archived name", e.mid(eq + 1, sep - eq - 1), second.archive[next].name);
        ++next;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Read as a file is read: the newest whole copy of an interrupted rewrite in place wins.
    const QByteArray input = SettingsFile::settled(fuzz::bytes(data, size));
    Profile loaded = parsed(input);

    // The profile layer alone: what it serializes, it parses to the same profile.
    const QByteArray once = loaded.serialize();
    SAME_TEXT("serialized profile", once, parsed(once).serialize());

    const Read first = readAll(loaded);
    Profile fresh;
    const Read second = saveAndReadBack(fresh, first);
    checkFirstRound(first, second);

    // Saving over the loaded file, as the program does, reads back the same as a fresh file:
    // other users' and unknown sections must not leak into what the program reads.
    checkSame(second, saveAndReadBack(loaded, first));

    // From the program's own file on, nothing changes any more.
    Profile again;
    const Read third = saveAndReadBack(again, second);
    Read thirdWithoutArchive = third;
    thirdWithoutArchive.archive = second.archive; // the own name settled only in round two
    checkSame(second, thirdWithoutArchive);
    Profile last;
    checkSame(third, saveAndReadBack(last, third));
    return 0;
}

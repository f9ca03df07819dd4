// A running core fed with a sequence of datagrams and timer steps, as the receiver thread and
// the two timers would feed it.
//
// The input is split at NUL bytes (a datagram is text and never carries one) into records.
// A first record that starts with "[" is the settings file the core starts from. Every other
// record's first byte says what happens, the rest is its payload:
//   '0'..'7'  the payload arrives as a datagram from one of eight addresses ('0' is our own)
//   'S'       a second passes          'T'  ten seconds pass       'I'  sixteen minutes pass
//   'U'       the user presses a key   'K'  a key typed on the status list (payload[0])
//   'A'       the user announces a status: payload[0] is the colour code, the rest the text
//   'R'       "Refresh All Programs"   'P'  the broadcast-address command with the payload
//   'W'       the settings are saved and the program starts again from the saved file
// Anything else is ignored, so that mutations stay meaningful.
//
// The core never listens and sends only to a closed port on 127.0.0.1; the clock is a
// ManualClock that only the records move.

#include "FuzzSupport.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "core/presence/Presence.h"
#include "core/presence/StatusSort.h"
#include "core/settings/Profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <set>

using namespace velmora;
using velmora::fuzz::shown;

namespace {

constexpr const char* kSources[] = {"10.0.0.5",  "10.0.0.6",   "10.0.0.7",     "10.0.0.50",
                                    "127.0.0.1", "10.0.0.255", "192.168.1.20", "10.0.0.8"};
constexpr const char* kOwnAddress = "10.0.0.5";
// Ticks of the one-second timer one input may ask for: enough to go idle three times over,
// few enough that an input never takes seconds.
constexpr int kTickBudget = 3000;

const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 5));

struct Workspace {
    QTemporaryDir dir;
    QString settingsPath;
    Workspace() { settingsPath = dir.filePath(QStringLiteral("vlx.ini")); }
};

Workspace& workspace() {
    static Workspace* w = new Workspace;
    return *w;
}

CoreConfig makeConfig() {
    CoreConfig config;
    config.settingsPath = workspace().settingsPath;
    config.ownAddress = kOwnAddress;
    config.loginName = "OPERATOR";
    config.listenPort = 0; // never listens
    config.remoteIP = "127.0.0.1";
    config.remotePort = 9; // discard: nothing listens there
    config.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    config.tickTimer = false; // the records tick
    return config;
}

std::unique_ptr<Core> startCore(const ManualClock& clock) {
    auto core = std::make_unique<Core>(makeConfig(), clock);
    core->startUp();
    core->finishStartUp();
    return core;
}

// What the status list and the relay rely on, whatever arrived.
void checkRoster(Core& core) {
    const Roster& roster = core.roster();
    FUZZ_CHECK(roster.count() >= 1);
    FUZZ_CHECK(roster.nameIndex().size() == roster.entries().size());
    for (const QByteArray& e : roster.entries())
        FUZZ_CHECK(e.contains(kSep));
    FUZZ_CHECK(roster.displayOrder().size() == roster.entries().size());
    std::set<int> positions;
    for (const SortKey& k : roster.displayOrder()) {
        FUZZ_CHECK(k.position >= 0 && k.position < roster.count());
        positions.insert(k.position);
    }
    FUZZ_CHECK(positions.size() == std::size_t(roster.count()));
    FUZZ_CHECK(core.messages().size() <= 5000);
}

// The lookups by address and by name find what a scan from the top would: the first text whose
// field before its first "=" is the same, ASCII letter case ignored for addresses, Windows-1252
// letter case for names.
void checkLookups(Core& core) {
    const Roster& roster = core.roster();
    const auto field = [](const QByteArray& text) {
        const qsizetype eq = text.indexOf('=');
        return eq < 0 ? text : text.left(eq);
    };
    const auto asciiFolded = [](QByteArray text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = char(c + 32);
        return text;
    };
    QHash<QByteArray, int> firstAddress;
    QHash<QByteArray, int> firstName;
    for (int i = roster.count() - 1; i >= 0; --i) {
        firstAddress[asciiFolded(field(roster.entries()[i]))] = i;
        firstName[foldAnsiCase(field(roster.nameIndex()[i]))] = i;
    }
    for (int i = 0; i < roster.count(); ++i) {
        const QByteArray address = field(roster.entries()[i]);
        const QByteArray name = field(roster.nameIndex()[i]);
        FUZZ_CHECK(roster.findAddress(address) == firstAddress.value(asciiFolded(address)));
        FUZZ_CHECK(roster.findName(name) == firstName.value(foldAnsiCase(name)));
    }
}

// The display order the sorts kept up to date one change at a time is the order a sort from
// scratch gives. Keys differ between different rows' places only where the order is free.
void checkOrder(Core& core) {
    core.resortStatusList(); // as after every announcement: the order in use is now known
    Roster& roster = core.roster();
    const bool byColour = core.options().sortByColour;
    const char onTop = core.onTopLetter();
    const auto keys = [&] {
        QList<QByteArray> k;
        for (const SortKey& row : roster.displayOrder()) {
            const QByteArray& e = roster.entries()[row.position];
            k.append(byColour ? colourSortKey(e) : nameSortKey(e, onTop));
        }
        return k;
    };
    const QList<QByteArray> kept = keys();
    // A change of locale makes the next sort start from nothing.
    sortDisplayOrder(roster, byColour, onTop, QLocale::c());
    sortDisplayOrder(roster, byColour, onTop, QLocale());
    const QList<QByteArray> fresh = keys();
    if (kept != fresh) {
        std::fprintf(stderr, "display order kept up to date:\n");
        for (const QByteArray& k : kept)
            std::fprintf(stderr, "  %s\n", shown(k).constData());
        std::fprintf(stderr, "sorted afresh:\n");
        for (const QByteArray& k : fresh)
            std::fprintf(stderr, "  %s\n", shown(k).constData());
    }
    FUZZ_CHECK(kept == fresh);
}

// What a save followed by a start keeps: every message (each comes back ending in CR LF), the
// remark list and the broadcast address where the file can hold them exactly.
struct Kept {
    QList<QByteArray> messages;
    QList<QByteArray> remarks;
    QByteArray broadcastAddress;
    QByteArray displayName;
};

Kept keptBy(Core& core) {
    Kept k;
    for (const QByteArray& m : core.messages())
        k.messages.append(m.isEmpty() || m.endsWith("\r\n") ? m : m + "\r\n");
    k.remarks = core.remarks();
    k.broadcastAddress = core.presence().broadcastAddress();
    k.displayName = core.own().displayName;
    return k;
}

bool exact(const QByteArray& value) {
    return Profile::holdsExactly(value) && value.size() <= Profile::kReadLimit;
}

void checkKept(const Kept& before, Core& core) {
    const QList<QByteArray>& messages = core.messages();
    if (messages != before.messages) {
        std::fprintf(stderr, "messages before the restart: %d, after: %d\n",
                     int(before.messages.size()), int(messages.size()));
        for (qsizetype i = 0; i < std::min(messages.size(), before.messages.size()); ++i)
            if (messages[i] != before.messages[i])
                std::fprintf(stderr, "message %d was\n  %s\nand is\n  %s\n", int(i),
                             shown(before.messages[i]).constData(), shown(messages[i]).constData());
    }
    FUZZ_CHECK(messages == before.messages);
    bool remarksExact = !before.remarks.isEmpty();
    for (const QByteArray& r : before.remarks)
        remarksExact = remarksExact && exact(r);
    if (remarksExact) FUZZ_CHECK(core.remarks() == before.remarks);
    if (exact(before.broadcastAddress))
        FUZZ_CHECK(core.presence().broadcastAddress() == before.broadcastAddress);
    if (exact(before.displayName) && trimBlanks(before.displayName) == before.displayName &&
        !before.displayName.isEmpty())
        FUZZ_CHECK(core.own().displayName == before.displayName);
}

void ticks(Core& core, ManualClock& clock, int count, int& budget) {
    for (int i = 0; i < count && budget > 0; ++i, --budget) {
        clock.advance(1000);
        core.everySecond();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::ensureApplication();
    // The status list sorts by the locale's text order; an office's desktop is rarely "C".
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    workspace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QList<QByteArray> records = fuzz::bytes(data, size).split('\0');
    const QString& path = workspace().settingsPath;
    QFile::remove(path);
    if (!records.isEmpty() && records.first().startsWith('[')) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(records.first());
        records.removeFirst();
    }

    ManualClock clock(kStart);
    std::unique_ptr<Core> core = startCore(clock);
    checkRoster(*core);
    int budget = kTickBudget;

    for (const QByteArray& record : records) {
        if (record.isEmpty()) continue;
        const char op = record[0];
        const QByteArray payload = record.mid(1);
        switch (op) {
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
            // The receiver's path: exceptions of a datagram's handling are dropped there.
            core->onDatagramReceived(nullptr, payload.constData(), int(payload.size()),
                                     kSources[op - '0'], 55555);
            break;
        case 'S':
            ticks(*core, clock, 1, budget);
            break;
        case 'T':
            ticks(*core, clock, 10, budget);
            core->everyTenSeconds();
            break;
        case 'I':
            ticks(*core, clock, 16 * 60, budget);
            break;
        case 'U':
            core->reportedInput().reportKeyOrButton();
            break;
        case 'K':
            core->typedLetter(payload.isEmpty() ? ' ' : payload[0]);
            break;
        case 'A': {
            const bool stamp = core->options().stampChanges;
            core->presence().announceOwnStatus(
                payload.isEmpty() ? StatusCode::In : fromWire(payload[0]), payload.mid(1),
                {.stamp = stamp, .renewStamp = stamp});
            break;
        }
        case 'R':
            core->presence().refreshStatusList();
            break;
        case 'P': {
            const QByteArray before = core->presence().broadcastAddress();
            const bool sent = core->presence().sendBroadcastProposal(payload);
            FUZZ_CHECK(sent == Presence::isProperBroadcastAddress(payload));
            // Only the other copies' answer changes the address this copy keeps.
            FUZZ_CHECK(core->presence().broadcastAddress() == before);
            break;
        }
        case 'W': {
            const Kept before = keptBy(*core);
            FUZZ_CHECK(core->saveAllSettings());
            core.reset();
            core = startCore(clock);
            checkKept(before, *core);
            break;
        }
        default:
            break;
        }
        checkRoster(*core);
    }
    checkLookups(*core);
    checkOrder(*core);
    checkRoster(*core);
    return 0;
}

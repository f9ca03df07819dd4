#include "core/settings/Settings.h"

#include "support/SettingsFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::makeSnapshot;
using test::parsed;

constexpr int kDesignedWidth = 500;
constexpr int kDesignedHeight = 300;
constexpr int kScreenLarge = 700;

Options read(const Profile& profile) {
    return readOptions(profile, kDesignedWidth, kDesignedHeight, kScreenLarge);
}

Options readVlx(const QByteArray& lines) {
    return read(parsed("[VLX]\n" + lines));
}

// The options as the writer stores them: every field of Options becomes one key, so equal
// texts mean equal options, and a difference shows by key name.
QByteArray written(const Options& options) {
    SettingsSnapshot snapshot = makeSnapshot();
    snapshot.options = options;
    Profile profile;
    saveAllSettings(profile, snapshot);
    return profile.serialize();
}

// What loading gives back for a saved message: every line is followed by CR LF.
QByteArray asLoaded(const QByteArray& message) {
    return message.isEmpty() || message.endsWith("\r\n") ? message : message + "\r\n";
}

QList<QByteArray> saveAndReloadHistory(const QList<QByteArray>& messages) {
    Profile profile;
    SettingsSnapshot snapshot = makeSnapshot();
    snapshot.messages = messages;
    saveAllSettings(profile, snapshot);
    return readMessageHistory(parsed(profile.serialize()));
}

TEST(SettingsTest, FirstStartGivesTheDefaults) {
    const Profile empty;
    Options expected;
    expected.rememberedWidth = kDesignedWidth;
    expected.largeHeight = kScreenLarge; // the default 261 is not above the designed height
    EXPECT_EQ(written(read(empty)), written(expected));
    EXPECT_EQ(readOptions(empty, kDesignedWidth, 200, kScreenLarge).largeHeight, 261);
    EXPECT_EQ(readDisplayName(empty, "OPERATOR"), "OPERATOR");
    EXPECT_TRUE(readRosterArchive(empty).isEmpty());
    EXPECT_TRUE(readMessageHistory(empty).isEmpty());
    EXPECT_FALSE(readRemarkList(empty).has_value());
}

TEST(SettingsTest, OnlyTheExactTextOneIsTrue) {
    EXPECT_TRUE(readVlx("msg1=1").showOnNewMessage);
    EXPECT_TRUE(
        readVlx("msg1=  1\t").showOnNewMessage); // the file's blanks are not part of the value
    for (const char* value : {"0", "", "yes", "true", "01", "1x", "-1", "I"})
        EXPECT_FALSE(readVlx(QByteArray("msg1=") + value).showOnNewMessage) << value;
    EXPECT_TRUE(readVlx("stChg=1").showOnStatusChange);
    EXPECT_FALSE(readVlx("stChg=0").showOnStatusChange);
    EXPECT_TRUE(read(parsed("[INFO]\nLOCK=1")).optionsLocked);
    EXPECT_FALSE(read(parsed("[Info]\nlock=on")).optionsLocked);
    EXPECT_FALSE(readVlx("lock=1").optionsLocked); // the lock lives in Info, not in VLX
}

TEST(SettingsTest, NumbersAndTextsFallBackSensibly) {
    const Options o = read(parsed("[VLX]\nCols=x\nnamesize=abc\ntop=-40\nleft=\nw=wide\n"
                                  "IPAdr=10.77.0.255\nsize=12\nh=Sm\n"
                                  "[Color]\nIn=blue\nOut=-1\nBusy=16777216\nRest=255\n"));
    EXPECT_EQ(o.columns, 0);
    EXPECT_EQ(o.nameColumnWidth, 8);
    EXPECT_EQ(o.windowTop, -40);
    EXPECT_EQ(o.windowLeft, 20);
    EXPECT_EQ(o.rememberedWidth, kDesignedWidth);
    EXPECT_EQ(o.broadcastAddress, "10.77.0.255");
    EXPECT_EQ(o.fontPointSize, 12);
    EXPECT_EQ(o.windowHeight, WindowHeight::Medium);
    EXPECT_EQ(o.colours.in, 65280u);
    EXPECT_EQ(o.colours.out, 255u);
    EXPECT_EQ(o.colours.busy, 16711935u);
    EXPECT_EQ(o.colours.others, 255u);
    EXPECT_EQ(o.colours.idle, 12632256u);

    // Words and sizes the Height and Font size boxes do not offer leave them as they start.
    EXPECT_EQ(readVlx("h=").windowHeight, WindowHeight::Medium);
    EXPECT_EQ(readVlx("h=Big").windowHeight, WindowHeight::Medium);
    EXPECT_EQ(readVlx("h=Large").windowHeight, WindowHeight::Large);
    EXPECT_EQ(readVlx("h=Small").windowHeight, WindowHeight::Small);
    for (const char* size : {"x", "", "9", "012"})
        EXPECT_EQ(readVlx(QByteArray("size=") + size).fontPointSize, 8) << size;
    EXPECT_EQ(readVlx("size=10").fontPointSize, 10);
    EXPECT_EQ(readVlx("Cols=2").columns, 2);

    // The Idle Timeout text comes back as stored; the idle rule applies it at start.
    EXPECT_EQ(readVlx("idle=2 0 min").idleTimeoutText, "2 0 min");
    EXPECT_EQ(readVlx("").idleTimeoutText, "15");

    // The stored large height counts only when above the designed height.
    EXPECT_EQ(readVlx("bigH=250").largeHeight, kScreenLarge);
    EXPECT_EQ(readVlx("bigH=300").largeHeight, kScreenLarge);
    EXPECT_EQ(readVlx("bigH=301").largeHeight, 301);
    EXPECT_EQ(readVlx("bigH=junk").largeHeight, kScreenLarge);
}

TEST(SettingsTest, SavedOptionsComeBack) {
    SettingsSnapshot snapshot = makeSnapshot();
    Options& o = snapshot.options;
    o.showOnNewMessage = false;
    o.notifyDesktop = false;
    o.idleOnLock = false;
    o.showOnStatusChange = true;
    o.messagingHidden = true;
    o.discussionHidden = true;
    o.sortByColour = false;
    o.optionsLocked = true;
    o.broadcastAddress = "10.77.0.255";
    o.columns = 2;
    o.idleTimeoutText = "0";
    o.nameColumnWidth = 93;
    o.fontPointSize = 10;
    o.windowTop = -12;
    o.windowLeft = 1900;
    o.windowHeight = WindowHeight::Large;
    o.largeHeight = 680;
    o.rememberedWidth = 640;
    o.colours.others = 12345;

    Profile profile;
    saveAllSettings(profile, snapshot);
    EXPECT_EQ(written(read(parsed(profile.serialize()))), written(o));
}

TEST(SettingsTest, SaveRewritesItsSectionsAndKeepsTheRest) {
    Profile profile = parsed("[VLX]\nold=1\nmsgOn=1\n[VLXBOB]\nname=Bob\n[Extra]\nk=v\n"
                             "[ipList]\ncnt=9\n8=stale\xF7stale\xF7ystale\n"
                             "[VLXMsgs]\n0=.x\n1=^\n2=.stale\n");
    saveAllSettings(profile, makeSnapshot());

    EXPECT_EQ(profile.keyNames("VLX"),
              (QList<QByteArray>{"IPAdr",     "name",     "msg1",       "msgSnd",    "msgNtfy",
                                 "stChg",     "strtShw",  "msgOn",      "discuss",   "ShwTime",
                                 "shtdwnOut", "DelbsyIn", "TimeStrEnd", "colorSort", "Cols",
                                 "idle",      "namesize", "size",       "top",       "left",
                                 "h",         "bigH",     "w",          "clock24",   "lockIdle"}));
    EXPECT_EQ(profile.readSetting("VLX", "name", {}), "/usr/bin/velmora");
    EXPECT_EQ(profile.readSetting("VLXBOB", "name", {}), "Bob");
    EXPECT_EQ(profile.readSetting("Extra", "k", {}), "v");
    EXPECT_EQ(profile.keyNames("Info"), (QList<QByteArray>{"lock", "IP", "v", "d"}));
    EXPECT_EQ(profile.readSetting("Info", "IP", {}), "10.77.0.1");
    EXPECT_EQ(profile.readSetting("Info", "d", {}), "Aug 4, 2001");
    EXPECT_TRUE(profile.serialize().contains("\r\nv= Dazuviz Velmora 2.9\r\n"));
    // An empty roster and history leave nothing of the old ones behind.
    EXPECT_EQ(profile.keyNames("ipList"), QList<QByteArray>{"cnt"});
    EXPECT_EQ(profile.readSetting("ipList", "cnt", {}), "1");
    EXPECT_FALSE(profile.hasKey("VLXMsgs", "0"));
    EXPECT_EQ(profile.keyNames("Color"),
              (QList<QByteArray>{"In", "Out", "Busy", "Rest", "inActive"}));
}

TEST(SettingsTest, TwoUsersKeepTheirOwnDisplayNames) {
    Profile profile;
    SettingsSnapshot alice = makeSnapshot("ALICE");
    alice.displayName = "Alice A.";
    alice.options.columns = 2;
    saveAllSettings(profile, alice);
    SettingsSnapshot bob = makeSnapshot("BOB");
    bob.displayName = "Bob";
    saveAllSettings(profile, bob);

    const Profile reread = parsed(profile.serialize());
    EXPECT_EQ(readDisplayName(reread, "ALICE"), "Alice A.");
    EXPECT_EQ(readDisplayName(reread, "BOB"), "Bob");
    EXPECT_EQ(readDisplayName(reread, "CAROL"), "CAROL");
    EXPECT_EQ(read(reread).columns, 0); // everything else is shared: the last save wins

    EXPECT_EQ(readDisplayName(parsed("[VLXDAN]\nname=\x01 Dan \x02"), "DAN"), "Dan");
    EXPECT_EQ(readDisplayName(parsed("[VLXDAN]\nname=   "), "DAN"), "DAN");
    EXPECT_EQ(readDisplayName(parsed("[VLXDAN]\nname="), "DAN"), "DAN");
}

TEST(SettingsTest, ArchiveKeepsOnlyRemarksAndIdleOfThoseGone) {
    SettingsSnapshot snapshot = makeSnapshot();
    snapshot.rosterEntries = {"10.0.0.1=Own\xF7gIn 9:00", "10.0.0.2=Bert\xF7rOut",
                              "10.0.0.3=Cara\xF7"
                              "fBusy",
                              "10.0.0.4=Dana\xF7yOn vacation", "10.0.0.5=Emil\xF7sIdle **"};
    Profile profile;
    saveAllSettings(profile, snapshot);
    EXPECT_EQ(profile.readSetting("ipList", "0", {}), "10.0.0.1\xF7Own");
    EXPECT_EQ(profile.readSetting("ipList", "3", {}), "10.0.0.4\xF7"
                                                      "Dana\xF7yOn vacation");
    EXPECT_EQ(profile.readSetting("ipList", "cnt", {}), "5");

    const QList<ArchivedEntry> archive = readRosterArchive(parsed(profile.serialize()));
    ASSERT_EQ(archive.size(), 2);
    EXPECT_EQ(archive[0].entry, "10.0.0.4=Dana\xF7yOn vacation");
    EXPECT_EQ(archive[0].address, "10.0.0.4");
    EXPECT_EQ(archive[0].name, "Dana");
    EXPECT_EQ(archive[1].entry, "10.0.0.5=Emil\xF7sIdle **");
}

TEST(SettingsTest, ArchiveEntriesNeedTheirFullForm) {
    const Profile profile = parsed("[ipList]\ncnt=9\n"
                                   "0=\xF7"
                                   "Anna\xF7yAway\n" // no address
                                   "1=1\xF7"
                                   "ab\xF7yAb\n" // shortest form taken
                                   "2=1\xF7"
                                   "a\xF7yAbc\n" // name separator too early
                                   "3=1\xF7"
                                   "ab\xF7yA\n"           // status too short
                                   "4=10.0.0.9\xF7Name\n" // no status part
                                   "6=nothing to split\n" // 5 is missing
                                   "7=1.2\xF7\xF7yAway\n" // empty name, yet long enough
                                   "8=9.9.9.9\xF7Zed\xF7y\xF7x\n");
    const QList<ArchivedEntry> archive = readRosterArchive(profile);
    ASSERT_EQ(archive.size(), 3);
    EXPECT_EQ(archive[0].entry, "1=ab\xF7yAb");
    EXPECT_EQ(archive[0].address, "1");
    EXPECT_EQ(archive[0].name, "ab");
    EXPECT_EQ(archive[1].name, "");
    EXPECT_EQ(archive[2].entry, "9.9.9.9=Zed\xF7y\xF7x");

    EXPECT_TRUE(readRosterArchive(parsed("[ipList]\ncnt=1\n0=1\xF7"
                                         "ab\xF7yAb\n"))
                    .isEmpty());
    EXPECT_TRUE(readRosterArchive(parsed("[ipList]\ncnt=x\n0=1\xF7"
                                         "ab\xF7yAb\n"))
                    .isEmpty());
    EXPECT_EQ(readRosterArchive(parsed("[ipList]\ncnt=2\n0=1\xF7"
                                       "ab\xF7yAb\n"))
                  .size(),
              1);
}

TEST(SettingsTest, MessagesKeepTheirLines) {
    Profile profile;
    SettingsSnapshot snapshot = makeSnapshot();
    snapshot.messages = {"Hello\r\nWorld"};
    saveAllSettings(profile, snapshot);
    EXPECT_EQ(profile.keyNames("VLXMsgs"), (QList<QByteArray>{"0", "1", "2"}));
    EXPECT_EQ(profile.readRaw("VLXMsgs", "0", {}), scrambleLine(".Hello"));
    EXPECT_EQ(profile.readRaw("VLXMsgs", "2", {}), "^");
    EXPECT_EQ(readMessageHistory(parsed(profile.serialize())),
              QList<QByteArray>{"Hello\r\nWorld\r\n"});

    const QByteArray longLine(300, 'L');
    const QList<QByteArray> messages = {"a\r\n", "", "x\r\n\r\ny", longLine, "\r\n"};
    QList<QByteArray> expected;
    for (const QByteArray& m : messages)
        expected.append(asLoaded(m));
    EXPECT_EQ(saveAndReloadHistory(messages), expected);
}

TEST(SettingsTest, AnyBytesInAMessageComeBackExactly) {
    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes += static_cast<char>(b);
    // Bytes that a mask turns into CR, LF or NUL, and line ends that turn into a blank.
    QByteArray maskHits;
    for (char mask : {'\x1C', '\x1E'})
        for (char target : {'\r', '\n', '\0', ' ', '\t'})
            maskHits += static_cast<char>(mask ^ target);
    const QList<QByteArray> messages = {"tab\there\t",
                                        "lone\rCR and lone\nLF",
                                        QByteArray("nul\0inside", 10),
                                        "sep\xF7\xFF\x80",
                                        "ends in blank ",
                                        " starts with blank",
                                        "arrow ->",
                                        "less <",
                                        "^",
                                        "~not exact",
                                        "%41%",
                                        ".",
                                        "[VLX]\r\nmsgOn=1",
                                        "key=value",
                                        "x" + maskHits + "y" + maskHits,
                                        allBytes,
                                        "\r\r\n\n\r"};
    QList<QByteArray> expected;
    for (const QByteArray& m : messages)
        expected.append(asLoaded(m));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    Profile profile;
    SettingsSnapshot snapshot = makeSnapshot();
    snapshot.messages = messages;
    saveAllSettings(profile, snapshot);
    ASSERT_TRUE(profile.save(path));
    Profile loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_EQ(readMessageHistory(loaded), expected);

    QRandomGenerator random(42);
    QList<QByteArray> noise;
    for (int i = 0; i < 300; ++i) {
        QByteArray m(random.bounded(40), '\0');
        for (char& c : m)
            c = static_cast<char>(random.bounded(256));
        noise.append(m);
    }
    expected.clear();
    for (const QByteArray& m : noise)
        expected.append(asLoaded(m));
    EXPECT_EQ(saveAndReloadHistory(noise), expected);
}

TEST(SettingsTest, PlainStoredLinesLoad) {
    // As a writer that stores every line in the plain form would leave them; the last message
    // lacks its "^" and is dropped, and nothing after the first missing key is read.
    QByteArray content = "[VLXMsgs]\r\n";
    const QList<QByteArray> values = {
        scrambleLine(".First line"), scrambleLine(".second"), "^", scrambleLine(".only"), "^",
        scrambleLine(".unended")};
    for (qsizetype i = 0; i < values.size(); ++i)
        content += QByteArray::number(i) + "=" + values[i] + "\r\n";
    content += "7=" + scrambleLine(".after the gap") + "\r\n8=^\r\n";
    EXPECT_EQ(readMessageHistory(parsed(content)),
              (QList<QByteArray>{"First line\r\nsecond\r\n", "only\r\n"}));
}

TEST(SettingsTest, StoredLineForms) {
    // Ordinary text keeps the plain form, which any reader of the file understands.
    for (const char* line : {"Meeting at 10?", "", "Back at 3.", "x", "a=b [c] ;#"})
        EXPECT_EQ(encodeMessageLine(line), scrambleLine(QByteArray(".") + line)) << line;
    // Lines whose plain form would end in a blank or hold a NUL, at either mask's position.
    for (const char* line : {"arrow ->", "abc <", "a\x1E", "ab\x1C"}) {
        const QByteArray stored = encodeMessageLine(line);
        EXPECT_NE(stored.front(), '.') << line;
        EXPECT_TRUE(Profile::holdsExactly(stored)) << line;
        EXPECT_EQ(decodeMessageLine(stored), line);
    }
}

TEST(SettingsTest, ScrambleLineIsItsOwnInverse) {
    EXPECT_EQ(scrambleLine(""), "");
    EXPECT_EQ(scrambleLine("\x1E"), "\x1E");
    const QByteArray text = "abcdefgh";
    const QByteArray scrambled = scrambleLine(text);
    EXPECT_EQ(scrambled.front(), 'a');
    const char even = static_cast<char>(scrambled[1] ^ text[1]);
    const char odd = static_cast<char>(scrambled[2] ^ text[2]);
    for (qsizetype i = 1; i < text.size(); ++i)
        EXPECT_EQ(scrambled[i] ^ text[i], i % 2 == 1 ? even : odd) << i;
    for (char mask : {even, odd}) {
        EXPECT_NE(mask, 0);
        EXPECT_LT(static_cast<unsigned char>(mask), 0x20);
    }

    QRandomGenerator random(7);
    for (int i = 0; i < 200; ++i) {
        QByteArray t(random.bounded(1, 64), '\0');
        for (char& c : t)
            c = static_cast<char>(random.bounded(256));
        EXPECT_EQ(scrambleLine(t).front(), t.front());
        EXPECT_EQ(scrambleLine(scrambleLine(t)), t);
    }
}

TEST(SettingsTest, RemarkListOnlyWhenCounted) {
    EXPECT_FALSE(readRemarkList(parsed("[VLXlb]\n0=lonely\n")).has_value());
    EXPECT_EQ(readRemarkList(parsed("[VLXlb]\ncnt=0\n0=lonely\n")), QList<QByteArray>{"lonely"});
    EXPECT_FALSE(readRemarkList(parsed("[VLXlb]\ncnt=0\n")).has_value());
    EXPECT_FALSE(readRemarkList(parsed("[VLXlb]\ncnt=-1\n")).has_value());
    EXPECT_EQ(readRemarkList(parsed("[VLXlb]\ncnt=abc\n0=a\n1=b\n2=c\n")),
              (QList<QByteArray>{"a", "b"}));
    EXPECT_EQ(readRemarkList(parsed("[VLXlb]\ncnt=2\n0=a\n1=b\n")),
              (QList<QByteArray>{"a", "b", ""}));

    Profile profile;
    SettingsSnapshot snapshot = makeSnapshot();
    snapshot.remarks = {"At lunch", "On vacation", "In a meeting", "Gone home"};
    saveAllSettings(profile, snapshot);
    snapshot.remarks = {"At lunch", "Back soon"};
    saveAllSettings(profile, snapshot);
    EXPECT_EQ(readRemarkList(profile), snapshot.remarks);
    EXPECT_TRUE(profile.hasKey("VLXlb", "3")); // stale, and ignored
    snapshot.remarks = {"Only one"};
    saveAllSettings(profile, snapshot);
    EXPECT_EQ(readRemarkList(parsed(profile.serialize())), snapshot.remarks);
    snapshot.remarks = {};
    saveAllSettings(profile, snapshot);
    EXPECT_FALSE(readRemarkList(profile).has_value());
}

// A second, independent INI reader must see the same sections, keys and values.
TEST(SettingsTest, SavedFileReadsCleanlyElsewhere) {
    SettingsSnapshot snapshot = makeSnapshot();
    for (int i = 0; i < 300; ++i)
        snapshot.rosterEntries.append("10.2." + QByteArray::number(i) + "=Person " +
                                      QByteArray::number(i) + "\xF7" +
                                      (i % 3 ? "yOn vacation **" : "gIn"));
    snapshot.messages = {"Hello\r\nWorld", "tab\tand\rCR", "arrow ->", "\xF7\xFF"};
    snapshot.remarks = {"At lunch", "Out sick"};
    Profile profile = parsed("[Extra]\nkey=value\n[VLXBOB]\nname=Bob\n");
    saveAllSettings(profile, snapshot);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    ASSERT_TRUE(profile.save(path));

    static constexpr char kScript[] = R"(
import configparser, json, sys
parser = configparser.ConfigParser(strict=True, interpolation=None)
with open(sys.argv[1], encoding="latin-1") as f:
    parser.read_file(f)
print(json.dumps([[s, [[k, v] for k, v in parser.items(s, raw=True)]] for s in parser.sections()]))
)";
    QProcess python;
    python.start(qEnvironmentVariable("VELMORA_TEST_PYTHON", QStringLiteral("python3")),
                 {QStringLiteral("-c"), QString::fromLatin1(kScript), path});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    const QJsonArray sections = QJsonDocument::fromJson(python.readAllStandardOutput()).array();

    const QList<QByteArray> names = profile.sectionNames();
    ASSERT_EQ(sections.size(), names.size());
    for (qsizetype s = 0; s < names.size(); ++s) {
        const QJsonArray section = sections[s].toArray();
        ASSERT_EQ(section[0].toString().toLatin1(), names[s]);
        const QJsonArray keys = section[1].toArray();
        const QList<QByteArray> keyNames = profile.keyNames(names[s]);
        ASSERT_EQ(keys.size(), keyNames.size()) << names[s].constData();
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QJsonArray pair = keys[k].toArray();
            EXPECT_EQ(pair[0].toString().toLatin1(), keyNames[k].toLower());
            // Scrambled message lines may end in bytes the other reader counts as blanks.
            if (names[s] != "VLXMsgs") {
                EXPECT_EQ(pair[1].toString().toLatin1(),
                          profile.readRaw(names[s], keyNames[k], {}));
            }
        }
    }
}

} // namespace
} // namespace velmora

#include "core/settings/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr int kDesignedWidth = 500;
constexpr int kDesignedHeight = 300;
constexpr int kScreenLarge = 700;

TProfile Parsed(const QByteArray& content) {
    TProfile profile;
    profile.Parse(content);
    return profile;
}

TOptions Read(const TProfile& profile) {
    return ReadOptions(profile, kDesignedWidth, kDesignedHeight, kScreenLarge);
}

TOptions ReadVlx(const QByteArray& lines) {
    return Read(Parsed("[VLX]\n" + lines));
}

TSettingsSnapshot Snapshot(const QByteArray& login = "OPERATOR") {
    TSettingsSnapshot s;
    s.loginName = login;
    s.displayName = "Opal Operator";
    s.ownAddress = "10.77.0.1";
    s.versionLabel = kVersionLabel;
    s.programPath = "/usr/bin/velmora";
    return s;
}

// The options as the writer stores them: every field of TOptions becomes one key, so equal
// texts mean equal options, and a difference shows by key name.
QByteArray Written(const TOptions& options) {
    TSettingsSnapshot snapshot = Snapshot();
    snapshot.options = options;
    snapshot.bigHToSave = options.bigH;
    TProfile profile;
    SaveAllSettings(profile, snapshot);
    return profile.Serialize();
}

// What loading gives back for a saved message: every line is followed by CR LF.
QByteArray AsLoaded(const QByteArray& message) {
    return message.isEmpty() || message.endsWith("\r\n") ? message : message + "\r\n";
}

QList<QByteArray> SaveAndReloadHistory(const QList<QByteArray>& messages) {
    TProfile profile;
    TSettingsSnapshot snapshot = Snapshot();
    snapshot.messages = messages;
    SaveAllSettings(profile, snapshot);
    return ReadMessageHistory(Parsed(profile.Serialize()));
}

TEST(SettingsTest, FirstStartGivesTheDefaults) {
    const TProfile empty;
    TOptions expected;
    expected.w = kDesignedWidth;
    expected.bigH = kScreenLarge; // the default 261 is not above the designed height
    EXPECT_EQ(Written(Read(empty)), Written(expected));
    EXPECT_EQ(ReadOptions(empty, kDesignedWidth, 200, kScreenLarge).bigH, 261);
    EXPECT_EQ(ReadDisplayName(empty, "OPERATOR"), "OPERATOR");
    EXPECT_TRUE(ReadRosterArchive(empty).isEmpty());
    EXPECT_TRUE(ReadMessageHistory(empty).isEmpty());
    EXPECT_FALSE(ReadRemarkList(empty).has_value());
}

TEST(SettingsTest, OnlyTheExactTextOneIsTrue) {
    EXPECT_TRUE(ReadVlx("msg1=1").msg1);
    EXPECT_TRUE(ReadVlx("msg1=  1\t").msg1); // the file's blanks are not part of the value
    for (const char* value : {"0", "", "yes", "true", "01", "1x", "-1", "I"})
        EXPECT_FALSE(ReadVlx(QByteArray("msg1=") + value).msg1) << value;
    EXPECT_TRUE(ReadVlx("stChg=1").stChg);
    EXPECT_FALSE(ReadVlx("stChg=0").stChg);
    EXPECT_TRUE(Read(Parsed("[INFO]\nLOCK=1")).lock);
    EXPECT_FALSE(Read(Parsed("[Info]\nlock=on")).lock);
    EXPECT_FALSE(ReadVlx("lock=1").lock); // the lock lives in Info, not in VLX
}

TEST(SettingsTest, NumbersAndTextsFallBackSensibly) {
    const TOptions o = Read(Parsed("[VLX]\nCols=x\nnamesize=abc\ntop=-40\nleft=\nw=wide\n"
                                   "IPAdr=10.77.0.255\nsize=12\nh=Sm\n"
                                   "[Color]\nIn=blue\nOut=-1\nBusy=16777216\nRest=255\n"));
    EXPECT_EQ(o.Cols, 0);
    EXPECT_EQ(o.namesize, 8);
    EXPECT_EQ(o.top, -40);
    EXPECT_EQ(o.left, 20);
    EXPECT_EQ(o.w, kDesignedWidth);
    EXPECT_EQ(o.IPAdr, "10.77.0.255");
    EXPECT_EQ(o.size, "12");
    EXPECT_EQ(o.h, "Medium");
    EXPECT_EQ(o.colours.In, 65280u);
    EXPECT_EQ(o.colours.Out, 255u);
    EXPECT_EQ(o.colours.Busy, 16711935u);
    EXPECT_EQ(o.colours.Rest, 255u);
    EXPECT_EQ(o.colours.inActive, 12632256u);

    EXPECT_EQ(ReadVlx("h=").h, "Medium");
    EXPECT_EQ(ReadVlx("h=Big").h, "Big");
    EXPECT_EQ(ReadVlx("h=Large").h, "Large");
    EXPECT_EQ(ReadVlx("Cols=2").Cols, 2);

    const QList<std::pair<const char*, const char*>> idle = {
        {"2 0 min", "20"}, {"abc", "15"},  {"", "15"},      {"0", "0"},
        {"900", "900"},    {"901", "900"}, {"5000", "900"}, {"99999999999999999999", "900"},
        {"0015", "0015"},  {"-7", "7"}};
    for (const auto& [stored, expected] : idle)
        EXPECT_EQ(ReadVlx(QByteArray("idle=") + stored).idle, expected) << stored;

    // The stored large height counts only when above the designed height.
    EXPECT_EQ(ReadVlx("bigH=250").bigH, kScreenLarge);
    EXPECT_EQ(ReadVlx("bigH=300").bigH, kScreenLarge);
    EXPECT_EQ(ReadVlx("bigH=301").bigH, 301);
    EXPECT_EQ(ReadVlx("bigH=junk").bigH, kScreenLarge);
}

TEST(SettingsTest, SavedOptionsComeBack) {
    TSettingsSnapshot snapshot = Snapshot();
    TOptions& o = snapshot.options;
    o.msg1 = false;
    o.stChg = true;
    o.msgOn = true;
    o.discuss = true;
    o.colorSort = false;
    o.lock = true;
    o.IPAdr = "10.77.0.255";
    o.Cols = 2;
    o.idle = "0";
    o.namesize = 93;
    o.size = "10";
    o.top = -12;
    o.left = 1900;
    o.h = "Large";
    o.w = 640;
    o.colours.Rest = 12345;
    snapshot.bigHToSave = 680;

    TProfile profile;
    SaveAllSettings(profile, snapshot);
    TOptions expected = o;
    expected.bigH = 680;
    EXPECT_EQ(Written(Read(Parsed(profile.Serialize()))), Written(expected));
}

TEST(SettingsTest, SaveRewritesItsSectionsAndKeepsTheRest) {
    TProfile profile = Parsed("[VLX]\nold=1\nmsgOn=1\n[VLXBOB]\nname=Bob\n[Extra]\nk=v\n"
                              "[ipList]\ncnt=9\n8=stale\xF7stale\xF7ystale\n"
                              "[VLXMsgs]\n0=.x\n1=^\n2=.stale\n");
    SaveAllSettings(profile, Snapshot());

    EXPECT_EQ(
        profile.KeyNames("VLX"),
        (QList<QByteArray>{"IPAdr",     "name",    "msg1",    "msgSnd",    "stChg",    "strtShw",
                           "msgOn",     "discuss", "ShwTime", "shtdwnOut", "DelbsyIn", "TimeStrEnd",
                           "colorSort", "Cols",    "idle",    "namesize",  "size",     "top",
                           "left",      "h",       "bigH",    "w",         "clock24"}));
    EXPECT_EQ(profile.ReadSetting("VLX", "name", {}), "/usr/bin/velmora");
    EXPECT_EQ(profile.ReadSetting("VLXBOB", "name", {}), "Bob");
    EXPECT_EQ(profile.ReadSetting("Extra", "k", {}), "v");
    EXPECT_EQ(profile.KeyNames("Info"), (QList<QByteArray>{"lock", "IP", "v", "d"}));
    EXPECT_EQ(profile.ReadSetting("Info", "IP", {}), "10.77.0.1");
    EXPECT_EQ(profile.ReadSetting("Info", "d", {}), "Aug 4, 2001");
    EXPECT_TRUE(profile.Serialize().contains("\r\nv= Dazuviz Velmora 2.9\r\n"));
    // An empty roster and history leave nothing of the old ones behind.
    EXPECT_EQ(profile.KeyNames("ipList"), QList<QByteArray>{"cnt"});
    EXPECT_EQ(profile.ReadSetting("ipList", "cnt", {}), "1");
    EXPECT_FALSE(profile.HasKey("VLXMsgs", "0"));
    EXPECT_EQ(profile.KeyNames("Color"),
              (QList<QByteArray>{"In", "Out", "Busy", "Rest", "inActive"}));
}

TEST(SettingsTest, TwoUsersKeepTheirOwnDisplayNames) {
    TProfile profile;
    TSettingsSnapshot alice = Snapshot("ALICE");
    alice.displayName = "Alice A.";
    alice.options.Cols = 2;
    SaveAllSettings(profile, alice);
    TSettingsSnapshot bob = Snapshot("BOB");
    bob.displayName = "Bob";
    SaveAllSettings(profile, bob);

    const TProfile reread = Parsed(profile.Serialize());
    EXPECT_EQ(ReadDisplayName(reread, "ALICE"), "Alice A.");
    EXPECT_EQ(ReadDisplayName(reread, "BOB"), "Bob");
    EXPECT_EQ(ReadDisplayName(reread, "CAROL"), "CAROL");
    EXPECT_EQ(Read(reread).Cols, 0); // everything else is shared: the last save wins

    EXPECT_EQ(ReadDisplayName(Parsed("[VLXDAN]\nname=\x01 Dan \x02"), "DAN"), "Dan");
    EXPECT_EQ(ReadDisplayName(Parsed("[VLXDAN]\nname=   "), "DAN"), "DAN");
    EXPECT_EQ(ReadDisplayName(Parsed("[VLXDAN]\nname="), "DAN"), "DAN");
}

TEST(SettingsTest, ArchiveKeepsOnlyRemarksAndIdleOfThoseGone) {
    TSettingsSnapshot snapshot = Snapshot();
    snapshot.rosterEntries = {"10.0.0.1=Own\xF7gIn 9:00", "10.0.0.2=Bert\xF7rOut",
                              "10.0.0.3=Cara\xF7"
                              "fBusy",
                              "10.0.0.4=Dana\xF7yOn vacation", "10.0.0.5=Emil\xF7sIdle **"};
    TProfile profile;
    SaveAllSettings(profile, snapshot);
    EXPECT_EQ(profile.ReadSetting("ipList", "0", {}), "10.0.0.1\xF7Own");
    EXPECT_EQ(profile.ReadSetting("ipList", "3", {}), "10.0.0.4\xF7"
                                                      "Dana\xF7yOn vacation");
    EXPECT_EQ(profile.ReadSetting("ipList", "cnt", {}), "5");

    const QList<TArchivedEntry> archive = ReadRosterArchive(Parsed(profile.Serialize()));
    ASSERT_EQ(archive.size(), 2);
    EXPECT_EQ(archive[0].entry, "10.0.0.4=Dana\xF7yOn vacation");
    EXPECT_EQ(archive[0].address, "10.0.0.4");
    EXPECT_EQ(archive[0].name, "Dana");
    EXPECT_EQ(archive[1].entry, "10.0.0.5=Emil\xF7sIdle **");
}

TEST(SettingsTest, ArchiveEntriesNeedTheirFullForm) {
    const TProfile profile = Parsed("[ipList]\ncnt=9\n"
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
    const QList<TArchivedEntry> archive = ReadRosterArchive(profile);
    ASSERT_EQ(archive.size(), 3);
    EXPECT_EQ(archive[0].entry, "1=ab\xF7yAb");
    EXPECT_EQ(archive[0].address, "1");
    EXPECT_EQ(archive[0].name, "ab");
    EXPECT_EQ(archive[1].name, "");
    EXPECT_EQ(archive[2].entry, "9.9.9.9=Zed\xF7y\xF7x");

    EXPECT_TRUE(ReadRosterArchive(Parsed("[ipList]\ncnt=1\n0=1\xF7"
                                         "ab\xF7yAb\n"))
                    .isEmpty());
    EXPECT_TRUE(ReadRosterArchive(Parsed("[ipList]\ncnt=x\n0=1\xF7"
                                         "ab\xF7yAb\n"))
                    .isEmpty());
    EXPECT_EQ(ReadRosterArchive(Parsed("[ipList]\ncnt=2\n0=1\xF7"
                                       "ab\xF7yAb\n"))
                  .size(),
              1);
}

TEST(SettingsTest, ArchiveStopsAfter301Entries) {
    TSettingsSnapshot snapshot = Snapshot();
    for (int i = 0; i < 1000; ++i)
        snapshot.rosterEntries.append("10.1." + QByteArray::number(i) + "=Person " +
                                      QByteArray::number(i) + "\xF7yAway");
    TProfile profile;
    SaveAllSettings(profile, snapshot);
    EXPECT_EQ(profile.ReadSetting("ipList", "cnt", {}), "1000");
    const QList<TArchivedEntry> archive = ReadRosterArchive(profile);
    ASSERT_EQ(archive.size(), 301);
    EXPECT_EQ(archive.last().name, "Person 300");
}

TEST(SettingsTest, MessagesKeepTheirLines) {
    TProfile profile;
    TSettingsSnapshot snapshot = Snapshot();
    snapshot.messages = {"Hello\r\nWorld"};
    SaveAllSettings(profile, snapshot);
    EXPECT_EQ(profile.KeyNames("VLXMsgs"), (QList<QByteArray>{"0", "1", "2"}));
    EXPECT_EQ(profile.ReadRaw("VLXMsgs", "0", {}), ScrambleLine(".Hello"));
    EXPECT_EQ(profile.ReadRaw("VLXMsgs", "2", {}), "^");
    EXPECT_EQ(ReadMessageHistory(Parsed(profile.Serialize())),
              QList<QByteArray>{"Hello\r\nWorld\r\n"});

    const QByteArray longLine(300, 'L');
    const QList<QByteArray> messages = {"a\r\n", "", "x\r\n\r\ny", longLine, "\r\n"};
    QList<QByteArray> expected;
    for (const QByteArray& m : messages)
        expected.append(AsLoaded(m));
    EXPECT_EQ(SaveAndReloadHistory(messages), expected);
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
        expected.append(AsLoaded(m));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    TProfile profile;
    TSettingsSnapshot snapshot = Snapshot();
    snapshot.messages = messages;
    SaveAllSettings(profile, snapshot);
    ASSERT_TRUE(profile.Save(path));
    TProfile loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(ReadMessageHistory(loaded), expected);

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
        expected.append(AsLoaded(m));
    EXPECT_EQ(SaveAndReloadHistory(noise), expected);
}

TEST(SettingsTest, PlainStoredLinesLoad) {
    // As a writer that stores every line in the plain form would leave them; the last message
    // lacks its "^" and is dropped, and nothing after the first missing key is read.
    QByteArray content = "[VLXMsgs]\r\n";
    const QList<QByteArray> values = {
        ScrambleLine(".First line"), ScrambleLine(".second"), "^", ScrambleLine(".only"), "^",
        ScrambleLine(".unended")};
    for (qsizetype i = 0; i < values.size(); ++i)
        content += QByteArray::number(i) + "=" + values[i] + "\r\n";
    content += "7=" + ScrambleLine(".after the gap") + "\r\n8=^\r\n";
    EXPECT_EQ(ReadMessageHistory(Parsed(content)),
              (QList<QByteArray>{"First line\r\nsecond\r\n", "only\r\n"}));
}

TEST(SettingsTest, StoredLineForms) {
    // Ordinary text keeps the plain form, which any reader of the file understands.
    for (const char* line : {"Meeting at 10?", "", "Back at 3.", "x", "a=b [c] ;#"})
        EXPECT_EQ(EncodeMessageLine(line), ScrambleLine(QByteArray(".") + line)) << line;
    // Lines whose plain form would end in a blank or hold a NUL, at either mask's position.
    for (const char* line : {"arrow ->", "abc <", "a\x1E", "ab\x1C"}) {
        const QByteArray stored = EncodeMessageLine(line);
        EXPECT_NE(stored.front(), '.') << line;
        EXPECT_TRUE(TProfile::HoldsExactly(stored)) << line;
        EXPECT_EQ(DecodeMessageLine(stored), line);
    }
}

TEST(SettingsTest, ScrambleLineIsItsOwnInverse) {
    EXPECT_EQ(ScrambleLine(""), "");
    EXPECT_EQ(ScrambleLine("\x1E"), "\x1E");
    const QByteArray text = "abcdefgh";
    const QByteArray scrambled = ScrambleLine(text);
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
        EXPECT_EQ(ScrambleLine(t).front(), t.front());
        EXPECT_EQ(ScrambleLine(ScrambleLine(t)), t);
    }
}

TEST(SettingsTest, RemarkListOnlyWhenCounted) {
    EXPECT_FALSE(ReadRemarkList(Parsed("[VLXlb]\n0=lonely\n")).has_value());
    EXPECT_FALSE(ReadRemarkList(Parsed("[VLXlb]\ncnt=0\n0=lonely\n")).has_value());
    EXPECT_FALSE(ReadRemarkList(Parsed("[VLXlb]\ncnt=-1\n")).has_value());
    EXPECT_EQ(ReadRemarkList(Parsed("[VLXlb]\ncnt=abc\n0=a\n1=b\n2=c\n")),
              (QList<QByteArray>{"a", "b"}));
    EXPECT_EQ(ReadRemarkList(Parsed("[VLXlb]\ncnt=2\n0=a\n1=b\n")),
              (QList<QByteArray>{"a", "b", ""}));

    TProfile profile;
    TSettingsSnapshot snapshot = Snapshot();
    snapshot.remarks = {"At lunch", "On vacation", "In a meeting", "Gone home"};
    SaveAllSettings(profile, snapshot);
    snapshot.remarks = {"At lunch", "Back soon"};
    SaveAllSettings(profile, snapshot);
    EXPECT_EQ(ReadRemarkList(profile), snapshot.remarks);
    EXPECT_TRUE(profile.HasKey("VLXlb", "3")); // stale, and ignored
    snapshot.remarks = {};
    SaveAllSettings(profile, snapshot);
    EXPECT_FALSE(ReadRemarkList(profile).has_value());
}

// A second, independent INI reader must see the same sections, keys and values.
TEST(SettingsTest, SavedFileReadsCleanlyElsewhere) {
    TSettingsSnapshot snapshot = Snapshot();
    for (int i = 0; i < 300; ++i)
        snapshot.rosterEntries.append("10.2." + QByteArray::number(i) + "=Person " +
                                      QByteArray::number(i) + "\xF7" +
                                      (i % 3 ? "yOn vacation **" : "gIn"));
    snapshot.messages = {"Hello\r\nWorld", "tab\tand\rCR", "arrow ->", "\xF7\xFF"};
    snapshot.remarks = {"At lunch", "Out sick"};
    TProfile profile = Parsed("[Extra]\nkey=value\n[VLXBOB]\nname=Bob\n");
    SaveAllSettings(profile, snapshot);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    ASSERT_TRUE(profile.Save(path));

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

    const QList<QByteArray> names = profile.SectionNames();
    ASSERT_EQ(sections.size(), names.size());
    for (qsizetype s = 0; s < names.size(); ++s) {
        const QJsonArray section = sections[s].toArray();
        ASSERT_EQ(section[0].toString().toLatin1(), names[s]);
        const QJsonArray keys = section[1].toArray();
        const QList<QByteArray> keyNames = profile.KeyNames(names[s]);
        ASSERT_EQ(keys.size(), keyNames.size()) << names[s].constData();
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QJsonArray pair = keys[k].toArray();
            EXPECT_EQ(pair[0].toString().toLatin1(), keyNames[k].toLower());
            // Scrambled message lines may end in bytes the other reader counts as blanks.
            if (names[s] != "VLXMsgs") {
                EXPECT_EQ(pair[1].toString().toLatin1(),
                          profile.ReadRaw(names[s], keyNames[k], {}));
            }
        }
    }
}

} // namespace
} // namespace velmora

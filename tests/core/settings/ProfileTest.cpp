#include "core/settings/Profile.h"
#include "support/SettingsFixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace velmora {
namespace {

using test::parsed;
using test::readFile;
using test::writeFile;

TEST(ProfileTest, NamesCompareWithoutRegardToAsciiCase) {
    Profile profile;
    profile.writeSetting("Info", "lock", "1");
    EXPECT_EQ(profile.readSetting("INFO", "LOCK", "0"), "1");
    EXPECT_EQ(profile.readSetting("info", "Lock", "0"), "1");
    profile.writeSetting("INFO", "LoCk", "0"); // the same key, not a second one
    EXPECT_EQ(profile.sectionNames(), QList<QByteArray>{"Info"});
    EXPECT_EQ(profile.keyNames("iNfO"), QList<QByteArray>{"lock"});
    EXPECT_EQ(profile.readSetting("Info", "lock", "x"), "0");

    // Only ASCII letters fold: A-umlaut and a-umlaut are different names.
    profile.writeSetting("S", "\xC4", "upper");
    EXPECT_EQ(profile.readSetting("S", "\xE4", "none"), "none");
}

TEST(ProfileTest, ReadCutsAt255WhileReadRawKeepsAll) {
    const QByteArray longValue = QByteArray(254, 'a') + "bc" + QByteArray(100, 'd');
    Profile profile = parsed("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(profile.readSetting("s", "k", {}), longValue.left(255));
    EXPECT_EQ(profile.readSetting("s", "k", {}).back(), 'b');
    EXPECT_EQ(profile.readRaw("s", "k", {}), longValue);
}

TEST(ProfileTest, EmptyValueIsNotAbsent) {
    Profile profile = parsed("[s]\nempty=\nblank=   \t\n");
    EXPECT_EQ(profile.readSetting("s", "empty", "dflt"), "");
    EXPECT_EQ(profile.readSetting("s", "blank", "dflt"), "");
    EXPECT_TRUE(profile.hasKey("s", "empty"));
    EXPECT_EQ(profile.readSetting("s", "missing", "dflt"), "dflt");
    EXPECT_EQ(profile.readSetting("nosuch", "empty", "dflt"), "dflt");
    EXPECT_FALSE(profile.hasKey("s", "missing"));
}

TEST(ProfileTest, ParsingFollowsTheClassicLineRules) {
    const QByteArray content = "orphan=before any section\r\n"
                               "; comment=1\r\n"
                               "[Info]\r\n"
                               "  lock \t=\t 1  \r\n"
                               "# note=2\n"
                               "not a key line\n"
                               "[broken\n"
                               "sep=a\xF7"
                               "b\x80\xFF"
                               "c\n"
                               "eq=a=b\n"
                               "dup=first\n"
                               "DUP=second\n"
                               "=no name\n"
                               "[ Other ]  trailing\n"
                               "x=1\n"
                               "[INFO]\n"
                               "lock=again\n"
                               "more=yes";
    Profile profile = parsed(content);
    EXPECT_EQ(profile.sectionNames(), (QList<QByteArray>{"Info", "Other"}));
    EXPECT_EQ(profile.readSetting("Info", "lock", {}), "1");
    EXPECT_EQ(profile.readSetting("Info", "sep", {}), "a\xF7"
                                                      "b\x80\xFF"
                                                      "c");
    EXPECT_EQ(profile.readSetting("Info", "eq", {}), "a=b");
    EXPECT_EQ(profile.readSetting("Info", "dup", {}), "first");
    // A repeated section adds its new keys; keys it repeats keep their first value.
    EXPECT_EQ(profile.readSetting("Info", "more", {}), "yes");
    EXPECT_EQ(profile.keyNames("Info"), (QList<QByteArray>{"lock", "sep", "eq", "dup", "more"}));
    EXPECT_EQ(profile.readSetting("Other", "x", {}), "1");
    EXPECT_FALSE(profile.hasKey("Info", "orphan"));
    EXPECT_FALSE(profile.hasKey("Info", "; comment"));
    EXPECT_FALSE(profile.hasKey("Info", "# note"));
}

TEST(ProfileTest, WritesReplaceInPlaceAndAppendInOrder) {
    Profile profile = parsed("[A]\na=1\nb=2\n[B]\nc=3\n");
    profile.writeSetting("a", "A", "one");
    profile.writeSetting("A", "z", "26");
    profile.writeSetting("C", "k", " v ");
    EXPECT_EQ(profile.serialize(), "[A]\r\na=one\r\nb=2\r\nz=26\r\n[B]\r\nc=3\r\n[C]\r\nk= v \r\n");
    // Reads see what the file will give back: blanks around the value are not kept.
    EXPECT_EQ(profile.readSetting("C", "k", {}), "v");
}

TEST(ProfileTest, WrittenLineBreaksCannotInjectLines) {
    Profile profile;
    static constexpr char kHostile[] = "Bob\r\n[VLX]\r\nmsgOn=1\nx\0y";
    profile.writeSetting("VLXBOB", "name", QByteArray(kHostile, sizeof kHostile - 1));
    EXPECT_EQ(profile.readSetting("VLXBOB", "name", {}), QByteArray("Bob  [VLX]  msgOn=1 x y"));
    const Profile reread = parsed(profile.serialize());
    EXPECT_EQ(reread.sectionNames(), QList<QByteArray>{"VLXBOB"});
    EXPECT_EQ(reread.keyNames("VLXBOB"), QList<QByteArray>{"name"});
}

TEST(ProfileTest, EraseSectionRemovesOnlyThatSection) {
    Profile profile = parsed("[A]\na=1\n[B]\nb=2\n[C]\nc=3\n");
    profile.eraseSection("b");
    profile.eraseSection("nosuch");
    EXPECT_EQ(profile.sectionNames(), (QList<QByteArray>{"A", "C"}));
    EXPECT_EQ(profile.readSetting("B", "b", "gone"), "gone");
    EXPECT_EQ(profile.readSetting("C", "c", {}), "3"); // later sections still found
    profile.writeSetting("B", "b", "new");
    EXPECT_EQ(profile.serialize(), "[A]\r\na=1\r\n[C]\r\nc=3\r\n[B]\r\nb=new\r\n");
}

TEST(ProfileTest, SaveAndLoadKeepEveryByte) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    Profile profile;
    QByteArray allBytes;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') allBytes += static_cast<char>(b);
    profile.writeSetting("ipList", "0",
                         "10.0.0.1\xF7"
                         "Anna\xF7yOn vacation");
    profile.writeSetting("x", "all", "." + allBytes + ".");
    ASSERT_TRUE(profile.save(path));
    ASSERT_TRUE(profile.save(path)); // replacing an existing file works as well

    Profile loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded.readSetting("IPLIST", "0", {}), "10.0.0.1\xF7"
                                                     "Anna\xF7yOn vacation");
    EXPECT_EQ(loaded.readRaw("x", "all", {}), "." + allBytes + ".");
    EXPECT_EQ(loaded.serialize(), readFile(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("vlx.ini")}); // no temporary file left behind
}

TEST(ProfileTest, FailedSaveLeavesTheOldFileAndNoLeftovers) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    writeFile(path, "[Info]\r\nlock=1\r\n");
    Profile profile;
    profile.writeSetting("Info", "lock", "0");

    // A folder that is a regular file cannot take a new file.
    EXPECT_FALSE(profile.save(path + QStringLiteral("/vlx.ini")));

    // A directory where the file should be is not replaced.
    const QString dirTarget = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkdir(dirTarget));
    EXPECT_FALSE(profile.save(dirTarget));
    EXPECT_TRUE(QFileInfo(dirTarget).isDir());

    // The disk refusing the write half-way (here: the file size limit) keeps the old file.
    profile.writeSetting("big", "k", QByteArray(1 << 20, 'x'));
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = oldLimit;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = profile.save(path);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);

    EXPECT_EQ(readFile(path), "[Info]\r\nlock=1\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("taken"), QStringLiteral("vlx.ini")}));
}

TEST(ProfileTest, UnusableFilesGiveAnEmptyProfile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Profile profile = parsed("[A]\na=1\n");
    EXPECT_FALSE(profile.load(dir.path())); // a directory
    EXPECT_TRUE(profile.sectionNames().isEmpty());
    profile.parse("[A]\na=1\n");
    EXPECT_FALSE(profile.load(dir.filePath(QStringLiteral("missing.ini"))));
    EXPECT_TRUE(profile.sectionNames().isEmpty());
    EXPECT_EQ(profile.readSetting("A", "a", "dflt"), "dflt");

    // Random bytes, NULs and stray brackets parse without harm, and what is kept survives a
    // write and a second read unchanged.
    QRandomGenerator random(20010804);
    for (int round = 0; round < 20; ++round) {
        QByteArray garbage(64 * 1024, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random.bounded(256));
        for (int i = 0; i < 500; ++i) {
            garbage[random.bounded(garbage.size())] = "[]=\n;"[random.bounded(5)];
        }
        const QString path = dir.filePath(QStringLiteral("garbage.ini"));
        writeFile(path, garbage);
        Profile loaded;
        EXPECT_TRUE(loaded.load(path));
        const QByteArray once = loaded.serialize();
        EXPECT_EQ(parsed(once).serialize(), once);
    }
}

TEST(ProfileTest, HugeSectionsAndLinesKeepEveryKeyAndByte) {
    QByteArray content = "[ipList]\r\n";
    for (int i = 0; i < 20000; ++i)
        content += QByteArray::number(i) + "=10.0." + QByteArray::number(i) + "\xF7n\r\n";
    const QByteArray megabyte(1 << 20, 'm');
    content += "[big]\r\nline=" + megabyte + "\r\n";

    Profile profile = parsed(content);
    int wrong = 0;
    for (int i = 0; i < 20000; ++i)
        wrong += profile.readSetting("IPLIST", QByteArray::number(i), {}) !=
                 "10.0." + QByteArray::number(i) + "\xF7n";
    EXPECT_EQ(wrong, 0);
    for (int i = 0; i < 1000; ++i)
        profile.writeSetting("ipList", "new" + QByteArray::number(i), "v");
    EXPECT_EQ(profile.keyNames("ipList").size(), 21000);
    EXPECT_EQ(profile.readRaw("big", "line", {}), megabyte);
    EXPECT_EQ(parsed(profile.serialize()).readRaw("big", "line", {}), megabyte);
}

} // namespace
} // namespace velmora

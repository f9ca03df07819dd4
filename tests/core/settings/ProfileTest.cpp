#include "core/settings/Profile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace velmora {
namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TProfile Parsed(const QByteArray& content) {
    TProfile profile;
    profile.Parse(content);
    return profile;
}

TEST(ProfileTest, NamesCompareWithoutRegardToAsciiCase) {
    TProfile profile;
    profile.WriteSetting("Info", "lock", "1");
    EXPECT_EQ(profile.ReadSetting("INFO", "LOCK", "0"), "1");
    EXPECT_EQ(profile.ReadSetting("info", "Lock", "0"), "1");
    profile.WriteSetting("INFO", "LoCk", "0"); // the same key, not a second one
    EXPECT_EQ(profile.SectionNames(), QList<QByteArray>{"Info"});
    EXPECT_EQ(profile.KeyNames("iNfO"), QList<QByteArray>{"lock"});
    EXPECT_EQ(profile.ReadSetting("Info", "lock", "x"), "0");

    // Only ASCII letters fold: A-umlaut and a-umlaut are different names.
    profile.WriteSetting("S", "\xC4", "upper");
    EXPECT_EQ(profile.ReadSetting("S", "\xE4", "none"), "none");
}

TEST(ProfileTest, ReadCutsAt255WhileReadRawKeepsAll) {
    const QByteArray longValue = QByteArray(254, 'a') + "bc" + QByteArray(100, 'd');
    TProfile profile = Parsed("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(profile.ReadSetting("s", "k", {}), longValue.left(255));
    EXPECT_EQ(profile.ReadSetting("s", "k", {}).back(), 'b');
    EXPECT_EQ(profile.ReadRaw("s", "k", {}), longValue);
}

TEST(ProfileTest, EmptyValueIsNotAbsent) {
    TProfile profile = Parsed("[s]\nempty=\nblank=   \t\n");
    EXPECT_EQ(profile.ReadSetting("s", "empty", "dflt"), "");
    EXPECT_EQ(profile.ReadSetting("s", "blank", "dflt"), "");
    EXPECT_TRUE(profile.HasKey("s", "empty"));
    EXPECT_EQ(profile.ReadSetting("s", "missing", "dflt"), "dflt");
    EXPECT_EQ(profile.ReadSetting("nosuch", "empty", "dflt"), "dflt");
    EXPECT_FALSE(profile.HasKey("s", "missing"));
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
    TProfile profile = Parsed(content);
    EXPECT_EQ(profile.SectionNames(), (QList<QByteArray>{"Info", "Other"}));
    EXPECT_EQ(profile.ReadSetting("Info", "lock", {}), "1");
    EXPECT_EQ(profile.ReadSetting("Info", "sep", {}), "a\xF7"
                                                      "b\x80\xFF"
                                                      "c");
    EXPECT_EQ(profile.ReadSetting("Info", "eq", {}), "a=b");
    EXPECT_EQ(profile.ReadSetting("Info", "dup", {}), "first");
    // A repeated section adds its new keys; keys it repeats keep their first value.
    EXPECT_EQ(profile.ReadSetting("Info", "more", {}), "yes");
    EXPECT_EQ(profile.KeyNames("Info"), (QList<QByteArray>{"lock", "sep", "eq", "dup", "more"}));
    EXPECT_EQ(profile.ReadSetting("Other", "x", {}), "1");
    EXPECT_FALSE(profile.HasKey("Info", "orphan"));
    EXPECT_FALSE(profile.HasKey("Info", "; comment"));
    EXPECT_FALSE(profile.HasKey("Info", "# note"));
}

TEST(ProfileTest, WritesReplaceInPlaceAndAppendInOrder) {
    TProfile profile = Parsed("[A]\na=1\nb=2\n[B]\nc=3\n");
    profile.WriteSetting("a", "A", "one");
    profile.WriteSetting("A", "z", "26");
    profile.WriteSetting("C", "k", " v ");
    EXPECT_EQ(profile.Serialize(), "[A]\r\na=one\r\nb=2\r\nz=26\r\n[B]\r\nc=3\r\n[C]\r\nk= v \r\n");
    // Reads see what the file will give back: blanks around the value are not kept.
    EXPECT_EQ(profile.ReadSetting("C", "k", {}), "v");
}

TEST(ProfileTest, WrittenLineBreaksCannotInjectLines) {
    TProfile profile;
    static constexpr char kHostile[] = "Bob\r\n[VLX]\r\nmsgOn=1\nx\0y";
    profile.WriteSetting("VLXBOB", "name", QByteArray(kHostile, sizeof kHostile - 1));
    EXPECT_EQ(profile.ReadSetting("VLXBOB", "name", {}), QByteArray("Bob  [VLX]  msgOn=1 x y"));
    const TProfile reread = Parsed(profile.Serialize());
    EXPECT_EQ(reread.SectionNames(), QList<QByteArray>{"VLXBOB"});
    EXPECT_EQ(reread.KeyNames("VLXBOB"), QList<QByteArray>{"name"});
}

TEST(ProfileTest, EraseSectionRemovesOnlyThatSection) {
    TProfile profile = Parsed("[A]\na=1\n[B]\nb=2\n[C]\nc=3\n");
    profile.EraseSection("b");
    profile.EraseSection("nosuch");
    EXPECT_EQ(profile.SectionNames(), (QList<QByteArray>{"A", "C"}));
    EXPECT_EQ(profile.ReadSetting("B", "b", "gone"), "gone");
    EXPECT_EQ(profile.ReadSetting("C", "c", {}), "3"); // later sections still found
    profile.WriteSetting("B", "b", "new");
    EXPECT_EQ(profile.Serialize(), "[A]\r\na=1\r\n[C]\r\nc=3\r\n[B]\r\nb=new\r\n");
}

TEST(ProfileTest, SaveAndLoadKeepEveryByte) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    TProfile profile;
    QByteArray allBytes;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') allBytes += static_cast<char>(b);
    profile.WriteSetting("ipList", "0",
                         "10.0.0.1\xF7"
                         "Anna\xF7yOn vacation");
    profile.WriteSetting("x", "all", "." + allBytes + ".");
    ASSERT_TRUE(profile.Save(path));
    ASSERT_TRUE(profile.Save(path)); // replacing an existing file works as well

    TProfile loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.ReadSetting("IPLIST", "0", {}), "10.0.0.1\xF7"
                                                     "Anna\xF7yOn vacation");
    EXPECT_EQ(loaded.ReadRaw("x", "all", {}), "." + allBytes + ".");
    EXPECT_EQ(loaded.Serialize(), FileBytes(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("vlx.ini")}); // no temporary file left behind
}

TEST(ProfileTest, FailedSaveLeavesTheOldFileAndNoLeftovers) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    WriteFile(path, "[Info]\r\nlock=1\r\n");
    TProfile profile;
    profile.WriteSetting("Info", "lock", "0");

    // A folder that is a regular file cannot take a new file.
    EXPECT_FALSE(profile.Save(path + QStringLiteral("/vlx.ini")));

    // A directory where the file should be is not replaced.
    const QString dirTarget = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkdir(dirTarget));
    EXPECT_FALSE(profile.Save(dirTarget));
    EXPECT_TRUE(QFileInfo(dirTarget).isDir());

    // The disk refusing the write half-way (here: the file size limit) keeps the old file.
    profile.WriteSetting("big", "k", QByteArray(1 << 20, 'x'));
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = oldLimit;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = profile.Save(path);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);

    EXPECT_EQ(FileBytes(path), "[Info]\r\nlock=1\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("taken"), QStringLiteral("vlx.ini")}));
}

TEST(ProfileTest, UnusableFilesGiveAnEmptyProfile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TProfile profile = Parsed("[A]\na=1\n");
    EXPECT_FALSE(profile.Load(dir.path())); // a directory
    EXPECT_TRUE(profile.SectionNames().isEmpty());
    profile.Parse("[A]\na=1\n");
    EXPECT_FALSE(profile.Load(dir.filePath(QStringLiteral("missing.ini"))));
    EXPECT_TRUE(profile.SectionNames().isEmpty());
    EXPECT_EQ(profile.ReadSetting("A", "a", "dflt"), "dflt");

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
        WriteFile(path, garbage);
        TProfile loaded;
        EXPECT_TRUE(loaded.Load(path));
        const QByteArray once = loaded.Serialize();
        EXPECT_EQ(Parsed(once).Serialize(), once);
    }
}

TEST(ProfileTest, HugeSectionsAndLinesStayFast) {
    QByteArray content = "[ipList]\r\n";
    for (int i = 0; i < 100000; ++i)
        content += QByteArray::number(i) + "=10.0." + QByteArray::number(i) + "\xF7n\r\n";
    const QByteArray megabyte(1 << 20, 'm');
    content += "[big]\r\nline=" + megabyte + "\r\n";

    QElapsedTimer timer;
    timer.start();
    TProfile profile = Parsed(content);
    int wrong = 0;
    for (int i = 0; i < 100000; ++i)
        wrong += profile.ReadSetting("IPLIST", QByteArray::number(i), {}) !=
                 "10.0." + QByteArray::number(i) + "\xF7n";
    EXPECT_EQ(wrong, 0);
    for (int i = 0; i < 1000; ++i)
        profile.WriteSetting("ipList", "new" + QByteArray::number(i), "v");
    EXPECT_EQ(profile.KeyNames("ipList").size(), 101000);
    EXPECT_EQ(profile.ReadRaw("big", "line", {}), megabyte);
    EXPECT_EQ(Parsed(profile.Serialize()).ReadRaw("big", "line", {}), megabyte);
    EXPECT_LT(timer.elapsed(), 10000); // a quadratic lookup would take minutes
}

} // namespace
} // namespace velmora

// What the program has confirmed or the user has set reaches the disk and stays there: messages
// that arrive while the program starts, a prompt save after each burst of messages, a bounded
// history, saves that fail and are told, files that cannot be read and are never replaced,
// the rewrite in place, and the leftovers of interrupted saves.

#include "core/settings/Settings.h"
#include "core/settings/SettingsFile.h"
#include "support/CoreHarness.h"
#include "support/SettingsFixtures.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::loadProfile;
using velmora::test::readFile;
using velmora::test::writeFile;

namespace {

QByteArray message(int i) {
    return "M" + QByteArray::number(i) + " - - - From Ann (10.0.0.7)";
}

// A started core whose file already holds `stored` messages, and one that arrived between
// the two start-up phases.
struct StartWithHistory {
    explicit StartWithHistory(int stored) {
        h.config.historySaveDelayMs = 0;
        Core& first = h.make();
        first.startUp();
        first.finishStartUp();
        for (int i = 0; i < stored; ++i)
            first.dispatchDatagram(message(i), "10.0.0.7");
        first.saveAllSettings();
        h.make();
        h.core->startUp();
        h.core->dispatchDatagram(message(-1), "10.0.0.7");
        h.core->finishStartUp();
    }
    CoreHarness h;
};

} // namespace

TEST(Saving, AMessageAcceptedWhileStartingIsKeptBeforeTheStoredOnesAndSaved) {
    StartWithHistory s(3);
    const QList<QByteArray>& entries = s.h.core->history().entries();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_TRUE(entries[0].startsWith("-1")) << entries[0].constData();
    EXPECT_TRUE(entries[1].startsWith("2")) << entries[1].constData();
    // The prompt save runs once the event loop turns.
    QSignalSpy saved(s.h.core.get(), &Core::settingsSaved);
    EXPECT_TRUE(saved.wait(5000));
    EXPECT_EQ(readMessageHistory(loadProfile(s.h.config.settingsPath)).size(), 4);
}

TEST(Saving, ABurstOfMessagesIsSavedOnceAndTheHistoryKeepsItsNewestFiveThousand) {
    StartWithHistory s(0);
    Core& core = *s.h.core;
    QCoreApplication::processEvents(); // the save of the message that came during start-up
    QSignalSpy saved(&core, &Core::settingsSaved);
    const int burst = int(MessageHistory::kLimit) + 10;
    s.h.sent.clear();
    for (int i = 0; i < burst; ++i)
        core.dispatchDatagram(message(i), "10.0.0.7");
    // Every message is confirmed, also once the history is full.
    EXPECT_EQ(s.h.sent.size(), burst);
    ASSERT_TRUE(saved.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(saved.count(), 1);
    const QList<QByteArray> stored = readMessageHistory(loadProfile(s.h.config.settingsPath));
    ASSERT_EQ(stored.size(), MessageHistory::kLimit);
    EXPECT_TRUE(stored.first().startsWith(QByteArray::number(burst - 1)));
}

TEST(Saving, AFailedSaveIsToldOnceUntilASaveWorksAndTheDataStays) {
    CoreHarness h;
    Core& core = h.started();
    QSignalSpy problems(&core, &Core::settingsProblem);
    // The settings path is taken by a folder: nothing can be written there.
    ASSERT_TRUE(QDir().mkdir(h.config.settingsPath));
    core.setDisplayName("Renamed");
    EXPECT_FALSE(core.saveAllSettings());
    EXPECT_FALSE(core.saveAllSettings());
    ASSERT_EQ(problems.count(), 1);
    EXPECT_TRUE(problems[0][0].toString().contains(h.config.settingsPath));
    EXPECT_TRUE(problems[0][0].toString().contains(QStringLiteral("could not be saved")));

    ASSERT_TRUE(QDir().rmdir(h.config.settingsPath));
    EXPECT_TRUE(core.saveAllSettings());
    EXPECT_EQ(readDisplayName(loadProfile(h.config.settingsPath), "OPERATOR"), "Renamed");
    ASSERT_TRUE(QFile::remove(h.config.settingsPath));
    ASSERT_TRUE(QDir().mkdir(h.config.settingsPath));
    EXPECT_FALSE(core.saveAllSettings());
    EXPECT_EQ(problems.count(), 2);
}

TEST(Saving, AFileThatCannotBeReadIsNeverReplaced) {
    CoreHarness h;
    // A settings path that names a folder stands for any file that exists but cannot be read.
    ASSERT_TRUE(QDir().mkdir(h.config.settingsPath));
    QSignalSpy problems(&h.make(), &Core::settingsProblem);
    h.core->startUp();
    h.core->finishStartUp();
    ASSERT_EQ(problems.count(), 1);
    EXPECT_TRUE(problems[0][0].toString().contains(QStringLiteral("cannot be read")));
    EXPECT_EQ(h.core->options().idleTimeoutText, "15"); // defaults
    EXPECT_FALSE(h.core->saveAllSettings());
    EXPECT_EQ(problems.count(), 1);
    EXPECT_TRUE(QFileInfo(h.config.settingsPath).isDir());
}

// A FIFO that another user put where the settings file was, before the start or later: the
// copy never blocks on it, saves to the user's own file instead and says so once.
TEST(Saving, AFileThatMustNotBeUsedSendsTheSavesToTheOwnFile) {
    for (const bool beforeStart : {true, false}) {
        SCOPED_TRACE(beforeStart ? "before the start" : "after the start");
        CoreHarness h;
        h.config.ownSettingsPath = h.dir.filePath(QStringLiteral("own/vlx.ini"));
        const QByteArray fifo = QFile::encodeName(h.config.settingsPath);
        if (beforeStart) {
            ASSERT_EQ(::mkfifo(fifo.constData(), 0666), 0);
        }
        QSignalSpy problems(&h.make(), &Core::settingsProblem);
        h.core->startUp();
        h.core->finishStartUp();
        if (!beforeStart) {
            ASSERT_EQ(::mkfifo(fifo.constData(), 0666), 0);
        }
        h.core->setDisplayName("Renamed");
        EXPECT_TRUE(h.core->saveAllSettings());
        EXPECT_TRUE(h.core->saveAllSettings());
        ASSERT_EQ(problems.count(), 1);
        const QString told = problems[0][0].toString();
        EXPECT_TRUE(told.contains(h.config.settingsPath) && told.contains(h.config.ownSettingsPath))
            << told.toStdString();
        EXPECT_EQ(readDisplayName(loadProfile(h.config.ownSettingsPath), "OPERATOR"), "Renamed");
        struct stat st {};
        EXPECT_TRUE(::lstat(fifo.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }
}

TEST(Saving, TheStoredIdleTimeoutFollowsTheRuleOfTheBox) {
    const struct {
        const char* stored;
        const char* shown;
        int limit;
    } cases[] = {{"2 0 min", "20", 1200},
                 {"abc", "15", 900},
                 {"", "15", 900},
                 {"0", "0", 0},
                 {"901", "901", 54060},
                 {"5000", "5000", 300000},
                 {"0015", "0015", 900},
                 {"-7", "7", 420},
                 {"99999999999999999999", "99999999999999999999", 900}};
    for (const auto& c : cases) {
        CoreHarness h;
        writeFile(h.config.settingsPath, QByteArray("[VLX]\nidle=") + c.stored + "\n");
        Core& core = h.started();
        EXPECT_EQ(core.options().idleTimeoutText, c.shown) << c.stored;
        EXPECT_EQ(core.idle().idleLimit(), c.limit) << c.stored;
    }
}

TEST(SettingsFile, RewriteInPlaceAndLeftoversOfInterruptedSaves) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    writeFile(path, QByteArray(5000, 'x'));
    // In place, longer and shorter than before: exactly the new content.
    for (const QByteArray& content : {QByteArray(8000, 'y'), QByteArray("[VLX]\nname=a\n")}) {
        ASSERT_TRUE(SettingsFile::writeInPlace(path, content).ok());
        EXPECT_EQ(readFile(path), content);
    }
    // A leftover older than a minute goes at start; a fresh one (a save in progress) stays.
    const QString old = SettingsFile::temporaryPrefix(path) + QStringLiteral("old1");
    const QString fresh = SettingsFile::temporaryPrefix(path) + QStringLiteral("new1");
    writeFile(old, "partial");
    writeFile(fresh, "partial");
    const utimbuf longAgo{::time(nullptr) - 3600, ::time(nullptr) - 3600};
    ASSERT_EQ(::utime(QFile::encodeName(old).constData(), &longAgo), 0);
    EXPECT_EQ(SettingsFile::removeStaleTemporaries(path), 1);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(fresh));
}

// A rewrite in place cut off at any byte, by a kill or a power cut, reads back as the old
// settings or the new ones, never as a mix; also when the file still holds the copy of an
// earlier rewrite that was cut off after its copy was whole.
TEST(SettingsFile, ARewriteInPlaceCutOffAnywhereReadsAsOldOrNew) {
    const QByteArray shortText = "[VLX]\r\nname=Ann\r\n";
    const QByteArray longText = "[VLX]\r\nname=Ann Other\r\n[VLXMsgs]\r\n0=.hello\r\n1=^\r\n";
    const QByteArray earlierCopy = "[VLX]\r\nname=Earlier\r\n";
    // An earlier rewrite cut off while it overwrote the start: its copy is what counts.
    QByteArray interrupted = shortText + SettingsFile::pendingBlock(earlierCopy, shortText.size());
    interrupted.replace(0, 5, earlierCopy.left(5));
    const auto settled = [](const QByteArray& raw) {
        Profile profile;
        profile.parse(SettingsFile::settled(raw));
        return profile.serialize();
    };
    struct Case {
        QByteArray old, content, oldReading;
    };
    for (const Case& c : {Case{shortText, longText, shortText}, Case{longText, shortText, longText},
                          Case{interrupted, longText, earlierCopy}}) {
        ASSERT_EQ(settled(c.old), settled(c.oldReading));
        const QByteArray block = SettingsFile::pendingBlock(c.content, c.old.size());
        for (qsizetype k = 0; k < block.size(); ++k)
            ASSERT_EQ(settled(c.old + block.left(k)), settled(c.oldReading)) << "copy cut at " << k;
        const QByteArray whole = c.old + block;
        for (qsizetype k = 0; k <= c.content.size(); ++k) {
            QByteArray file = whole;
            file.replace(0, k, c.content.left(k));
            ASSERT_EQ(SettingsFile::settled(file), c.content) << "start overwritten up to " << k;
        }
    }
    // Written for real over each of them, the file is exactly the new content.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vlx.ini"));
    writeFile(path, interrupted);
    ASSERT_TRUE(SettingsFile::writeInPlace(path, longText).ok());
    EXPECT_EQ(readFile(path), longText);
}

// The computer's defaults file: the values every user starts from, the locked ones that stay
// the administrator's (and are not saved as the user's), and the lines it ignores and names.

#include "core/settings/SystemDefaults.h"
#include "support/CoreHarness.h"
#include "support/SettingsFixtures.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::loadProfile;
using velmora::test::Q;
using velmora::test::readFile;
using velmora::test::writeFile;

namespace {

// One key: its value in force after the start, and in the user's file after a save (nullptr:
// absent).
struct Key {
    const char* section;
    const char* key;
    const char* inForce;
    const char* saved;
};

struct Case {
    const char* what;
    QByteArray defaults;
    QByteArray user;
    QList<int> ignoredLines;
    QList<Key> keys;
};

// The options as a save writes them, one key each.
Profile written(const Options& options) {
    SettingsSnapshot snapshot = test::makeSnapshot();
    snapshot.options = options;
    Profile profile;
    saveAllSettings(profile, snapshot);
    return profile;
}

} // namespace

TEST(SystemDefaults, GiveDefaultsLockSettingsAndNameTheLinesTheyIgnore) {
    const Case cases[] = {
        {"a default fills only what the user's file lacks, and is then saved as the user's",
         "[VLX]\nidle=10\nclock24=1\n",
         "[VLX]\r\nidle=20\r\n",
         {},
         {{"VLX", "idle", "20", "20"}, {"VLX", "clock24", "1", "1"}}},
        {"a locked key is the administrator's; the user's stored value stays in the file",
         "[vlx]\nShwTime=0\n[Locked]\nVLX.shwtime=1\n",
         "[VLX]\r\nShwTime=1\r\n",
         {},
         {{"VLX", "ShwTime", "0", "1"}}},
        {"locked without a value is the program's default; an absent user value stays absent",
         "[Locked]\nVLX.msgOn=1\nColor.In=1\nColor.Out=0\n[Color]\nOut=123\n",
         "[VLX]\r\nmsgOn=1\r\n",
         {},
         {{"VLX", "msgOn", "0", "1"},
          {"Color", "In", "65280", nullptr},
          {"Color", "Out", "123", "123"}}},
        {"the options lock neither undoes a locked key nor outlives a lock of its own",
         "[VLX]\ndiscuss=1\n[Info]\nlock=0\n[Locked]\nVLX.discuss=1\nInfo.lock=1\n",
         "[Info]\r\nlock=1\r\n[VLX]\r\ndiscuss=0\r\n",
         {},
         {{"VLX", "discuss", "1", "0"}, {"Info", "lock", "0", "1"}}},
        {"malformed lines and values are ignored one by one, the rest applies",
         "; comment\n"
         "idle=5\n"           // 2: before the first section
         "[VLX]\n"            //
         "idle\n"             // 4: no value
         "idle=soon\n"        // 5: not minutes
         "size=10\n"          //
         "bogus=1\n"          // 7: no such setting
         "size=12\n"          // 8: given again
         "[Locked\n"          // 9: an unclosed section
         "[Locked]\n"         //
         "VLX.nothing=1\n"    // 11: no such setting
         "VLX.size=yes\n"     // 12: neither 1 nor 0
         "[VLXMsgs]\n0=.x\n", // 14: not a setting
         "",
         {2, 4, 5, 7, 8, 9, 11, 12, 14},
         {{"VLX", "size", "10", "10"}, {"VLX", "idle", "15", "15"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CoreHarness h;
        if (!c.user.isEmpty()) writeFile(h.config.settingsPath, c.user);
        QStringList problems;
        h.config.systemDefaults = SystemDefaults::parse(c.defaults, Q("/etc/d.ini"), &problems);
        QList<int> lines;
        for (const QString& p : problems) {
            EXPECT_TRUE(p.startsWith(Q("/etc/d.ini:")) && p.endsWith(Q("; ignored")))
                << p.toStdString();
            lines.append(p.section(QLatin1Char(':'), 1, 1).toInt());
        }
        EXPECT_EQ(lines, c.ignoredLines);

        const Profile inForce = written(h.started().options());
        ASSERT_TRUE(h.core->saveAllSettings());
        const Profile saved = loadProfile(h.config.settingsPath);
        for (const Key& k : c.keys) {
            SCOPED_TRACE(std::string(k.section) + "." + k.key);
            EXPECT_EQ(inForce.readSetting(k.section, k.key, "?"), k.inForce);
            EXPECT_EQ(saved.hasKey(k.section, k.key), k.saved != nullptr);
            if (k.saved) {
                EXPECT_EQ(saved.readSetting(k.section, k.key, "?"), k.saved);
            }
        }
    }
}

TEST(SystemDefaults, TheFirstFileOfTheConfigurationFoldersIsReadAsSafelyAsTheSettings) {
    QTemporaryDir dir;
    const QString first = dir.filePath(Q("first")), second = dir.filePath(Q("second"));
    const QString inFolder = Q("/dazuviz-velmora/defaults.ini");
    for (const QString& folder : {first, second})
        ASSERT_TRUE(QDir().mkpath(folder + Q("/dazuviz-velmora")));
    const QString path = second + inFolder;
    writeFile(path, "[VLX]\nclock24=1\n");
    const QByteArray folders =
        QFile::encodeName(Q("relative:") + first + QLatin1Char(':') + second);
    EXPECT_EQ(SystemDefaults::find(folders), path);
    EXPECT_EQ(SystemDefaults::find(QFile::encodeName(first)), QString());

    QStringList problems;
    EXPECT_TRUE(SystemDefaults::load(path, &problems).readOptions({}, 0, 0, 0).use24HourClock);
    EXPECT_TRUE(SystemDefaults::load(first + inFolder, &problems).path().isEmpty());
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    // A FIFO never blocks the start, and a file too large is not read: one line each.
    const QString fifo = first + inFolder;
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    writeFile(path, "[VLX]\nclock24=1\n" + QByteArray(SystemDefaults::kMaxFileSize, ';'));
    for (const QString& unusable : {fifo, path})
        EXPECT_FALSE(
            SystemDefaults::load(unusable, &problems).readOptions({}, 0, 0, 0).use24HourClock);
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].startsWith(fifo + Q(": cannot be read (it is not a file)")));

    // The shipped example, its settings uncommented, is a file without a fault.
    QByteArray example;
    for (const QByteArray& line : readFile(Q(VELMORA_DEFAULTS_EXAMPLE)).split('\n'))
        example += (line.startsWith(';') ? line.mid(1) : line) + '\n';
    problems.clear();
    EXPECT_TRUE(SystemDefaults::parse(example, Q("example"), &problems)
                    .isLocked(Setting::ShowOnStatusChange));
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

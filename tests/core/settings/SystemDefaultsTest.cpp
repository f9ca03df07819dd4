// The computer's defaults file: the values every user starts from, the locked ones that stay
// the administrator's (and are not saved as the user's), and the lines it ignores and names.

#include "core/settings/SystemDefaults.h"
#include "support/CoreHarness.h"
#include "support/SettingsFixtures.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velmora;
using velmora::test::Q;

namespace {

// A key of section VLX, Color or Info: its value in force after the start, and in the user's
// file after a save ("-": absent).
struct Key {
    QByteArray name;
    const char* inForce;
    const char* saved;
};

struct Case {
    const char* what;
    QByteArray defaults, user;
    QList<int> ignoredLines;
    QList<Key> keys;
};

} // namespace

TEST(SystemDefaults, GiveDefaultsLockSettingsAndNameTheLinesTheyIgnore) {
    const Case cases[] = {
        {"a default fills only what the user's file lacks, and is then saved as the user's",
         "[VLX]\nidle=10\nclock24=1\n",
         "[VLX]\nidle=20\n",
         {},
         {{"VLX.idle", "20", "20"}, {"VLX.clock24", "1", "1"}}},
        {"a locked key is the administrator's; the user's stored value stays in the file",
         "[vlx]\nShwTime=0\n[Locked]\nVLX.shwtime=1\n",
         "[VLX]\nShwTime=1\n",
         {},
         {{"VLX.ShwTime", "0", "1"}}},
        {"locked without a value is the program's default; an absent user value stays absent",
         "[Locked]\nVLX.msgOn=1\nColor.In=1\nColor.Out=0\n[Color]\nOut=123\n",
         "[VLX]\nmsgOn=1\n",
         {},
         {{"VLX.msgOn", "0", "1"}, {"Color.In", "65280", "-"}, {"Color.Out", "123", "123"}}},
        {"the options lock neither undoes a locked key nor outlives a lock of its own",
         "[VLX]\ndiscuss=1\n[Info]\nlock=0\n[Locked]\nVLX.discuss=1\nInfo.lock=1\n",
         "[Info]\nlock=1\n[VLX]\ndiscuss=0\n",
         {},
         {{"VLX.discuss", "1", "0"}, {"Info.lock", "0", "1"}}},
        // Before a section; no value; not minutes; no such key; again; unclosed; no such key;
        // neither 1 nor 0; not a setting.
        {"malformed lines and values are ignored one by one, the rest applies",
         "; comment\nidle=5\n[VLX]\nidle\nidle=soon\nsize=10\nbogus=1\nsize=12\n[Locked\n"
         "[Locked]\nVLX.nothing=1\nVLX.size=yes\n[VLXMsgs]\n0=.x\n",
         "",
         {2, 4, 5, 7, 8, 9, 11, 12, 14},
         {{"VLX.size", "10", "10"}, {"VLX.idle", "15", "15"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::CoreHarness h;
        test::writeFile(h.config.settingsPath, c.user);
        QStringList problems;
        h.config.systemDefaults = SystemDefaults::parse(c.defaults, Q("/etc/d.ini"), &problems);
        QList<int> lines;
        for (const QString& p : problems) {
            EXPECT_TRUE(p.startsWith(Q("/etc/d.ini:")) && p.endsWith(Q("; ignored")));
            lines.append(p.section(QLatin1Char(':'), 1, 1).toInt());
        }
        EXPECT_EQ(lines, c.ignoredLines);

        // What is in force, as a save writes it; then what the user's file keeps.
        SettingsSnapshot snapshot = test::makeSnapshot();
        snapshot.options = h.started().options();
        Profile inForce;
        saveAllSettings(inForce, snapshot);
        ASSERT_TRUE(h.core->saveAllSettings());
        const Profile saved = test::loadProfile(h.config.settingsPath);
        for (const Key& k : c.keys) {
            const QList<QByteArray> name = k.name.split('.');
            EXPECT_EQ(inForce.readSetting(name[0], name[1], "-"), k.inForce) << k.name.data();
            EXPECT_EQ(saved.readSetting(name[0], name[1], "-"), k.saved) << k.name.data();
        }
    }
}

TEST(SystemDefaults, TheFirstFileFoundIsReadAsSafelyAsTheSettingsFile) {
    QTemporaryDir dir;
    const QString first = dir.filePath(Q("a")), second = dir.filePath(Q("b"));
    const QString name = Q("/dazuviz-velmora/defaults.ini");
    for (const QString& folder : {first, second})
        ASSERT_TRUE(QDir().mkpath(folder + Q("/dazuviz-velmora")));
    test::writeFile(second + name, "[Locked]\nVLX.idle=1\n");
    EXPECT_EQ(SystemDefaults::find(QFile::encodeName(Q("relative:") + first + Q(":") + second)),
              second + name);
    QStringList problems;
    EXPECT_TRUE(SystemDefaults::load(second + name, &problems).isLocked(Setting::IdleTimeout));
    EXPECT_TRUE(SystemDefaults::load(first + name, &problems).path().isEmpty()); // missing
    EXPECT_TRUE(problems.isEmpty());

    // A FIFO never blocks the start, and a file too large is not read: one line each.
    ASSERT_EQ(::mkfifo(QFile::encodeName(first + name).constData(), 0644), 0);
    test::writeFile(second + name, "[Locked]\nVLX.idle=1\n" + QByteArray(65536, ';'));
    for (const QString& unusable : {first + name, second + name})
        EXPECT_FALSE(SystemDefaults::load(unusable, &problems).isLocked(Setting::IdleTimeout));
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[0].startsWith(first + name + Q(": cannot be read (it is not a file)")));

    // The shipped example, its settings uncommented, is a file without a fault.
    QByteArray example;
    for (const QByteArray& line : test::readFile(Q(VELMORA_DEFAULTS_EXAMPLE)).split('\n'))
        example += (line.startsWith(';') ? line.mid(1) : line) + '\n';
    problems.clear();
    EXPECT_TRUE(
        SystemDefaults::parse(example, {}, &problems).isLocked(Setting::ShowOnStatusChange));
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

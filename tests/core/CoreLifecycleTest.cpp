// A whole copy's life against its settings file: what start-up takes from the file, and what
// the next save leaves in it.

#include "support/CoreHarness.h"
#include "support/SettingsFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::sep;

using velmora::test::loadProfile;
using velmora::test::writeFile;

TEST(CoreLifecycle, ArchivedColleaguesComeBackMarkedAndAreSavedAgain) {
    CoreHarness h("10.0.0.5");
    writeFile(h.config.settingsPath, "[ipList]\r\ncnt=4\r\n"
                                     "0=10.0.0.5" +
                                         sep() +
                                         "OPERATOR\r\n"
                                         "1=10.0.0.7" +
                                         sep() + "Ann" + sep() +
                                         "yOn vacation\r\n"
                                         "2=10.0.0.8" +
                                         sep() +
                                         "Bob\r\n"
                                         "3=10.0.0.9" +
                                         sep() + "Cay" + sep() + "sIn ( 9:00 AM on Fri)\r\n");
    h.make();
    QSignalSpy note(h.core.get(), &Core::titleNoteChanged);
    h.core->startUp();
    ASSERT_EQ(h.core->roster().count(), 3);
    EXPECT_EQ(h.entry(1), "10.0.0.7=Ann" + sep() + "yOn vacation **");
    EXPECT_EQ(h.entry(2), "10.0.0.9=Cay" + sep() + "sIn ( 9:00 AM on Fri) **");
    EXPECT_EQ(h.core->titleNote(), " ** denotes archived status");
    EXPECT_EQ(note.count(), 1);

    // The mark travels with the entry; the next start does not mark it twice.
    h.core->saveAllSettings();
    const Profile saved = loadProfile(h.config.settingsPath);
    EXPECT_EQ(saved.readSetting("ipList", "cnt", ""), "3");
    EXPECT_EQ(saved.readSetting("ipList", "0", ""), "10.0.0.5" + sep() + "OPERATOR");
    EXPECT_EQ(saved.readSetting("ipList", "1", ""),
              "10.0.0.7" + sep() + "Ann" + sep() + "yOn vacation **");

    CoreHarness again("10.0.0.6");
    again.config.settingsPath = h.config.settingsPath;
    again.make().startUp();
    EXPECT_EQ(again.entry(1), "10.0.0.7=Ann" + sep() + "yOn vacation **");
    EXPECT_TRUE(again.core->titleNote().isEmpty());
}

TEST(CoreLifecycle, UsersOfOneComputerShareOptionsButNotNames) {
    CoreHarness ann("10.0.0.5", "ANN");
    ann.started();
    ann.core->setDisplayName("Ann Smith");
    QSignalSpy optionsChanged(ann.core.get(), &Core::optionsChanged);
    ann.core->changeOptions([](Options& o) { o.sortByColour = false; });
    EXPECT_EQ(optionsChanged.count(), 1);
    ann.core->saveAllSettings();

    CoreHarness bob("10.0.0.5", "BOB");
    bob.config.settingsPath = ann.config.settingsPath;
    bob.started();
    EXPECT_EQ(bob.core->own().displayName, "BOB");
    EXPECT_FALSE(bob.core->options().sortByColour);
    bob.core->setDisplayName("Bob Jones");
    bob.core->saveAllSettings();

    // Ann saves again after Bob: his name survives her save.
    ann.core->saveAllSettings();
    const Profile saved = loadProfile(ann.config.settingsPath);
    EXPECT_EQ(saved.readSetting("VLXANN", "name", ""), "Ann Smith");
    EXPECT_EQ(saved.readSetting("VLXBOB", "name", ""), "Bob Jones");
}

TEST(CoreLifecycle, BadSettingsFilesGiveDefaultsAndAGoodNextSave) {
    QRandomGenerator rng(1208);
    QByteArray noise(200000, Qt::Uninitialized);
    for (char& c : noise)
        c = char(rng.bounded(256));
    QByteArray manyKeys = "[ipList]\ncnt=100000\n";
    for (int i = 0; i < 100000; ++i)
        manyKeys += QByteArray::number(i) + "=10.1.0." + QByteArray::number(i) + sep() + "P" +
                    QByteArray::number(i) + sep() + "yAway\n";
    const QList<QByteArray> contents = {noise, manyKeys,
                                        "[VLX]\nidle=" + QByteArray(1 << 20, '7') + "\ntop=x\n"};
    for (const QByteArray& content : contents) {
        CoreHarness h;
        writeFile(h.config.settingsPath, content);
        Core& core = h.started();
        EXPECT_LE(core.roster().count(), 302);
        EXPECT_EQ(core.options().windowTop, 20);
        core.saveAllSettings();
        const Profile saved = loadProfile(h.config.settingsPath);
        EXPECT_EQ(saved.readSetting("Info", "IP", ""), "10.0.0.5");
        EXPECT_EQ(saved.readSetting("VLX", "top", ""), "20");
    }

    // A folder where the file should be: defaults, and saving fails quietly.
    CoreHarness h;
    ASSERT_TRUE(QDir().mkpath(h.config.settingsPath));
    Core& core = h.started();
    EXPECT_TRUE(core.options().showOnStartup);
    core.saveAllSettings();
    EXPECT_TRUE(QFileInfo(h.config.settingsPath).isDir());
}

TEST(CoreLifecycle, HistoryAndRemarksLoadAtTheDeferredStart) {
    CoreHarness h;
    Core& first = h.started();
    first.history().load({"first\r\nline two\r\n", "x\ty\rz\r\n"});
    first.setRemarks({"Gone fishing", "Back at 3"});
    first.saveAllSettings();

    CoreHarness second;
    second.config.settingsPath = h.config.settingsPath;
    Core& core = second.make();
    core.startUp();
    EXPECT_TRUE(core.messages().isEmpty());
    core.finishStartUp();
    EXPECT_EQ(core.remarks(), (QList<QByteArray>{"Gone fishing", "Back at 3"}));
    EXPECT_EQ(core.messages(), (QList<QByteArray>{"first\r\nline two\r\n", "x\ty\rz\r\n"}));

    // No stored remarks: the built-in list stays, without an empty remark added.
    CoreHarness fresh;
    EXPECT_EQ(fresh.started().remarks(), Core::defaultRemarks());
}

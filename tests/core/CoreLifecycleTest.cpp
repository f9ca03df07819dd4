// A whole copy's life against its settings file: what start-up takes from the file, and what
// the next save leaves in it.

#include "support/CoreHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::Sep;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

TProfile LoadProfile(const QString& path) {
    TProfile p;
    p.Load(path);
    return p;
}

} // namespace

TEST(CoreLifecycle, ArchivedColleaguesComeBackMarkedAndAreSavedAgain) {
    CoreHarness h("10.0.0.5");
    WriteFile(h.config.settingsPath, "[ipList]\r\ncnt=4\r\n"
                                     "0=10.0.0.5" +
                                         Sep() +
                                         "OPERATOR\r\n"
                                         "1=10.0.0.7" +
                                         Sep() + "Ann" + Sep() +
                                         "yOn vacation\r\n"
                                         "2=10.0.0.8" +
                                         Sep() +
                                         "Bob\r\n"
                                         "3=10.0.0.9" +
                                         Sep() + "Cay" + Sep() + "sIn ( 9:00 AM on Fri)\r\n");
    h.Make();
    QSignalSpy note(h.core.get(), &TVelmoraCore::titleNoteChanged);
    h.core->FormCreate();
    ASSERT_EQ(h.core->Roster().Count(), 3);
    EXPECT_EQ(h.Entry(1), "10.0.0.7=Ann" + Sep() + "yOn vacation **");
    EXPECT_EQ(h.Entry(2), "10.0.0.9=Cay" + Sep() + "sIn ( 9:00 AM on Fri) **");
    EXPECT_EQ(h.core->TitleNote(), " ** denotes archived status");
    EXPECT_EQ(note.count(), 1);

    // The mark travels with the entry; the next start does not mark it twice.
    h.core->SaveAllSettings();
    const TProfile saved = LoadProfile(h.config.settingsPath);
    EXPECT_EQ(saved.ReadSetting("ipList", "cnt", ""), "3");
    EXPECT_EQ(saved.ReadSetting("ipList", "0", ""), "10.0.0.5" + Sep() + "OPERATOR");
    EXPECT_EQ(saved.ReadSetting("ipList", "1", ""),
              "10.0.0.7" + Sep() + "Ann" + Sep() + "yOn vacation **");

    CoreHarness again("10.0.0.6");
    again.config.settingsPath = h.config.settingsPath;
    again.Make().FormCreate();
    EXPECT_EQ(again.Entry(1), "10.0.0.7=Ann" + Sep() + "yOn vacation **");
    EXPECT_TRUE(again.core->TitleNote().isEmpty());
}

TEST(CoreLifecycle, UsersOfOneComputerShareOptionsButNotNames) {
    CoreHarness ann("10.0.0.5", "ANN");
    ann.Started();
    ann.core->Own().displayName = "Ann Smith";
    ann.core->Options().colorSort = false;
    ann.core->SaveAllSettings();

    CoreHarness bob("10.0.0.5", "BOB");
    bob.config.settingsPath = ann.config.settingsPath;
    bob.Started();
    EXPECT_EQ(bob.core->Own().displayName, "BOB");
    EXPECT_FALSE(bob.core->Options().colorSort);
    bob.core->Own().displayName = "Bob Jones";
    bob.core->SaveAllSettings();

    // Ann saves again after Bob: his name survives her save.
    ann.core->SaveAllSettings();
    const TProfile saved = LoadProfile(ann.config.settingsPath);
    EXPECT_EQ(saved.ReadSetting("VLXANN", "name", ""), "Ann Smith");
    EXPECT_EQ(saved.ReadSetting("VLXBOB", "name", ""), "Bob Jones");
}

TEST(CoreLifecycle, BadSettingsFilesGiveDefaultsAndAGoodNextSave) {
    QRandomGenerator rng(1208);
    QByteArray noise(200000, Qt::Uninitialized);
    for (char& c : noise)
        c = char(rng.bounded(256));
    QByteArray manyKeys = "[ipList]\ncnt=100000\n";
    for (int i = 0; i < 100000; ++i)
        manyKeys += QByteArray::number(i) + "=10.1.0." + QByteArray::number(i) + Sep() + "P" +
                    QByteArray::number(i) + Sep() + "yAway\n";
    const QList<QByteArray> contents = {noise, manyKeys,
                                        "[VLX]\nidle=" + QByteArray(1 << 20, '7') + "\ntop=x\n"};
    for (const QByteArray& content : contents) {
        CoreHarness h;
        WriteFile(h.config.settingsPath, content);
        TVelmoraCore& core = h.Started();
        EXPECT_LE(core.Roster().Count(), 302);
        EXPECT_EQ(core.Options().top, 20);
        core.SaveAllSettings();
        const TProfile saved = LoadProfile(h.config.settingsPath);
        EXPECT_EQ(saved.ReadSetting("Info", "IP", ""), "10.0.0.5");
        EXPECT_EQ(saved.ReadSetting("VLX", "top", ""), "20");
    }

    // A folder where the file should be: defaults, and saving fails quietly.
    CoreHarness h;
    ASSERT_TRUE(QDir().mkpath(h.config.settingsPath));
    TVelmoraCore& core = h.Started();
    EXPECT_TRUE(core.Options().strtShw);
    core.SaveAllSettings();
    EXPECT_TRUE(QFileInfo(h.config.settingsPath).isDir());
}

TEST(CoreLifecycle, HistoryAndRemarksLoadAtTheDeferredStart) {
    CoreHarness h;
    TVelmoraCore& first = h.Started();
    first.Messages() = {"first\r\nline two\r\n", "x\ty\rz\r\n"};
    first.Remarks() = {"Gone fishing", "Back at 3"};
    first.SaveAllSettings();

    CoreHarness second;
    second.config.settingsPath = h.config.settingsPath;
    TVelmoraCore& core = second.Make();
    core.FormCreate();
    EXPECT_TRUE(core.Messages().isEmpty());
    core.DeferredStartup();
    EXPECT_EQ(core.Remarks(), (QList<QByteArray>{"Gone fishing", "Back at 3"}));
    EXPECT_EQ(core.Messages(), (QList<QByteArray>{"first\r\nline two\r\n", "x\ty\rz\r\n"}));

    // No stored remarks: the built-in list stays, without an empty remark added.
    CoreHarness fresh;
    EXPECT_EQ(fresh.Started().Remarks(), TVelmoraCore::DefaultRemarks());
}

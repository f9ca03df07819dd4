// Who comes back from the settings file: the archived colleagues, restart after restart, and
// each user's display name, whatever their login name or the stored text holds; how long a
// name from the wire may be, in the roster and in the file.

#include "core/net/Datagram.h"
#include "core/presence/Roster.h"
#include "support/CoreHarness.h"
#include "support/SettingsFixtures.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::CoreHarness;
using velmora::test::loadProfile;
using velmora::test::makeSnapshot;
using velmora::test::parsed;
using velmora::test::sep;

TEST(StoredNames, ArchiveKeepsThreeHundredOthersBesidesTheOwnEntryRestartAfterRestart) {
    SettingsSnapshot snapshot = makeSnapshot();
    for (int i = 0; i < 1000; ++i)
        snapshot.rosterEntries.append("10.1." + QByteArray::number(i) + "=Person " +
                                      QByteArray::number(i) + "\xF7yAway");
    Profile profile;
    saveAllSettings(profile, snapshot);
    EXPECT_EQ(profile.readSetting("ipList", "cnt", {}), "1000");
    for (int restart = 0; restart < 3; ++restart) {
        Roster roster;
        roster.seed("10.0.0.5", "OPERATOR", readRosterArchive(parsed(profile.serialize())));
        ASSERT_EQ(roster.count(), 1 + Roster::kArchiveKept);
        EXPECT_EQ(Roster::split(roster.entries().last()).name, "Person 299");
        snapshot.rosterEntries = roster.entries();
        saveAllSettings(profile, snapshot);
    }
}

TEST(StoredNames, TheSeparatorNeverStandsInADisplayName) {
    for (auto [stored, shown] : {std::pair{"Opal=1\xF7"
                                           "a\xF7yAbc",
                                           "Opal=1ayAbc"},
                                 std::pair{" \xF7 ", "OPERATOR"}, std::pair{"Ann", "Ann"}})
        EXPECT_EQ(
            readDisplayName(parsed(QByteArray("[VLXOPERATOR]\nname=") + stored + "\n"), "OPERATOR"),
            shown)
            << stored;
}

TEST(StoredNames, LoginNamesThatASectionCannotHoldKeepTheirOwnDisplayName) {
    Profile profile;
    for (const QByteArray& login :
         {QByteArray("BOB]X"), QByteArray(" ANN "), QByteArray("CAY[1]"), QByteArray("BOB")}) {
        SettingsSnapshot snapshot = makeSnapshot(login);
        snapshot.displayName = "Name of " + login;
        saveAllSettings(profile, snapshot);
    }
    const Profile back = parsed(profile.serialize());
    for (const QByteArray& login :
         {QByteArray("BOB]X"), QByteArray(" ANN "), QByteArray("CAY[1]"), QByteArray("BOB")})
        EXPECT_EQ(readDisplayName(back, login), ("Name of " + login).trimmed())
            << login.constData();
}

TEST(StoredNames, NamesFromTheWireAreCutAtTheFieldLimitAndStoredAsFarAsTheyAreRead) {
    const auto text = [](char c, qsizetype size = 60000) { return QByteArray(size, c); };
    const qsizetype cut = datagram::kFieldLimit;
    const struct {
        const char* what;
        QByteArray datagram;
        QByteArray address;
        QByteArray name;
    } cases[] = {
        {"announcement", "ay" + text('a') + sep() + " Away", "10.0.0.7", text('a', cut)},
        {"proxy", "zy10.9.0.1" + sep() + text('b') + sep() + " Away", "10.9.0.1", text('b', cut)},
        {"proxy for a made-up address", "zy" + text('1') + sep() + "Pat" + sep() + " Away",
         text('1', cut), "Pat"},
        {"within the limit", "zy10.9.0.2" + sep() + text('c', 200) + sep() + " Away", "10.9.0.2",
         text('c', 200)},
    };
    CoreHarness h;
    Core& core = h.started();
    for (const auto& c : cases) {
        core.dispatchDatagram(c.datagram, "10.0.0.7");
        const int at = core.roster().findAddress(c.address);
        ASSERT_GE(at, 0) << c.what;
        EXPECT_EQ(Roster::split(core.roster().entries()[at]).name, c.name) << c.what;
    }
    // The file keeps of each row what the next start reads.
    ASSERT_TRUE(core.saveAllSettings());
    const Profile stored = loadProfile(h.config.settingsPath);
    ASSERT_EQ(stored.keyNames("ipList").size(), 6); // five rows and the count
    for (const QByteArray& key : stored.keyNames("ipList"))
        EXPECT_EQ(stored.readRaw("ipList", key, {}), stored.readSetting("ipList", key, {}));
}

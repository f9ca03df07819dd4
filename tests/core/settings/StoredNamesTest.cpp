// Who comes back from the settings file: the archived colleagues, restart after restart, and
// each user's display name, whatever their login name or the stored text holds.

#include "core/presence/Roster.h"
#include "support/SettingsFixtures.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::makeSnapshot;
using velmora::test::parsed;

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

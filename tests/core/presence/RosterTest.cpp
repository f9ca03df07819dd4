// The roster: who is known, under which key, and which positions carry presence marks.

#include "core/presence/Roster.h"
#include "core/net/AnsiText.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

QByteArray S() {
    return QByteArray(1, kSep);
}
QByteArray Ann(const QByteArray& name, char code, const QByteArray& status) {
    return QByteArray("a") + code + name + S() + " " + status;
}

// A roster holding only the own entry of "Me" at 10.0.0.1.
struct Seeded : TRoster {
    Seeded() { Seed("10.0.0.1", "Me", {}); }
};

} // namespace

TEST(Roster, EntriesAreKeyedByAddressThenFoundByName) {
    Seeded r;
    auto first = r.ApplyStatusAnnouncement(Ann("Ann", 'g', "In"), "10.0.0.2");
    EXPECT_TRUE(first.appended);
    EXPECT_EQ(r.Entries()[1], "10.0.0.2=Ann" + S() + "gIn");
    EXPECT_EQ(r.NameIndex()[1], "Ann=10.0.0.2");

    // The same name, letter case ignored, from another address shares the entry; the name
    // index keeps the old address.
    auto moved = r.ApplyStatusAnnouncement(Ann("ANN", 'r', "Out"), "10.0.0.3");
    EXPECT_FALSE(moved.appended);
    EXPECT_EQ(moved.position, 1);
    EXPECT_EQ(r.Entries()[1], "10.0.0.3=ANN" + S() + "rOut");
    EXPECT_EQ(r.NameIndex()[1], "Ann=10.0.0.2");
    EXPECT_EQ(r.Count(), 2);

    // Found by address again, whatever the name now says.
    r.ApplyStatusAnnouncement(Ann("Annie", 'f', "Busy"), "10.0.0.3");
    EXPECT_EQ(r.Entries()[1], "10.0.0.3=Annie" + S() + "fBusy");
}

TEST(Roster, ReplacementReportsWhetherTheTextChanged) {
    Seeded r;
    r.ApplyStatusAnnouncement(Ann("Ann", 'g', "In"), "10.0.0.2");
    EXPECT_FALSE(r.ApplyStatusAnnouncement(Ann("Ann", 'g', " In  "), "10.0.0.2").changed);
    EXPECT_TRUE(r.ApplyStatusAnnouncement(Ann("Ann", 'y', "In"), "10.0.0.2").changed);
}

TEST(Roster, NameWithEqualsSignIsIndexedByItsFirstPart) {
    Seeded r;
    r.ApplyStatusAnnouncement(Ann("A=B", 'g', "In"), "10.0.0.2");
    EXPECT_EQ(r.FindName("A=B"), -1);
    EXPECT_EQ(r.FindName("a"), 1);
    // So a new announcement under "A=B" from another address appends a second entry...
    r.ApplyStatusAnnouncement(Ann("A=B", 'g', "In"), "10.0.0.3");
    EXPECT_EQ(r.Count(), 3);
    // ...while "A" takes over the first.
    r.ApplyStatusAnnouncement(Ann("A", 'r', "Out"), "10.0.0.4");
    EXPECT_EQ(r.Entries()[1], "10.0.0.4=A" + S() + "rOut");
}

TEST(Roster, PresenceMarks) {
    Seeded r;
    // A first announcement appends without marking; the next one marks.
    r.ApplyStatusAnnouncement(Ann("Ann", 'g', "In"), "10.0.0.2");
    EXPECT_FALSE(r.Seen().test(1));
    r.ApplyStatusAnnouncement(Ann("Ann", 'g', "In"), "10.0.0.2");
    EXPECT_TRUE(r.Seen().test(1));
    EXPECT_TRUE(r.Answered().test(1));

    // The 209th person and later are updated but never marked.
    for (int i = 2; i < 300; ++i)
        r.ApplyStatusAnnouncement(Ann("P" + QByteArray::number(i), 'g', "In"),
                                  "10.1.0." + QByteArray::number(i));
    const auto last = r.ApplyStatusAnnouncement(Ann("P299", 'r', "Out"), "10.1.0.299");
    EXPECT_EQ(last.position, 299);
    EXPECT_EQ(r.Entries()[299], "10.1.0.299=P299" + S() + "rOut");
    const auto at207 = r.ApplyStatusAnnouncement(Ann("P207", 'g', "In"), "10.1.0.207");
    EXPECT_EQ(at207.position, 207);
    EXPECT_TRUE(r.Seen().test(207));
    r.ApplyStatusAnnouncement(Ann("P208", 'g', "In"), "10.1.0.208");
    EXPECT_EQ(r.Seen().count(), 2u); // positions 1 and 207 only
}

TEST(Roster, MalformedAnnouncementsChangeNothing) {
    Seeded r;
    EXPECT_TRUE(r.ApplyStatusAnnouncement("ag" + S() + " In", "10.0.0.2").ignored);
    EXPECT_TRUE(r.ApplyStatusAnnouncement("agAnn In", "10.0.0.2").ignored);
    EXPECT_TRUE(r.ApplyStatusAnnouncement("a", "10.0.0.2").ignored);
    EXPECT_EQ(r.Count(), 1);
}

TEST(Roster, TakeoverRunsOnlyWhenAddressedAndBeforeTheUpdate) {
    Seeded r;
    int calls = 0;
    QByteArray seenBefore;
    const TRoster::OwnTakeover takeover = [&](char code, const QByteArray& status) {
        ++calls;
        EXPECT_EQ(code, 'r');
        EXPECT_EQ(status, "Out");
        seenBefore = r.Entries()[0];
    };
    r.ApplyStatusAnnouncement(Ann("Me", 'r', "Out"), "10.0.0.1", false, takeover);
    EXPECT_EQ(calls, 0);
    r.ApplyStatusAnnouncement(Ann("Me", 'r', "Out "), "10.0.0.1", true, takeover);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenBefore, "10.0.0.1=Me" + S() + "rOut"); // still the entry of the first call
}

TEST(Roster, ResetLeavesOnlyThePlaceholderAndKeepsMarks) {
    Seeded r;
    r.ApplyStatusAnnouncement(Ann("Ann", 'g', "In"), "10.0.0.2");
    r.ApplyStatusAnnouncement(Ann("Ann", 'g', "In"), "10.0.0.2");
    r.Reset("10.0.0.1", "OPERATOR");
    ASSERT_EQ(r.Count(), 1);
    EXPECT_EQ(r.Entries()[0], "10.0.0.1=OPERATOR" + S() + "gIn");
    EXPECT_EQ(r.NameIndex(), QList<QByteArray>{"OPERATOR=10.0.0.1"});
    ASSERT_EQ(r.DisplayOrder().size(), 1);
    EXPECT_EQ(r.DisplayOrder()[0].position, 0);
    EXPECT_TRUE(r.Seen().test(1));
}

TEST(Roster, SeedingSkipsKnownPeopleAndMarksArchivedEntries) {
    TRoster r;
    const QList<TArchivedEntry> archive = {
        {"10.0.0.1=Someone" + S() + "yOld", "10.0.0.1", "Someone"}, // own address
        {"10.0.0.9=me" + S() + "yOld", "10.0.0.9", "me"},           // own name
        {"10.0.0.2=Ann" + S() + "yOn vacation", "10.0.0.2", "Ann"},
        {"10.0.0.2=Other" + S() + "yDup", "10.0.0.2", "Other"}, // address now known
        {"10.0.0.3=Bob" + S() + "yAway **", "10.0.0.3", "Bob"},
    };
    EXPECT_TRUE(r.Seed("10.0.0.1", "Me", archive));
    ASSERT_EQ(r.Count(), 3);
    EXPECT_EQ(r.Entries()[0], "10.0.0.1=Me" + S() + "gIn");
    EXPECT_EQ(r.Entries()[1], "10.0.0.2=Ann" + S() + "yOn vacation **");
    EXPECT_EQ(r.Entries()[2], "10.0.0.3=Bob" + S() + "yAway **");
    EXPECT_EQ(r.NameIndex()[2], "Bob=10.0.0.3");
    EXPECT_TRUE(r.Seen().none());

    // Entries that all carry the mark already do not ask for the title note.
    TRoster marked;
    EXPECT_FALSE(marked.Seed("10.0.0.1", "Me", {archive[4]}));
}

TEST(Roster, SplitAndOffLine) {
    const TRosterFields f = TRoster::Split("10.0.0.2=Ann" + S() + "yAt lunch  ");
    EXPECT_EQ(f.address, "10.0.0.2");
    EXPECT_EQ(f.name, "Ann");
    EXPECT_EQ(f.code, 'y');
    EXPECT_EQ(f.status, "At lunch");
    const TRosterFields empty = TRoster::Split("10.0.0.2=Ann" + S());
    EXPECT_EQ(empty.code, 0);
    EXPECT_TRUE(empty.status.isEmpty());

    EXPECT_TRUE(TRoster::IsOffLine("1=A" + S() + "rOut  (off-line)"));
    EXPECT_TRUE(TRoster::IsOffLine("1=A" + S() + "rOut <shut down>"));
    EXPECT_FALSE(TRoster::IsOffLine("1=A" + S() + "rOut"));
}

TEST(Roster, ColourForCode) {
    TClassColours c;
    c.In = 1;
    c.inActive = 5;
    EXPECT_EQ(ColourForCode('g', c), 1u);
    EXPECT_EQ(ColourForCode('r', c), 255u);
    EXPECT_EQ(ColourForCode('f', c), 16711935u);
    EXPECT_EQ(ColourForCode('y', c), 65535u);
    EXPECT_EQ(ColourForCode('s', c), 5u);
    EXPECT_EQ(ColourForCode('w', c), 16777215u);
    EXPECT_EQ(ColourForCode('b', c), 16711680u);
    EXPECT_EQ(ColourForCode('z', c), 16776960u);
    EXPECT_EQ(ColourForCode('q', c), 5u); // unknown codes look idle
    EXPECT_EQ(ColourForCode(0, c), 16777215u);
}

// The roster: who is known, under which key, and which positions carry presence marks.

#include "core/presence/Roster.h"
#include "core/net/AnsiText.h"
#include "support/Announcements.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// A roster holding only the own entry of "Me" at 10.0.0.1.
struct Seeded : Roster {
    Seeded() { seed("10.0.0.1", "Me", {}); }
};

} // namespace

TEST(Roster, EntriesAreKeyedByAddressThenFoundByName) {
    Seeded r;
    auto first = r.applyStatusAnnouncement(ann("Ann", StatusCode::In, "In"), "10.0.0.2");
    EXPECT_TRUE(first.appended);
    EXPECT_EQ(r.entries()[1], "10.0.0.2=Ann" + sep() + "gIn");
    EXPECT_EQ(r.nameIndex()[1], "Ann=10.0.0.2");

    // The same name, letter case ignored, from another address shares the entry; the name
    // index keeps the old address.
    auto moved = r.applyStatusAnnouncement(ann("ANN", StatusCode::Out, "Out"), "10.0.0.3");
    EXPECT_FALSE(moved.appended);
    EXPECT_EQ(moved.position, 1);
    EXPECT_EQ(r.entries()[1], "10.0.0.3=ANN" + sep() + "rOut");
    EXPECT_EQ(r.nameIndex()[1], "Ann=10.0.0.2");
    EXPECT_EQ(r.count(), 2);

    // Found by address again, whatever the name now says.
    r.applyStatusAnnouncement(ann("Annie", StatusCode::Busy, "Busy"), "10.0.0.3");
    EXPECT_EQ(r.entries()[1], "10.0.0.3=Annie" + sep() + "fBusy");
}

TEST(Roster, ReplacementReportsWhetherTheTextAndTheStatusChanged) {
    Seeded r;
    r.applyStatusAnnouncement(ann("Ann", StatusCode::In, "In"), "10.0.0.2");
    EXPECT_FALSE(
        r.applyStatusAnnouncement(ann("Ann", StatusCode::In, " In  "), "10.0.0.2").changed);
    EXPECT_TRUE(
        r.applyStatusAnnouncement(ann("Ann", StatusCode::Remark, "In"), "10.0.0.2").statusChanged);
    // An archived entry given its own status again keeps its status; only the mark goes.
    Roster archived;
    archived.seed("10.0.0.1", "Me", {{"10.0.0.3=Bob" + sep() + "yAway", "10.0.0.3", "Bob"}});
    const auto again =
        archived.applyStatusAnnouncement(ann("Bob", StatusCode::Remark, "Away"), "10.0.0.3");
    EXPECT_TRUE(again.changed);
    EXPECT_FALSE(again.statusChanged);
}

TEST(Roster, NameWithEqualsSignIsIndexedByItsFirstPart) {
    Seeded r;
    r.applyStatusAnnouncement(ann("A=B", StatusCode::In, "In"), "10.0.0.2");
    EXPECT_EQ(r.findName("A=B"), -1);
    EXPECT_EQ(r.findName("a"), 1);
    // So a new announcement under "A=B" from another address appends a second entry...
    r.applyStatusAnnouncement(ann("A=B", StatusCode::In, "In"), "10.0.0.3");
    EXPECT_EQ(r.count(), 3);
    // ...while "A" takes over the first.
    r.applyStatusAnnouncement(ann("A", StatusCode::Out, "Out"), "10.0.0.4");
    EXPECT_EQ(r.entries()[1], "10.0.0.4=A" + sep() + "rOut");
}

TEST(Roster, PresenceMarks) {
    Seeded r;
    // A first announcement appends without marking; the next one marks.
    r.applyStatusAnnouncement(ann("Ann", StatusCode::In, "In"), "10.0.0.2");
    EXPECT_FALSE(r.seen().test(1));
    r.applyStatusAnnouncement(ann("Ann", StatusCode::In, "In"), "10.0.0.2");
    EXPECT_TRUE(r.seen().test(1));
    EXPECT_TRUE(r.answered().test(1));

    // The 209th person and later are updated but never marked.
    for (int i = 2; i < 300; ++i)
        r.applyStatusAnnouncement(ann("P" + QByteArray::number(i), StatusCode::In, "In"),
                                  "10.1.0." + QByteArray::number(i));
    const auto last = r.applyStatusAnnouncement(ann("P299", StatusCode::Out, "Out"), "10.1.0.299");
    EXPECT_EQ(last.position, 299);
    EXPECT_EQ(r.entries()[299], "10.1.0.299=P299" + sep() + "rOut");
    const auto at207 = r.applyStatusAnnouncement(ann("P207", StatusCode::In, "In"), "10.1.0.207");
    EXPECT_EQ(at207.position, 207);
    EXPECT_TRUE(r.seen().test(207));
    r.applyStatusAnnouncement(ann("P208", StatusCode::In, "In"), "10.1.0.208");
    EXPECT_EQ(r.seen().count(), 2u); // positions 1 and 207 only
}

TEST(Roster, MalformedAnnouncementsChangeNothing) {
    Seeded r;
    EXPECT_TRUE(r.applyStatusAnnouncement("ag" + sep() + " In", "10.0.0.2").ignored);
    EXPECT_TRUE(r.applyStatusAnnouncement("agAnn In", "10.0.0.2").ignored);
    EXPECT_TRUE(r.applyStatusAnnouncement("a", "10.0.0.2").ignored);
    EXPECT_EQ(r.count(), 1);
}

TEST(Roster, TakeoverRunsOnlyWhenAddressedAndBeforeTheUpdate) {
    Seeded r;
    int calls = 0;
    QByteArray seenBefore;
    const Roster::OwnTakeover takeover = [&](StatusCode code, const QByteArray& status) {
        ++calls;
        EXPECT_EQ(code, StatusCode::Out);
        EXPECT_EQ(status, "Out");
        seenBefore = r.entries()[0];
    };
    r.applyStatusAnnouncement(ann("Me", StatusCode::Out, "Out"), "10.0.0.1", false, takeover);
    EXPECT_EQ(calls, 0);
    r.applyStatusAnnouncement(ann("Me", StatusCode::Out, "Out "), "10.0.0.1", true, takeover);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenBefore, "10.0.0.1=Me" + sep() + "rOut"); // still the entry of the first call
}

TEST(Roster, ResetLeavesOnlyThePlaceholderAndKeepsMarks) {
    Seeded r;
    r.applyStatusAnnouncement(ann("Ann", StatusCode::In, "In"), "10.0.0.2");
    r.applyStatusAnnouncement(ann("Ann", StatusCode::In, "In"), "10.0.0.2");
    r.reset("10.0.0.1", "OPERATOR");
    ASSERT_EQ(r.count(), 1);
    EXPECT_EQ(r.entries()[0], "10.0.0.1=OPERATOR" + sep() + "gIn");
    EXPECT_EQ(r.nameIndex(), QList<QByteArray>{"OPERATOR=10.0.0.1"});
    ASSERT_EQ(r.displayOrder().size(), 1);
    EXPECT_EQ(r.displayOrder()[0].position, 0);
    EXPECT_TRUE(r.seen().test(1));
}

TEST(Roster, SeedingSkipsKnownPeopleAndMarksArchivedEntries) {
    Roster r;
    const QList<ArchivedEntry> archive = {
        {"10.0.0.1=Someone" + sep() + "yOld", "10.0.0.1", "Someone"}, // own address
        {"10.0.0.9=me" + sep() + "yOld", "10.0.0.9", "me"},           // own name
        {"10.0.0.2=Ann" + sep() + "yOn vacation", "10.0.0.2", "Ann"},
        {"10.0.0.2=Other" + sep() + "yDup", "10.0.0.2", "Other"}, // address now known
        {"10.0.0.3=Bob" + sep() + "yAway **", "10.0.0.3", "Bob"},
    };
    EXPECT_TRUE(r.seed("10.0.0.1", "Me", archive));
    ASSERT_EQ(r.count(), 3);
    EXPECT_EQ(r.entries()[0], "10.0.0.1=Me" + sep() + "gIn");
    EXPECT_EQ(r.entries()[1], "10.0.0.2=Ann" + sep() + "yOn vacation **");
    EXPECT_EQ(r.entries()[2], "10.0.0.3=Bob" + sep() + "yAway **");
    EXPECT_EQ(r.nameIndex()[2], "Bob=10.0.0.3");
    EXPECT_TRUE(r.seen().none());

    // Entries that all carry the mark already do not ask for the title note.
    Roster marked;
    EXPECT_FALSE(marked.seed("10.0.0.1", "Me", {archive[4]}));
}

TEST(Roster, SplitAndOffLine) {
    const RosterFields f = Roster::split("10.0.0.2=Ann" + sep() + "yAt lunch  ");
    EXPECT_EQ(f.address, "10.0.0.2");
    EXPECT_EQ(f.name, "Ann");
    EXPECT_EQ(f.code, StatusCode::Remark);
    EXPECT_EQ(f.status, "At lunch");
    const RosterFields empty = Roster::split("10.0.0.2=Ann" + sep());
    EXPECT_EQ(empty.code, StatusCode::None);
    EXPECT_TRUE(empty.status.isEmpty());

    EXPECT_TRUE(Roster::isOffLine("1=A" + sep() + "rOut  (off-line)"));
    EXPECT_TRUE(Roster::isOffLine("1=A" + sep() + "rOut <shut down>"));
    EXPECT_FALSE(Roster::isOffLine("1=A" + sep() + "rOut"));
}

TEST(Roster, ColourForCode) {
    ClassColours c;
    c.in = 1;
    c.idle = 5;
    using enum StatusCode;
    EXPECT_EQ(colourForCode(In, c), 1u);
    EXPECT_EQ(colourForCode(Out, c), 255u);
    EXPECT_EQ(colourForCode(Busy, c), 16711935u);
    EXPECT_EQ(colourForCode(Remark, c), 65535u);
    EXPECT_EQ(colourForCode(Idle, c), 5u);
    EXPECT_EQ(colourForCode(WhiteRemark, c), 16777215u);
    EXPECT_EQ(colourForCode(Blue, c), 16711680u);
    EXPECT_EQ(colourForCode(Aqua, c), 16776960u);
    EXPECT_EQ(colourForCode(fromWire('q'), c), 5u); // unknown codes look idle
    EXPECT_EQ(colourForCode(None, c), 5u);          // and so does NUL
}

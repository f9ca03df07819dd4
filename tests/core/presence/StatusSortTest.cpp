// The two orders of the status list and the window titles that name them.

#include "core/presence/StatusSort.h"
#include "support/CoreHarness.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Sep;

namespace {

QByteArray Ann(char code, const QByteArray& name, const QByteArray& status) {
    return QByteArray("a") + code + name + Sep() + status;
}

// The names in display order.
QList<QByteArray> Names(const TRoster& roster) {
    QList<QByteArray> names;
    for (const TSortKey& k : roster.DisplayOrder())
        names.append(TRoster::Split(roster.Entries()[k.position]).name);
    return names;
}

using Order = QList<QByteArray>;

TEST(StatusSort, ColourSortPutsInFirstThenClassesByCodeThenAddresses) {
    TRoster roster;
    roster.Seed("10.0.0.5", "Me", {});
    const struct {
        char code;
        QByteArray name, address, status;
    } people[] = {
        {'z', "Zoe", "10.0.0.30", "Aqua"},  {'y', "Yan", "10.0.0.21", "Lunch"},
        {'w', "Wes", "10.0.0.22", "White"}, {'s', "Sam", "10.0.0.23", "Idle"},
        {'r', "Rob", "10.0.0.24", "Out"},   {'f', "Fay", "10.0.0.25", "Busy"},
        {'b', "Bea", "10.0.0.26", "Blue"},  {'g', "Gus", "10.0.0.2", "In"},
        {'g', "Gil", "10.0.0.12", "In"},    {'g', "Eve", "10.0.0.27", ""}, // no status: Idle
        {'r', "Ray", "10.0.0.3", "Out"},
    };
    for (const auto& p : people)
        roster.ApplyStatusAnnouncement(Ann(p.code, p.name, p.status), p.address);

    SortDisplayOrder(roster, true, ' ');
    // Within a class, addresses compare character by character: 10.0.0.12 before 10.0.0.2.
    EXPECT_EQ(Names(roster), (Order{"Gil", "Gus", "Me", "Bea", "Fay", "Rob", "Ray", "Sam", "Eve",
                                    "Wes", "Yan", "Zoe"}));
    EXPECT_GE(roster.ListRows(), roster.Count());

    // A person's status moves them between classes on the next sort, keys rebuilt in place.
    roster.ApplyStatusAnnouncement(Ann('g', "Zoe", "Back"), "10.0.0.30");
    SortDisplayOrder(roster, true, ' ');
    EXPECT_EQ(Names(roster).mid(0, 5), (Order{"Gil", "Gus", "Zoe", "Me", "Bea"}));
    EXPECT_EQ(roster.DisplayOrder().size(), roster.Count());
}

TEST(StatusSort, NameSortIgnoresLetterCaseAndPutsTheOnTopLetterFirst) {
    TRoster roster;
    roster.Seed("10.0.0.1", "Nora", {});
    const QByteArray names[] = {"mike", "Zed", "adam", "Mary", "Bob", "Mo"};
    for (int i = 0; i < 6; ++i)
        roster.ApplyStatusAnnouncement(Ann('g', names[i], "In"),
                                       "10.0.0." + QByteArray::number(i + 2));

    SortDisplayOrder(roster, false, '!');
    EXPECT_EQ(Names(roster), (Order{"adam", "Bob", "Mary", "mike", "Mo", "Nora", "Zed"}));
    // The on-top letter compares exactly: "mike" is not on top of an "M".
    SortDisplayOrder(roster, false, 'M');
    EXPECT_EQ(Names(roster), (Order{"Mary", "Mo", "adam", "Bob", "mike", "Nora", "Zed"}));
}

TEST(StatusSort, ArchivedNoteEndsThePlainTitlesOnly) {
    const QByteArray noted = "Dazuviz Velmora ** denotes archived status";
    EXPECT_EQ(SortTitle(true, ' ', kArchivedTitleNote), noted);
    EXPECT_EQ(SortTitle(false, '!', kArchivedTitleNote), noted);
    EXPECT_EQ(SortTitle(false, 'A', kArchivedTitleNote),
              "Dazuviz Velmora - (Names starting with A on top)");
}

TEST(StatusSort, TypingALetterTwiceReturnsToThePlainOrder) {
    test::CoreHarness harness;
    TVelmoraCore& core = harness.Started();
    QList<QByteArray> titles;
    QObject::connect(&core, &TVelmoraCore::windowTitleChanged,
                     [&](const QByteArray& t) { titles.append(t); });
    core.DispatchDatagram(Ann('r', "Mary", "Out"), "10.0.0.7");
    core.DispatchDatagram(Ann('g', "adam", "In"), "10.0.0.8");
    core.DispatchDatagram(Ann('g', "mike", "In"), "10.0.0.9");
    // Colour sort by default: In first, by address (the own entry is 10.0.0.5).
    EXPECT_EQ(Names(core.Roster()), (Order{"OPERATOR", "adam", "mike", "Mary"}));

    EXPECT_TRUE(core.TypedLetter('m'));
    EXPECT_EQ(core.OnTopLetter(), 'M');
    EXPECT_EQ(titles.last(), "Dazuviz Velmora - (Names starting with M on top)");
    EXPECT_EQ(Names(core.Roster()), (Order{"Mary", "adam", "mike", "OPERATOR"}));

    // The same letter again, in either case: back to the colour order with a plain title.
    EXPECT_FALSE(core.TypedLetter('M'));
    EXPECT_EQ(core.OnTopLetter(), ' ');
    EXPECT_EQ(titles.last(), "Dazuviz Velmora");
    EXPECT_EQ(Names(core.Roster()), (Order{"OPERATOR", "adam", "mike", "Mary"}));

    // With the colour sort off the plain order is the name order.
    core.Options().colorSort = false;
    core.TypedLetter('m');
    core.TypedLetter('m');
    EXPECT_EQ(Names(core.Roster()), (Order{"adam", "Mary", "mike", "OPERATOR"}));
    EXPECT_EQ(titles.last(), "Dazuviz Velmora");
}

} // namespace

TEST(StatusSort, AFieldSortsBeforeItsLongerContinuations) {
    const QByteArray sep(1, '\xF7');
    EXPECT_LT(ColourSortKey("10.0.0.2=Zed" + sep + "gIn"),
              ColourSortKey("10.0.0.20=Al" + sep + "gIn"));
    EXPECT_LT(NameSortKey("1=Ann" + sep + "rOut", '!'), NameSortKey("2=Anna" + sep + "gIn", '!'));
}

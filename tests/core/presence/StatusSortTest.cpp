// The two orders of the status list and the window titles that name them.

#include "core/presence/StatusSort.h"
#include "support/Announcements.h"
#include "support/CoreHarness.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::ann;
using velmora::test::namesInOrder;

namespace {

using Order = QList<QByteArray>;

TEST(StatusSort, ColourSortPutsInFirstThenClassesByCodeThenAddresses) {
    using enum StatusCode;
    Roster roster;
    roster.seed("10.0.0.5", "Me", {});
    const struct {
        StatusCode code;
        QByteArray name, address, status;
    } people[] = {
        {Aqua, "Zoe", "10.0.0.30", "Aqua"},
        {Remark, "Yan", "10.0.0.21", "Lunch"},
        {WhiteRemark, "Wes", "10.0.0.22", "White"},
        {Idle, "Sam", "10.0.0.23", "Idle"},
        {Out, "Rob", "10.0.0.24", "Out"},
        {Busy, "Fay", "10.0.0.25", "Busy"},
        {Blue, "Bea", "10.0.0.26", "Blue"},
        {In, "Gus", "10.0.0.2", "In"},
        {In, "Gil", "10.0.0.12", "In"},
        {In, "Eve", "10.0.0.27", ""}, // no status: Idle
        {Out, "Ray", "10.0.0.3", "Out"},
    };
    for (const auto& p : people)
        roster.applyStatusAnnouncement(ann(p.name, p.code, p.status), p.address);

    sortDisplayOrder(roster, true, ' ');
    // Within a class, addresses compare character by character: 10.0.0.12 before 10.0.0.2.
    EXPECT_EQ(namesInOrder(roster), (Order{"Gil", "Gus", "Me", "Bea", "Fay", "Rob", "Ray", "Sam",
                                           "Eve", "Wes", "Yan", "Zoe"}));
    EXPECT_GE(roster.listRows(), roster.count());

    // A person's status moves them between classes on the next sort, keys rebuilt in place.
    roster.applyStatusAnnouncement(ann("Zoe", StatusCode::In, "Back"), "10.0.0.30");
    sortDisplayOrder(roster, true, ' ');
    EXPECT_EQ(namesInOrder(roster).mid(0, 5), (Order{"Gil", "Gus", "Zoe", "Me", "Bea"}));
    EXPECT_EQ(roster.displayOrder().size(), roster.count());
}

TEST(StatusSort, NameSortIgnoresLetterCaseAndPutsTheOnTopLetterFirst) {
    Roster roster;
    roster.seed("10.0.0.1", "Nora", {});
    const QByteArray names[] = {"mike", "Zed", "adam", "Mary", "Bob", "Mo"};
    for (int i = 0; i < 6; ++i)
        roster.applyStatusAnnouncement(ann(names[i], StatusCode::In, "In"),
                                       "10.0.0." + QByteArray::number(i + 2));

    sortDisplayOrder(roster, false, '!');
    EXPECT_EQ(namesInOrder(roster), (Order{"adam", "Bob", "Mary", "mike", "Mo", "Nora", "Zed"}));
    // The on-top letter compares exactly: "mike" is not on top of an "M".
    sortDisplayOrder(roster, false, 'M');
    EXPECT_EQ(namesInOrder(roster), (Order{"Mary", "Mo", "adam", "Bob", "mike", "Nora", "Zed"}));
}

TEST(StatusSort, ArchivedNoteEndsThePlainTitlesOnly) {
    const QByteArray noted = "Dazuviz Velmora ** denotes archived status";
    EXPECT_EQ(sortTitle(true, ' ', kArchivedTitleNote), noted);
    EXPECT_EQ(sortTitle(false, '!', kArchivedTitleNote), noted);
    EXPECT_EQ(sortTitle(false, 'A', kArchivedTitleNote),
              "Dazuviz Velmora - (Names starting with A on top)");
}

TEST(StatusSort, TypingALetterTwiceReturnsToThePlainOrder) {
    test::CoreHarness harness;
    Core& core = harness.started();
    QList<QByteArray> titles;
    QObject::connect(&core, &Core::windowTitleChanged,
                     [&](const QByteArray& t) { titles.append(t); });
    core.dispatchDatagram(ann("Mary", StatusCode::Out, "Out"), "10.0.0.7");
    core.dispatchDatagram(ann("adam", StatusCode::In, "In"), "10.0.0.8");
    core.dispatchDatagram(ann("mike", StatusCode::In, "In"), "10.0.0.9");
    // Colour sort by default: In first, by address (the own entry is 10.0.0.5).
    EXPECT_EQ(namesInOrder(core.roster()), (Order{"OPERATOR", "adam", "mike", "Mary"}));

    EXPECT_TRUE(core.typedLetter('m'));
    EXPECT_EQ(core.onTopLetter(), 'M');
    EXPECT_EQ(titles.last(), "Dazuviz Velmora - (Names starting with M on top)");
    EXPECT_EQ(namesInOrder(core.roster()), (Order{"Mary", "adam", "mike", "OPERATOR"}));

    // The same letter again, in either case: back to the colour order with a plain title.
    EXPECT_FALSE(core.typedLetter('M'));
    EXPECT_EQ(core.onTopLetter(), ' ');
    EXPECT_EQ(titles.last(), "Dazuviz Velmora");
    EXPECT_EQ(namesInOrder(core.roster()), (Order{"OPERATOR", "adam", "mike", "Mary"}));

    // With the colour sort off the plain order is the name order.
    core.changeOptions([](Options& o) { o.sortByColour = false; });
    core.typedLetter('m');
    core.typedLetter('m');
    EXPECT_EQ(namesInOrder(core.roster()), (Order{"adam", "Mary", "mike", "OPERATOR"}));
    EXPECT_EQ(titles.last(), "Dazuviz Velmora");
}

} // namespace

TEST(StatusSort, AFieldSortsBeforeItsLongerContinuations) {
    const QByteArray sep(1, '\xF7');
    EXPECT_LT(colourSortKey("10.0.0.2=Zed" + sep + "gIn"),
              colourSortKey("10.0.0.20=Al" + sep + "gIn"));
    EXPECT_LT(nameSortKey("1=Ann" + sep + "rOut", '!'), nameSortKey("2=Anna" + sep + "gIn", '!'));
}

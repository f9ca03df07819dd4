// A large or busy office: the roster's bound, lookups that ignore the case of every
// Windows-1252 letter, the locale's text order, and a display order kept up to date row by row
// that always equals a sort from scratch.

#include "core/net/AnsiText.h"
#include "core/presence/StatusSort.h"
#include "support/Announcements.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

QByteArray addressOf(int i) {
    return "10.8." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250);
}

QList<int> positionsInOrder(const Roster& roster) {
    QList<int> positions;
    for (const SortKey& k : roster.displayOrder())
        positions.append(k.position);
    return positions;
}

} // namespace

TEST(RosterLoad, AFullRosterIgnoresNewcomersButUpdatesThoseItKnows) {
    Roster r;
    r.seed("10.0.0.1", "Me", {});
    for (int i = 1; i < Roster::kMaxEntries; ++i)
        r.applyStatusAnnouncement(ann("P" + QByteArray::number(i), StatusCode::In, "In"),
                                  addressOf(i));
    ASSERT_EQ(r.count(), Roster::kMaxEntries);

    const struct {
        QByteArray name, address;
        bool ignored;
        int position;
    } table[] = {
        {"Newcomer", "10.9.9.9", true, -1},
        {"P7", "10.9.9.9", false, 7},              // a known name from a new address
        {"Someone", addressOf(4095), false, 4095}, // a known address under a new name
    };
    for (const auto& t : table) {
        const auto result =
            r.applyStatusAnnouncement(ann(t.name, StatusCode::Out, "Out"), t.address);
        EXPECT_EQ(result.ignored, t.ignored) << t.name.constData();
        EXPECT_FALSE(result.appended) << t.name.constData();
        EXPECT_EQ(result.position, t.position) << t.name.constData();
        if (!t.ignored) {
            EXPECT_EQ(r.entries()[t.position], t.address + '=' + t.name + sep() + "rOut");
        }
    }
    EXPECT_EQ(r.count(), Roster::kMaxEntries);
    EXPECT_EQ(r.findAddress("10.9.9.9"), 7);
}

TEST(RosterLoad, NameLookupsIgnoreTheCaseOfEveryWindows1252Letter) {
    const struct {
        QByteArray stored, asked;
        bool found;
    } table[] = {
        {"Ann", "aNN", true},
        {"\xC9mile", "\xE9MILE", true},                 // É é
        {"Zo\xEB", "ZO\xCB", true},                     // ë Ë
        {"\xDE\xF3r", "\xFE\xD3R", true},               // Þ þ, ó Ó
        {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true}, // Š š, Œ œ, Ž ž, Ÿ ÿ
        {"a\xD7z", "a\xF7z", false},                    // × and ÷ are no letters
        {"\xDF", "\xFF", false}, // ß has no capital; ÿ is not its small form
        {"\xC0", "\xE1", false}, // À is not á
    };
    for (const auto& t : table) {
        Roster r;
        r.seed("10.0.0.1", "Me", {});
        r.applyStatusAnnouncement(ann(t.stored, StatusCode::In, "In"), "10.0.0.2");
        EXPECT_EQ(r.findName(t.asked), t.found ? 1 : -1) << t.stored.toHex().constData();
        // So an announcement under the other form from a new address updates the same person.
        r.applyStatusAnnouncement(ann(t.asked, StatusCode::Out, "Out"), "10.0.0.3");
        EXPECT_EQ(r.count(), t.found ? 2 : 3) << t.stored.toHex().constData();
    }
}

TEST(RosterLoad, NamesSortInTheLocalesTextOrder) {
    const QList<QByteArray> people = {"Zoe", "\xC5sa", "adam", "\xC9mile", "Ann", "anna"};
    const struct {
        QLocale locale;
        QList<QByteArray> order;
    } table[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates),
         {"adam", "Ann", "anna", "\xC5sa", "\xC9mile", "Zoe"}},
        // Swedish puts Å after Z.
        {QLocale(QLocale::Swedish, QLocale::Sweden),
         {"adam", "Ann", "anna", "\xC9mile", "Zoe", "\xC5sa"}},
        // The C locale keeps the byte order of the folded texts.
        {QLocale::c(), {"adam", "Ann", "anna", "Zoe", "\xC5sa", "\xC9mile"}},
    };
    for (const auto& t : table) {
        Roster r;
        r.seed("10.0.0.1", people[0], {});
        for (qsizetype i = 1; i < people.size(); ++i)
            r.applyStatusAnnouncement(
                ann(people[i], i % 2 ? StatusCode::In : StatusCode::Out, "In"), addressOf(int(i)));
        sortDisplayOrder(r, false, '!', t.locale);
        EXPECT_EQ(namesInOrder(r), t.order) << t.locale.name().toStdString();
    }
}

// Row by row after every announcement, in either order, with renames, moves between classes,
// statuses that change nothing, newcomers and switches of order and on-top letter: always the
// order a sort from scratch gives.
TEST(RosterLoad, UpdatedOrderAlwaysEqualsASortFromScratch) {
    const QByteArray names[] = {"Ann",      "anna",      "B\xE9z", "Bo",  "Zo\xEB",
                                "\xC9mile", "Ann-Marie", "bob",    "C=D", "Eve"};
    using enum StatusCode;
    const StatusCode codes[] = {In, Out, Remark, Busy, Idle, In, WhiteRemark, Blue, Aqua};
    const QLocale table[] = {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()};
    for (const QLocale& locale : table) {
        Roster live;
        live.seed("10.0.0.1", "Me", {});
        QList<std::pair<QByteArray, QByteArray>> applied; // announcement, address
        for (int step = 0; step < 240; ++step) {
            const int who = (step * 7) % 23;
            const QByteArray name =
                names[(step / 3 + who) % 10] + (who % 3 ? QByteArray() : QByteArray::number(who));
            const QByteArray text =
                ann(name, codes[(step * 5) % 9],
                    step % 4 == 0 ? QByteArray("In") : "Out " + QByteArray::number(step % 3));
            const QByteArray address = addressOf(who);
            applied.append({text, address});
            live.applyStatusAnnouncement(text, address);
            const bool byColour = (step / 60) % 2 == 0;
            const char onTop = step % 50 < 25 ? '!' : 'B';
            sortDisplayOrder(live, byColour, onTop, locale);

            Roster fresh;
            fresh.seed("10.0.0.1", "Me", {});
            for (const auto& [d, a] : applied)
                fresh.applyStatusAnnouncement(d, a);
            sortDisplayOrder(fresh, byColour, onTop, locale);
            ASSERT_EQ(positionsInOrder(live), positionsInOrder(fresh))
                << "step " << step << " in " << locale.name().toStdString();
        }
    }
}

// People moving between addresses (found by name from a new one) and addresses coming back in
// another letter case: every lookup still finds what a scan from the top finds.
TEST(RosterLoad, LookupsAfterManyMovesFindWhatAScanFinds) {
    const auto scan = [](const QList<QByteArray>& texts, const QByteArray& field, auto fold) {
        for (qsizetype p = 0; p < texts.size(); ++p) {
            const qsizetype eq = texts[p].indexOf('=');
            const QByteArray own = eq < 0 ? texts[p] : texts[p].left(eq);
            bool same = own.size() == field.size() && !field.contains('=');
            for (qsizetype i = 0; same && i < field.size(); ++i)
                same = fold(own[i]) == fold(field[i]);
            if (same) return int(p);
        }
        return -1;
    };
    const auto ascii = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    const auto letters = [](char c) { return foldAnsiLetter(c); };
    const auto hostOf = [](int i) { return "host-" + QByteArray::number(i % 61) + "x"; };

    Roster r;
    r.seed("10.0.0.1", "Me", {});
    for (int step = 0; step < 1000; ++step) {
        const int who = (step * 37) % 97;
        QByteArray name = "P\xC9" + QByteArray::number(who % 89);
        QByteArray address = step % 3 ? addressOf((step * 13) % 131) : hostOf(step);
        if (step % 5 == 0) name = name.toUpper().replace('\xC9', '\xE9');
        if (step % 7 == 0) address = address.toUpper();
        r.applyStatusAnnouncement(ann(name, StatusCode::In, "In"), address);
        for (int probe = 0; probe < 6; ++probe) {
            const QByteArray a =
                probe % 2 ? addressOf((step + probe * 29) % 131) : hostOf(step + probe).toUpper();
            const QByteArray n = "p\xE9" + QByteArray::number((step + probe * 11) % 89);
            ASSERT_EQ(r.findAddress(a), scan(r.entries(), a, ascii)) << step << " " << a.data();
            ASSERT_EQ(r.findName(n), scan(r.nameIndex(), n, letters)) << step << " " << n.data();
        }
    }
}

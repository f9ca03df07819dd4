// The status list as the user sees it: rows rendered into images and checked pixel by pixel.

#include "gui/board/StatusListView.h"
#include "core/net/AnsiText.h"
#include "support/CoreHarness.h"
#include "support/PersonInput.h"

#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::sep;

namespace {

constexpr QRgb kUntouched = 0xFF123456;
const QRgb kLime = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kSilver = qRgb(192, 192, 192);

bool dark(QRgb p) {
    return qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100;
}

// Leftmost dark pixel of line `y` from `from` on, or -1.
int firstDark(const QImage& image, int y, int from) {
    for (int x = from; x < image.width(); ++x)
        if (dark(image.pixel(x, y))) return x;
    return -1;
}

// Whether any pixel of the band [from, to) of the row at `top` is dark.
bool anyDark(const QImage& image, int top, int height, int from, int to) {
    for (int y = top; y < top + height; ++y)
        for (int x = from; x < to; ++x)
            if (dark(image.pixel(x, y))) return true;
    return false;
}

class StatusListTest : public ::testing::Test {
protected:
    test::CoreHarness harness;
    Core& core = harness.started();
    StatusListView list{core};

    void add(const QByteArray& address, const QByteArray& name, StatusCode code,
             const QByteArray& status) {
        core.dispatchDatagram(datagram::statusAnnouncement(code, name, status), address);
    }
    // The row that shows `address` now.
    int rowOf(const QByteArray& address) {
        const auto& order = core.roster().displayOrder();
        for (int r = 0; r < order.size(); ++r)
            if (core.roster().entries()[order[r].position].startsWith(address + '=')) return r;
        return -1;
    }
    // `rows` rows painted one after the other, the way the list paints its visible rows.
    QImage render(int rows, int width = 300) {
        const int h = list.rowHeight();
        QImage image(width, rows * h, QImage::Format_RGB32);
        image.fill(kUntouched);
        QPainter painter(&image);
        for (int r = 0; r < rows; ++r)
            list.drawRow(painter, r, QRect(0, r * h, width, h));
        return image;
    }
    int shownWidth(const QByteArray& name) {
        return QFontMetrics(list.font())
            .horizontalAdvance(QString::fromLatin1(name) + QStringLiteral("   "));
    }
};

TEST_F(StatusListTest, RowsArePaintedInTheirClassColourWithStatusesAtTheNameColumn) {
    add("10.0.0.7", "Ann", StatusCode::In, "In");
    add("10.0.0.8", "Bartholomew Longname", StatusCode::Out, "Out to lunch");
    add("10.0.0.9", "Cy", StatusCode::Blue, "Blue");
    add("10.0.0.10", "Di", StatusCode::In, ""); // no status: Idle colour whatever the code says
    add("10.0.0.11", "<i>", StatusCode::Remark, "<br>"); // peer texts are never markup
    const int rows = core.roster().count();
    ASSERT_EQ(list.rowCount(), rows);

    // Every status starts at the widest name.
    QImage image = render(rows);
    const int column = shownWidth("Bartholomew Longname");
    EXPECT_EQ(list.nameColumnWidth(), column);
    const int h = list.rowHeight();
    const int mid = h / 2;

    const struct {
        QByteArray address;
        QRgb colour;
        QByteArray name;
    } people[] = {{"10.0.0.7", kLime, "Ann"},
                  {"10.0.0.8", kRed, "Bartholomew Longname"},
                  {"10.0.0.9", kBlue, "Cy"},
                  {"10.0.0.11", qRgb(255, 255, 0), "<i>"}};
    for (const auto& p : people) {
        SCOPED_TRACE(p.name.constData());
        const int top = rowOf(p.address) * h;
        EXPECT_EQ(image.pixel(0, top), p.colour);
        EXPECT_EQ(image.pixel(299, top + h - 1), p.colour);
        // The name, then nothing up to the name column, where the status begins.
        const int nameEnd =
            4 + QFontMetrics(list.font())
                    .horizontalAdvance(QString::fromLatin1(p.name) + QLatin1Char(' '));
        EXPECT_TRUE(anyDark(image, top, h, 0, nameEnd));
        EXPECT_FALSE(anyDark(image, top, h, nameEnd, column));
        int first = image.width();
        for (int y = top; y < top + h; ++y) {
            const int x = firstDark(image, y, column);
            if (x >= 0) first = std::min(first, x);
        }
        EXPECT_GE(first, column);
        EXPECT_LE(first, column + 2);
    }

    const int idle = rowOf("10.0.0.10") * h;
    EXPECT_EQ(image.pixel(0, idle + mid), kSilver);
    EXPECT_EQ(image.pixel(299, idle + mid), kSilver);
    EXPECT_TRUE(anyDark(image, idle, h, 0, column));
    EXPECT_FALSE(anyDark(image, idle, h, column, 300));

    // A class colour the user chose is used at the next paint.
    // Blue 255, green 128, red 0.
    core.changeOptions([](Options& o) { o.colours.in = 0x00FF8000; });
    image = render(rows);
    EXPECT_EQ(image.pixel(0, rowOf("10.0.0.7") * h), qRgb(0, 128, 255));

    // A new status of the same person shows at the next paint.
    add("10.0.0.7", "Ann", StatusCode::Out, "Out");
    image = render(rows);
    EXPECT_EQ(image.pixel(0, rowOf("10.0.0.7") * h), kRed);
}

TEST_F(StatusListTest, NameColumnIsTheWidestNameButLeavesHalfARowToStatuses) {
    const QByteArray longName = "Maximiliana <b>Wilhelmina</b> von Hohenzollern & Sigmaringen";
    const struct {
        QByteArray name;
        int points, width;
    } cases[] = {{"A", 12, 300}, {longName, 8, 300}, {longName, 8, 800}, {longName, 10, 120}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.constData() + (" at " + std::to_string(c.points)));
        list.applyFontSize(c.points);
        const QFontMetrics metrics(list.font());
        const int widest = std::max({20, shownWidth(c.name), shownWidth("OPERATOR")});
        const int column = std::min(widest, c.width / 2);
        const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
        // A name too wide is cut two blanks before the column, "…" last, as its twin shows.
        const QString cut =
            metrics.elidedText(QString::fromLatin1(c.name), Qt::ElideRight, column - 2 - gap);
        add("10.0.0.7", c.name, StatusCode::In, "In");
        add("10.0.0.8", cut == QLatin1StringView(c.name) ? "Twin" : toAnsi(cut), StatusCode::In,
            "In");
        EXPECT_EQ(list.nameColumnWidth(), widest);
        const QImage image = render(list.rowCount(), c.width);
        const int h = list.rowHeight(), top = rowOf("10.0.0.7") * h;
        EXPECT_TRUE(cut == QLatin1StringView(c.name) ||
                    image.copy(0, top, column, h) ==
                        image.copy(0, rowOf("10.0.0.8") * h, column, h));
        EXPECT_FALSE(anyDark(image, top, h, column - gap, column));
        EXPECT_TRUE(anyDark(image, top, h, column, column + 6));
        // The row's tooltip gives both texts whole, markup and all as typed.
        QTextDocument tip;
        tip.setHtml(list.model()->index(rowOf("10.0.0.7"), 0).data(Qt::ToolTipRole).toString());
        EXPECT_TRUE(tip.toPlainText().startsWith(QLatin1StringView(c.name + "\nIn\n")));
    }
}

// What the list shows on the screen: its window's backing store, where a partial repaint
// leaves the rows it did not paint as they were.
QImage onScreen(QWidget& window) {
    QCoreApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage();
}

TEST_F(StatusListTest, APartialRepaintDrawsWhatAFullOneDraws) {
    add("10.0.0.7", "Al", StatusCode::In, "In");
    add("10.0.0.8", "Bartholomew", StatusCode::Out, "Out to lunch");
    list.resize(300, 120);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const auto repaint = [&](int row) {
        row < 0 ? list.viewport()->update() : list.update(list.model()->index(row, 0));
        return onScreen(list);
    };
    const QImage shown = repaint(-1);
    // The first row alone, as a click on it repaints it; then everything again.
    EXPECT_TRUE(repaint(0) == shown);
    EXPECT_TRUE(repaint(-1) == shown);

    // A longer name reaches one row, repainted alone before the list hears of the change.
    {
        const QSignalBlocker quiet(core);
        add("10.0.0.7", "Al With A Much Longer Name", StatusCode::In, "In");
    }
    const QImage partial = repaint(rowOf("10.0.0.7"));
    EXPECT_FALSE(partial == shown);
    EXPECT_TRUE(repaint(-1) == partial);
}

TEST_F(StatusListTest, RowsFollowTheRosterAndRowsBeyondItStayBlank) {
    EXPECT_EQ(list.rowCount(), 2); // as the list starts, before any roster change
    add("10.0.0.7", "Ann", StatusCode::In, "In");
    add("10.0.0.8", "Bob", StatusCode::Out, "Out");
    EXPECT_EQ(list.rowCount(), 3);

    list.applyFontSize(8);
    QImage image = render(5);
    const int h = list.rowHeight();
    for (int r = 3; r < 5; ++r)
        for (int x = 0; x < image.width(); x += 7)
            ASSERT_EQ(image.pixel(x, r * h + h / 2), kUntouched) << "row " << r;

    // A reset cuts the list to the own placeholder; the old rows paint nothing.
    core.roster().reset("10.0.0.5", "OPERATOR");
    list.onRosterChanged();
    EXPECT_EQ(list.rowCount(), 1);
    image = render(3);
    EXPECT_EQ(image.pixel(0, h / 2), kLime);
    EXPECT_EQ(image.pixel(0, h + h / 2), kUntouched);
}

TEST_F(StatusListTest, FontSizeSetsFontAndRowHeight) {
    list.resize(300, 200);
    const struct { int points, height; } sizes[] = {{12, 20}, {10, 18}, {8, 16}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.points);
        list.applyFontSize(s.points);
        EXPECT_EQ(list.font().pointSize(), s.points);
        EXPECT_EQ(list.rowHeight(), s.height);
        // The laid-out rows follow at once, not just the number.
        EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).top(), s.height);
        EXPECT_EQ(list.rowAt(QPoint(5, s.height + 1)), 1);
        // Only whole rows show: the list's height is a multiple of the row height.
        EXPECT_EQ(list.viewport()->height() % s.height, 0);
    }
    EXPECT_EQ(list.rowAt(QPoint(5, 150)), -1);
}

TEST_F(StatusListTest, ShownListIgnoresSelectionAndFocus) {
    add("10.0.0.7", "Ann", StatusCode::In, "In");
    list.resize(300, 120);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QImage plain = list.viewport()->grab().toImage();
    EXPECT_EQ(plain.pixel(1, 1), kLime);

    // A click on the first row gives the list the focus and makes the row the current one.
    test::PersonInput input(list);
    input.click(list.viewport(), Qt::LeftButton, {}, QPoint(5, 3));
    ASSERT_TRUE(list.hasFocus());
    ASSERT_EQ(list.currentIndex().row(), 0);
    const QImage selected = list.viewport()->grab().toImage();
    EXPECT_EQ(plain, selected);
}

TEST_F(StatusListTest, ColumnsRunDownThenAcrossAndCutLongStatuses) {
    const QByteArray longStatus(120, 'W');
    for (int i = 0; i < 12; ++i)
        add("10.0.1." + QByteArray::number(10 + i), "P" + QByteArray::number(i), StatusCode::In,
            longStatus);
    list.resize(402, 16 * 10 + 40);
    list.setColumns(2);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());

    const int half = list.viewport()->width() / 2;
    const int rows = list.rowCount();
    int perColumn = 0;
    while (perColumn < rows && list.visualRect(list.model()->index(perColumn, 0)).left() == 0)
        ++perColumn;
    ASSERT_GT(perColumn, 1);
    ASSERT_LT(perColumn, rows);
    ASSERT_LT(rows - perColumn, perColumn); // room below the second column's rows
    for (int r = 0; r < rows; ++r) {
        const QRect rect = list.visualRect(list.model()->index(r, 0));
        EXPECT_EQ(rect.left(), r < perColumn ? 0 : half) << r;
        EXPECT_EQ(rect.top(), (r % perColumn) * 16) << r;
        EXPECT_EQ(rect.width(), half) << r;
    }
    EXPECT_EQ(list.rowAt(QPoint(half + 3, 3)), perColumn);

    // The first column's long statuses end at its edge; the second column stays empty where
    // it has no rows.
    const QImage image = list.viewport()->grab().toImage();
    const int line = perColumn - 1;
    EXPECT_TRUE(anyDark(image, line * 16, 16, half - 20, half));
    EXPECT_FALSE(anyDark(image, line * 16, 16, half, 2 * half));

    // The columns keep sharing the width when the list is resized.
    list.resize(602, list.height());
    EXPECT_EQ(list.visualRect(list.model()->index(perColumn, 0)).left(),
              list.viewport()->width() / 2);

    // Back to one column across the whole width.
    list.setColumns(0);
    EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).top(), 16);
    EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).width(), list.viewport()->width());
}

} // namespace

TEST_F(StatusListTest, AScreenReaderReadsNameAndStatusOfEveryRowAndHearsOfChanges) {
    add("10.0.0.7", "Ann", StatusCode::In, "In");
    add("10.0.0.8", "Bob & Co", StatusCode::Out, "Out  <b>lunch</b>");
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&list);
    ASSERT_TRUE(view && view->tableInterface());
    auto spoken = [&](const QByteArray& address) {
        return view->tableInterface()->cellAt(rowOf(address), 0)->text(QAccessible::Name);
    };
    const QString dash = QStringLiteral(" \u2014 ");
    EXPECT_EQ(spoken("10.0.0.7"), QStringLiteral("Ann") + dash + QStringLiteral("In"));
    EXPECT_EQ(spoken("10.0.0.8"),
              QStringLiteral("Bob & Co") + dash + QStringLiteral("Out  <b>lunch</b>"));

    // A new status reaches the view (which tells the screen reader) as a change of that row.
    QSignalSpy changes(list.model(), &QAbstractItemModel::dataChanged);
    add("10.0.0.8", "Bob & Co", StatusCode::Out, "Out to lunch");
    EXPECT_EQ(spoken("10.0.0.8"),
              QStringLiteral("Bob & Co") + dash + QStringLiteral("Out to lunch"));
    ASSERT_EQ(changes.size(), 1);
    const int row = rowOf("10.0.0.8");
    EXPECT_EQ(changes[0][0].toModelIndex().row(), row);
    EXPECT_EQ(changes[0][1].toModelIndex().row(), row);
    EXPECT_EQ(changes[0][2].value<QList<int>>(), QList<int>{Qt::AccessibleTextRole});
}

TEST(StatusListOrigins, EachRowSaysWhenItsPersonWasHeardAndWhoPassedOnOrSetItsStatus) {
    // Bob's own copy is 10.0.0.8; .9 passes his status on; "<b>Pat</b>" and an address nobody
    // knows set him Out. Everything happens at 9:05 AM on Monday.
    using Step = std::pair<QByteArray, QByteArray>;
    const QByteArray out = "zr10.0.0.8" + sep() + "Bob" + sep() + " Out";
    const Step heard{"agBob" + sep() + " In", "10.0.0.8"},
        relayed{"zg10.0.0.8" + sep() + "Bob" + sep() + " In", "10.0.0.9"},
        byNobody{out, "10.0.0.66"}, pat{"ag<b>Pat</b>" + sep() + " In", "10.0.0.10"},
        byPat{out, "10.0.0.10"};
    constexpr qint64 kDay = 24 * 3600 * 1000;
    const struct {
        QList<Step> steps;
        qint64 later; // from then to the question
        bool clock24;
        const char* lines; // about Bob, split at "|"
    } cases[] = {
        {{heard}, 3600000, false, "Last heard 9:05 AM"},
        {{heard}, 0, true, "Last heard 9:05"},
        {{heard}, 2 * kDay, false, "Last heard Monday"},
        {{heard}, 8 * kDay, false, "Last heard 12/7/26"},
        {{heard, relayed}, 0, false, "Last heard 9:05 AM|Passed on by other copies"},
        {{relayed}, 0, false, "Passed on by other copies"},
        {{relayed, heard}, 0, false, "Last heard 9:05 AM"},
        {{heard, byNobody}, kDay, true, "Last heard Monday|Set by 10.0.0.66 on Monday"},
        {{pat, heard, byPat}, 0, false, "Last heard 9:05 AM|Set by <b>Pat</b> at 9:05 AM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        test::CoreHarness h;
        Core& core = h.started();
        core.changeOptions([&](Options& o) { o.use24HourClock = c.clock24; });
        StatusListView list{core};
        for (const auto& [text, source] : c.steps)
            core.dispatchDatagram(text, source);
        h.clock.advance(c.later);
        int row = 0;
        while (!list.spokenText(row).startsWith(QStringLiteral("Bob")))
            ASSERT_LT(++row, list.rowCount());
        const QString lines = QString::fromLatin1(c.lines).replace(u'|', u'\n');
        // Screen readers get the lines; the tooltip gives them as plain text.
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&list);
        EXPECT_EQ(view->tableInterface()->cellAt(row, 0)->text(QAccessible::Description), lines);
        QTextDocument tip;
        tip.setHtml(list.toolTipText(row));
        EXPECT_TRUE(tip.toPlainText().contains(lines + u'\n'));
    }
}

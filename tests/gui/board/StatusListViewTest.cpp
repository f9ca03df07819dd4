// The status list as the user sees it: rows rendered into images and checked pixel by pixel.

#include "gui/board/StatusListView.h"
#include "support/CoreHarness.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Sep;

namespace {

constexpr QRgb kUntouched = 0xFF123456;
const QRgb kLime = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kSilver = qRgb(192, 192, 192);

bool Dark(QRgb p) {
    return qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100;
}

// Leftmost dark pixel of line `y` from `from` on, or -1.
int FirstDark(const QImage& image, int y, int from) {
    for (int x = from; x < image.width(); ++x)
        if (Dark(image.pixel(x, y))) return x;
    return -1;
}

// Whether any pixel of the band [from, to) of the row at `top` is dark.
bool AnyDark(const QImage& image, int top, int height, int from, int to) {
    for (int y = top; y < top + height; ++y)
        for (int x = from; x < to; ++x)
            if (Dark(image.pixel(x, y))) return true;
    return false;
}

class StatusListTest : public ::testing::Test {
protected:
    test::CoreHarness harness;
    TVelmoraCore& core = harness.Started();
    TStatusList list{core};

    void Add(const QByteArray& address, const QByteArray& name, char code,
             const QByteArray& status) {
        core.DispatchDatagram(QByteArray("a") + code + name + Sep() + status, address);
    }
    // The row that shows `address` now.
    int RowOf(const QByteArray& address) {
        const auto& order = core.Roster().DisplayOrder();
        for (int r = 0; r < order.size(); ++r)
            if (core.Roster().Entries()[order[r].position].startsWith(address + '=')) return r;
        return -1;
    }
    // `passes` painting passes over `rows` rows, the way the list paints its visible rows.
    QImage Render(int rows, int width = 300, int passes = 1) {
        const int h = list.RowHeight();
        QImage image(width, rows * h, QImage::Format_RGB32);
        image.fill(kUntouched);
        QPainter painter(&image);
        for (int pass = 0; pass < passes; ++pass)
            for (int r = 0; r < rows; ++r)
                list.ListBox1DrawItem(painter, r, QRect(0, r * h, width, h));
        return image;
    }
    int ShownWidth(const QByteArray& name) {
        return QFontMetrics(list.font())
            .horizontalAdvance(QString::fromLatin1(name) + QStringLiteral("   "));
    }
};

TEST_F(StatusListTest, RowsArePaintedInTheirClassColourWithStatusesAtTheNameColumn) {
    Add("10.0.0.7", "Ann", 'g', "In");
    Add("10.0.0.8", "Bartholomew Longname", 'r', "Out to lunch");
    Add("10.0.0.9", "Cy", 'b', "Blue");
    Add("10.0.0.10", "Di", 'g', "");      // no status: Idle colour whatever the code says
    Add("10.0.0.11", "<i>", 'y', "<br>"); // peer texts are never markup
    const int rows = core.Roster().Count();
    ASSERT_EQ(list.RowCount(), rows);

    // The first pass starts from the stored width (8) and grows; the second starts from the
    // widest name of the first.
    QImage image = Render(rows, 300, 2);
    const int column = ShownWidth("Bartholomew Longname");
    EXPECT_EQ(list.NameColumnWidth(), column);
    const int h = list.RowHeight();
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
        const int top = RowOf(p.address) * h;
        EXPECT_EQ(image.pixel(0, top), p.colour);
        EXPECT_EQ(image.pixel(299, top + h - 1), p.colour);
        // The name, then nothing up to the name column, where the status begins.
        const int nameEnd =
            4 + QFontMetrics(list.font())
                    .horizontalAdvance(QString::fromLatin1(p.name) + QLatin1Char(' '));
        EXPECT_TRUE(AnyDark(image, top, h, 0, nameEnd));
        EXPECT_FALSE(AnyDark(image, top, h, nameEnd, column));
        int first = image.width();
        for (int y = top; y < top + h; ++y) {
            const int x = FirstDark(image, y, column);
            if (x >= 0) first = std::min(first, x);
        }
        EXPECT_GE(first, column);
        EXPECT_LE(first, column + 2);
    }

    const int idle = RowOf("10.0.0.10") * h;
    EXPECT_EQ(image.pixel(0, idle + mid), kSilver);
    EXPECT_EQ(image.pixel(299, idle + mid), kSilver);
    EXPECT_TRUE(AnyDark(image, idle, h, 0, column));
    EXPECT_FALSE(AnyDark(image, idle, h, column, 300));

    // A class colour the user chose is used at the next paint.
    core.Options().colours.In = 0x00FF8000; // blue 255, green 128, red 0
    image = Render(rows);
    EXPECT_EQ(image.pixel(0, RowOf("10.0.0.7") * h), qRgb(0, 128, 255));

    // A new status of the same person shows at the next paint.
    Add("10.0.0.7", "Ann", 'r', "Out");
    image = Render(rows);
    EXPECT_EQ(image.pixel(0, RowOf("10.0.0.7") * h), kRed);
}

TEST_F(StatusListTest, NameColumnShrinksOnlyWhenAPassBegins) {
    Add("10.0.0.7", "A", 'g', "In");
    list.SetNameColumnWidth(200); // the stored value holds for the whole first pass
    const int rows = core.Roster().Count();
    QImage image = Render(rows);
    EXPECT_EQ(list.NameColumnWidth(), 200);
    const int top = RowOf("10.0.0.7") * list.RowHeight();
    EXPECT_FALSE(AnyDark(image, top, list.RowHeight(), 30, 200));
    EXPECT_TRUE(AnyDark(image, top, list.RowHeight(), 200, 230));

    // The next pass starts from the widest name measured, never less than 20.
    Render(rows);
    const int widest = std::max({20, ShownWidth("A"), ShownWidth("OPERATOR")});
    EXPECT_EQ(list.NameColumnWidth(), widest);

    // Names are measured again in a new font size.
    list.ApplyFontSize("12");
    Render(rows, 300, 2);
    EXPECT_EQ(list.NameColumnWidth(), std::max({20, ShownWidth("A"), ShownWidth("OPERATOR")}));
    EXPECT_GT(list.NameColumnWidth(), widest);
}

TEST_F(StatusListTest, RowsFollowTheRosterAndRowsBeyondItStayBlank) {
    EXPECT_EQ(list.RowCount(), 2); // as the list starts, before any roster change
    Add("10.0.0.7", "Ann", 'g', "In");
    Add("10.0.0.8", "Bob", 'r', "Out");
    EXPECT_EQ(list.RowCount(), 3);

    list.ApplyFontSize("8");
    QImage image = Render(5);
    const int h = list.RowHeight();
    for (int r = 3; r < 5; ++r)
        for (int x = 0; x < image.width(); x += 7)
            ASSERT_EQ(image.pixel(x, r * h + h / 2), kUntouched) << "row " << r;

    // A reset cuts the list to the own placeholder; the old rows paint nothing.
    core.Roster().Reset("10.0.0.5", "OPERATOR");
    list.RosterChanged();
    EXPECT_EQ(list.RowCount(), 1);
    image = Render(3);
    EXPECT_EQ(image.pixel(0, h / 2), kLime);
    EXPECT_EQ(image.pixel(0, h + h / 2), kUntouched);
}

TEST_F(StatusListTest, FontSizeSetsFontAndRowHeight) {
    list.resize(300, 200);
    const struct {
        QByteArray text;
        int points, height;
    } sizes[] = {{"12", 12, 20}, {"10", 10, 18}, {"x", 8, 16}, {"", 8, 16}, {"12 ", 8, 16}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.text.constData());
        list.ApplyFontSize(s.text);
        EXPECT_EQ(list.font().pointSize(), s.points);
        EXPECT_EQ(list.RowHeight(), s.height);
        // The laid-out rows follow at once, not just the number.
        EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).top(), s.height);
        EXPECT_EQ(list.RowAt(QPoint(5, s.height + 1)), 1);
    }
    EXPECT_EQ(list.RowAt(QPoint(5, 150)), -1);
}

TEST_F(StatusListTest, ShownListIgnoresSelectionAndFocus) {
    Add("10.0.0.7", "Ann", 'g', "In");
    list.resize(300, 120);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QImage plain = list.viewport()->grab().toImage();
    EXPECT_EQ(plain.pixel(1, 1), kLime);

    list.setFocus();
    list.setCurrentIndex(list.model()->index(0, 0));
    const QImage selected = list.viewport()->grab().toImage();
    EXPECT_EQ(plain, selected);
}

TEST_F(StatusListTest, ColumnsRunDownThenAcrossAndCutLongStatuses) {
    const QByteArray longStatus(120, 'W');
    for (int i = 0; i < 12; ++i)
        Add("10.0.1." + QByteArray::number(10 + i), "P" + QByteArray::number(i), 'g', longStatus);
    list.resize(402, 16 * 10 + 40);
    list.SetColumns(2);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());

    const int half = list.viewport()->width() / 2;
    const int rows = list.RowCount();
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
    EXPECT_EQ(list.RowAt(QPoint(half + 3, 3)), perColumn);

    // The first column's long statuses end at its edge; the second column stays empty where
    // it has no rows.
    const QImage image = list.viewport()->grab().toImage();
    const int line = perColumn - 1;
    EXPECT_TRUE(AnyDark(image, line * 16, 16, half - 20, half));
    EXPECT_FALSE(AnyDark(image, line * 16, 16, half, 2 * half));

    // The columns keep sharing the width when the list is resized.
    list.resize(602, list.height());
    EXPECT_EQ(list.visualRect(list.model()->index(perColumn, 0)).left(),
              list.viewport()->width() / 2);

    // Back to one column across the whole width.
    list.SetColumns(0);
    EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).top(), 16);
    EXPECT_EQ(list.visualRect(list.model()->index(1, 0)).width(), list.viewport()->width());
}

} // namespace

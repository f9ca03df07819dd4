// The page for changing another person's status: what each choice sends and where the user
// ends up.

#include "gui/board/StatusListView.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
#include "support/WindowHarness.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::WindowHarness;

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

// A window that knows Ann at 10.0.0.7 and has her change page open by Ctrl + left click.
struct ChangeAnn {
    ChangeAnn() {
        window.core().dispatchDatagram("arAnn\xF7 Out", "10.0.0.7");
        const auto& order = window.core().roster().displayOrder();
        int row = -1;
        for (int r = 0; r < order.size(); ++r)
            if (window.core().roster().entries()[order[r].position].startsWith("10.0.0.7="))
                row = r;
        window.statusPage().onStatusListPressed(
            Qt::LeftButton, true, QPoint(5, row * window.statusList().rowHeight() + 3), QPoint());
        h.sent.clear();
    }
    void click(const char* button) {
        auto* b = h.find<ColorButton>(button);
        b->onclick(b);
    }
    bool onStatusPage() const { return window.pages().currentPage() == window.page("statusPage"); }

    WindowHarness h;
    MainWindow& window = *h.window;
};

} // namespace

TEST(ChangeStatus, EachChoiceSendsOneProxyAnnouncementAndReturnsToTheStatusPage) {
    ChangeAnn c;
    ASSERT_EQ(c.window.pages().currentPage(), c.window.page("changeStatusPage"));
    c.click("changeToInButton");
    EXPECT_TRUE(c.onStatusPage());
    c.click("changeToBusyButton");
    c.click("changeToOutButton");
    auto* list = c.h.find<QListWidget>("remarkList");
    ASSERT_EQ(list->item(2)->text(), Q("At lunch"));
    Q_EMIT list->itemClicked(list->item(2)); // "White background" ticked, "Time stamp" ticked
    c.h.find<QCheckBox>("whiteBackgroundBox")->click();
    c.h.find<QCheckBox>("stampChangesBox")->setChecked(false);
    Q_EMIT list->itemClicked(list->item(2));
    EXPECT_EQ(c.h.sent, (QList<QByteArray>{"zg10.0.0.7\xF7"
                                           "Ann\xF7 In",
                                           "zf10.0.0.7\xF7"
                                           "Ann\xF7 Busy - In but unavailable",
                                           "zr10.0.0.7\xF7"
                                           "Ann\xF7 Out",
                                           "zw10.0.0.7\xF7"
                                           "Ann\xF7 At lunch ( 9:05 AM on Mon)",
                                           "zy10.0.0.7\xF7"
                                           "Ann\xF7 At lunch"}));

    // Cancel goes back without a word.
    c.window.showPage(c.window.page("changeStatusPage"));
    c.h.sent.clear();
    c.h.find<QPushButton>("cancelChangeButton")->click();
    EXPECT_TRUE(c.onStatusPage());
    EXPECT_TRUE(c.h.sent.isEmpty());
}

TEST(ChangeStatus, CustomizedStatusIsWhiteUnstampedAndCancelStaysOnThePage) {
    ChangeAnn c;
    velmora::test::InputDialogAnswer cancel(false, Q("Never sent"));
    c.h.find<QPushButton>("customStatusButton")->click();
    EXPECT_EQ(cancel.caption, Q("Customize Status"));
    EXPECT_EQ(cancel.prompt, Q("Enter Status"));
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_EQ(c.window.pages().currentPage(), c.window.page("changeStatusPage"));

    c.h.find<QCheckBox>("whiteBackgroundBox")->click(); // unticked: still white for a typed status
    velmora::test::InputDialogAnswer ok(true, Q("Visiting <b>client</b> & co"));
    c.h.find<QPushButton>("customStatusButton")->click();
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"zw10.0.0.7\xF7"
                                          "Ann\xF7 Visiting <b>client</b> & co"});
    EXPECT_TRUE(c.onStatusPage());
}

TEST(ChangeStatus, MenuOpensThePageInTheCurrentClassColoursCtrlClickDoesNot) {
    ChangeAnn c;
    ClassColours& colours = c.window.core().options().colours;
    colours.in = 0x123456;
    colours.others = 0x00FFEE;
    auto* list = c.h.find<QListWidget>("remarkList");
    EXPECT_EQ(c.h.find<ColorButton>("changeToInButton")->color(), ColorButton::clLime);

    c.h.find<QCheckBox>("whiteBackgroundBox")->setChecked(false);
    c.window.showPage(c.window.page("statusPage"));
    c.h.find<QAction>("changeStatusAction")->trigger();
    EXPECT_EQ(c.window.pages().currentPage(), c.window.page("changeStatusPage"));
    EXPECT_EQ(c.h.find<ColorButton>("changeToInButton")->color(), 0x123456u);
    EXPECT_EQ(c.h.find<ColorButton>("changeToOutButton")->color(), colours.out);
    EXPECT_EQ(list->palette().color(QPalette::Base), colourFromBgr(0x00FFEE));

    c.h.find<QCheckBox>("whiteBackgroundBox")->click();
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(list->count(), 10);
}

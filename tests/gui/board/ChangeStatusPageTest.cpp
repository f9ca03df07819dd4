// The page for changing another person's status: what each choice sends and where the user
// ends up.

#include "gui/board/StatusListView.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
#include "support/WindowUser.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Q;
using velmora::test::WindowUser;

namespace {

// A window that knows Ann at 10.0.0.7 and has her change page open by Ctrl + left click.
struct ChangeAnn {
    explicit ChangeAnn(const QByteArray& settings = {}) : h(settings) {
        window.core().dispatchDatagram("arAnn\xF7 Out", "10.0.0.7");
        open();
        h.sent.clear();
    }
    // Ctrl + left click on Ann's row, which the Status page shows.
    void open() { h.row("10.0.0.7", Qt::LeftButton, Qt::ControlModifier); }
    bool onStatusPage() const { return window.pages().currentPage() == window.page("statusPage"); }

    WindowUser h;
    MainWindow& window = *h.window;
};

} // namespace

TEST(ChangeStatus, EachChoiceSendsOneProxyAnnouncementAndReturnsToTheStatusPage) {
    ChangeAnn c;
    ASSERT_EQ(c.window.pages().currentPage(), c.window.page("changeStatusPage"));
    auto* list = c.h.find<QListWidget>("remarkList");
    ASSERT_EQ(list->item(2)->text(), Q("At lunch"));
    c.h.click("changeToInButton");
    EXPECT_TRUE(c.onStatusPage());
    for (const char* button : {"changeToBusyButton", "changeToOutButton"}) {
        c.open();
        c.h.click(button);
        EXPECT_TRUE(c.onStatusPage()) << button;
    }
    c.open();
    c.h.click(list, 2); // "White background" ticked, "Time stamp" ticked
    c.h.tab("Options");
    c.h.click("stampChangesBox");
    c.h.tab("Status");
    c.open();
    c.h.click("whiteBackgroundBox");
    c.h.click(list, 2);
    EXPECT_TRUE(c.onStatusPage());
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

    // Cancel and the Status tab go back without a word.
    for (const bool cancel : {true, false}) {
        c.open();
        c.h.sent.clear();
        cancel ? c.h.click("cancelChangeButton") : c.h.tab("Status");
        EXPECT_TRUE(c.onStatusPage()) << (cancel ? "Cancel" : "Status tab");
        EXPECT_TRUE(c.h.sent.isEmpty());
    }
}

TEST(ChangeStatus, CustomizedStatusIsWhiteUnstampedAndCancelStaysOnThePage) {
    ChangeAnn c;
    velmora::test::InputDialogAnswer cancel(false, Q("Never sent"));
    c.h.click("customStatusButton");
    EXPECT_EQ(cancel.caption, Q("Customize Status"));
    EXPECT_EQ(cancel.prompt, Q("Enter Status"));
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_EQ(c.window.pages().currentPage(), c.window.page("changeStatusPage"));

    c.h.click("whiteBackgroundBox"); // unticked: still white for a typed status
    velmora::test::InputDialogAnswer ok(true, Q("Visiting <b>client</b> & co"));
    c.h.click("customStatusButton");
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"zw10.0.0.7\xF7"
                                          "Ann\xF7 Visiting <b>client</b> & co"});
    EXPECT_TRUE(c.onStatusPage());
}

TEST(ChangeStatus, MenuOpensThePageInTheCurrentClassColoursCtrlClickDoesNot) {
    // In 0x123456 from the start.
    ChangeAnn c("[Color]\r\nIn=1193046\r\n");
    auto* list = c.h.find<QListWidget>("remarkList");
    EXPECT_EQ(c.h.find<ColorButton>("changeToInButton")->color(), ColorButton::Colour::Lime);

    c.h.click("whiteBackgroundBox"); // unticked: the list takes the "All Others" colour
    // A new "All Others" colour, chosen on the Options page since.
    c.h.tab("Options");
    velmora::test::ColourDialogAnswer colour(colourFromBgr(0x00FFEE));
    c.h.click("othersColourPanel");
    c.h.tab("Status");
    c.h.row("10.0.0.7", Qt::RightButton);
    c.h.click(c.window.menus().personMenu, c.h.find<QAction>("changeStatusAction"));
    EXPECT_EQ(c.window.pages().currentPage(), c.window.page("changeStatusPage"));
    EXPECT_EQ(c.h.find<ColorButton>("changeToInButton")->color(), 0x123456u);
    EXPECT_EQ(c.h.find<ColorButton>("changeToOutButton")->color(),
              c.window.core().options().colours.out);
    EXPECT_EQ(list->palette().color(QPalette::Base), colourFromBgr(0x00FFEE));

    c.h.click("whiteBackgroundBox");
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(list->count(), 10);
}

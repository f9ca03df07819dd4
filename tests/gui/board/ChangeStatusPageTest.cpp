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
using velmora::test::FormHarness;

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

// A window that knows Ann at 10.0.0.7 and has her change page open by Ctrl + left click.
struct ChangeAnn {
    ChangeAnn() {
        form.Core().DispatchDatagram("arAnn\xF7 Out", "10.0.0.7");
        const auto& order = form.Core().Roster().DisplayOrder();
        int row = -1;
        for (int r = 0; r < order.size(); ++r)
            if (form.Core().Roster().Entries()[order[r].position].startsWith("10.0.0.7=")) row = r;
        form.ListBox1MouseDown(Qt::LeftButton, true,
                               QPoint(5, row * form.ListBox1().RowHeight() + 3), QPoint());
        h.sent.clear();
    }
    void Click(const char* button) {
        auto* b = h.Find<tColorButton>(button);
        b->onclick(b);
    }
    bool OnStatusPage() const { return form.PageControl1().CurrentPage() == form.Page("Status1"); }

    FormHarness h;
    TForm1& form = *h.form;
};

} // namespace

TEST(ChangeStatus, EachChoiceSendsOneProxyAnnouncementAndReturnsToTheStatusPage) {
    ChangeAnn c;
    ASSERT_EQ(c.form.PageControl1().CurrentPage(), c.form.Page("ChgStatus"));
    c.Click("In22");
    EXPECT_TRUE(c.OnStatusPage());
    c.Click("Busy22");
    c.Click("Out22");
    auto* list = c.h.Find<QListWidget>("ListBox2");
    ASSERT_EQ(list->item(2)->text(), Q("At lunch"));
    Q_EMIT list->itemClicked(list->item(2)); // "White background" ticked, "Time stamp" ticked
    c.h.Find<QCheckBox>("WhtBkg")->click();
    c.h.Find<QCheckBox>("TimeAll")->setChecked(false);
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
    c.form.SelectTab(c.form.Page("ChgStatus"));
    c.h.sent.clear();
    c.h.Find<QPushButton>("Cancel1")->click();
    EXPECT_TRUE(c.OnStatusPage());
    EXPECT_TRUE(c.h.sent.isEmpty());
}

TEST(ChangeStatus, CustomizedStatusIsWhiteUnstampedAndCancelStaysOnThePage) {
    ChangeAnn c;
    velmora::test::InputDialogAnswer cancel(false, Q("Never sent"));
    c.h.Find<QPushButton>("Button7")->click();
    EXPECT_EQ(cancel.caption, Q("Customize Status"));
    EXPECT_EQ(cancel.prompt, Q("Enter Status"));
    EXPECT_TRUE(c.h.sent.isEmpty());
    EXPECT_EQ(c.form.PageControl1().CurrentPage(), c.form.Page("ChgStatus"));

    c.h.Find<QCheckBox>("WhtBkg")->click(); // unticked: still white for a typed status
    velmora::test::InputDialogAnswer ok(true, Q("Visiting <b>client</b> & co"));
    c.h.Find<QPushButton>("Button7")->click();
    EXPECT_EQ(c.h.sent, QList<QByteArray>{"zw10.0.0.7\xF7"
                                          "Ann\xF7 Visiting <b>client</b> & co"});
    EXPECT_TRUE(c.OnStatusPage());
}

TEST(ChangeStatus, MenuOpensThePageInTheCurrentClassColoursCtrlClickDoesNot) {
    ChangeAnn c;
    TClassColours& colours = c.form.Core().Options().colours;
    colours.In = 0x123456;
    colours.Rest = 0x00FFEE;
    auto* list = c.h.Find<QListWidget>("ListBox2");
    EXPECT_EQ(c.h.Find<tColorButton>("In22")->Color(), tColorButton::clLime);

    c.h.Find<QCheckBox>("WhtBkg")->setChecked(false);
    c.form.SelectTab(c.form.Page("Status1"));
    c.h.Find<QAction>("chgOthers")->trigger();
    EXPECT_EQ(c.form.PageControl1().CurrentPage(), c.form.Page("ChgStatus"));
    EXPECT_EQ(c.h.Find<tColorButton>("In22")->Color(), 0x123456u);
    EXPECT_EQ(c.h.Find<tColorButton>("Out22")->Color(), colours.Out);
    EXPECT_EQ(list->palette().color(QPalette::Base), ColourFromBgr(0x00FFEE));

    c.h.Find<QCheckBox>("WhtBkg")->click();
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(list->count(), 10);
}

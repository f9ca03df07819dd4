// The main window as a user meets it: its controls, pages, sizes, menus and the typed-letter
// order of the status list.

#include "gui/board/StatusListView.h"
#include "core/net/AnsiText.h"
#include "support/WindowHarness.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::FormHarness;

namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList Tabs(TForm1& form) {
    QStringList tabs;
    for (int i = 0; i < form.PageControl1().TabBar()->count(); ++i)
        tabs << form.PageControl1().TabBar()->tabText(i);
    return tabs;
}

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

// Stands in for the desktop's "open" action.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl& url) { opened.append(url); }
};

TEST(Form1, ControlsCarryTheirCaptionsItemsAndFirstStartStates) {
    FormHarness h;
    EXPECT_EQ(Tabs(*h.form), (QStringList{Q("Status"), Q("Messages"), Q("Compose"), Q("Discuss"),
                                          Q("Options"), Q("Help")}));
    EXPECT_EQ(h.Find<QPushButton>("ButtonIn")->text(), Q("&In"));
    EXPECT_EQ(h.Find<QPushButton>("ButtonOut")->size(), QSize(38, 19));
    EXPECT_EQ(h.Find<QPushButton>("Busy")->focusPolicy(), Qt::NoFocus);

    EXPECT_EQ(Items(h.Find<QComboBox>("ComboBox1")).value(0), Q("On the phone"));
    EXPECT_EQ(Items(h.Find<QComboBox>("ComboBox1")).size(), 10);
    EXPECT_EQ(Items(h.Find<QComboBox>("ScrnSize1")),
              (QStringList{Q("Small"), Q("Medium"), Q("Large")}));
    EXPECT_EQ(h.Find<QComboBox>("ScrnSize1")->currentText(), Q("Medium"));
    EXPECT_EQ(Items(h.Find<QComboBox>("SizeBox1")), (QStringList{Q("8"), Q("10"), Q("12")}));
    EXPECT_EQ(h.Find<QComboBox>("ComboBox2")->currentText(), Q("12-hour clock"));
    EXPECT_EQ(h.Find<QCheckBox>("StampBgnEnd")->text(), Q("Time stamp startup && shutdown"));
    EXPECT_EQ(h.Find<QCheckBox>("DelBusyIn")->text(), Q("Exit as \"Out\" if \"In\" or \"Busy\""));
    EXPECT_FALSE(h.Find<QPushButton>("Reply1")->isEnabled());
    EXPECT_FALSE(h.Find<QPushButton>("Send1Msg")->isEnabled());
    EXPECT_TRUE(h.Find<QPlainTextEdit>("MsgOut")->isReadOnly());
    EXPECT_TRUE(h.Find<QPlainTextEdit>("MsgOut")->toPlainText().startsWith(
        Q("Before you send a message, select the Status page and click on the \n")));
    EXPECT_EQ(h.Find<QLabel>("VerLabel1")->text(), Q(" Dazuviz Velmora 2.9"));
    EXPECT_EQ(h.Find<QLineEdit>("realName1")->text(), Q("OPERATOR"));

    // A first start: settings file defaults applied over the laid-out states.
    EXPECT_TRUE(h.Find<QCheckBox>("ColorSort")->isChecked());
    EXPECT_FALSE(h.Find<QCheckBox>("HideMsgSys")->isChecked());
    EXPECT_FALSE(h.Find<QCheckBox>("HideDiscuss")->isChecked());
    EXPECT_EQ(h.Find<QLineEdit>("idleEdit")->text(), Q("15"));
    EXPECT_EQ(h.form->pos(), QPoint(20, 20));
    EXPECT_EQ(h.form->PageControl1().CurrentPage(), h.form->Page("Status1"));
}

TEST(Form1, MenusHoldTheirItems) {
    FormHarness h;
    QStringList tray;
    for (QAction* a : h.form->PopupMenu1().actions())
        if (!a->isSeparator() && a->isVisible()) tray << a->text();
    EXPECT_EQ(tray, (QStringList{Q("Dazuviz Velmora"), Q("OPERATOR"), Q("In ( 9:05 AM on Mon)"),
                                 Q("&In"), Q("&Busy"), Q("&Out"), Q("&Customize Status"),
                                 Q("Refresh Status list"), Q("Hide Off-line Names"),
                                 Q("Show Velmora"), Q("&Set status to Out and exit"), Q("E&xit")}));
    auto* info = h.Find<QAction>("info");
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isVisible());
    EXPECT_FALSE(info->isEnabled());
    EXPECT_FALSE(h.Find<QAction>("Startup1")->isVisible());

    // A name or status from another copy is shown as it is, never as a mnemonic.
    EXPECT_EQ(TForm1::MenuText("R&D Team"), Q("R&&D Team"));
}

TEST(Form1, WindowSizeFollowsThePageAndTheHeightOption) {
    FormHarness h;
    TForm1& form = *h.form;
    const QSize designed(TForm1::kDesignedWidth, TForm1::kDesignedHeight);
    EXPECT_EQ(form.size(), designed);

    h.Find<QComboBox>("ScrnSize1")->setCurrentText(Q("Small"));
    form.SelectTab(form.Page("Status1"));
    EXPECT_EQ(form.size(), QSize(designed.width(), designed.height() / 2 + 9));
    form.SelectTab(form.Page("Options"));
    EXPECT_EQ(form.size(), designed);

    h.Find<QComboBox>("ScrnSize1")->setCurrentText(Q("Large"));
    form.SelectTab(form.Page("Status1"));
    EXPECT_EQ(form.size(), QSize(form.RememberedWidth(), form.LargeHeight()));
    EXPECT_GE(form.LargeHeight(), designed.height() + 80);
    form.SelectTab(form.Page("Help"));
    EXPECT_EQ(form.size(), designed);
}

TEST(Form1, HidingTheMessageSystemHidesBothTabsAndStaysOnOptions) {
    FormHarness h;
    TForm1& form = *h.form;
    form.SelectTab(form.Page("Options"));
    h.Find<QCheckBox>("HideMsgSys")->click();
    EXPECT_EQ(Tabs(form), (QStringList{Q("Status"), Q("Discuss"), Q("Options"), Q("Help")}));
    EXPECT_EQ(form.PageControl1().CurrentPage(), form.Page("Options"));
    EXPECT_TRUE(form.Core().Options().msgOn);

    h.Find<QCheckBox>("HideDiscuss")->click();
    EXPECT_EQ(Tabs(form), (QStringList{Q("Status"), Q("Options"), Q("Help")}));

    // Kept for the next start.
    form.Core().SaveAllSettings();
    TProfile saved;
    saved.Load(h.config.settingsPath);
    EXPECT_EQ(saved.ReadSetting("VLX", "msgOn", ""), "1");
    EXPECT_EQ(saved.ReadSetting("VLX", "discuss", ""), "1");
}

TEST(Form1, TypedLettersPutNamesOnTopAndTheTitleSaysSo) {
    FormHarness h;
    TForm1& form = *h.form;
    TVelmoraCore& core = form.Core();
    int host = 10;
    for (const char* name : {"Zoe", "Bea", "Al", "bob", "Ben"})
        core.DispatchDatagram(QByteArray("ag") + name + '\xF7' + " In",
                              "10.0.1." + QByteArray::number(host++));
    auto order = [&] {
        QStringList names;
        for (const TSortKey& k : core.Roster().DisplayOrder())
            names << FromAnsi(TRoster::Split(core.Roster().Entries()[k.position]).name);
        return names;
    };
    form.FormKeyPress(Q("b"));
    EXPECT_EQ(order().mid(0, 2), (QStringList{Q("Bea"), Q("Ben")}));
    EXPECT_EQ(form.windowTitle(), Q("Dazuviz Velmora - (Names starting with B on top)"));
    // "bob" starts with a lower-case b: not on top.
    EXPECT_EQ(order().indexOf(Q("bob")), 3);
    form.FormKeyPress(Q("B"));
    EXPECT_EQ(form.windowTitle(), Q("Dazuviz Velmora"));
    // Back to the colour order, which groups by class and then by address.
    EXPECT_EQ(order(),
              (QStringList{Q("OPERATOR"), Q("Zoe"), Q("Bea"), Q("Al"), Q("bob"), Q("Ben")}));
}

TEST(Form1, OwnStatusButtonsAnnounceAndColourTheRemarkBox) {
    FormHarness h;
    h.sent.clear();
    h.Find<QPushButton>("Busy")->click();
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "afOPERATOR\xF7 Busy - In but unavailable ( 9:05 AM on Mon)");
    EXPECT_EQ(h.Find<QComboBox>("ComboBox1")->palette().color(QPalette::Base), QColor(255, 0, 255));
}

TEST(Form1, IdleBoxKeepsDigitsOnEnterAndRestoresTheLimitWithoutAny) {
    FormHarness h;
    auto* box = h.Find<QLineEdit>("idleEdit");
    box->setText(QStringLiteral("1a2"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(h.form->Core().Idle().IdleLimit(), 720);
    box->setText(QStringLiteral("soon"));
    QTest::keyClick(box, Qt::Key_Enter);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(h.form->Core().Idle().IdleLimit(), 720);
}

TEST(Form1, HelpOpensTheDocumentAtTheTopicAndTheSiteFromOneAddress) {
    FormHarness h;
    UrlCatcher catcher;
    QList<QUrl>& opened = catcher.opened;
    QDesktopServices::setUrlHandler(Q("file"), &catcher, "open");
    QDesktopServices::setUrlHandler(Q("https"), &catcher, "open");
    h.Find<QPushButton>("HlpStatus")->click();
    h.Find<QPushButton>("Button9")->click();
    QDesktopServices::unsetUrlHandler(Q("file"));
    QDesktopServices::unsetUrlHandler(Q("https"));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened[0].path().endsWith(Q("/help.html")));
    EXPECT_EQ(opened[0].query(), Q("j=Status"));
    EXPECT_EQ(opened[0].fragment(), Q("status"));
    EXPECT_EQ(opened[1].toString(), h.Find<QPushButton>("WebSite")->text() + Q("support.html"));
}

#include "MainWindowTest.moc"

// The main window as a user meets it: its controls, pages, sizes, menus and the typed-letter
// order of the status list.

#include "core/net/AnsiText.h"
#include "gui/board/StatusListView.h"
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
using velmora::test::WindowHarness;

namespace {

QStringList items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList tabs(MainWindow& form) {
    QStringList tabs;
    for (int i = 0; i < form.pages().tabBar()->count(); ++i)
        tabs << form.pages().tabBar()->tabText(i);
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

TEST(MainWindow, ControlsCarryTheirCaptionsItemsAndFirstStartStates) {
    WindowHarness h;
    EXPECT_EQ(tabs(*h.form), (QStringList{Q("Status"), Q("Messages"), Q("Compose"), Q("Discuss"),
                                          Q("Options"), Q("Help")}));
    EXPECT_EQ(h.find<QPushButton>("inButton")->text(), Q("&In"));
    EXPECT_EQ(h.find<QPushButton>("outButton")->size(), QSize(38, 19));
    EXPECT_EQ(h.find<QPushButton>("busyButton")->focusPolicy(), Qt::NoFocus);

    EXPECT_EQ(items(h.find<QComboBox>("remarkBox")).value(0), Q("On the phone"));
    EXPECT_EQ(items(h.find<QComboBox>("remarkBox")).size(), 10);
    EXPECT_EQ(items(h.find<QComboBox>("heightBox")),
              (QStringList{Q("Small"), Q("Medium"), Q("Large")}));
    EXPECT_EQ(h.find<QComboBox>("heightBox")->currentText(), Q("Medium"));
    EXPECT_EQ(items(h.find<QComboBox>("fontSizeBox")), (QStringList{Q("8"), Q("10"), Q("12")}));
    EXPECT_EQ(h.find<QComboBox>("timeFormatBox")->currentText(), Q("12-hour clock"));
    EXPECT_EQ(h.find<QCheckBox>("stampStartAndEndBox")->text(),
              Q("Time stamp startup && shutdown"));
    EXPECT_EQ(h.find<QCheckBox>("exitAsOutBox")->text(),
              Q("Exit as \"Out\" if \"In\" or \"Busy\""));
    EXPECT_FALSE(h.find<QPushButton>("replyButton")->isEnabled());
    EXPECT_FALSE(h.find<QPushButton>("sendButton")->isEnabled());
    EXPECT_TRUE(h.find<QPlainTextEdit>("composeBox")->isReadOnly());
    EXPECT_TRUE(h.find<QPlainTextEdit>("composeBox")
                    ->toPlainText()
                    .startsWith(Q(
                        "Before you send a message, select the Status page and click on the \n")));
    EXPECT_EQ(h.find<QLabel>("versionLabel")->text(), Q(" Dazuviz Velmora 2.9"));
    EXPECT_EQ(h.find<QLineEdit>("nameBox")->text(), Q("OPERATOR"));

    // A first start: settings file defaults applied over the laid-out states.
    EXPECT_TRUE(h.find<QCheckBox>("colourSortBox")->isChecked());
    EXPECT_FALSE(h.find<QCheckBox>("hideMessagingBox")->isChecked());
    EXPECT_FALSE(h.find<QCheckBox>("hideDiscussBox")->isChecked());
    EXPECT_EQ(h.find<QLineEdit>("idleTimeoutBox")->text(), Q("15"));
    EXPECT_EQ(h.form->pos(), QPoint(20, 20));
    EXPECT_EQ(h.form->pages().currentPage(), h.form->page("statusPage"));
}

TEST(MainWindow, MenusHoldTheirItems) {
    WindowHarness h;
    QStringList tray;
    for (QAction* a : h.form->menus().trayMenu->actions())
        if (!a->isSeparator() && a->isVisible()) tray << a->text();
    EXPECT_EQ(tray, (QStringList{Q("Dazuviz Velmora"), Q("OPERATOR"), Q("In ( 9:05 AM on Mon)"),
                                 Q("&In"), Q("&Busy"), Q("&Out"), Q("&Customize Status"),
                                 Q("Refresh Status list"), Q("Hide Off-line Names"),
                                 Q("Show Velmora"), Q("&Set status to Out and exit"), Q("E&xit")}));
    auto* info = h.find<QAction>("informationAction");
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isVisible());
    EXPECT_FALSE(info->isEnabled());
    EXPECT_FALSE(h.find<QAction>("startupAction")->isVisible());

    // A name or status from another copy is shown as it is, never as a mnemonic.
    EXPECT_EQ(menuText("R&D Team"), Q("R&&D Team"));
}

TEST(MainWindow, WindowSizeFollowsThePageAndTheHeightOption) {
    WindowHarness h;
    MainWindow& form = *h.form;
    const QSize designed(MainWindow::kDesignedWidth, MainWindow::kDesignedHeight);
    EXPECT_EQ(form.size(), designed);

    h.find<QComboBox>("heightBox")->setCurrentText(Q("Small"));
    form.showPage(form.page("statusPage"));
    EXPECT_EQ(form.size(), QSize(designed.width(), designed.height() / 2 + 9));
    form.showPage(form.page("optionsPage"));
    EXPECT_EQ(form.size(), designed);

    h.find<QComboBox>("heightBox")->setCurrentText(Q("Large"));
    form.showPage(form.page("statusPage"));
    EXPECT_EQ(form.size(), QSize(form.rememberedWidth(), form.largeHeight()));
    EXPECT_GE(form.largeHeight(), designed.height() + 80);
    form.showPage(form.page("helpPage"));
    EXPECT_EQ(form.size(), designed);
}

TEST(MainWindow, HidingTheMessageSystemHidesBothTabsAndStaysOnOptions) {
    WindowHarness h;
    MainWindow& form = *h.form;
    form.showPage(form.page("optionsPage"));
    h.find<QCheckBox>("hideMessagingBox")->click();
    EXPECT_EQ(tabs(form), (QStringList{Q("Status"), Q("Discuss"), Q("Options"), Q("Help")}));
    EXPECT_EQ(form.pages().currentPage(), form.page("optionsPage"));
    EXPECT_TRUE(form.core().options().messagingHidden);

    h.find<QCheckBox>("hideDiscussBox")->click();
    EXPECT_EQ(tabs(form), (QStringList{Q("Status"), Q("Options"), Q("Help")}));

    // Kept for the next start.
    form.core().saveAllSettings();
    Profile saved;
    saved.load(h.config.settingsPath);
    EXPECT_EQ(saved.readSetting("VLX", "msgOn", ""), "1");
    EXPECT_EQ(saved.readSetting("VLX", "discuss", ""), "1");
}

TEST(MainWindow, TypedLettersPutNamesOnTopAndTheTitleSaysSo) {
    WindowHarness h;
    MainWindow& form = *h.form;
    Core& core = form.core();
    int host = 10;
    for (const char* name : {"Zoe", "Bea", "Al", "bob", "Ben"})
        core.dispatchDatagram(QByteArray("ag") + name + '\xF7' + " In",
                              "10.0.1." + QByteArray::number(host++));
    auto order = [&] {
        QStringList names;
        for (const SortKey& k : core.roster().displayOrder())
            names << fromAnsi(Roster::split(core.roster().entries()[k.position]).name);
        return names;
    };
    form.statusPage().onLetterTyped(Q("b"));
    EXPECT_EQ(order().mid(0, 2), (QStringList{Q("Bea"), Q("Ben")}));
    EXPECT_EQ(form.windowTitle(), Q("Dazuviz Velmora - (Names starting with B on top)"));
    // "bob" starts with a lower-case b: not on top.
    EXPECT_EQ(order().indexOf(Q("bob")), 3);
    form.statusPage().onLetterTyped(Q("B"));
    EXPECT_EQ(form.windowTitle(), Q("Dazuviz Velmora"));
    // Back to the colour order, which groups by class and then by address.
    EXPECT_EQ(order(),
              (QStringList{Q("OPERATOR"), Q("Zoe"), Q("Bea"), Q("Al"), Q("bob"), Q("Ben")}));
}

TEST(MainWindow, OwnStatusButtonsAnnounceAndColourTheRemarkBox) {
    WindowHarness h;
    h.sent.clear();
    h.find<QPushButton>("busyButton")->click();
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "afOPERATOR\xF7 Busy - In but unavailable ( 9:05 AM on Mon)");
    EXPECT_EQ(h.find<QComboBox>("remarkBox")->palette().color(QPalette::Base), QColor(255, 0, 255));
}

TEST(MainWindow, IdleBoxKeepsDigitsOnEnterAndRestoresTheLimitWithoutAny) {
    WindowHarness h;
    auto* box = h.find<QLineEdit>("idleTimeoutBox");
    box->setText(QStringLiteral("1a2"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(h.form->core().idle().idleLimit(), 720);
    box->setText(QStringLiteral("soon"));
    QTest::keyClick(box, Qt::Key_Enter);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(h.form->core().idle().idleLimit(), 720);
}

TEST(MainWindow, HelpOpensTheDocumentAtTheTopicAndTheSiteFromOneAddress) {
    WindowHarness h;
    UrlCatcher catcher;
    QList<QUrl>& opened = catcher.opened;
    QDesktopServices::setUrlHandler(Q("file"), &catcher, "open");
    QDesktopServices::setUrlHandler(Q("https"), &catcher, "open");
    h.find<QPushButton>("helpStatus")->click();
    h.find<QPushButton>("webSupportButton")->click();
    QDesktopServices::unsetUrlHandler(Q("file"));
    QDesktopServices::unsetUrlHandler(Q("https"));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened[0].path().endsWith(Q("/help.html")));
    EXPECT_EQ(opened[0].query(), Q("j=Status"));
    EXPECT_EQ(opened[0].fragment(), Q("status"));
    EXPECT_EQ(opened[1].toString(), h.find<QPushButton>("webSiteLink")->text() + Q("support.html"));
}

#include "MainWindowTest.moc"

// The main window as a user meets it: its controls, pages, sizes, menus and the typed-letter
// order of the status list.

#include "core/net/AnsiText.h"
#include "gui/board/StatusListView.h"
#include "gui/controls/BuiltWhenShown.h"
#include "gui/window/HelpPage.h"
#include "support/WindowUser.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTabBar>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Q;
using velmora::test::WindowHarness;
using velmora::test::WindowUser;

namespace {

QStringList items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList tabs(MainWindow& window) {
    QStringList tabs;
    for (int i = 0; i < window.pages().tabBar()->count(); ++i)
        tabs << window.pages().tabBar()->tabText(i);
    return tabs;
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
    WindowUser h;
    EXPECT_EQ(tabs(*h.window), (QStringList{Q("Status"), Q("Messages"), Q("Compose"), Q("Discuss"),
                                            Q("Options"), Q("Help")}));
    EXPECT_EQ(h.find<QPushButton>("inButton")->text(), Q("&In"));
    EXPECT_EQ(h.find<QPushButton>("outButton")->size(), QSize(38, 19));
    EXPECT_EQ(h.find<QPushButton>("busyButton")->focusPolicy(), Qt::NoFocus);

    EXPECT_EQ(items(h.find<QComboBox>("remarkBox")).value(0), Q("On the phone"));
    EXPECT_EQ(items(h.find<QComboBox>("remarkBox")).size(), 10);
    EXPECT_EQ(h.window->pos(), QPoint(20, 20));
    EXPECT_EQ(h.window->pages().currentPage(), h.window->page("statusPage"));

    h.tab("Options");
    EXPECT_EQ(items(h.find<QComboBox>("heightBox")),
              (QStringList{Q("Small"), Q("Medium"), Q("Large")}));
    EXPECT_EQ(h.find<QComboBox>("heightBox")->currentText(), Q("Medium"));
    EXPECT_EQ(items(h.find<QComboBox>("fontSizeBox")), (QStringList{Q("8"), Q("10"), Q("12")}));
    EXPECT_EQ(h.find<QComboBox>("timeFormatBox")->currentText(), Q("12-hour clock"));
    EXPECT_EQ(h.find<QCheckBox>("stampStartAndEndBox")->text(),
              Q("Time stamp startup && shutdown"));
    EXPECT_EQ(h.find<QCheckBox>("exitAsOutBox")->text(),
              Q("Exit as \"Out\" if \"In\" or \"Busy\""));
    EXPECT_FALSE(h.glance("Compose").find<QPushButton>("sendButton")->isEnabled());
    EXPECT_TRUE(h.find<QPlainTextEdit>("composeBox")
                    ->placeholderText()
                    .startsWith(Q("Before you send a message, select the Status page and click on "
                                  "the name of the person to whom")));
    EXPECT_EQ(h.find<QLineEdit>("nameBox")->text(), Q("OPERATOR"));

    // A first start: settings file defaults applied over the laid-out states.
    EXPECT_TRUE(h.find<QCheckBox>("colourSortBox")->isChecked());
    EXPECT_FALSE(h.find<QCheckBox>("hideMessagingBox")->isChecked());
    EXPECT_FALSE(h.find<QCheckBox>("hideDiscussBox")->isChecked());
    EXPECT_EQ(h.find<QLineEdit>("idleTimeoutBox")->text(), Q("15"));
    EXPECT_TRUE(h.find<QCheckBox>("idleOnLockBox")->isChecked());
    h.tab("Messages"); // nothing to reply to yet
    EXPECT_FALSE(h.find<QPushButton>("replyButton")->isEnabled());
}

TEST(MainWindow, MenusHoldTheirItems) {
    WindowHarness h;
    QStringList tray;
    for (QAction* a : h.window->menus().trayMenu->actions())
        if (!a->isSeparator() && a->isVisible()) tray << a->text();
    EXPECT_EQ(tray,
              (QStringList{Q("Dazuviz Velmora"), Q("OPERATOR"), Q("In ( 9:05 AM on Mon)"), Q("&In"),
                           Q("&Busy"), Q("&Out"), Q("&Customize Status"), Q("Start when I log in"),
                           Q("Refresh Status list"), Q("Hide Off-line Names"), Q("Show Velmora"),
                           Q("&Set status to Out and exit"), Q("E&xit")}));
    auto* info = h.find<QAction>("informationAction");
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isVisible());
    EXPECT_FALSE(info->isEnabled());
    EXPECT_TRUE(h.find<QAction>("startupAction")->isCheckable());

    // A name or status from another copy is shown as it is, never as a mnemonic.
    EXPECT_EQ(menuText("R&D Team"), Q("R&&D Team"));
}

TEST(MainWindow, WindowSizeFollowsThePageAndTheHeightOption) {
    WindowUser h;
    MainWindow& window = *h.window;
    const QSize designed(MainWindow::kDesignedWidth, MainWindow::kDesignedHeight);
    EXPECT_EQ(window.size(), designed);

    h.tab("Options");
    h.choose("heightBox", Q("Small"));
    h.tab("Status");
    EXPECT_EQ(window.size(), QSize(designed.width(), designed.height() / 2 + 9));
    h.tab("Options");
    EXPECT_EQ(window.size(), designed);

    h.choose("heightBox", Q("Large"));
    h.tab("Status");
    EXPECT_EQ(window.size(), QSize(window.rememberedWidth(), window.largeHeight()));
    EXPECT_GE(window.largeHeight(), designed.height() + 80);
    h.tab("Help");
    EXPECT_EQ(window.size(), designed);

    // Back to a fixed frame, also where the size stays the same.
    h.tab("Options");
    h.choose("heightBox", Q("Medium"));
    EXPECT_EQ(window.minimumSize(), designed);
    EXPECT_EQ(window.maximumSize(), designed);
}

TEST(MainWindow, HidingTheMessageSystemHidesBothTabsAndStaysOnOptions) {
    WindowUser h;
    MainWindow& window = *h.window;
    h.tab("Options");
    h.click("hideMessagingBox");
    EXPECT_EQ(tabs(window), (QStringList{Q("Status"), Q("Discuss"), Q("Options"), Q("Help")}));
    EXPECT_EQ(window.pages().currentPage(), window.page("optionsPage"));
    EXPECT_TRUE(window.core().options().messagingHidden);

    h.click("hideDiscussBox");
    EXPECT_EQ(tabs(window), (QStringList{Q("Status"), Q("Options"), Q("Help")}));

    // Kept for the next start.
    window.core().saveAllSettings();
    Profile saved;
    saved.load(h.config.settingsPath);
    EXPECT_EQ(saved.readSetting("VLX", "msgOn", ""), "1");
    EXPECT_EQ(saved.readSetting("VLX", "discuss", ""), "1");
}

TEST(MainWindow, TypedLettersPutNamesOnTopAndTheTitleSaysSo) {
    WindowUser h;
    MainWindow& window = *h.window;
    Core& core = window.core();
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
    h.row({}); // the list takes the keys; a click below the names chooses nobody
    h.input.type(Q("b"));
    EXPECT_EQ(order().mid(0, 2), (QStringList{Q("Bea"), Q("Ben")}));
    EXPECT_EQ(window.windowTitle(), Q("Dazuviz Velmora - (Names starting with B on top)"));
    // "bob" starts with a lower-case b: not on top.
    EXPECT_EQ(order().indexOf(Q("bob")), 3);
    h.input.type(Q("B"));
    EXPECT_EQ(window.windowTitle(), Q("Dazuviz Velmora"));
    // Back to the colour order, which groups by class and then by address.
    EXPECT_EQ(order(),
              (QStringList{Q("OPERATOR"), Q("Zoe"), Q("Bea"), Q("Al"), Q("bob"), Q("Ben")}));
}

TEST(MainWindow, OwnStatusButtonsAnnounceAndColourTheRemarkBox) {
    WindowUser h;
    h.sent.clear();
    h.click("busyButton");
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "afOPERATOR\xF7 Busy - In but unavailable ( 9:05 AM on Mon)");
    EXPECT_EQ(h.find<QComboBox>("remarkBox")->palette().color(QPalette::Base), QColor(255, 0, 255));
}

TEST(MainWindow, IdleBoxKeepsDigitsOnEnterAndRestoresTheLimitWithoutAny) {
    WindowUser h;
    h.tab("Options");
    auto* box = h.find<QLineEdit>("idleTimeoutBox");
    h.click(box);
    h.retype(QStringLiteral("1a2"));
    h.input.key(Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(h.window->core().idle().idleLimit(), 720);
    h.retype(QStringLiteral("soon"));
    h.input.key(Qt::Key_Enter);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(h.window->core().idle().idleLimit(), 720);
}

// What only a later action needs is made when a person first reaches it, holding what it was
// given before: the control, its text or title. Pages are made with the window's font as the
// application's (so no other font file is loaded for them); afterwards the desktop's fonts are
// back, for the whole program and for the classes of controls it gave fonts to.
TEST(MainWindow, PagesMadeWhenFirstShownHoldWhatTheyWereGivenBefore) {
    const QFont desktop = QApplication::font();
    const QFont menuFont(Q("Serif"), 13);
    QApplication::setFont(menuFont, "QMenu");
    const auto restore = qScopeGuard([&] { QApplication::setFont(desktop); });
    const std::tuple<const char*, void (*)(WindowUser&), const char*> cases[] = {
        {"versionLabel", [](WindowUser& h) { h.tab("Help"); }, " Dazuviz Velmora 2.9"},
        // The person menu prepares the change page for Ann before it was ever shown.
        {"personGroup",
         [](WindowUser& h) {
             h.window->core().dispatchDatagram("arAnn\xF7 Out", "10.0.0.7");
             h.row("10.0.0.7", Qt::RightButton);
             h.click(h.window->menus().personMenu, h.find<QAction>("changeStatusAction"));
         },
         " Change Status for Ann"},
        {"foundList",
         [](WindowUser& h) {
             h.window->core().dispatchDatagram("MLunch?\r\n - - - From Ann (10.0.0.7)", "10.0.0.7");
             h.input.key(Qt::Key_F, Qt::ControlModifier);
             h.input.type(Q("lunch"));
         },
         ""},
        {"nameBox", [](WindowUser& h) { h.tab("Options"); }, "OPERATOR"},
        // An option changed before the page was built shows in its control.
        {"idleTimeoutBox",
         [](WindowUser& h) {
             h.window->core().changeOptions([](Options& o) { o.idleTimeoutText = "30"; });
             h.tab("Options");
         },
         "30"},
        // A message that came while the user was writing waits for the page's first showing.
        {"messageBox",
         [](WindowUser& h) {
             h.click("remarkBox");
             h.input.type(Q("Back at"));
             h.window->core().dispatchDatagram("MLunch?\r\n - - - From Ann (10.0.0.7)", "10.0.0.7");
             EXPECT_EQ(h.find<QWidget>("messageBox"), nullptr);
             h.tab("Messages");
         },
         "Lunch?\n - - - From Ann (10.0.0.7)\n at 9:05 AM on Mon \n "},
        {"discussionBoard",
         [](WindowUser& h) {
             h.window->core().dispatchDatagram("dAnn > cake at ten", "10.0.0.7");
             h.tab("Discuss");
         },
         "Ann > cake at ten"},
        // Ann chosen through the person menu before the Compose page was ever shown.
        {"recipientGroup",
         [](WindowUser& h) {
             h.window->core().dispatchDatagram("arAnn\xF7 Out", "10.0.0.7");
             h.row("10.0.0.7", Qt::RightButton);
             h.click(h.window->menus().personMenu, h.find<QAction>("sendMessageAction"));
         },
         "To Ann"},
    };
    for (const auto& [control, show, shown] : cases) {
        WindowUser h;
        EXPECT_EQ(h.window->findChild<QWidget*>(Q(control)), nullptr) << control;
        show(h);
        QWidget* made = h.find<QWidget>(control);
        ASSERT_TRUE(made && made->isVisible()) << control;
        EXPECT_EQ(QApplication::font(), desktop) << control;
        EXPECT_EQ(QApplication::font("QMenu"), menuFont) << control;
        EXPECT_EQ(QApplication::font(h.window->menus().personMenu), menuFont) << control;
        EXPECT_EQ(made->property("text").toString() + made->property("title").toString() +
                      made->property("plainText").toString(),
                  Q(shown));
        // Tab reaches the controls where their page stands, as if they had been made with it:
        // between the two, only the page's own controls and widgets that Tab passes over.
        QWidget* page = made;
        while (page->parentWidget() != h.window->pages().currentPage()->parentWidget())
            page = page->parentWidget();
        if (!dynamic_cast<BuiltWhenShown*>(page) || made->focusPolicy() == Qt::NoFocus) continue;
        QWidget* next = page->nextInFocusChain();
        while (next != made && (page->isAncestorOf(next) || next->focusPolicy() == Qt::NoFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, made) << control;
    }
}

TEST(MainWindow, HelpOpensInItsOwnWindowAtTheTopicAndTheSiteFromOneAddress) {
    WindowUser h;
    h.tab("Help");
    h.click("helpMessages");
    auto* help = h.find<QTextBrowser>("helpWindow");
    ASSERT_TRUE(help && help->isVisible());
    EXPECT_EQ(help->windowTitle(), Q("Dazuviz Velmora Help"));
    const int messages = help->verticalScrollBar()->value();
    h.click("helpOptions"); // the last topic, further down in the same window
    EXPECT_GT(help->verticalScrollBar()->value(), messages);
    EXPECT_GT(messages, 0);
    EXPECT_EQ(h.window->findChildren<QTextBrowser*>().size(), 1);

    h.find<HelpPage>("helpPage")->setHelpPlaces({Q("/nowhere/help.html")});
    QString missing;
    QTimer::singleShot(0, [&missing] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        missing = box ? box->text() : QString();
        if (box) box->accept();
    });
    h.click("helpOverview");
    EXPECT_EQ(missing, Q("/nowhere/help.html not found."));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(Q("https"), &catcher, "open");
    h.click("webSupportButton");
    QDesktopServices::unsetUrlHandler(Q("https"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].toString(),
              h.find<QPushButton>("webSiteLink")->text() + Q("support.html"));

    h.click("helpNetwork"); // the report as plain text, in a window of its own
    auto* network = h.find<QPlainTextEdit>("networkWindow");
    ASSERT_TRUE(network && network->isVisible() && network->isReadOnly());
    EXPECT_TRUE(network->toPlainText().contains(Q("Settings file: ")));

    // One style sheet anywhere would bring in Qt's style sheet engine at start.
    for (const QWidget* w : h.window->findChildren<QWidget*>())
        EXPECT_FALSE(w->style()->inherits("QStyleSheetStyle")) << w->objectName().toStdString();
}

#include "MainWindowTest.moc"

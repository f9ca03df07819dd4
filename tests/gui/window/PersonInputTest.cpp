// The window driven as a person drives it: clicks land on the widget under the pointer, keys go
// to the focus widget. Each case pins a path that a handler called directly would not prove.

#include "support/PersonInput.h"
#include "gui/controls/TrayIcon.h"
#include "gui/desktop/DesktopInput.h"
#include "support/WindowUser.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::PersonInput;
using velmora::test::Q;
using velmora::test::WindowHarness;
using velmora::test::WindowUser;

namespace {

// A window with three colleagues, on its Status page, active, with nothing sent yet.
struct Person {
    Person() {
        for (auto [datagram, source] :
             {std::pair{"agAnn\xF7 In", "10.0.0.7"}, std::pair{"agBob\xF7 In", "10.0.0.8"},
              std::pair{"agCay\xF7 In", "10.0.0.9"}})
            window().core().dispatchDatagram(datagram, source);
        h.sent.clear();
    }
    MainWindow& window() { return *h.window; }
    QComboBox* remarkBox() { return h.find<QComboBox>("remarkBox"); }
    // The point of row `row` of the status list, in its viewport.
    QPoint rowPoint(int row) { return QPoint(5, row * window().statusList().rowHeight() + 3); }
    qint64 trayPicture() { return window().trayIcon().icon().cacheKey(); }

    WindowUser h; // active, which shows the Status page
    PersonInput& input = h.input;
};

} // namespace

TEST(PersonInput, RemarkBoxAnnouncesOnlyWhatIsConfirmed) {
    const struct {
        const char* typed;
        bool enter; // else the user clicks away, on the status list
        QByteArray sent;
    } cases[] = {
        {"Back at three", true, "ayOPERATOR\xF7 Back at three ( 9:05 AM on Mon)"},
        // A text that equals a list item is still a typed remark: no list choice, no picture.
        {"At lunch", true, "ayOPERATOR\xF7 At lunch ( 9:05 AM on Mon)"},
        // Leaving the box announces nothing, completed or not.
        {"at l", false, {}},
        {"At lunch", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Person p;
        const qint64 picture = p.trayPicture();
        p.input.click(p.remarkBox());
        p.input.key(Qt::Key_A, Qt::ControlModifier);
        p.input.type(Q(c.typed));
        if (c.enter)
            p.input.key(Qt::Key_Return);
        else
            p.input.click(p.window().statusList().viewport(), Qt::LeftButton, {}, p.rowPoint(10));
        EXPECT_EQ(p.h.sent, c.sent.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{c.sent});
        EXPECT_EQ(p.trayPicture(), picture);
    }
}

TEST(PersonInput, AChoiceFromTheListIsAListChoiceAndEscapeRestoresTheBox) {
    Person p;
    const qint64 picture = p.trayPicture();
    const QPalette::ColorRole base = QPalette::Base;
    const QColor inColour = p.remarkBox()->palette().color(base);

    // "Set my Status from a List", then Down and Enter in the list that opened.
    p.input.click(p.h.find<QPushButton>("chooseRemarkButton"));
    ASSERT_TRUE(p.remarkBox()->view()->isVisible());
    p.input.key(Qt::Key_Down);
    p.input.key(Qt::Key_Return);
    ASSERT_EQ(p.h.sent.size(), 1);
    EXPECT_TRUE(p.h.sent[0].startsWith("ayOPERATOR\xF7 ")) << p.h.sent[0].constData();
    EXPECT_NE(p.trayPicture(), picture);

    // Opened and closed with Escape, then left: the box takes the status colour back and
    // mirrors the next announcement.
    p.h.sent.clear();
    p.input.click(p.h.find<QPushButton>("chooseRemarkButton"));
    p.input.key(Qt::Key_Escape);
    p.input.click(p.window().statusList().viewport(), Qt::LeftButton, {}, p.rowPoint(10));
    EXPECT_TRUE(p.h.sent.isEmpty());
    p.input.click(p.h.find<QPushButton>("inButton"));
    EXPECT_EQ(p.remarkBox()->currentText(), Q("In ( 9:05 AM on Mon)"));
    EXPECT_EQ(p.remarkBox()->palette().color(base), inColour);
}

TEST(PersonInput, TheRemarkBoxAnnouncesOnlyWhatWasChosenAndShowsAStatusFromItsStart) {
    Person p;
    const auto listFrom = [&](const char* button) {
        p.h.tab("Options");
        for (const char* control : {"remarkEditorButton", button, "closeEditorButton"})
            p.h.click(control);
        p.h.tab("Status");
    };
    // An empty list opens nothing and leaves the box mirroring the own status; later Down in
    // the closed box only steps through the items.
    listFrom("clearListButton");
    p.h.click("chooseRemarkButton");
    EXPECT_FALSE(p.remarkBox()->view()->isVisible());
    p.h.click("inButton");
    EXPECT_EQ(p.remarkBox()->currentText(), Q("In ( 9:05 AM on Mon)"));
    listFrom("defaultListButton");
    p.input.click(p.remarkBox());
    p.input.key(Qt::Key_Down);
    EXPECT_EQ(p.h.sent.size(), 1); // In only

    // Escape drops what was typed; Tab passes to the next control that shows; outside editing
    // the box shows the start of the status.
    p.h.click("busyButton");
    p.input.click(p.remarkBox());
    p.h.retype(Q("Back at"));
    p.input.key(Qt::Key_Escape);
    EXPECT_EQ(p.remarkBox()->currentText(), Q("Busy - In but unavailable ( 9:05 AM on Mon)"));
    for (const char* next : {"chooseRemarkButton", "personalizeButton", "statusList"}) {
        p.input.key(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), Q(next));
    }
    EXPECT_EQ(p.remarkBox()->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(p.h.sent.size(), 2); // In and Busy only
}

TEST(PersonInput, OneKeyOrClickIsOneAction) {
    Person p;
    QSignalSpy titles(&p.window().core(), &Core::windowTitleChanged);
    QSignalSpy chosen(&p.window().statusPage(), &StatusPage::recipientChosen);

    // A letter typed in the status list reorders it once; one typed in the remark box is part
    // of a remark and leaves the list alone.
    p.input.click(p.window().statusList().viewport(), Qt::LeftButton, {}, p.rowPoint(10));
    p.input.type(Q("b"));
    EXPECT_EQ(titles.count(), 1);
    p.input.click(p.remarkBox());
    p.input.type(Q("c"));
    EXPECT_EQ(titles.count(), 1);
    EXPECT_EQ(p.window().core().onTopLetter(), 'B');

    // A left click on a name chooses the recipient once.
    p.h.tab("Status");
    p.input.click(p.window().statusList().viewport(), Qt::LeftButton, {}, p.rowPoint(1));
    EXPECT_EQ(chosen.count(), 1);
}

TEST(PersonInput, RightAndMiddleButtonsOpenThePersonMenuForTheRowUnderThePointer) {
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        Person p;
        const auto& roster = p.window().core().roster();
        const QByteArray second =
            Roster::split(roster.entries()[roster.displayOrder()[1].position]).name;
        p.input.click(p.window().statusList().viewport(), button, {}, p.rowPoint(1));
        EXPECT_EQ(p.window().menus().personNameAction->text(), QString::fromLatin1(second));
        p.window().menus().personMenu->hide();
    }
}

TEST(PersonInput, ComposeTakesTheKeysOnceARecipientIsChosenAndBlankMessagesStay) {
    Person p;
    p.input.click(p.window().statusList().viewport(), Qt::LeftButton, {}, p.rowPoint(1));
    ASSERT_TRUE(p.window().isCurrentPage(PageId::Compose));
    auto* box = p.h.find<QPlainTextEdit>("composeBox");
    EXPECT_EQ(QApplication::focusWidget(), box);

    // A Space goes into the message; Send and Send to All with blanks only do nothing (no
    // question either).
    p.input.type(Q(" "));
    p.input.key(Qt::Key_Return);
    p.input.click(p.h.find<QPushButton>("sendButton"));
    p.input.click(p.h.find<QPushButton>("sendToAllButton"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(p.h.sent.isEmpty());

    p.input.click(box);
    p.input.type(Q("hello"));
    p.input.click(p.h.find<QPushButton>("sendButton"));
    ASSERT_EQ(p.h.sent.size(), 1);
    EXPECT_TRUE(p.h.sent[0].startsWith("m")) << p.h.sent[0].constData();
}

TEST(PersonInput, ABlankDisplayNameIsRefused) {
    for (const char* typed : {"", "   "}) {
        Person p;
        p.h.tab("Options");
        auto* name = p.h.find<QLineEdit>("nameBox");
        p.input.click(name);
        p.input.key(Qt::Key_A, Qt::ControlModifier);
        p.input.key(Qt::Key_Delete);
        p.input.type(Q(typed));
        p.input.click(p.h.find<QCheckBox>("colourSortBox"));
        EXPECT_TRUE(p.h.sent.isEmpty()) << typed;
        EXPECT_EQ(name->text(), Q("OPERATOR")) << typed;
        EXPECT_EQ(p.window().core().own().displayName, "OPERATOR");
    }
}

TEST(PersonInput, ANameOutsideWindows1252GoesOutInItsBaseLetters) {
    Person p;
    p.h.tab("Options");
    p.input.click(p.h.find<QLineEdit>("nameBox"));
    p.input.key(Qt::Key_A, Qt::ControlModifier);
    QApplication::clipboard()->setText(QString::fromUtf8("Łucja Żak"));
    p.input.key(Qt::Key_V, Qt::ControlModifier);
    p.input.click(p.h.find<QCheckBox>("colourSortBox"));
    ASSERT_EQ(p.h.sent.size(), 1);
    EXPECT_EQ(p.h.sent[0], "zw10.0.0.5\xF7Lucja Zak\xF7In");
}

TEST(PersonInput, WithoutATrayTheWindowShowsAndOffersTheWayOut) {
    // The offscreen platform has no notification area; the copy is set not to show at start.
    WindowHarness h("[VLX]\r\nstrtShw=0\r\n");
    EXPECT_TRUE(h.window->isVisible());
    auto* menuButton = h.find<QToolButton>("windowMenuButton");
    ASSERT_NE(menuButton, nullptr);
    QStringList items;
    for (QAction* a : menuButton->menu()->actions())
        items.append(a->text());
    EXPECT_TRUE(items.contains(Q("E&xit")));
    EXPECT_TRUE(items.contains(Q("&Set status to Out and exit")));
}

TEST(DesktopInput, TheProgramsOwnPointerNudgeIsNoInput) {
    const struct {
        std::optional<qint64> idle, sinceNudge;
        qint64 sinceCheck;
        bool input;
    } cases[] = {
        {std::nullopt, std::nullopt, 100, false}, // no server to ask
        {5000, std::nullopt, 100, false},         // nothing since the previous check
        {40, std::nullopt, 100, true},            // a key or motion since then
        {30, 30, 100, false},                     // the nudge itself
        {10, 30, 100, false},                     // within the nudge's slack
        {20, 600, 1000, true},                    // input well after a nudge
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopInput::serverSawInput(c.idle, c.sinceCheck, c.sinceNudge), c.input)
            << c.sinceCheck << " " << c.idle.value_or(-1) << " " << c.sinceNudge.value_or(-1);
}

// Setting the own status and name from the window, and the status list's mouse buttons.

#include "gui/board/StatusListView.h"
#include "gui/controls/TrayIcon.h"
#include "support/WindowUser.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Q;
using velmora::test::sep;
using velmora::test::WindowUser;

TEST(OwnStatus, RemarksFromTheListAndTypedRemarksDifferInTheirPicture) {
    WindowUser h;
    MainWindow& window = *h.window;
    h.sent.clear();
    const qint64 inPicture = window.trayIcon().icon().cacheKey();

    auto* box = h.find<QComboBox>("remarkBox");
    h.click(box);
    h.retype(Q("Back at three"));
    h.input.key(Qt::Key_Return);
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "ayOPERATOR\xF7 Back at three ( 9:05 AM on Mon)");
    EXPECT_EQ(window.trayIcon().icon().cacheKey(), inPicture);

    // A paste keeps only what could be typed.
    h.click(box);
    QApplication::clipboard()->setText(QString::fromUtf8("Back\r\nat \xC3\xB7 four\t"));
    h.input.key(Qt::Key_A, Qt::ControlModifier);
    h.input.key(Qt::Key_V, Qt::ControlModifier);
    h.input.key(Qt::Key_Return);
    EXPECT_EQ(h.sent.value(1), "ayOPERATOR\xF7 Backat  four ( 9:05 AM on Mon)");

    h.click("chooseRemarkButton");
    h.click(box->view(), box->findText(Q("At lunch")));
    EXPECT_EQ(h.sent.value(2), "ayOPERATOR\xF7 At lunch ( 9:05 AM on Mon)");
    EXPECT_NE(window.trayIcon().icon().cacheKey(), inPicture);

    // Without stamps the text goes out bare and the old stamp is kept for later.
    h.tab("Options");
    h.click("stampChangesBox");
    h.click("outButton");
    EXPECT_EQ(h.sent.value(3), "arOPERATOR\xF7 Out");
    EXPECT_EQ(window.core().own().stamp, " ( 9:05 AM on Mon)");
}

TEST(OwnStatus, AStatusSetAtAnotherCopyIsToldInTheTrayUntilTheWindowIsSeen) {
    WindowUser h;
    h.window->hide(); // in the tray
    Core& core = h.window->core();
    core.dispatchDatagram("agPat" + sep() + " In", "10.0.0.8");
    const struct {
        QByteArray changer;
        QByteArray status;
        QString note;
    } rows[] = {
        {"10.0.0.8", "Out", Q("Pat set your status to Out")},
        // Somebody the list does not know yet, with a status too long for a tooltip.
        {"10.0.0.9", QByteArray(80, 'x'),
         Q("10.0.0.9 set your status to ") + QString(59, QLatin1Char('x')) + QChar(0x2026)},
    };
    for (const auto& row : rows) {
        core.dispatchDatagram("zy10.0.0.5" + sep() + "OPERATOR" + sep() + " " + row.status,
                              row.changer);
        EXPECT_EQ(h.window->trayIcon().note(), row.note) << row.changer.constData();
    }
    h.window->show();
    QApplication::setActiveWindow(h.window.get());
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.window->trayIcon().note().isEmpty());
}

TEST(OwnStatus, DisplayNameRules) {
    WindowUser h;
    MainWindow& window = *h.window;
    h.tab("Options");
    auto* name = h.find<QLineEdit>("nameBox");
    h.sent.clear();

    // Leaving the field unchanged sends nothing and writes no file.
    h.click(name);
    h.click("idleTimeoutBox");
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_FALSE(QFile::exists(h.config.settingsPath));

    // Typing stops after 31 characters...
    h.click(name);
    h.retype(QString(40, QLatin1Char('a')));
    EXPECT_EQ(name->text().size(), 31);
    // ...while a longer pasted name is cut to 60 when the field is left.
    QApplication::clipboard()->setText(QString(80, QLatin1Char('b')));
    h.input.key(Qt::Key_A, Qt::ControlModifier);
    h.input.key(Qt::Key_V, Qt::ControlModifier);
    h.click("idleTimeoutBox");
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "zw10.0.0.5\xF7" + QByteArray(60, 'b') + "\xF7" + "In");
    EXPECT_EQ(window.core().own().displayName, QByteArray(60, 'b'));
    EXPECT_TRUE(QFile::exists(h.config.settingsPath));

    // The rename comes back as a white row under the new name.
    window.core().dispatchDatagram(h.sent[0], "10.0.0.5");
    EXPECT_EQ(window.core().roster().entries()[0], "10.0.0.5=" + QByteArray(60, 'b') + "\xF7wIn");
    EXPECT_EQ(window.core().own().code, StatusCode::WhiteRemark);
}

TEST(ListMouse, RightClickBelowTheRowsOpensTheMenuForTheFirstRow) {
    WindowUser h;
    MainWindow& window = *h.window;
    window.core().dispatchDatagram("arAnn & Co\xF7 Out  (off-line)", "10.0.0.7");
    const QByteArray first =
        Roster::split(
            window.core().roster().entries()[window.core().roster().displayOrder()[0].position])
            .name;

    h.row({}, Qt::RightButton);
    ASSERT_TRUE(window.menus().personMenu->isVisible());
    EXPECT_EQ(h.find<QAction>("personNameAction")->text(), QString::fromLatin1(first));
    h.input.key(Qt::Key_Escape);
    EXPECT_FALSE(window.menus().personMenu->isVisible());

    // Ctrl + left click on Ann's row prepares and opens the change page for her; the "&" of
    // her name is shown, not taken for a shortcut.
    h.row("10.0.0.7", Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(window.pages().currentPage(), window.page("changeStatusPage"));
    EXPECT_EQ(h.find<QGroupBox>("personGroup")->title(), Q(" Change Status for Ann && Co"));
    EXPECT_EQ(h.find<QLabel>("prefixLabel")->text(), QString::fromUtf8("zw10.0.0.7\u00F7Ann & Co"));
}

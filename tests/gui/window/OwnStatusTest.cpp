// Setting the own status and name from the window, and the status list's mouse buttons.

#include "gui/board/StatusListView.h"
#include "gui/controls/TrayIcon.h"
#include "support/WindowHarness.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
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
} // namespace

TEST(OwnStatus, RemarksFromTheListAndTypedRemarksDifferInTheirPicture) {
    WindowHarness h;
    MainWindow& window = *h.window;
    h.sent.clear();
    const qint64 inPicture = window.trayIcon().icon().cacheKey();

    auto* box = h.find<QComboBox>("remarkBox");
    box->setEditText(Q("Back at three"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "ayOPERATOR\xF7 Back at three ( 9:05 AM on Mon)");
    EXPECT_EQ(window.trayIcon().icon().cacheKey(), inPicture);

    window.statusPage().onRemarkChosen(Q("At lunch"));
    EXPECT_EQ(h.sent.value(1), "ayOPERATOR\xF7 At lunch ( 9:05 AM on Mon)");
    EXPECT_NE(window.trayIcon().icon().cacheKey(), inPicture);

    // Without stamps the text goes out bare and the old stamp is kept for later.
    window.core().options().stampChanges = false;
    h.find<QPushButton>("outButton")->click();
    EXPECT_EQ(h.sent.value(2), "arOPERATOR\xF7 Out");
    EXPECT_EQ(window.core().own().stamp, " ( 9:05 AM on Mon)");
}

TEST(OwnStatus, DisplayNameRules) {
    WindowHarness h;
    MainWindow& window = *h.window;
    auto* name = h.find<QLineEdit>("nameBox");
    window.showPage(window.page("optionsPage"));
    h.sent.clear();

    // Leaving the field unchanged sends nothing and writes no file.
    name->setFocus();
    window.optionsPage().onNameBoxLeft();
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_FALSE(QFile::exists(h.config.settingsPath));

    // Typing stops after 31 characters...
    name->clear();
    QTest::keyClicks(name, QString(40, QLatin1Char('a')));
    EXPECT_EQ(name->text().size(), 31);
    // ...while a longer pasted name is cut to 60 when the field is left.
    name->setText(QString(80, QLatin1Char('b')));
    window.optionsPage().setNameEdited(true);
    window.optionsPage().onNameBoxLeft();
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "zw10.0.0.5\xF7" + QByteArray(60, 'b') + "\xF7" + "In");
    EXPECT_EQ(window.core().own().displayName, QByteArray(60, 'b'));
    EXPECT_TRUE(QFile::exists(h.config.settingsPath));

    // The rename comes back as a white row under the new name.
    window.core().dispatchDatagram(h.sent[0], "10.0.0.5");
    EXPECT_EQ(window.core().roster().entries()[0], "10.0.0.5=" + QByteArray(60, 'b') + "\xF7wIn");
    EXPECT_EQ(window.core().own().code, 'w');
}

TEST(ListMouse, RightClickBelowTheRowsOpensTheMenuForTheFirstRow) {
    WindowHarness h;
    MainWindow& window = *h.window;
    window.core().dispatchDatagram("arAnn\xF7 Out  (off-line)", "10.0.0.7");
    const QByteArray first =
        Roster::split(
            window.core().roster().entries()[window.core().roster().displayOrder()[0].position])
            .name;

    window.statusPage().onStatusListPressed(Qt::RightButton, false, QPoint(5, 1000), QPoint(0, 0));
    EXPECT_EQ(h.find<QAction>("personNameAction")->text(), QString::fromLatin1(first));
    window.menus().personMenu->hide();

    // Ctrl + left click on Ann's row prepares and opens the change page for her.
    const int row = [&] {
        const auto& order = window.core().roster().displayOrder();
        for (int r = 0; r < order.size(); ++r)
            if (window.core().roster().entries()[order[r].position].startsWith("10.0.0.7="))
                return r;
        return -1;
    }();
    ASSERT_GE(row, 0);
    const QPoint onRow(5, row * window.statusList().rowHeight() + 3);
    window.statusPage().onStatusListPressed(Qt::LeftButton, true, onRow, QPoint());
    EXPECT_EQ(window.pages().currentPage(), window.page("changeStatusPage"));
    EXPECT_EQ(h.find<QGroupBox>("personGroup")->title(), Q(" Change Status for Ann"));
    EXPECT_EQ(h.find<QLabel>("prefixLabel")->text(), QString::fromUtf8("zw10.0.0.7\u00F7Ann"));
}

// "Start when I log in" in the tray menu: the desktop's autostart entry, written, read back
// and removed by clicks on the item.

#include "gui/window/Autostart.h"
#include "gui/controls/TrayIcon.h"
#include "support/WindowUser.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using velmora::Autostart;
using velmora::test::WindowUser;

namespace {

// The user's configuration folder in a temporary folder for the test's length.
struct ConfigHome {
    ConfigHome() : old(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    }
    ~ConfigHome() { old.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", old); }
    QString entry() const {
        return dir.filePath(QStringLiteral("autostart/dazuviz-velmora.desktop"));
    }

    QTemporaryDir dir;
    QByteArray old;
};

} // namespace

TEST(Autostart, StartWhenILogInWritesReadsAndRemovesTheEntry) {
    ConfigHome home;
    WindowUser h;
    QMenu* menu = h.window->menus().trayMenu;
    QAction* item = h.find<QAction>("startupAction");
    ASSERT_NE(item, nullptr);
    const auto openMenu = [&] {
        h.window->trayIcon().rightButtonPressed(QPoint(300, 200));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    };
    EXPECT_EQ(item->text(), QStringLiteral("Start when I log in"));

    // Each round: the state the file gives as the menu opens, then a click and the file after.
    for (const bool present : {false, true}) {
        openMenu();
        EXPECT_TRUE(item->isVisible() && item->isCheckable());
        EXPECT_EQ(item->isChecked(), present);
        h.click(menu, item);
        EXPECT_FALSE(menu->isVisible());
        EXPECT_EQ(QFile::exists(home.entry()), !present);
    }

    // Written by the program, the entry starts this program.
    openMenu();
    h.click(menu, item);
    QFile entry(home.entry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\nName=Dazuviz Velmora\n"));
    const QByteArray self =
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath().toUtf8();
    EXPECT_TRUE(text.contains("\nExec=" + self + "\n")) << text.constData();

    // Removed behind the program's back: the menu shows it so the next time it opens.
    ASSERT_TRUE(QFile::remove(home.entry()));
    openMenu();
    EXPECT_FALSE(item->isChecked());
    h.input.key(Qt::Key_Escape);
}

// The Exec line as the entry file holds it: quoted where the desktop would split or expand,
// with its backslashes doubled once more for the file; a control character cannot be written.
TEST(Autostart, ExecLineIsQuotedAndEscaped) {
    const struct {
        const char* program;
        const char* line; // nullptr: refused
    } table[] = {
        {"velmora", "velmora"},
        {"/usr/bin/velmora", "/usr/bin/velmora"},
        {"/opt/my apps/velmora", "\"/opt/my apps/velmora\""},
        {"/opt/a\"b`c$d\\e/velmora", "\"/opt/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/velmora\""},
        {"/opt/100%/velmora", "\"/opt/100%%/velmora\""},
        {"/opt/caf\xC3\xA9/velmora", "\"/opt/caf\xC3\xA9/velmora\""},
        {"/opt/two\nlines/velmora", nullptr},
        {"/opt/tab\there/velmora", nullptr},
    };
    const QString refused = QStringLiteral("(refused)");
    for (const auto& row : table)
        EXPECT_EQ(Autostart::execLine(QString::fromUtf8(row.program)).value_or(refused),
                  row.line ? QString::fromUtf8(row.line) : refused)
            << row.program;
}

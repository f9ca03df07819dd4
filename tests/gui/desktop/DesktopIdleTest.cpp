// The idle detection's input from the desktop's idle monitor on the session bus: which service
// answers, that its idle time counts as input, and the way down when a service goes away.

#include "gui/desktop/DesktopInput.h"
#include "support/PrivateBus.h"

#include <QTest>
#include <gtest/gtest.h>

namespace velmora::test {
namespace {

const QString kMutter =
    QStringLiteral("org.gnome.Mutter.IdleMonitor /org/gnome/Mutter/IdleMonitor/Core");
const QString kScreenSaver =
    QStringLiteral("org.freedesktop.ScreenSaver /org/freedesktop/ScreenSaver");
const QString kOwnWindows = QStringLiteral("own windows"); // the offscreen platform has no X server

// One check after `pauseMs`: whether it saw input.
bool checkAfter(DesktopInput& input, int pauseMs) {
    input.inputSinceLastCheck(); // starts the check clock
    QTest::qWait(pauseMs);
    return input.inputSinceLastCheck();
}

TEST(DesktopIdle, TheFirstServiceThatAnswersGivesTheIdleTime) {
    const struct {
        std::vector<std::string> services;
        QString source;
        bool input; // whether a check 100 ms after the previous one sees input
    } rows[] = {
        {{"--mutter", "0", "--screensaver", "60000"}, kMutter, true},
        {{"--mutter", "60000", "--screensaver", "0"}, kMutter, false},
        {{"--screensaver", "0"}, kScreenSaver, true},
        {{"--screensaver", "60000"}, kScreenSaver, false},
        {{"--screensaver", "0", "--screensaver-path", "/ScreenSaver"},
         QStringLiteral("org.freedesktop.ScreenSaver /ScreenSaver"),
         true},
        // GNOME owns the screen saver's name but answers its idle time with an error.
        {{"--screensaver-unsupported"}, kOwnWindows, false},
        {{}, kOwnWindows, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.services.empty() ? std::string("no service") : row.services.front());
        PrivateBus bus;
        if (!row.services.empty()) bus.startServices(row.services);
        DesktopInput input(nullptr, bus.connection());
        EXPECT_EQ(input.idleSource(), row.source);
        EXPECT_EQ(checkAfter(input, 100), row.input);
    }
}

TEST(DesktopIdle, AServiceThatStopsAnsweringGivesWayToTheNext) {
    PrivateBus bus;
    // Made before the services come up: the bus is asked at the first check, not at the start.
    DesktopInput input(nullptr, bus.connection());
    const int mutter = bus.startServices({"--mutter", "0"});
    const int screenSaver = bus.startServices({"--screensaver", "60000"});
    ASSERT_EQ(input.idleSource(), kMutter);
    EXPECT_TRUE(checkAfter(input, 100));

    bus.stopService(mutter);
    EXPECT_FALSE(checkAfter(input, 100));
    EXPECT_EQ(input.idleSource(), kScreenSaver);

    bus.stopService(screenSaver);
    EXPECT_FALSE(checkAfter(input, 100));
    EXPECT_EQ(input.idleSource(), kOwnWindows);
}

} // namespace
} // namespace velmora::test

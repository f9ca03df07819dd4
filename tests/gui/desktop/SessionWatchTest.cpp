// Sleep, wake and the locked screen as logind and the screen savers tell them, from stand-ins
// on a private bus: what each signal gives, and the life of the sleep inhibitor.

#include "gui/desktop/LogindWatch.h"
#include "gui/desktop/ScreenSaverWatch.h"
#include "support/PrivateBus.h"
#include "support/Text.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

TEST(SessionWatch, SleepWakeAndLocksComeAsTheDesktopTellsThem) {
    PrivateBus bus;
    const QString log = bus.file("logind.log");
    bus.startServices({"--logind", log.toStdString(), "--screensaver", "0"});
    LogindWatch logind(bus.connection());
    ScreenSaverWatch screenSaver(bus.connection());
    QStringList heard;
    // The inhibitor still holds the sleep back while the program says its last word.
    QObject::connect(&logind, &LogindWatch::sleeping,
                     [&] { heard << (logind.inhibiting() ? Q("sleep, held") : Q("sleep")); });
    QObject::connect(&logind, &LogindWatch::wokeUp, [&] { heard << Q("wake"); });
    const auto lock = [&](bool locked) { heard << (locked ? Q("locked") : Q("unlocked")); };
    QObject::connect(&logind, &LogindWatch::lockChanged, lock);
    QObject::connect(&screenSaver, &ScreenSaverWatch::lockChanged, lock);
    ASSERT_TRUE(waitFor([&] { return logind.inhibiting(); }));

    constexpr const char* logind1 = "org.freedesktop.login1";
    constexpr const char* logindPath = "/org/freedesktop/login1";
    const struct {
        const char* service;
        const char* path;
        const char* method;
        bool argument;
        QStringList heard;
        bool inhibiting; // afterwards
    } rows[] = {
        {logind1, logindPath, "Sleep", true, {Q("sleep, held")}, false},
        {logind1, logindPath, "Sleep", true, {}, false},
        {logind1, logindPath, "Sleep", false, {Q("wake")}, true},
        {logind1, logindPath, "Lock", true, {Q("locked")}, true},
        {logind1, logindPath, "Lock", false, {Q("unlocked")}, true},
        {logind1, logindPath, "LockedHint", true, {Q("locked")}, true},
        {"org.freedesktop.ScreenSaver",
         "/org/freedesktop/ScreenSaver",
         "SetActive",
         false,
         {Q("unlocked")},
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.method) + (row.argument ? " true" : " false"));
        heard.clear();
        bus.call(row.service, row.path, row.method, row.argument);
        if (row.heard.isEmpty()) QTest::qWait(200);
        EXPECT_TRUE(waitFor([&] { return heard.size() >= row.heard.size(); }));
        EXPECT_EQ(heard, row.heard);
        EXPECT_TRUE(waitFor([&] { return logind.inhibiting() == row.inhibiting; }));
    }
    const std::vector<QJsonObject> inhibitors = PrivateBus::records(log);
    ASSERT_EQ(inhibitors.size(), 3u);
    EXPECT_EQ(inhibitors[0][Q("what")].toString(), Q("sleep"));
    EXPECT_EQ(inhibitors[0][Q("mode")].toString(), Q("delay"));
    EXPECT_EQ(inhibitors[1][Q("closed")].toInt(), 1);
    EXPECT_EQ(inhibitors[2][Q("inhibit")].toInt(), 2);

    // Without logind nothing is held, and nothing else happens.
    PrivateBus empty;
    LogindWatch none(empty.connection());
    QTest::qWait(200);
    EXPECT_FALSE(none.inhibiting());
}

} // namespace
} // namespace velmora::test

// The report of what the network and the settings file do, from a given state.

#include "core/NetworkReport.h"
#include "core/presence/HeardCopies.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace velmora;

namespace {

NetworkState running() {
    NetworkState s;
    s.ownAddress = "10.77.0.1";
    s.origin = AddressOrigin::DefaultRoute;
    s.interface = {"eth0", 16};
    s.settingsPath = QStringLiteral("/home/ann/vlx.ini");
    s.running = true;
    s.receiving = true;
    s.lastSend = SendResult{};
    s.lastSave = FileResult{};
    return s;
}

struct Case {
    const char* what;
    std::function<void(NetworkState&)> change;
    std::vector<const char*> lines; // each must be a line of the report
    std::vector<const char*> absent = {};
};

} // namespace

TEST(NetworkReport, SaysWhereTheAddressCameFromWhatLeftAndWhoWasHeard) {
    const std::vector<Case> cases = {
        {"a working copy",
         [](NetworkState&) {},
         {"Own address: 10.77.0.1 (the interface that carries the default route)",
          "Interface: eth0 (10.77.0.1/16)", "Datagrams go to: 255.255.255.255, UDP port 55555",
          "Receiving on: UDP port 55555", "Last send: worked",
          "Copies heard in the last ten minutes: 0", "Settings file: /home/ann/vlx.ini",
          "Last save: worked", "System-wide defaults: none"}},
        {"the option",
         [](NetworkState& s) { s.origin = AddressOrigin::Option; },
         {"Own address: 10.77.0.1 (given with --address)"}},
        {"no default route",
         [](NetworkState& s) { s.origin = AddressOrigin::FirstInterface; },
         {"Own address: 10.77.0.1 (no default route: the first interface that is up and "
          "broadcasts)"}},
        {"the host name",
         [](NetworkState& s) {
             s.ownAddress = "127.0.1.1";
             s.origin = AddressOrigin::HostName;
             s.interface = {};
         },
         {"Own address: 127.0.1.1 (no interface has an address: the host name's)",
          "Interface: none carries this address"}},
        {"the fallback",
         [](NetworkState& s) { s.origin = AddressOrigin::Fallback; },
         {"Own address: 10.77.0.1 (nothing found: the fallback)"}},
        {"a failed send and save",
         [](NetworkState& s) {
             s.lastSend = SendResult{SendResult::Outcome::Lost, QStringLiteral("No route")};
             s.lastSave = FileResult{13, QStringLiteral("read-only")};
         },
         {"Last send: failed: No route", "Last save: failed: read-only"}},
        {"subnet broadcasts instead",
         [](NetworkState& s) { s.subnetBroadcasts = {"10.77.255.255"}; },
         {"Datagrams go to: 10.77.255.255, UDP port 55555 (no route covers 255.255.255.255)"}},
        {"copies by subnet: the own prefix, else /24",
         [](NetworkState& s) {
             s.heard = {"10.77.0.2", "10.77.9.9", "10.78.0.5", "10.78.0.6", "10.78.1.1"};
         },
         {"Copies heard in the last ten minutes: 5", "  10.77.0.0/16: 2", "  10.78.0.0/24: 2",
          "  10.78.1.0/24: 1"}},
        {"subnets beyond the listed ones are counted",
         [](NetworkState& s) {
             for (int i = 0; i < kMaxListedSubnets + 3; ++i)
                 s.heard.append("192.168." + QByteArray::number(i) + ".1");
         },
         {"  and 3 more subnets"},
         {"  192.168.12.0/24: 1"}},
        {"no copy: only what a copy would use",
         [](NetworkState& s) {
             s.running = false;
             s.defaultsPath = QStringLiteral("/etc/xdg/dazuviz-velmora/defaults.ini");
         },
         {"No copy runs for this user; a copy would use:", "Settings file: /home/ann/vlx.ini",
          "System-wide defaults: /etc/xdg/dazuviz-velmora/defaults.ini"},
         {"Last send: worked", "Last save: worked", "Copies heard in the last ten minutes: 0"}},
    };
    for (const Case& c : cases) {
        NetworkState state = running();
        c.change(state);
        const QStringList report = networkReport(state);
        for (const char* line : c.lines)
            EXPECT_TRUE(report.contains(QString::fromUtf8(line)))
                << c.what << ": no line \"" << line << "\" in\n"
                << report.join(QLatin1Char('\n')).toStdString();
        for (const char* line : c.absent)
            EXPECT_FALSE(report.contains(QString::fromUtf8(line))) << c.what << ": " << line;
    }
}

TEST(NetworkReport, HearsCopiesForTenMinutesAndRemembersABoundedNumber) {
    HeardCopies heard;
    heard.heard("10.77.0.2", 0);
    heard.heard("10.77.0.3", 60'000);
    EXPECT_EQ(heard.recent(HeardCopies::kWindowMs + 1000), QList<QByteArray>{"10.77.0.3"});
    for (int i = 0; i < HeardCopies::kMaxRemembered + 10; ++i)
        heard.heard("10.1." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256),
                    120'000);
    EXPECT_EQ(heard.recent(120'000).size(), HeardCopies::kMaxRemembered);
}

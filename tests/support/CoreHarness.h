#pragma once
// A core that runs without a network: it never listens, sends to a closed port on 127.0.0.1,
// and records every datagram it sends.

#include "core/Core.h"
#include "support/Text.h"

#include <QTemporaryDir>
#include <memory>

namespace velmora::test {

// The time stamp announcements carry at the harness's time.
inline QByteArray stamp() {
    return " ( 9:05 AM on Mon)";
}

// What every harness starts from: a configuration that never listens and sends only to a
// closed port on 127.0.0.1, its settings file in a temporary folder, the clock on Monday
// 7 December 2026, 9:05 AM, no timer (the tests tick), and the datagrams the core sends.
struct OfflineSetup {
    explicit OfflineSetup(const QByteArray& ownAddress = "10.0.0.5",
                          const QByteArray& login = "OPERATOR")
        : clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5))) {
        config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
        config.ownAddress = ownAddress;
        config.loginName = login;
        config.listenPort = 0;
        config.remoteIP = "127.0.0.1";
        config.remotePort = 9;
        config.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        config.tickTimer = false; // the tests tick
    }
    void recordSent(Core& core) {
        QObject::connect(&core, &Core::datagramSent,
                         [this](const QByteArray& d) { sent.append(d); });
    }

    QTemporaryDir dir;
    ManualClock clock;
    CoreConfig config;
    QList<QByteArray> sent; // outlives what the harness builds, whose teardown may still send
};

class CoreHarness : public OfflineSetup {
public:
    using OfflineSetup::OfflineSetup;

    Core& make() {
        core = std::make_unique<Core>(config, clock);
        recordSent(*core);
        return *core;
    }
    // Created, started and with the start-up datagrams forgotten.
    Core& started() {
        make();
        core->startUp();
        core->finishStartUp();
        sent.clear();
        return *core;
    }
    QByteArray entry(int position) const { return core->roster().entries().value(position); }

    std::unique_ptr<Core> core;
};

} // namespace velmora::test

#pragma once
// A core that runs without a network: it never listens, sends to a closed port on 127.0.0.1,
// and records every datagram it sends. The clock stands on Monday 7 December 2026, 9:05 AM.

#include "core/Core.h"
#include "core/net/AnsiText.h"

#include <QTemporaryDir>
#include <memory>

namespace velmora::test {

inline QByteArray sep() {
    return QByteArray(1, kSep);
}

class CoreHarness {
public:
    explicit CoreHarness(const QByteArray& ownAddress = "10.0.0.5",
                         const QByteArray& login = "OPERATOR")
        : clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5))) {
        config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
        config.ownAddress = ownAddress;
        config.loginName = login;
        config.listenPort = 0;
        config.remoteIP = "127.0.0.1";
        config.remotePort = 9;
        config.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }

    Core& make() {
        core = std::make_unique<Core>(config, clock);
        QObject::connect(core.get(), &Core::datagramSent,
                         [this](const QByteArray& d) { sent.append(d); });
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

    QTemporaryDir dir;
    ManualClock clock;
    CoreConfig config;
    std::unique_ptr<Core> core;
    QList<QByteArray> sent;
};

} // namespace velmora::test

#pragma once
// A core that runs without a network: it never listens, sends to a closed port on 127.0.0.1,
// and records every datagram it sends. The clock stands on Monday 7 December 2026, 9:05 AM.

#include "core/net/AnsiText.h"
#include "core/Core.h"

#include <QTemporaryDir>
#include <memory>

namespace velmora::test {

inline QByteArray Sep() {
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

    TVelmoraCore& Make() {
        core = std::make_unique<TVelmoraCore>(config, clock);
        QObject::connect(core.get(), &TVelmoraCore::datagramSent,
                         [this](const QByteArray& d) { sent.append(d); });
        return *core;
    }
    // Created, started and with the start-up datagrams forgotten.
    TVelmoraCore& Started() {
        Make();
        core->FormCreate();
        core->DeferredStartup();
        sent.clear();
        return *core;
    }
    QByteArray Entry(int position) const { return core->Roster().Entries().value(position); }

    QTemporaryDir dir;
    TManualClock clock;
    TCoreConfig config;
    std::unique_ptr<TVelmoraCore> core;
    QList<QByteArray> sent;
};

} // namespace velmora::test

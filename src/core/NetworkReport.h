#pragma once
// What the copy's network and settings file are doing, as plain text lines for a person: the
// Help page's "Network" window and `velmora --diagnose` show the same.

#include "core/net/OwnAddress.h"
#include "core/net/SendResult.h"
#include "core/settings/SettingsFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmora {

class Core;

struct NetworkState {
    QByteArray ownAddress;
    AddressOrigin origin = AddressOrigin::Fallback;
    LocalInterface interface; // the one that carries the own address
    QByteArray destination = "255.255.255.255";
    // Where datagrams went instead, when no route covers the limited broadcast.
    QList<QByteArray> subnetBroadcasts;
    quint16 port = 55555;
    QString settingsPath;
    QString defaultsPath; // empty: the computer has no defaults file

    // What only a running copy knows; without one, the report ends before it.
    bool running = false;
    bool receiving = false;
    std::optional<SendResult> lastSend; // none before the first datagram
    QList<QByteArray> heard;            // other copies' addresses of the last ten minutes
    std::optional<FileResult> lastSave; // none before the first save
    bool settingsUnreadable = false;
};

// At most this many subnets are listed, the busiest first; the rest are counted in one line.
inline constexpr int kMaxListedSubnets = 10;

QStringList networkReport(const NetworkState& state);

// What the running copy knows now.
NetworkState networkState(const Core& core);
// What can be found without a copy: the address a copy would take (`addressOption` when
// given), its interface, the port and the files.
NetworkState networkStateWithoutCopy(const QByteArray& addressOption, const QString& settingsPath,
                                     const QString& defaultsPath);

} // namespace velmora

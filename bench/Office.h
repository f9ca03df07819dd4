#pragma once

// The made-up office the benchmarks measure: people numbered from 1, "Person <i>" at
// 10.7.<i / 250>.<i % 250>, and a core that keeps its file in a temporary folder and sends only
// to a closed port of this machine, never to the network.

#include "core/Core.h"

#include <QByteArray>
#include <QTemporaryDir>

namespace velmora::bench {

constexpr int kPeople = 300;

inline QByteArray address(int i) {
    return "10.7." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250);
}

inline QByteArray name(int i) {
    return "Person " + QByteArray::number(i);
}

inline CoreConfig quietConfig(const QTemporaryDir& dir) {
    CoreConfig config;
    config.settingsPath = dir.filePath(QStringLiteral("vlx.ini"));
    config.listenPort = 0;
    config.remoteIP = "127.0.0.1"; // the discard port, closed here
    config.remotePort = 9;
    return config;
}

} // namespace velmora::bench

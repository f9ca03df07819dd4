#pragma once
// A session bus of the test's own (dbus-daemon in a temporary folder) with stand-ins for the
// desktop's services on it (desktop_services.py): GNOME's idle monitor, the screen saver, a
// notification server that records what it receives. The program's code is handed a
// connection to this bus and talks to the services as to the real ones.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace velmora::test {

class PrivateBus {
public:
    PrivateBus() {
        daemon_.setProgram(QStringLiteral("dbus-daemon"));
        daemon_.setArguments(
            {QStringLiteral("--session"), QStringLiteral("--nofork"),
             QStringLiteral("--print-address=1"),
             QStringLiteral("--address=unix:path=") + dir_.filePath(QStringLiteral("bus"))});
        daemon_.setProcessChannelMode(QProcess::SeparateChannels);
        daemon_.start();
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) {
            ADD_FAILURE() << "dbus-daemon did not start";
            return;
        }
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        name_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
        connection_ =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, name_));
    }
    ~PrivateBus() {
        for (auto& s : services_)
            stop(*s);
        connection_.reset();
        QDBusConnection::disconnectFromBus(name_);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    QDBusConnection connection() const { return *connection_; }
    QString address() const { return address_; }
    QString file(const char* name) const { return dir_.filePath(QLatin1String(name)); }

    // Starts desktop_services.py with `arguments`; waits until its names are owned. Returns
    // its number for stopService.
    int startServices(const std::vector<std::string>& arguments) {
        QStringList args{QStringLiteral(VELMORA_DESKTOP_SERVICES)};
        for (const std::string& a : arguments)
            args.append(QString::fromStdString(a));
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        process->setProcessEnvironment(env);
        process->setProgram(QStringLiteral(VELMORA_BUS_PYTHON));
        process->setArguments(args);
        process->start();
        if (!process->waitForReadyRead(10000) || !process->readLine().startsWith("ready"))
            ADD_FAILURE() << "the desktop services did not start: "
                          << process->readAllStandardError().toStdString();
        services_.push_back(std::move(process));
        return int(services_.size()) - 1;
    }
    // Ends the services of startServices number `i`; their names are gone when it returns.
    void stopService(int i) { stop(*services_[i]); }

    // The JSON lines that a service appended to `path`.
    static std::vector<QJsonObject> records(const QString& path) {
        std::vector<QJsonObject> out;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return out;
        while (!f.atEnd()) {
            const QByteArray line = f.readLine().trimmed();
            if (!line.isEmpty()) out.push_back(QJsonDocument::fromJson(line).object());
        }
        return out;
    }

private:
    void stop(QProcess& p) {
        if (p.state() == QProcess::NotRunning) return;
        p.terminate();
        p.waitForFinished(5000);
    }

    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString name_;
    std::unique_ptr<QDBusConnection> connection_;
    std::vector<std::unique_ptr<QProcess>> services_;
};

} // namespace velmora::test

#include "core/settings/Session.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace velmora {

QByteArray determineLoginName() {
    QByteArray name = qgetenv("USER");
    if (name.isEmpty()) name = qgetenv("LOGNAME");
    if (name.isEmpty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) name = pw->pw_name;
    }
    if (name.isEmpty()) name = "Unknown";
    return name.toUpper();
}

QString defaultSettingsPath() {
    const QString shared = QStringLiteral("/var/lib/dazuviz-velmora");
    const QFileInfo sharedDir(shared);
    if (sharedDir.isDir() && sharedDir.isWritable()) return shared + QStringLiteral("/vlx.ini");
    const QString own = ownSettingsPath();
    QDir().mkpath(QFileInfo(own).absolutePath());
    return own;
}

QString ownSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/dazuviz-velmora/vlx.ini");
}

} // namespace velmora

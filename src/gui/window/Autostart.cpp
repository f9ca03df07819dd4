#include "gui/window/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace velmora {

namespace {

// An argument of an Exec line: quoted when it holds anything but plain characters, with the
// characters that are special inside quotes escaped (and the backslash again for the file).
QString execArgument(const QString& argument) {
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-,:@");
    bool quote = argument.isEmpty();
    for (QChar c : argument)
        quote = quote || !plain.contains(c);
    if (!quote) return argument;
    QString quoted;
    for (QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1String("\\\\");
        else if (c == QLatin1Char('\\'))
            quoted += QLatin1String("\\\\\\");
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString Autostart::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/dazuviz-velmora.desktop");
}

bool Autostart::isOn() {
    return QFileInfo::exists(entryPath());
}

QString Autostart::command() {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("velmora"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self)
        return QStringLiteral("velmora");
    return execArgument(self);
}

QString Autostart::setOn(bool on) {
    const QString path = entryPath();
    if (!on) {
        QFile entry(path);
        if (!entry.exists() || entry.remove()) return {};
        return QStringLiteral("The autostart entry %1 could not be removed: %2")
            .arg(path, entry.errorString());
    }
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile entry(path);
    if (entry.open(QIODevice::WriteOnly)) {
        const QString text = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Dazuviz Velmora\n"
                                            "Comment=Office in/out board and messenger\n"
                                            "Exec=%1\n"
                                            "Icon=dazuviz-velmora\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(command());
        entry.write(text.toUtf8());
        if (entry.commit()) return {};
    }
    return QStringLiteral("The autostart entry %1 could not be written: %2")
        .arg(path, entry.errorString());
}

} // namespace velmora

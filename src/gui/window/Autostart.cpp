#include "gui/window/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace velmora {

QString Autostart::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/dazuviz-velmora.desktop");
}

bool Autostart::isOn() {
    return QFileInfo::exists(entryPath());
}

QString Autostart::program() {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("velmora"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self)
        return QStringLiteral("velmora");
    return self;
}

std::optional<QString> Autostart::execLine(const QString& program) {
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-,:@");
    bool quote = program.isEmpty();
    for (QChar c : program) {
        if (c.category() == QChar::Other_Control) return std::nullopt;
        quote = quote || !plain.contains(c);
    }
    // Three layers, undone in the opposite order by the desktop: "%" alone would start a field
    // code; inside the quotes a backslash marks '"', '`', '$' and itself; and every backslash
    // is doubled again because the value is a string of the entry file.
    QString line;
    for (QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$')
            line += QLatin1String("\\\\");
        else if (c == u'\\')
            line += QLatin1String("\\\\\\");
        else if (c == u'%')
            line += u'%';
        line += c;
    }
    return quote ? QLatin1Char('"') + line + QLatin1Char('"') : line;
}

QString Autostart::setOn(bool on) {
    const QString path = entryPath();
    if (!on) {
        QFile entry(path);
        if (!entry.exists() || entry.remove()) return {};
        return QStringLiteral("The autostart entry %1 could not be removed: %2")
            .arg(path, entry.errorString());
    }
    const std::optional<QString> exec = execLine(program());
    if (!exec)
        return QStringLiteral("The autostart entry %1 was not written: the program's path holds a "
                              "line break or another control character, which the entry cannot "
                              "carry.")
            .arg(path);
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
                                 .arg(*exec);
        entry.write(text.toUtf8());
        if (entry.commit()) return {};
    }
    return QStringLiteral("The autostart entry %1 could not be written: %2")
        .arg(path, entry.errorString());
}

} // namespace velmora

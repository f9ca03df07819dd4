#include "core/settings/SystemDefaults.h"

#include "core/net/AnsiText.h"
#include "core/settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velmora {

namespace {

constexpr char kLockedSection[] = "Locked";

bool sameName(const QByteArray& a, const char* b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const StoredSetting* storedSetting(const QByteArray& section, const QByteArray& key) {
    for (const StoredSetting& s : storedSettings())
        if (sameName(section, s.section) && sameName(key, s.key)) return &s;
    return nullptr;
}

const StoredSetting& storedSetting(Setting setting) {
    return storedSettings()[std::size_t(setting)];
}

QString nameOf(const StoredSetting& s) {
    return QLatin1String(s.section) + QLatin1Char('.') + QLatin1String(s.key);
}

} // namespace

QString SystemDefaults::find(const QByteArray& configDirs) {
    const QByteArray folders = configDirs.isEmpty() ? QByteArray("/etc/xdg") : configDirs;
    for (const QByteArray& folder : folders.split(':')) {
        const QString name = QFile::decodeName(folder);
        if (!QDir::isAbsolutePath(name)) continue;
        const QString path = name + QStringLiteral("/dazuviz-velmora/defaults.ini");
        if (QFileInfo::exists(path)) return path;
    }
    return {};
}

SystemDefaults SystemDefaults::load(const QString& path, QStringList* problems) {
    if (path.isEmpty()) return {};
    QByteArray content;
    FileResult problem;
    switch (SettingsFile::read(path, content, kMaxFileSize, &problem)) {
    case SettingsFile::State::Missing:
        return {};
    case SettingsFile::State::Unreadable:
        if (problems)
            problems->append(QStringLiteral("%1: cannot be read (%2); no defaults apply")
                                 .arg(path, problem.reason()));
        return {};
    case SettingsFile::State::Loaded:
        break;
    }
    return parse(content, path, problems);
}

SystemDefaults SystemDefaults::parse(const QByteArray& content, const QString& path,
                                     QStringList* problems) {
    SystemDefaults defaults;
    defaults.path_ = path;
    int number = 0;
    const auto ignored = [&](const QString& why) {
        if (problems)
            problems->append(QStringLiteral("%1:%2: %3; ignored").arg(path).arg(number).arg(why));
    };
    QByteArray section;
    for (const QByteArray& raw : content.split('\n')) {
        ++number;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 1 || line.startsWith('[')) {
            ignored(QStringLiteral("not a \"key=value\" or \"[section]\" line"));
            continue;
        }
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (section.isEmpty()) {
            ignored(QStringLiteral("%1 stands before the first [section]").arg(fromAnsi(key)));
            continue;
        }
        if (sameName(section, kLockedSection)) {
            const qsizetype dot = key.indexOf('.');
            const StoredSetting* s =
                dot < 0 ? nullptr : storedSetting(key.left(dot), key.mid(dot + 1));
            if (!s)
                ignored(QStringLiteral("[Locked] %1 is not a setting this file can lock")
                            .arg(fromAnsi(key)));
            else if (value != "1" && value != "0")
                ignored(QStringLiteral("[Locked] %1 takes 1 (locked) or 0, not \"%2\"")
                            .arg(nameOf(*s), fromAnsi(value)));
            else if (value == "1" && !defaults.locked_.contains(s->setting))
                defaults.locked_.append(s->setting);
            continue;
        }
        const StoredSetting* s = storedSetting(section, key);
        if (!s)
            ignored(QStringLiteral("%1.%2 is not a setting this file can give")
                        .arg(fromAnsi(section), fromAnsi(key)));
        else if (!s->fits(value))
            ignored(QStringLiteral("\"%1\" is not a value of %2").arg(fromAnsi(value), nameOf(*s)));
        else if (defaults.values_.contains(s->setting))
            ignored(QStringLiteral("%1 is given again; the first one counts").arg(nameOf(*s)));
        else
            defaults.values_.insert(s->setting, value);
    }
    return defaults;
}

Profile SystemDefaults::applied(const Profile& profile) const {
    Profile result = profile;
    for (const StoredSetting& s : storedSettings()) {
        const bool locked = isLocked(s.setting);
        const auto value = values_.constFind(s.setting);
        if (value != values_.cend() && (locked || !result.hasKey(s.section, s.key)))
            result.writeSetting(s.section, s.key, *value);
        else if (locked)
            result.removeKey(s.section, s.key); // the program's own default
    }
    return result;
}

Options SystemDefaults::readOptions(const Profile& profile, int designedWidth, int designedHeight,
                                    int screenLargeHeight) const {
    if (values_.isEmpty() && locked_.isEmpty())
        return velmora::readOptions(profile, designedWidth, designedHeight, screenLargeHeight);
    return velmora::readOptions(applied(profile), designedWidth, designedHeight, screenLargeHeight);
}

void SystemDefaults::saveAllSettings(Profile& profile, const SettingsSnapshot& snapshot) const {
    if (locked_.isEmpty()) return velmora::saveAllSettings(profile, snapshot);
    const Profile before = profile; // shares its sections until the save changes them
    velmora::saveAllSettings(profile, snapshot);
    for (Setting setting : locked_) {
        const StoredSetting& s = storedSetting(setting);
        if (before.hasKey(s.section, s.key))
            profile.writeSetting(s.section, s.key, before.readRaw(s.section, s.key, {}));
        else
            profile.removeKey(s.section, s.key);
    }
}

ClassColours SystemDefaults::colours() const {
    return readOptions(Profile(), 0, 0, 0).colours;
}

} // namespace velmora

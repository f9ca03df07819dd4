#pragma once
// The computer's own defaults for every user, and the settings its administrator locks. They
// come from dazuviz-velmora/defaults.ini in the XDG configuration folders, written in the
// settings file's INI form:
//
//   [VLX]
//   idle=10
//   clock24=1
//   [Locked]
//   VLX.clock24=1
//
// gives every user an idle time of ten minutes where the user's settings file holds none yet,
// and the 24-hour clock always, which the Options page then cannot change.
// A locked setting that the file gives no value is locked at the program's own default. A
// save leaves a locked key of the user's file as the user had it (or absent), so that the
// administrator's value ends with the lock instead of staying behind as the user's.

#include "core/settings/Settings.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace velmora {

class SystemDefaults {
public:
    // The most a defaults file may hold; a larger one is not read.
    static constexpr qsizetype kMaxFileSize = 65536;

    // The first dazuviz-velmora/defaults.ini in `configDirs` (as $XDG_CONFIG_DIRS: absolute
    // folders separated by ':', relative ones ignored; none at all means /etc/xdg). Empty when
    // no folder holds one.
    static QString find(const QByteArray& configDirs);
    // The defaults of the file at `path` (none for an empty path or a missing file). What cannot
    // be used is left out, key by key, each with one line "path:line: why" in `problems`; a
    // file that cannot be read at all gives one line and no defaults.
    static SystemDefaults load(const QString& path, QStringList* problems);
    static SystemDefaults parse(const QByteArray& content, const QString& path,
                                QStringList* problems);

    // The file the defaults came from; empty when none applies.
    const QString& path() const { return path_; }
    bool isLocked(Setting setting) const { return locked_.contains(setting); }

    // The options as readOptions reads them from the user's settings, with these defaults
    // where the settings hold no value and the locked values in place of the user's.
    Options readOptions(const Profile& profile, int designedWidth, int designedHeight,
                        int screenLargeHeight) const;
    // saveAllSettings, then each locked key back as `profile` held it before.
    void saveAllSettings(Profile& profile, const SettingsSnapshot& snapshot) const;
    // The background colours a user starts from.
    ClassColours colours() const;

private:
    Profile applied(const Profile& profile) const;

    QString path_;
    QMap<Setting, QByteArray> values_;
    QList<Setting> locked_;
};

} // namespace velmora

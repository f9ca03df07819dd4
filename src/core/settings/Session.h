#pragma once
// What the program learns about its user and computer at start-up.

#include <QByteArray>
#include <QString>

namespace velmora {

// The user's login name in upper case: $USER, else $LOGNAME, else the account of the real
// user id; "UNKNOWN" when there is none.
QByteArray determineLoginName();

// The settings file shared by every user of this computer: /var/lib/dazuviz-velmora/vlx.ini
// when that folder exists and is writable, else vlx.ini in the user's configuration folder.
QString defaultSettingsPath();

// The user's own settings file, $XDG_CONFIG_HOME/dazuviz-velmora/vlx.ini; also where the
// settings go when the shared file cannot be used safely.
QString ownSettingsPath();

} // namespace velmora

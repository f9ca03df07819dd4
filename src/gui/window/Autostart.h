#pragma once
// The desktop's autostart entry of the program ($XDG_CONFIG_HOME/autostart, by default
// ~/.config/autostart): while it exists, the desktop starts the program at login. The file is
// the only record of the choice, so the tray menu's "Start when I log in" reads it every time.

#include <QString>

namespace velmora {

class Autostart {
public:
    static QString entryPath();
    static bool isOn();
    // Writes or removes the entry; the reason when that failed, else an empty text.
    static QString setOn(bool on);
    // The Exec line's command: "velmora" when that name on the PATH is this program, else this
    // program's full path. The program itself starts hidden unless "Program startup" is ticked.
    static QString command();
};

} // namespace velmora

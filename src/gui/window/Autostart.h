#pragma once
// The desktop's autostart entry of the program ($XDG_CONFIG_HOME/autostart, by default
// ~/.config/autostart): while it exists, the desktop starts the program at login. The file is
// the only record of the choice, so the tray menu's "Start when I log in" reads it every time.

#include <QString>
#include <optional>

namespace velmora {

class Autostart {
public:
    static QString entryPath();
    static bool isOn();
    // Writes or removes the entry; the reason when that failed, else an empty text.
    static QString setOn(bool on);
    // What the entry starts: "velmora" when that name on the PATH is this program, else this
    // program's full path. The program itself starts hidden unless "Program startup" is ticked.
    static QString program();
    // The Exec line's value that starts `program`, quoted and escaped as desktop entries
    // require; nothing when it holds a line break or another control character, which no
    // Exec line can carry.
    static std::optional<QString> execLine(const QString& program);
};

} // namespace velmora

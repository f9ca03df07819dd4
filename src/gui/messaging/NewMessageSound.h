#pragma once
// The sound of a new message: which sound it is, played through the media module, which is
// loaded on the first Play() so that a program that never receives a message never loads it.

#include <QString>
#include <QStringList>

namespace velmora {

class MediaLibrary;

class NewMessageSound {
public:
    explicit NewMessageSound(MediaLibrary& media) : media_(media) {}

    // Plays without waiting: the exclamation beep when the computer has no sound output, else
    // a "velmora.wav" of the program's data folder, else the built-in chime.
    void play();

    // The user's own sound: "dazuviz-velmora/velmora.wav" in the first of `dataFolders` that
    // has it (the XDG data folders when none are given); empty when there is none.
    static QString replacementFile(const QStringList& dataFolders = {});
    // Where the built-in chime lives.
    static QString builtInSource() { return QStringLiteral("qrc:/sounds/A.wav"); }

private:
    MediaLibrary& media_;
};

} // namespace velmora

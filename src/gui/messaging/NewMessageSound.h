#pragma once
// The sound of a new message: which sound it is, played through the media module, which is
// loaded on the first Play() so that a program that never receives a message never loads it.

#include <QString>
#include <QStringList>

namespace velmora {

class TMediaLibrary;

class TNewMessageSound {
public:
    explicit TNewMessageSound(TMediaLibrary& media) : media_(media) {}

    // Plays without waiting: the exclamation beep when the computer has no sound output, else
    // a "velmora.wav" of the program's data folder, else the built-in chime.
    void Play();

    // The user's own sound: "dazuviz-velmora/velmora.wav" in the first of `dataFolders` that
    // has it (the XDG data folders when none are given); empty when there is none.
    static QString ReplacementFile(const QStringList& dataFolders = {});
    // Where the built-in chime lives.
    static QString BuiltInSource() { return QStringLiteral("qrc:/sounds/A.wav"); }

private:
    TMediaLibrary& media_;
};

} // namespace velmora

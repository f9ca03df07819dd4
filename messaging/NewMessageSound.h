#pragma once
// The sound of a new message. The multimedia objects come into being on the first Play(), so
// that a program that never receives a message never loads them.

#include <QString>
#include <QStringList>
#include <memory>

class QSoundEffect;

namespace velmora {

class TNewMessageSound {
public:
    TNewMessageSound();
    ~TNewMessageSound();
    TNewMessageSound(const TNewMessageSound&) = delete;
    TNewMessageSound& operator=(const TNewMessageSound&) = delete;

    // Plays without waiting: the exclamation beep when the computer has no sound output, else
    // a "velmora.wav" of the program's data folder, else the built-in chime.
    void Play();

    // The user's own sound: "dazuviz-velmora/velmora.wav" in the first of `dataFolders` that
    // has it (the XDG data folders when none are given); empty when there is none.
    static QString ReplacementFile(const QStringList& dataFolders = {});
    // Where the built-in chime lives.
    static QString BuiltInSource() { return QStringLiteral("qrc:/sounds/A.wav"); }

private:
    std::unique_ptr<QSoundEffect> effect_;
    QString source_;
};

} // namespace velmora

#pragma once
// Sound and printing for the program, taken from the module libvelmora-media.so on first use.
// Until then neither Qt Multimedia nor Qt PrintSupport is in the process; when the module
// cannot be loaded, a sound becomes the desktop's beep and printing says it is not available.

#include "gui/messaging/MediaModule.h"

#include <QLibrary>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace velmora {

class MediaLibrary {
public:
    // `locations` are the module's full file names, tried in order on first use.
    explicit MediaLibrary(QStringList locations = defaultLocations());
    ~MediaLibrary();
    MediaLibrary(const MediaLibrary&) = delete;
    MediaLibrary& operator=(const MediaLibrary&) = delete;

    // Next to the executable (a build tree), then the installed library folder.
    static QStringList defaultLocations();

    // Loads the module the first time; true when it is loaded with every entry point.
    bool load();
    // Why the last location tried could not be used; empty when the module is loaded.
    const QString& errorString() const { return error_; }

    // Plays the WAVE file at `url` without waiting; the desktop's beep when the module or a
    // sound output device is missing.
    void playSound(const QString& url);
    // Shows the print dialog over `parent` and prints `lines` when it is accepted;
    // `dialogOpen` hears true before the dialog shows and false after it closes. Without the
    // module a message box says that printing is not available. False when nothing was printed.
    bool printWithDialog(QWidget* parent, const QStringList& lines,
                         const std::function<void(bool)>& dialogOpen);
    // Prints `lines` into the PDF file `fileName`; false without the module.
    bool printToPdf(const QString& fileName, const QStringList& lines);

private:
    bool resolve();

    QStringList locations_;
    QLibrary library_;
    QString error_;
    bool tried_ = false;
    bool loaded_ = false;
    decltype(&VelmoraMediaHasAudioOutput) hasAudioOutput_ = nullptr;
    decltype(&VelmoraMediaCreatePlayer) createPlayer_ = nullptr;
    decltype(&VelmoraMediaDestroyPlayer) destroyPlayer_ = nullptr;
    decltype(&VelmoraMediaPlay) play_ = nullptr;
    decltype(&VelmoraMediaPrintWithDialog) printWithDialog_ = nullptr;
    decltype(&VelmoraMediaPrintToPdf) printToPdf_ = nullptr;
    SoundPlayer* player_ = nullptr;
};

} // namespace velmora

#include "gui/messaging/MediaLibrary.h"

#include <QApplication>
#include <QMessageBox>

namespace velmora {

namespace {

template <typename F> bool resolveInto(QLibrary& library, const char* name, F& into) {
    into = reinterpret_cast<F>(library.resolve(name));
    return into != nullptr;
}

} // namespace

MediaLibrary::MediaLibrary(QStringList locations) : locations_(std::move(locations)) {}

MediaLibrary::~MediaLibrary() {
    // The module stays loaded: Qt's multimedia and print plugins may still hold on to it, and
    // the process ends soon after anyway.
    if (player_) destroyPlayer_(player_);
}

QStringList MediaLibrary::defaultLocations() {
    const QString name = QString::fromLatin1(kMediaModuleFileName);
    const QString dir = QCoreApplication::applicationDirPath();
    QStringList locations{dir + QLatin1Char('/') + name,
                          dir + QStringLiteral("/../lib/dazuviz-velmora/") + name};
#ifdef VELMORA_MEDIA_INSTALL_DIR
    locations.append(QStringLiteral(VELMORA_MEDIA_INSTALL_DIR "/") + name);
#endif
    locations.removeDuplicates();
    return locations;
}

bool MediaLibrary::load() {
    if (tried_) return loaded_;
    tried_ = true;
    for (const QString& location : locations_) {
        library_.setFileName(location);
        if (!library_.load()) {
            error_ = library_.errorString();
            continue;
        }
        if (resolve()) {
            error_.clear();
            loaded_ = true;
            return true;
        }
        library_.unload();
    }
    if (locations_.isEmpty()) error_ = QStringLiteral("No place to look for the media module");
    return false;
}

bool MediaLibrary::resolve() {
    const auto version =
        reinterpret_cast<decltype(&VelmoraMediaVersion)>(library_.resolve("VelmoraMediaVersion"));
    if (!version || version() != kMediaModuleVersion) {
        error_ = library_.fileName() + QStringLiteral(": not a media module of this version");
        return false;
    }
    const bool complete = resolveInto(library_, "VelmoraMediaHasAudioOutput", hasAudioOutput_) &&
                          resolveInto(library_, "VelmoraMediaCreatePlayer", createPlayer_) &&
                          resolveInto(library_, "VelmoraMediaDestroyPlayer", destroyPlayer_) &&
                          resolveInto(library_, "VelmoraMediaPlay", play_) &&
                          resolveInto(library_, "VelmoraMediaPrintWithDialog", printWithDialog_) &&
                          resolveInto(library_, "VelmoraMediaPrintToPdf", printToPdf_);
    if (!complete) error_ = library_.errorString();
    return complete;
}

void MediaLibrary::playSound(const QString& url) {
    if (!load() || !hasAudioOutput_()) {
        QApplication::beep();
        return;
    }
    if (!player_) player_ = createPlayer_();
    play_(player_, url);
}

bool MediaLibrary::printWithDialog(QWidget* parent, const QStringList& lines,
                                   const std::function<void(bool)>& dialogOpen) {
    if (!load()) {
        if (dialogOpen) dialogOpen(true);
        QMessageBox::warning(parent, parent ? parent->windowTitle() : QString(),
                             QStringLiteral("Printing is not available."));
        if (dialogOpen) dialogOpen(false);
        return false;
    }
    std::function<void(bool)> listener = dialogOpen;
    auto tell = [](void* context, bool open) {
        const auto& call = *static_cast<std::function<void(bool)>*>(context);
        if (call) call(open);
    };
    return printWithDialog_(parent, lines, tell, &listener);
}

bool MediaLibrary::printToPdf(const QString& fileName, const QStringList& lines) {
    return load() && printToPdf_(fileName, lines);
}

} // namespace velmora

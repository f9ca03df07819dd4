#include "gui/messaging/MediaLibrary.h"

#include <QApplication>
#include <QMessageBox>

namespace velmora {

namespace {

template <typename F> bool ResolveInto(QLibrary& library, const char* name, F& into) {
    into = reinterpret_cast<F>(library.resolve(name));
    return into != nullptr;
}

} // namespace

TMediaLibrary::TMediaLibrary(QStringList locations) : locations_(std::move(locations)) {}

TMediaLibrary::~TMediaLibrary() {
    // The module stays loaded: Qt's multimedia and print plugins may still hold on to it, and
    // the process ends soon after anyway.
    if (player_) destroyPlayer_(player_);
}

QStringList TMediaLibrary::DefaultLocations() {
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

bool TMediaLibrary::Load() {
    if (tried_) return loaded_;
    tried_ = true;
    for (const QString& location : locations_) {
        library_.setFileName(location);
        if (!library_.load()) {
            error_ = library_.errorString();
            continue;
        }
        if (Resolve()) {
            error_.clear();
            loaded_ = true;
            return true;
        }
        library_.unload();
    }
    if (locations_.isEmpty()) error_ = QStringLiteral("No place to look for the media module");
    return false;
}

bool TMediaLibrary::Resolve() {
    const auto version =
        reinterpret_cast<decltype(&VelmoraMediaVersion)>(library_.resolve("VelmoraMediaVersion"));
    if (!version || version() != kMediaModuleVersion) {
        error_ = library_.fileName() + QStringLiteral(": not a media module of this version");
        return false;
    }
    const bool complete = ResolveInto(library_, "VelmoraMediaHasAudioOutput", hasAudioOutput_) &&
                          ResolveInto(library_, "VelmoraMediaCreatePlayer", createPlayer_) &&
                          ResolveInto(library_, "VelmoraMediaDestroyPlayer", destroyPlayer_) &&
                          ResolveInto(library_, "VelmoraMediaPlay", play_) &&
                          ResolveInto(library_, "VelmoraMediaPrintWithDialog", printWithDialog_) &&
                          ResolveInto(library_, "VelmoraMediaPrintToPdf", printToPdf_);
    if (!complete) error_ = library_.errorString();
    return complete;
}

void TMediaLibrary::PlaySound(const QString& url) {
    if (!Load() || !hasAudioOutput_()) {
        QApplication::beep();
        return;
    }
    if (!player_) player_ = createPlayer_();
    play_(player_, url);
}

bool TMediaLibrary::PrintWithDialog(QWidget* parent, const QStringList& lines,
                                    const std::function<void(bool)>& dialogOpen) {
    if (!Load()) {
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

bool TMediaLibrary::PrintToPdf(const QString& fileName, const QStringList& lines) {
    return Load() && printToPdf_(fileName, lines);
}

} // namespace velmora

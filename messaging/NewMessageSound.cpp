#include "messaging/NewMessageSound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

namespace velmora {

TNewMessageSound::TNewMessageSound() = default;
TNewMessageSound::~TNewMessageSound() = default;

QString TNewMessageSound::ReplacementFile(const QStringList& dataFolders) {
    const QString name = QStringLiteral("dazuviz-velmora/velmora.wav");
    if (dataFolders.isEmpty())
        return QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
    for (const QString& folder : dataFolders) {
        const QString candidate = folder + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return {};
}

void TNewMessageSound::Play() {
    if (QMediaDevices::audioOutputs().isEmpty()) {
        QApplication::beep();
        return;
    }
    // The file is looked for each time, so that one put there while the program runs counts.
    const QString file = ReplacementFile();
    const QString source = file.isEmpty() ? BuiltInSource() : QUrl::fromLocalFile(file).toString();
    if (!effect_) effect_ = std::make_unique<QSoundEffect>();
    if (source != source_) {
        source_ = source;
        effect_->setSource(QUrl(source));
    }
    // A sound that is still loading starts as soon as it is ready.
    effect_->play();
}

} // namespace velmora

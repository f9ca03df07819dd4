#include "gui/messaging/NewMessageSound.h"

#include "gui/messaging/MediaLibrary.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace velmora {

QString NewMessageSound::replacementFile(const QStringList& dataFolders) {
    const QString name = QStringLiteral("dazuviz-velmora/velmora.wav");
    if (dataFolders.isEmpty())
        return QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
    for (const QString& folder : dataFolders) {
        const QString candidate = folder + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return {};
}

void NewMessageSound::play() {
    // The file is looked for each time, so that one put there while the program runs counts.
    const QString file = replacementFile();
    media_.playSound(file.isEmpty() ? builtInSource() : QUrl::fromLocalFile(file).toString());
}

} // namespace velmora

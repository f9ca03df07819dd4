#include "gui/messaging/MediaModule.h"

#include "gui/messaging/MessagePrinter.h"

#include <QAudioDevice>
#include <QDialog>
#include <QMediaDevices>
#include <QPrintDialog>
#include <QPrinter>
#include <QSoundEffect>
#include <QUrl>

namespace velmora {

class SoundPlayer {
public:
    void play(const QString& url) {
        // Loading a sound is the slow part, so the same source is loaded once.
        if (url != source_) {
            source_ = url;
            effect_.setSource(QUrl(url));
        }
        effect_.play();
    }

private:
    QSoundEffect effect_;
    QString source_;
};

} // namespace velmora

int VelmoraMediaVersion() {
    return velmora::kMediaModuleVersion;
}

bool VelmoraMediaHasAudioOutput() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

velmora::SoundPlayer* VelmoraMediaCreatePlayer() {
    return new velmora::SoundPlayer;
}

void VelmoraMediaDestroyPlayer(velmora::SoundPlayer* player) {
    delete player;
}

void VelmoraMediaPlay(velmora::SoundPlayer* player, const QString& url) {
    if (player) player->play(url);
}

bool VelmoraMediaPrintWithDialog(QWidget* parent, const QStringList& lines,
                                 void (*dialogOpen)(void* context, bool open), void* context) {
    QPrinter printer;
    printer.setFromTo(1, 1);
    QPrintDialog dialog(&printer, parent);
    if (dialogOpen) dialogOpen(context, true);
    const int answer = dialog.exec();
    if (dialogOpen) dialogOpen(context, false);
    if (answer != QDialog::Accepted) return false;
    return velmora::printMessage(printer, lines);
}

bool VelmoraMediaPrintToPdf(const QString& fileName, const QStringList& lines) {
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    return velmora::printMessage(printer, lines);
}

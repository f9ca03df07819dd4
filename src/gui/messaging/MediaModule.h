#pragma once
// The entry points of the sound and printing module (libvelmora-media.so). The module holds
// everything that needs Qt Multimedia or Qt PrintSupport, whose libraries (sound servers, codecs,
// the print system) would otherwise be loaded and relocated at every start; the program loads it
// with QLibrary when a message first plays a sound or the user first prints.

#include <QString>
#include <QStringList>

class QWidget;

#ifdef VELMORA_MEDIA_BUILDING_MODULE
#define VELMORA_MEDIA_ENTRY extern "C" Q_DECL_EXPORT
#else
#define VELMORA_MEDIA_ENTRY extern "C"
#endif

namespace velmora {

// Raised whenever an entry point changes, so that a stale installed module is not used.
inline constexpr int kMediaModuleVersion = 1;
inline constexpr char kMediaModuleFileName[] = "libvelmora-media.so";

// Plays one sound at a time and keeps it loaded between plays.
class SoundPlayer;

} // namespace velmora

// The interface version the module was built with.
VELMORA_MEDIA_ENTRY int VelmoraMediaVersion();
// True when the computer has at least one sound output device.
VELMORA_MEDIA_ENTRY bool VelmoraMediaHasAudioOutput();
VELMORA_MEDIA_ENTRY velmora::SoundPlayer* VelmoraMediaCreatePlayer();
VELMORA_MEDIA_ENTRY void VelmoraMediaDestroyPlayer(velmora::SoundPlayer* player);
// Starts playing the WAVE file at `url` (file: or qrc:) and returns without waiting; a sound
// that is still loading starts as soon as it is ready.
VELMORA_MEDIA_ENTRY void VelmoraMediaPlay(velmora::SoundPlayer* player, const QString& url);
// Shows the print dialog over `parent` and, when the user accepts it, prints `lines` as
// printMessage does. `dialogOpen(context, true)` is called before the dialog shows and
// `dialogOpen(context, false)` after it closes. False when nothing was printed.
VELMORA_MEDIA_ENTRY bool VelmoraMediaPrintWithDialog(QWidget* parent, const QStringList& lines,
                                                     void (*dialogOpen)(void* context, bool open),
                                                     void* context);
// Prints `lines` as printMessage does into the PDF file `fileName`, without a dialog.
VELMORA_MEDIA_ENTRY bool VelmoraMediaPrintToPdf(const QString& fileName, const QStringList& lines);

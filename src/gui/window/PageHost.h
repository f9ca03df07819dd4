#pragma once
// What a page of the main window may ask of the window. Pages depend on this small interface
// and on the core, never on the window's own header.

#include "core/net/SendResult.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class QIcon;
class QWidget;

namespace velmora {

enum class PageId { Status, Messages, Compose, Discuss, Options, ChangeStatus, RemarkEditor, Help };

class PageHost {
public:
    // Makes the page current, with the window's size for it; a page that is current already
    // gets its size handling again.
    virtual void showPage(PageId page) = 0;
    virtual bool isCurrentPage(PageId page) const = 0;
    virtual bool isTabShown(PageId page) const = 0;
    virtual void setTabShown(PageId page, bool shown) = 0;
    // Shows the window and brings it forward.
    virtual void bringIntoView() = 0;
    // Set while one of the program's dialogs is open; clicks on the tray icon are then ignored.
    virtual void setDialogOpen(bool open) = 0;
    // The parent of the program's dialogs and message boxes.
    virtual QWidget* dialogParent() = 0;
    // Asks for one line of text in the program's input dialog; nothing when it is cancelled.
    // A `secret` text is shown as dots.
    virtual std::optional<QString> askText(const QString& caption, const QString& prompt,
                                           bool secret = false) = 0;
    // What became of a datagram that a user's action sent. One the transport refused is shown
    // in the window's error box and gives false; a lost one gives true, since the connection
    // line under the list already tells that nothing leaves.
    virtual bool reportSend(const SendResult& result) = 0;
    // The tray shows `picture` and remembers it as the own status's picture.
    virtual void showStatusPicture(const QIcon& picture) = 0;
    // The tray shows `picture` for the moment (a new message); a page change puts back the
    // remembered picture.
    virtual void showTrayPicture(const QIcon& picture) = 0;
    virtual void restoreTrayPicture() = 0;
    // The remark list of the remark box, the change page and the editor.
    virtual void setRemarkList(const QList<QByteArray>& remarks) = 0;

protected:
    ~PageHost() = default;
};

} // namespace velmora

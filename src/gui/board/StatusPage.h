#pragma once
// The Status page: the remark box with its two buttons over the status list. The page
// announces the user's own status (the three status buttons and the tray menu come here too)
// and turns presses on the list into the choice of a person.

#include "core/Core.h"

#include <QIcon>
#include <QWidget>

class QComboBox;
class QLabel;

namespace velmora {

class PageHost;
class StatusListView;

// The pictures of the own statuses, as the tray shows them.
struct StatusPictures {
    QIcon in, busy, out, remark;
};

class StatusPage : public QWidget {
    Q_OBJECT
public:
    StatusPage(Core& core, PageHost& host, const StatusPictures& pictures,
               QWidget* parent = nullptr);

    StatusListView& statusList() { return *statusList_; }
    QComboBox& remarkBox() { return *remarkBox_; }

    // Announces the own status with colour `code`; a picture, when given, becomes the tray's.
    // A transport failure is shown in the error box.
    void announceOwnStatus(StatusCode code, const QByteArray& text, const QIcon* picture);
    // "&In", "&Busy", "&Out": the Status page, the announcement, and the focus parked where
    // typing cannot change anything by accident.
    void onInClicked();
    void onBusyClicked();
    void onOutClicked();
    void onChooseRemarkClicked();
    void onPersonalizeStatusClicked();
    // A remark chosen from the remark box's list, or typed into it and confirmed with Enter.
    void onRemarkChosen(const QString& remark);
    void onRemarkConfirmed();
    // The remark box lost the focus without its list open: its colour and mirroring return;
    // nothing is announced.
    void onRemarkBoxLeft();
    // Leaving the page ends a choice in the remark box: its list closes.
    void onPageLeft();
    // A mouse button pressed on the status list at `pos` (viewport coordinates).
    void onStatusListPressed(Qt::MouseButton button, bool ctrl, const QPoint& pos,
                             const QPoint& globalPos);
    // A key typed while the page is shown: letters put names on top, except in the remark box.
    void onLetterTyped(const QString& text);
    // "Not connected: <reason>" under the list while nothing can be sent; none hides it.
    void showConnectionProblem(const QString& reason);
    // The remark box's list; what is typed in the box stays.
    void setRemarks(const QList<QByteArray>& remarks);

Q_SIGNALS:
    // A plain click on a person: the Compose page's recipient.
    void recipientChosen(const QByteArray& address, const QByteArray& name, bool offLine);
    // Ctrl + left click: the change page for that person.
    void changeStatusChosen(const QByteArray& address, const QByteArray& name);
    // A right click: the person menu for that person, at `globalPos`.
    void personMenuRequested(const QByteArray& address, const QByteArray& name, bool offLine,
                             const QPoint& globalPos);

private:
    void announceFromStatusButton(StatusCode code, const QByteArray& text, const QIcon& picture);

    Core& core_;
    PageHost& host_;
    const StatusPictures& pictures_;
    QComboBox* remarkBox_;
    QWidget* focusParking_;
    QLabel* connectionLine_;
    StatusListView* statusList_;
    // Whether the remark box shows each announcement; off while the user picks from its list.
    bool remarkMirroring_ = true;
    // The last announced own status, which Escape in the remark box brings back.
    QString announcedText_;
};

} // namespace velmora

#pragma once
// The page for changing another person's status: In, Busy, Out, a remark from the list or a
// text of the user's own. Each choice broadcasts one proxy status announcement addressed by
// the person's address; nothing changes here until that broadcast comes back like every
// other copy's.

#include "core/net/Datagram.h"
#include "gui/controls/BuiltWhenShown.h"

#include <QByteArray>
#include <QStringList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace velmora {

class PageHost;
class Core;
class ColorButton;

class ChangeStatusPage : public BuiltWhenShown {
    Q_OBJECT
public:
    ChangeStatusPage(Core& core, PageHost& host, QWidget* parent = nullptr);
    // The remark list as it stands, or whether it holds any remark.
    void setRemarkItems(const QStringList& remarks);
    bool hasRemarkItems() const;

    // Makes the person the one whose status the page changes: the group caption, the hidden
    // prefix label and the remark list. Ctrl + left click then shows the page as it is.
    void prepare(const QByteArray& address, const QByteArray& name);
    // "&Change Status" in the person menu: the page in the current class colours.
    void openInClassColours();

    void onInClicked();
    void onBusyClicked();
    void onOutClicked();
    void onRemarkClicked(const QString& remark);
    void onCustomStatusClicked(); // Enter a Customized Status
    void onWhiteBackgroundClicked();
    void onCancelClicked();

private:
    void build() override;
    // The person's name in the group caption and the hidden prefix label.
    void showPerson();
    bool whiteBackground() const;
    // Broadcasts the change with colour `code` and `status` and returns to the Status page.
    void sendChange(StatusCode code, const QByteArray& status);
    void paintListBackground();

    Core& core_;
    PageHost& host_;
    QGroupBox* personGroup_ = nullptr;
    QListWidget* remarkList_ = nullptr;
    ColorButton* inButton_ = nullptr;
    ColorButton* busyButton_ = nullptr;
    ColorButton* outButton_ = nullptr;
    QCheckBox* whiteBackgroundBox_ = nullptr;
    QLabel* prefixLabel_ = nullptr;
    QByteArray address_;
    QByteArray name_;
    bool prepared_ = false;
    QStringList remarks_; // what the list shows once it exists
};

} // namespace velmora

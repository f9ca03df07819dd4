#pragma once
// The page for changing another person's status: In, Busy, Out, a remark from the list or a
// text of the user's own. Each choice broadcasts one proxy status announcement addressed by
// the person's address; nothing changes here until that broadcast comes back like every
// other copy's.

#include <QByteArray>
#include <QObject>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace velmora {

class MainWindow;
class Core;
class ColorButton;

class ChangeStatusPage : public QObject {
    Q_OBJECT
public:
    // Finds the page's controls in `form` by their names and connects them.
    explicit ChangeStatusPage(MainWindow& form);

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
    // Broadcasts the change with colour `code` and `status` and returns to the Status page.
    void sendChange(char code, const QByteArray& status);
    void paintListBackground();

    MainWindow& form_;
    Core& core_;
    QGroupBox* personGroup_;
    QListWidget* remarkList_;
    ColorButton* inButton_;
    ColorButton* busyButton_;
    ColorButton* outButton_;
    QCheckBox* whiteBackgroundBox_;
    QLabel* prefixLabel_;
    QByteArray address_;
    QByteArray name_;
};

} // namespace velmora

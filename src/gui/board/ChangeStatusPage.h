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

class TForm1;
class TVelmoraCore;
class tColorButton;

class TChangeStatusPage : public QObject {
    Q_OBJECT
public:
    // Finds the page's controls in `form` by their names and connects them.
    explicit TChangeStatusPage(TForm1& form);

    // Makes the person the one whose status the page changes: the group caption, the hidden
    // prefix label and the remark list. Ctrl + left click then shows the page as it is.
    void Prepare(const QByteArray& address, const QByteArray& name);
    // "&Change Status" in the person menu: the page in the current class colours.
    void chgOthersClick();

    void In22click();
    void Busy22click();
    void Out22click();
    void ListBox2Click(const QString& remark);
    void Button7Click(); // Enter a Customized Status
    void WhtBkgClick();
    void Cancel1Click();

private:
    // Broadcasts the change with colour `code` and `status` and returns to the Status page.
    void SendChange(char code, const QByteArray& status);
    void PaintListBackground();

    TForm1& form_;
    TVelmoraCore& core_;
    QGroupBox* GroupBox8_;
    QListWidget* ListBox2_;
    tColorButton* In22_;
    tColorButton* Busy22_;
    tColorButton* Out22_;
    QCheckBox* WhtBkg_;
    QLabel* Label4_;
    QByteArray address_;
    QByteArray name_;
};

} // namespace velmora

#include "gui/board/ChangeStatusPage.h"

#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
#include "core/net/AnsiText.h"
#include "core/net/UdpTransport.h"
#include "core/net/Datagram.h"
#include "gui/window/MainWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace velmora {

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

// Enter on the remark list chooses the current remark, as a click does.
class TEnterChooses : public QObject {
public:
    TEnterChooses(QListWidget* list, TChangeStatusPage* page) : QObject(list), page_(page) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* list = static_cast<QListWidget*>(watched);
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !list->currentItem()) return false;
        page_->ListBox2Click(list->currentItem()->text());
        return true;
    }

private:
    TChangeStatusPage* page_;
};

} // namespace

TChangeStatusPage::TChangeStatusPage(TForm1& form)
    : QObject(&form), form_(form), core_(form.Core()),
      GroupBox8_(form.Control<QGroupBox>("GroupBox8")),
      ListBox2_(form.Control<QListWidget>("ListBox2")), In22_(form.Control<tColorButton>("In22")),
      Busy22_(form.Control<tColorButton>("Busy22")), Out22_(form.Control<tColorButton>("Out22")),
      WhtBkg_(form.Control<QCheckBox>("WhtBkg")), Label4_(form.Control<QLabel>("Label4")) {
    In22_->onclick = [this](tColorButton*) { In22click(); };
    Busy22_->onclick = [this](tColorButton*) { Busy22click(); };
    Out22_->onclick = [this](tColorButton*) { Out22click(); };
    connect(ListBox2_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ListBox2Click(item->text()); });
    ListBox2_->installEventFilter(new TEnterChooses(ListBox2_, this));
    connect(form.Control<QPushButton>("Button7"), &QPushButton::clicked, this,
            &TChangeStatusPage::Button7Click);
    connect(WhtBkg_, &QCheckBox::clicked, this, &TChangeStatusPage::WhtBkgClick);
    connect(form.Control<QPushButton>("Cancel1"), &QPushButton::clicked, this,
            &TChangeStatusPage::Cancel1Click);
}

void TChangeStatusPage::Prepare(const QByteArray& address, const QByteArray& name) {
    address_ = address;
    name_ = name;
    GroupBox8_->setTitle(Q(" Change Status for ") + FromAnsi(name));
    Label4_->setText(FromAnsi(QByteArray("zw") + address + kSep + name));
    ListBox2_->clear();
    for (const QByteArray& remark : core_.Remarks())
        ListBox2_->addItem(FromAnsi(remark));
}

void TChangeStatusPage::chgOthersClick() {
    const TClassColours& colours = core_.Options().colours;
    if (!WhtBkg_->isChecked()) PaintListBackground();
    Out22_->SetColor(colours.Out);
    In22_->SetColor(colours.In);
    Busy22_->SetColor(colours.Busy);
    ListBox2_->clear();
    for (const QByteArray& remark : core_.Remarks())
        ListBox2_->addItem(FromAnsi(remark));
    form_.SelectTab(form_.Page("ChgStatus"));
}

void TChangeStatusPage::In22click() {
    SendChange('g', " In");
}

void TChangeStatusPage::Busy22click() {
    SendChange('f', " Busy - In but unavailable");
}

void TChangeStatusPage::Out22click() {
    SendChange('r', " Out");
}

void TChangeStatusPage::ListBox2Click(const QString& remark) {
    QByteArray status = ' ' + ToAnsi(remark);
    if (core_.Options().ShwTime) status += core_.TimeStampNow();
    SendChange(WhtBkg_->isChecked() ? 'w' : 'y', status);
}

void TChangeStatusPage::Button7Click() {
    QInputDialog dialog(&form_);
    dialog.setWindowTitle(Q("Customize Status"));
    dialog.setLabelText(Q("Enter Status"));
    dialog.setTextValue(QString());
    form_.SetDialogOpen(true);
    const bool ok = dialog.exec() == QDialog::Accepted;
    form_.SetDialogOpen(false);
    // A status of the user's own words is always white and never stamped.
    if (ok) SendChange('w', ' ' + ToAnsi(dialog.textValue()));
}

void TChangeStatusPage::WhtBkgClick() {
    PaintListBackground();
}

void TChangeStatusPage::Cancel1Click() {
    form_.SelectTab(form_.Page("Status1"));
}

void TChangeStatusPage::SendChange(char code, const QByteArray& status) {
    try {
        core_.SendDatagram(datagram::ProxyAnnouncement(code, address_, name_ + kSep + status));
    } catch (const EUDPError& e) {
        QMessageBox::critical(&form_, form_.windowTitle(), Q(e.what()));
    }
    form_.SelectTab(form_.Page("Status1"));
}

void TChangeStatusPage::PaintListBackground() {
    TForm1::SetBackground(ListBox2_, WhtBkg_->isChecked()
                                         ? QColor(Qt::white)
                                         : ColourFromBgr(core_.Options().colours.Rest));
}

} // namespace velmora

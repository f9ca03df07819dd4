#include "gui/board/ChangeStatusPage.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/UdpTransport.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
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
class EnterChooses : public QObject {
public:
    EnterChooses(QListWidget* list, ChangeStatusPage* page) : QObject(list), page_(page) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* list = static_cast<QListWidget*>(watched);
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !list->currentItem()) return false;
        page_->onRemarkClicked(list->currentItem()->text());
        return true;
    }

private:
    ChangeStatusPage* page_;
};

} // namespace

ChangeStatusPage::ChangeStatusPage(MainWindow& form)
    : QObject(&form), form_(form), core_(form.core()),
      personGroup_(form.control<QGroupBox>("personGroup")),
      remarkList_(form.control<QListWidget>("remarkList")),
      inButton_(form.control<ColorButton>("changeToInButton")),
      busyButton_(form.control<ColorButton>("changeToBusyButton")),
      outButton_(form.control<ColorButton>("changeToOutButton")),
      whiteBackgroundBox_(form.control<QCheckBox>("whiteBackgroundBox")),
      prefixLabel_(form.control<QLabel>("prefixLabel")) {
    inButton_->onclick = [this](ColorButton*) { onInClicked(); };
    busyButton_->onclick = [this](ColorButton*) { onBusyClicked(); };
    outButton_->onclick = [this](ColorButton*) { onOutClicked(); };
    connect(remarkList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { onRemarkClicked(item->text()); });
    remarkList_->installEventFilter(new EnterChooses(remarkList_, this));
    connect(form.control<QPushButton>("customStatusButton"), &QPushButton::clicked, this,
            &ChangeStatusPage::onCustomStatusClicked);
    connect(whiteBackgroundBox_, &QCheckBox::clicked, this,
            &ChangeStatusPage::onWhiteBackgroundClicked);
    connect(form.control<QPushButton>("cancelChangeButton"), &QPushButton::clicked, this,
            &ChangeStatusPage::onCancelClicked);
}

void ChangeStatusPage::prepare(const QByteArray& address, const QByteArray& name) {
    address_ = address;
    name_ = name;
    personGroup_->setTitle(Q(" Change Status for ") + fromAnsi(name));
    prefixLabel_->setText(fromAnsi(QByteArray("zw") + address + kSep + name));
    remarkList_->clear();
    for (const QByteArray& remark : core_.remarks())
        remarkList_->addItem(fromAnsi(remark));
}

void ChangeStatusPage::openInClassColours() {
    const ClassColours& colours = core_.options().colours;
    if (!whiteBackgroundBox_->isChecked()) paintListBackground();
    outButton_->setColor(colours.out);
    inButton_->setColor(colours.in);
    busyButton_->setColor(colours.busy);
    remarkList_->clear();
    for (const QByteArray& remark : core_.remarks())
        remarkList_->addItem(fromAnsi(remark));
    form_.showPage(form_.page("changeStatusPage"));
}

void ChangeStatusPage::onInClicked() {
    sendChange('g', " In");
}

void ChangeStatusPage::onBusyClicked() {
    sendChange('f', " Busy - In but unavailable");
}

void ChangeStatusPage::onOutClicked() {
    sendChange('r', " Out");
}

void ChangeStatusPage::onRemarkClicked(const QString& remark) {
    QByteArray status = ' ' + toAnsi(remark);
    if (core_.options().stampChanges) status += core_.timeStampNow();
    sendChange(whiteBackgroundBox_->isChecked() ? 'w' : 'y', status);
}

void ChangeStatusPage::onCustomStatusClicked() {
    QInputDialog dialog(&form_);
    dialog.setWindowTitle(Q("Customize Status"));
    dialog.setLabelText(Q("Enter Status"));
    dialog.setTextValue(QString());
    form_.setDialogOpen(true);
    const bool ok = dialog.exec() == QDialog::Accepted;
    form_.setDialogOpen(false);
    // A status of the user's own words is always white and never stamped.
    if (ok) sendChange('w', ' ' + toAnsi(dialog.textValue()));
}

void ChangeStatusPage::onWhiteBackgroundClicked() {
    paintListBackground();
}

void ChangeStatusPage::onCancelClicked() {
    form_.showPage(form_.page("statusPage"));
}

void ChangeStatusPage::sendChange(char code, const QByteArray& status) {
    try {
        core_.sendDatagram(datagram::proxyAnnouncement(code, address_, name_ + kSep + status));
    } catch (const UdpError& e) {
        QMessageBox::critical(&form_, form_.windowTitle(), Q(e.what()));
    }
    form_.showPage(form_.page("statusPage"));
}

void ChangeStatusPage::paintListBackground() {
    MainWindow::setBackground(remarkList_, whiteBackgroundBox_->isChecked()
                                               ? QColor(Qt::white)
                                               : colourFromBgr(core_.options().colours.others));
}

} // namespace velmora

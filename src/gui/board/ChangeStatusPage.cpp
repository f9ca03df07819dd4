#include "gui/board/ChangeStatusPage.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/PageHost.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

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

ChangeStatusPage::ChangeStatusPage(Core& core, PageHost& host, QWidget* parent)
    : BuiltWhenShown(parent), core_(core), host_(host) {
    setObjectName(latin1("changeStatusPage"));
}

void ChangeStatusPage::build() {
    auto* outer = columnLayout(this);
    personGroup_ = named(new QGroupBox(latin1(" Change Status for ")), "personGroup");
    outer->addWidget(personGroup_);
    auto* l = new QHBoxLayout(personGroup_);
    remarkList_ = named(new QListWidget, "remarkList");
    l->addWidget(remarkList_, 1);
    auto* right = columnLayout(nullptr, 0, 3);
    auto* buttons = rowLayout();
    auto colourButton = [buttons](const char* name, const char* caption, quint32 colour) {
        auto* b = named(new ColorButton, name);
        b->resize(73, 24);
        b->setCaption(latin1(caption));
        b->setFlat(false);
        b->setHotTrack(false);
        b->setColor(colour);
        b->setDownColor(colour);
        b->setHotColor(ColorButton::Colour::Yellow);
        b->setHotFontColor(ColorButton::Colour::Red);
        b->setDownFontColor(ColorButton::Colour::Black);
        b->setFixedSize(b->size());
        buttons->addWidget(b);
        return b;
    };
    inButton_ = colourButton("changeToInButton", "In", ColorButton::Colour::Lime);
    busyButton_ = colourButton("changeToBusyButton", "Busy", ColorButton::Colour::Fuchsia);
    outButton_ = colourButton("changeToOutButton", "Out", ColorButton::Colour::Red);
    right->addLayout(buttons);
    QPushButton* custom = pushButton("customStatusButton", "Enter a Customized Status");
    right->addWidget(custom);
    right->addWidget(new QLabel(latin1("<-- Click a status to assign  it")));
    whiteBackgroundBox_ = checkBox("whiteBackgroundBox", latin1("White background"));
    whiteBackgroundBox_->setChecked(true);
    right->addWidget(whiteBackgroundBox_);
    right->addStretch(1);
    QPushButton* cancel = pushButton("cancelChangeButton", "Cancel");
    right->addWidget(cancel, 0, Qt::AlignRight);
    prefixLabel_ = named(new QLabel, "prefixLabel");
    prefixLabel_->setVisible(false);
    right->addWidget(prefixLabel_);
    l->addLayout(right, 1);

    connect(inButton_, &ColorButton::clicked, this, &ChangeStatusPage::onInClicked);
    connect(busyButton_, &ColorButton::clicked, this, &ChangeStatusPage::onBusyClicked);
    connect(outButton_, &ColorButton::clicked, this, &ChangeStatusPage::onOutClicked);
    connect(remarkList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { onRemarkClicked(item->text()); });
    remarkList_->installEventFilter(new EnterChooses(remarkList_, this));
    connect(custom, &QPushButton::clicked, this, &ChangeStatusPage::onCustomStatusClicked);
    connect(whiteBackgroundBox_, &QCheckBox::clicked, this,
            &ChangeStatusPage::onWhiteBackgroundClicked);
    connect(cancel, &QPushButton::clicked, this, &ChangeStatusPage::onCancelClicked);

    remarkList_->addItems(remarks_);
    if (prepared_) showPerson();
}

void ChangeStatusPage::setRemarkItems(const QStringList& remarks) {
    remarks_ = remarks;
    if (!remarkList_) return;
    remarkList_->clear();
    remarkList_->addItems(remarks);
}

bool ChangeStatusPage::hasRemarkItems() const {
    return remarkList_ ? remarkList_->count() > 0 : !remarks_.isEmpty();
}

void ChangeStatusPage::prepare(const QByteArray& address, const QByteArray& name) {
    address_ = address;
    name_ = name;
    prepared_ = true;
    if (personGroup_) showPerson();
    QStringList remarks;
    for (const QByteArray& remark : core_.remarks())
        remarks.append(fromAnsi(remark));
    setRemarkItems(remarks);
}

void ChangeStatusPage::showPerson() {
    personGroup_->setTitle(menuText(" Change Status for " + name_));
    prefixLabel_->setText(fromAnsi(QByteArray("zw") + address_ + kSep + name_));
}

bool ChangeStatusPage::whiteBackground() const {
    return !whiteBackgroundBox_ || whiteBackgroundBox_->isChecked();
}

void ChangeStatusPage::openInClassColours() {
    buildNow();
    const ClassColours& colours = core_.options().colours;
    if (!whiteBackgroundBox_->isChecked()) paintListBackground();
    outButton_->setColor(colours.out);
    inButton_->setColor(colours.in);
    busyButton_->setColor(colours.busy);
    remarkList_->clear();
    for (const QByteArray& remark : core_.remarks())
        remarkList_->addItem(fromAnsi(remark));
    host_.showPage(PageId::ChangeStatus);
}

void ChangeStatusPage::onInClicked() {
    sendChange(StatusCode::In, " In");
}

void ChangeStatusPage::onBusyClicked() {
    sendChange(StatusCode::Busy, " Busy - In but unavailable");
}

void ChangeStatusPage::onOutClicked() {
    sendChange(StatusCode::Out, " Out");
}

void ChangeStatusPage::onRemarkClicked(const QString& remark) {
    QByteArray status = ' ' + toAnsi(remark);
    if (core_.options().stampChanges) status += core_.timeStampNow();
    sendChange(whiteBackground() ? StatusCode::WhiteRemark : StatusCode::Remark, status);
}

void ChangeStatusPage::onCustomStatusClicked() {
    // A status of the user's own words is always white and never stamped.
    if (const auto text = host_.askText(latin1("Customize Status"), latin1("Enter Status")))
        sendChange(StatusCode::WhiteRemark, ' ' + toAnsi(*text));
}

void ChangeStatusPage::onWhiteBackgroundClicked() {
    paintListBackground();
}

void ChangeStatusPage::onCancelClicked() {
    host_.showPage(PageId::Status);
}

void ChangeStatusPage::sendChange(StatusCode code, const QByteArray& status) {
    host_.reportSend(
        core_.sendDatagram(datagram::proxyAnnouncement(code, address_, name_ + kSep + status)));
    host_.showPage(PageId::Status);
}

void ChangeStatusPage::paintListBackground() {
    setBackground(remarkList_, whiteBackgroundBox_->isChecked()
                                   ? QColor(Qt::white)
                                   : colourFromBgr(core_.options().colours.others));
}

} // namespace velmora

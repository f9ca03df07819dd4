#include "gui/window/OptionsPage.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/UdpError.h"
#include "core/settings/OptionsLock.h"
#include "gui/board/StatusListView.h"
#include "gui/controls/AquaButton.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/PageHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

// The check boxes of the page and the option each one is.
struct OptionBox {
    const char* name;
    const char* caption;
    bool Options::*option;
};
constexpr OptionBox kOptionBoxes[] = {
    {"showOnNewMessageBox", "&New message arrival", &Options::showOnNewMessage},
    {"showOnStatusChangeBox", "&Status change", &Options::showOnStatusChange},
    {"showOnStartupBox", "&Program startup", &Options::showOnStartup},
    {"hideMessagingBox", "Hide and disable *", &Options::messagingHidden},
    {"newMessageSoundBox", "New message sound", &Options::newMessageSound},
    {"notifyDesktopBox", "Desktop notification", &Options::notifyDesktop},
    {"hideDiscussBox", "Hide and disable *", &Options::discuss},
    {"colourSortBox", "Sort by status background color ", &Options::colorSort},
    {"stampChangesBox", "Time stamp my changes", &Options::stampChanges},
    {"stampStartAndEndBox", "Time stamp startup && shutdown", &Options::stampStartAndEnd},
    {"exitAsOutBox", "Exit as \"Out\" if \"In\" or \"Busy\"", &Options::exitAsOut},
    {"outOnPowerDownBox", "Show \"Out\" on power down", &Options::outOnPowerDown},
};

} // namespace

OptionsPage::OptionsPage(Core& core, PageHost& host, StatusListView& statusList, QWidget* parent)
    : QWidget(parent), core_(core), host_(host), statusList_(statusList) {
    setObjectName(latin1("optionsPage"));
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(1, 2, 1, 2);
    columns->setSpacing(2);
    // Twelve options, five groups and six colour panels share 432 x 212 pixels: rows are
    // kept to the height of their text.
    auto group = [](const char* caption, QVBoxLayout* into) {
        auto* g = new QGroupBox(latin1(caption));
        g->setFlat(true);
        into->addWidget(g);
        auto* l = columnLayout(g, 0, 0);
        l->setContentsMargins(2, 0, 1, 0);
        return l;
    };
    auto checks = [this](QVBoxLayout* into, std::initializer_list<const char*> names) {
        for (const char* name : names)
            for (const OptionBox& option : kOptionBoxes)
                if (qstrcmp(option.name, name) == 0) {
                    QCheckBox* c = checkBox(option.name, latin1(option.caption));
                    c->setFixedHeight(16);
                    into->addWidget(c);
                    connect(c, &QCheckBox::toggled, this,
                            [this, o = option.option](bool on) { core_.options().*o = on; });
                }
    };

    auto* left = columnLayout(nullptr, 0, 2);
    auto* nameGroup = group(" Display my Name as: ", left);
    nameBox_ = named(new QLineEdit(latin1("<My Name>")), "nameBox");
    nameBox_->setFixedHeight(18);
    connect(nameBox_, &QLineEdit::textEdited, this, [this] { nameEdited_ = true; });
    nameGroup->addWidget(nameBox_);
    checks(group("Bring Screen into View", left),
           {"showOnNewMessageBox", "showOnStatusChangeBox", "showOnStartupBox"});
    checks(group(" Message System ", left),
           {"hideMessagingBox", "newMessageSoundBox", "notifyDesktopBox"});
    checks(group(" Discuss Screen", left), {"hideDiscussBox"});
    left->addStretch(1);
    columns->addLayout(left, 3);

    auto* middle = columnLayout(nullptr, 0, 2);
    auto* screenGroup = group(" Status Screen ", middle);
    auto* combos = new QGridLayout;
    combos->setContentsMargins(0, 0, 0, 0);
    combos->setHorizontalSpacing(3);
    combos->setVerticalSpacing(1);
    auto combo = [](const char* name, QStringList items, int current) {
        auto* box = named(new QComboBox, name);
        box->addItems(items);
        box->setCurrentIndex(current);
        box->setFixedHeight(18);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return box;
    };
    heightBox_ = combo("heightBox", {latin1("Small"), latin1("Medium"), latin1("Large")}, 1);
    fontSizeBox_ = combo("fontSizeBox", {latin1("8"), latin1("10"), latin1("12")}, 0);
    // Narrow enough for the three columns to fit the window with every word of the height
    // and clock boxes showing.
    fontSizeBox_->setFixedWidth(38);
    timeFormatBox_ = combo("timeFormatBox", {latin1("12-hour clock"), latin1("24-hour clock")}, 0);
    combos->addWidget(heightBox_, 0, 0);
    combos->addWidget(new QLabel(latin1("Height")), 0, 1);
    combos->addWidget(fontSizeBox_, 0, 2);
    combos->addWidget(new QLabel(latin1("Font size")), 0, 3);
    combos->addWidget(timeFormatBox_, 1, 0, 1, 2);
    combos->addWidget(new QLabel(latin1("Time format ")), 1, 2, 1, 2);
    screenGroup->addLayout(combos);
    checks(screenGroup, {"colourSortBox"});
    auto* twoColumns = checkBox("twoColumnsBox", latin1("Display names in two columns"));
    twoColumns->setFixedHeight(16);
    screenGroup->addWidget(twoColumns);
    checks(screenGroup,
           {"stampChangesBox", "stampStartAndEndBox", "exitAsOutBox", "outOnPowerDownBox"});
    auto* idleGroup = group(" Idle Timeout Period ", middle);
    auto* idleRow = rowLayout();
    idleTimeoutBox_ = named(new QLineEdit(latin1("0")), "idleTimeoutBox");
    idleTimeoutBox_->setFixedSize(40, 18);
    idleRow->addWidget(idleTimeoutBox_);
    idleRow->addWidget(new QLabel(latin1("in minutes")), 1);
    idleGroup->addLayout(idleRow);
    middle->addStretch(1);
    columns->addLayout(middle, 6);

    auto* right = columnLayout(nullptr, 0, 2);
    auto* background = group(" Background ", right);
    for (auto [name, caption] :
         {std::pair{"inColourPanel", "In"}, std::pair{"busyColourPanel", "Busy"},
          std::pair{"outColourPanel", "Out"}, std::pair{"idleColourPanel", "Idle"},
          std::pair{"othersColourPanel", "All Others"}}) {
        QPushButton* panel = pushButton(name, caption);
        panel->setFlat(true);
        panel->setFixedSize(78, 18);
        colourPanels_.append(panel);
        background->addWidget(panel);
        connect(panel, &QPushButton::clicked, this, [this, panel] { onColourPanelClicked(panel); });
    }
    QPushButton* reset = pushButton("resetColoursButton", "Reset Colors");
    reset->setFixedSize(78, 18);
    background->addWidget(reset);
    connect(reset, &QPushButton::clicked, this, &OptionsPage::onResetColoursClicked);
    lockButton_ = pushButton("lockButton", "Lock *");
    right->addWidget(lockButton_);
    connect(lockButton_, &QPushButton::clicked, this, &OptionsPage::onLockClicked);
    right->addStretch(1);
    AquaButton* editor = aquaButton("remarkEditorButton", "Status List", QSize(78, 24), font());
    editor->onclick = [this](AquaButton*) { Q_EMIT remarkEditorRequested(); };
    right->addWidget(editor, 0, Qt::AlignRight);
    columns->addLayout(right, 3);

    // Initial states as laid out; the settings file overrides them at start.
    for (const char* on :
         {"showOnNewMessageBox", "showOnStartupBox", "hideMessagingBox", "newMessageSoundBox",
          "notifyDesktopBox", "hideDiscussBox", "stampChangesBox", "stampStartAndEndBox",
          "exitAsOutBox", "outOnPowerDownBox"})
        box(on)->setChecked(true);

    connect(box("hideMessagingBox"), &QCheckBox::clicked, this,
            &OptionsPage::onHideMessagingClicked);
    connect(box("newMessageSoundBox"), &QCheckBox::clicked, this,
            &OptionsPage::onNewMessageSoundClicked);
    connect(box("hideDiscussBox"), &QCheckBox::clicked, this, &OptionsPage::onHideDiscussClicked);
    connect(box("colourSortBox"), &QCheckBox::clicked, this, &OptionsPage::onColourSortClicked);
    connect(twoColumns, &QCheckBox::clicked, this, &OptionsPage::onTwoColumnsClicked);
    connect(fontSizeBox_, &QComboBox::currentTextChanged, this, &OptionsPage::onFontSizeChanged);
    connect(timeFormatBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { core_.options().clock24 = index == 1; });
    connect(heightBox_, &QComboBox::currentTextChanged, this, &OptionsPage::onHeightChanged);
}

QCheckBox* OptionsPage::box(const char* name) const {
    return findChild<QCheckBox*>(latin1(name));
}

QString OptionsPage::heightText() const {
    return heightBox_->currentText();
}

QString OptionsPage::fontSizeText() const {
    return fontSizeBox_->currentText();
}

void OptionsPage::showOptions(const Options& o) {
    if (o.lock) showLock(true);
    for (const OptionBox& option : kOptionBoxes)
        box(option.name)->setChecked(o.*option.option);
    box("twoColumnsBox")->setChecked(o.columns != 0);
    statusList_.setColumns(o.columns);
    fontSizeBox_->setCurrentText(fromAnsi(o.size));
    statusList_.applyFontSize(o.size);
    {
        const QSignalBlocker quiet(heightBox_);
        heightBox_->setCurrentText(fromAnsi(o.h));
    }
    statusList_.setNameColumnWidth(o.namesize);
    idleTimeoutBox_->setText(fromAnsi(o.idle));
    timeFormatBox_->setCurrentIndex(o.clock24 ? 1 : 0);
    paintColourPanels();
}

void OptionsPage::storeOptions() {
    Options& o = core_.options();
    o.columns = statusList_.columns();
    o.size = toAnsi(fontSizeBox_->currentText());
    o.h = toAnsi(heightBox_->currentText());
    onIdleTimeoutBoxLeft(); // the box as it would stand after leaving it
    o.namesize = statusList_.nameColumnWidth();
}

void OptionsPage::onNameBoxLeft() {
    QByteArray text = toAnsi(nameBox_->text());
    if (text.contains(kSep)) {
        text = displayNameFrom(text);
        nameBox_->setText(fromAnsi(text));
    }
    const bool commit = nameEdited_ && text != core_.own().displayName;
    nameEdited_ = false;
    if (!commit) return;
    // Without a name every later announcement would be malformed and the user would freeze
    // on every roster: a blank name is refused and the field shows the current one again.
    if (trimBlanks(text).isEmpty()) {
        nameBox_->setText(fromAnsi(core_.own().displayName));
        return;
    }
    OwnStatus& own = core_.own();
    own.displayName = text.left(60);
    nameBox_->setText(fromAnsi(own.displayName));
    // Every copy, this one included, shows the new name in a white row with the plain status.
    try {
        core_.sendDatagram(datagram::proxyAnnouncement(StatusCode::WhiteRemark, own.address,
                                                       own.displayName + kSep + own.text));
    } catch (const UdpError& e) {
        host_.showError(latin1(e.what()));
    }
    Q_EMIT displayNameCommitted();
}

void OptionsPage::onIdleTimeoutBoxLeft() {
    core_.options().idle = toAnsi(idleTimeoutBox_->text());
    core_.idle().applyIdleBox();
    idleTimeoutBox_->setText(fromAnsi(core_.options().idle));
}

void OptionsPage::onHideMessagingClicked() {
    const bool hidden = box("hideMessagingBox")->isChecked();
    host_.setTabShown(PageId::Messages, !hidden);
    host_.setTabShown(PageId::Compose, !hidden);
    host_.showPage(PageId::Options);
}

void OptionsPage::onHideDiscussClicked() {
    host_.setTabShown(PageId::Discuss, !box("hideDiscussBox")->isChecked());
    host_.showPage(PageId::Options);
}

void OptionsPage::onNewMessageSoundClicked() {
    if (box("newMessageSoundBox")->isChecked()) QApplication::beep();
}

void OptionsPage::onColourSortClicked() {
    if (box("colourSortBox")->isChecked())
        core_.colourSort();
    else
        core_.nameSort();
}

void OptionsPage::onTwoColumnsClicked() {
    const bool two = box("twoColumnsBox")->isChecked();
    statusList_.setColumns(two ? 2 : 0);
    core_.options().columns = two ? 2 : 0;
}

void OptionsPage::onFontSizeChanged() {
    core_.options().size = toAnsi(fontSizeBox_->currentText());
    statusList_.applyFontSize(core_.options().size);
    host_.showPage(PageId::Status);
}

void OptionsPage::onHeightChanged() {
    core_.options().h = toAnsi(heightBox_->currentText());
    Q_EMIT heightChanged();
    if (host_.isCurrentPage(PageId::Options)) box("colourSortBox")->setFocus();
}

void OptionsPage::onLockClicked() {
    const auto code = host_.askText(fromAnsi(options_lock::dialogCaption()),
                                    fromAnsi(options_lock::dialogPrompt()), true);
    if (!code || !options_lock::isAccessCode(toAnsi(*code))) return;
    core_.options().lock = !core_.options().lock;
    showLock(core_.options().lock);
}

void OptionsPage::showLock(bool locked) {
    lockButton_->setText(
        latin1(locked ? options_lock::kLockedCaption : options_lock::kUnlockedCaption));
    for (const char* name : {"hideMessagingBox", "hideDiscussBox"})
        box(name)->setEnabled(!locked);
}

void OptionsPage::paintColourPanels() {
    const ClassColours& c = core_.options().colours;
    const quint32 colours[] = {c.in, c.busy, c.out, c.idle, c.others};
    for (int i = 0; i < colourPanels_.size(); ++i)
        setBackground(colourPanels_[i], colourFromBgr(colours[i]));
    setBackground(idleTimeoutBox_, colourFromBgr(c.idle));
    statusList_.viewport()->update();
}

void OptionsPage::onColourPanelClicked(QPushButton* panel) {
    ClassColours& c = core_.options().colours;
    quint32* target = panel->objectName() == latin1("inColourPanel")     ? &c.in
                      : panel->objectName() == latin1("busyColourPanel") ? &c.busy
                      : panel->objectName() == latin1("outColourPanel")  ? &c.out
                      : panel->objectName() == latin1("idleColourPanel") ? &c.idle
                                                                         : &c.others;
    host_.setDialogOpen(true);
    const QColor chosen = QColorDialog::getColor(
        lastChosenColour_.isValid() ? lastChosenColour_ : colourFromBgr(*target),
        host_.dialogParent());
    host_.setDialogOpen(false);
    if (!chosen.isValid()) return;
    lastChosenColour_ = chosen;
    *target = bgrFromColour(chosen);
    paintColourPanels();
}

void OptionsPage::onResetColoursClicked() {
    core_.options().colours = ClassColours{};
    paintColourPanels();
}

} // namespace velmora

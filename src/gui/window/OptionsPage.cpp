#include "gui/window/OptionsPage.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
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

#include <algorithm>
#include <array>
#include <tuple>

namespace velmora {

namespace {

// The check boxes of the page and the option each one is.
struct OptionBox {
    const char* name;
    const char* caption;
    bool Options::*option;
    Setting setting;
};
constexpr OptionBox kOptionBoxes[] = {
    {"showOnNewMessageBox", "&New message arrival", &Options::showOnNewMessage,
     Setting::ShowOnNewMessage},
    {"showOnStatusChangeBox", "&Status change", &Options::showOnStatusChange,
     Setting::ShowOnStatusChange},
    {"showOnStartupBox", "&Program startup", &Options::showOnStartup, Setting::ShowOnStartup},
    {"hideMessagingBox", "Hide and disable *", &Options::messagingHidden, Setting::MessagingHidden},
    {"newMessageSoundBox", "New message sound", &Options::newMessageSound,
     Setting::NewMessageSound},
    {"notifyDesktopBox", "Desktop notification", &Options::notifyDesktop, Setting::NotifyDesktop},
    {"hideDiscussBox", "Hide and disable *", &Options::discussionHidden, Setting::DiscussionHidden},
    {"colourSortBox", "Sort by status background color ", &Options::sortByColour,
     Setting::SortByColour},
    {"stampChangesBox", "Time stamp my changes", &Options::stampChanges, Setting::StampChanges},
    {"stampStartAndEndBox", "Time stamp startup && shutdown", &Options::stampStartAndEnd,
     Setting::StampStartAndEnd},
    {"exitAsOutBox", "Exit as \"Out\" if \"In\" or \"Busy\"", &Options::exitAsOut,
     Setting::ExitAsOut},
    {"outOnPowerDownBox", "Show \"Out\" on power down", &Options::outOnPowerDown,
     Setting::OutOnPowerDown},
    {"idleOnLockBox", "Idle when the screen locks", &Options::idleOnLock, Setting::IdleOnLock},
};

// The colour panels of the Background box, top to bottom.
constexpr std::tuple<const char*, const char*, Setting> kColourPanels[] = {
    {"inColourPanel", "In", Setting::InColour},
    {"busyColourPanel", "Busy", Setting::BusyColour},
    {"outColourPanel", "Out", Setting::OutColour},
    {"idleColourPanel", "Idle", Setting::IdleColour},
    {"othersColourPanel", "All Others", Setting::OthersColour},
};

// The Font size box's items, in points.
constexpr std::array kFontSizes{8, 10, 12};

int fontSizeIndex(int points) {
    const auto at = std::find(kFontSizes.begin(), kFontSizes.end(), points);
    return at == kFontSizes.end() ? 0 : int(at - kFontSizes.begin());
}

} // namespace

OptionsPage::OptionsPage(Core& core, PageHost& host, StatusListView& statusList, QWidget* parent)
    : BuiltWhenShown(parent), core_(core), host_(host), statusList_(statusList) {
    setObjectName(latin1("optionsPage"));
}

void OptionsPage::build() {
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
                    connect(c, &QCheckBox::toggled, this, [this, o = option.option](bool on) {
                        core_.changeOptions([&](Options& options) { options.*o = on; });
                    });
                }
    };

    auto* left = columnLayout(nullptr, 0, 2);
    auto* nameGroup = group(" Display my Name as: ", left);
    nameBox_ = named(new QLineEdit(nameText()), "nameBox");
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
    heightBox_->setToolTip(latin1("Height of the Status page. Small and Medium are fixed; Large "
                                  "gives a window you can resize to show more names."));
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
    checks(idleGroup, {"idleOnLockBox"});
    middle->addStretch(1);
    columns->addLayout(middle, 6);

    auto* right = columnLayout(nullptr, 0, 2);
    auto* background = group(" Background ", right);
    for (auto [name, caption, setting] : kColourPanels) {
        QPushButton* panel = pushButton(name, caption);
        panel->setFlat(true);
        panel->setFixedSize(78, 18);
        colourPanels_.append(panel);
        background->addWidget(panel);
        connect(panel, &QPushButton::clicked, this, [this, panel] { onColourPanelClicked(panel); });
        showSetByAdministrator(panel, setting);
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
    connect(editor, &AquaButton::clicked, this, &OptionsPage::remarkEditorRequested);
    right->addWidget(editor, 0, Qt::AlignRight);
    columns->addLayout(right, 3);

    connect(box("hideMessagingBox"), &QCheckBox::clicked, this,
            &OptionsPage::onHideMessagingClicked);
    connect(box("newMessageSoundBox"), &QCheckBox::clicked, this,
            &OptionsPage::onNewMessageSoundClicked);
    connect(box("hideDiscussBox"), &QCheckBox::clicked, this, &OptionsPage::onHideDiscussClicked);
    connect(box("colourSortBox"), &QCheckBox::clicked, this, &OptionsPage::onColourSortClicked);
    connect(twoColumns, &QCheckBox::clicked, this, &OptionsPage::onTwoColumnsClicked);
    connect(fontSizeBox_, &QComboBox::currentIndexChanged, this, &OptionsPage::onFontSizeChanged);
    connect(timeFormatBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        core_.changeOptions([&](Options& o) { o.use24HourClock = index == 1; });
    });
    connect(heightBox_, &QComboBox::currentIndexChanged, this, &OptionsPage::onHeightChanged);

    for (const OptionBox& option : kOptionBoxes)
        showSetByAdministrator(box(option.name), option.setting);
    showSetByAdministrator(twoColumns, Setting::Columns);
    showSetByAdministrator(heightBox_, Setting::Height);
    showSetByAdministrator(fontSizeBox_, Setting::FontSize);
    showSetByAdministrator(timeFormatBox_, Setting::Use24HourClock);
    showSetByAdministrator(idleTimeoutBox_, Setting::IdleTimeout);
    showSetByAdministrator(lockButton_, Setting::OptionsLocked);
    showControls(Options(core_.options())); // a copy: the check boxes write back as they change
}

bool OptionsPage::setByAdministrator(Setting setting) const {
    return core_.config().systemDefaults.isLocked(setting);
}

void OptionsPage::showSetByAdministrator(QWidget* control, Setting setting) {
    if (!setByAdministrator(setting)) return;
    control->setEnabled(false);
    control->setToolTip(latin1("Set by your administrator"));
}

QCheckBox* OptionsPage::box(const char* name) const {
    return findChild<QCheckBox*>(latin1(name));
}

void OptionsPage::showOptions(const Options& o) {
    statusList_.setColumns(o.columns);
    statusList_.applyFontSize(o.fontPointSize);
    statusList_.setNameColumnWidth(o.nameColumnWidth);
    if (nameBox_) {
        showControls(o);
        nameBox_->setText(fromAnsi(core_.own().displayName));
    }
    statusList_.viewport()->update();
}

void OptionsPage::showControls(const Options& o) {
    if (o.optionsLocked) showLock(true);
    for (const OptionBox& option : kOptionBoxes)
        box(option.name)->setChecked(o.*option.option);
    box("twoColumnsBox")->setChecked(o.columns != 0);
    {
        // The status list already has the font and the window its height.
        const QSignalBlocker quietFont(fontSizeBox_);
        const QSignalBlocker quietHeight(heightBox_);
        fontSizeBox_->setCurrentIndex(fontSizeIndex(o.fontPointSize));
        heightBox_->setCurrentIndex(int(o.windowHeight));
    }
    idleTimeoutBox_->setText(fromAnsi(o.idleTimeoutText));
    timeFormatBox_->setCurrentIndex(o.use24HourClock ? 1 : 0);
    paintColourPanels();
}

void OptionsPage::storeOptions() {
    // Before the page was built the options already hold the box's text.
    if (idleTimeoutBox_) onIdleTimeoutBoxLeft(); // the box as it would stand after leaving it
    core_.changeOptions([this](Options& o) {
        o.columns = statusList_.columns();
        o.nameColumnWidth = statusList_.nameColumnWidth();
    });
}

QString OptionsPage::nameText() const {
    return nameBox_ ? nameBox_->text() : fromAnsi(core_.own().displayName);
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
    core_.setDisplayName(text.left(60));
    const OwnStatus& own = core_.own();
    nameBox_->setText(fromAnsi(own.displayName));
    // Every copy, this one included, shows the new name in a white row with the plain status.
    host_.reportSend(core_.sendDatagram(datagram::proxyAnnouncement(
        StatusCode::WhiteRemark, own.address, own.displayName + kSep + own.text)));
    Q_EMIT displayNameCommitted();
}

void OptionsPage::onIdleTimeoutBoxLeft() {
    const QByteArray shown = core_.applyIdleBox(toAnsi(idleTimeoutBox_->text()));
    core_.changeOptions([&](Options& o) { o.idleTimeoutText = shown; });
    idleTimeoutBox_->setText(fromAnsi(shown));
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
    core_.changeOptions([two](Options& o) { o.columns = two ? 2 : 0; });
}

void OptionsPage::onFontSizeChanged() {
    const int points = kFontSizes[fontSizeBox_->currentIndex()];
    core_.changeOptions([points](Options& o) { o.fontPointSize = points; });
    statusList_.applyFontSize(points);
    host_.showPage(PageId::Status);
}

void OptionsPage::onHeightChanged() {
    const auto height = WindowHeight(heightBox_->currentIndex());
    core_.changeOptions([height](Options& o) { o.windowHeight = height; });
    Q_EMIT heightChanged();
    if (host_.isCurrentPage(PageId::Options)) box("colourSortBox")->setFocus();
}

void OptionsPage::onLockClicked() {
    const auto code = host_.askText(fromAnsi(options_lock::dialogCaption()),
                                    fromAnsi(options_lock::dialogPrompt()), true);
    if (!code || !options_lock::isAccessCode(toAnsi(*code))) return;
    core_.changeOptions([](Options& o) { o.optionsLocked = !o.optionsLocked; });
    showLock(core_.options().optionsLocked);
}

void OptionsPage::showLock(bool locked) {
    lockButton_->setText(
        latin1(locked ? options_lock::kLockedCaption : options_lock::kUnlockedCaption));
    // The access code unlocks what the computer's administrator left to the user, no more.
    box("hideMessagingBox")->setEnabled(!locked && !setByAdministrator(Setting::MessagingHidden));
    box("hideDiscussBox")->setEnabled(!locked && !setByAdministrator(Setting::DiscussionHidden));
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
    using C = ClassColours;
    quint32 C::*target = panel->objectName() == latin1("inColourPanel")     ? &C::in
                         : panel->objectName() == latin1("busyColourPanel") ? &C::busy
                         : panel->objectName() == latin1("outColourPanel")  ? &C::out
                         : panel->objectName() == latin1("idleColourPanel") ? &C::idle
                                                                            : &C::others;
    host_.setDialogOpen(true);
    const QColor chosen = QColorDialog::getColor(
        lastChosenColour_.isValid() ? lastChosenColour_
                                    : colourFromBgr(core_.options().colours.*target),
        host_.dialogParent());
    host_.setDialogOpen(false);
    if (!chosen.isValid()) return;
    lastChosenColour_ = chosen;
    core_.changeOptions([&](Options& o) { o.colours.*target = bgrFromColour(chosen); });
    paintColourPanels();
}

void OptionsPage::onResetColoursClicked() {
    const ClassColours usual = core_.config().systemDefaults.colours();
    core_.changeOptions([&](Options& o) { o.colours = usual; });
    paintColourPanels();
}

} // namespace velmora

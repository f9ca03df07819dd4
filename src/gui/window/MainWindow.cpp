#include "gui/window/MainWindow.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/presence/StatusSort.h"
#include "core/settings/OptionsLock.h"
#include "gui/board/ChangeStatusPage.h"
#include "gui/board/RemarkEditor.h"
#include "gui/board/StatusListView.h"
#include "gui/controls/AquaButton.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
#include "gui/controls/TrayIcon.h"
#include "gui/desktop/DesktopInput.h"
#include "gui/messaging/DiscussPage.h"
#include "gui/messaging/MessagePages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <tuple>

namespace velmora {

namespace {

// The product's web site; "Web Support" opens its support page.
const QString kWebSite = QStringLiteral("https://velmora.dazuviz.example/");
const QString kSupportPage = QStringLiteral("support.html");

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(Q(name));
    return w;
}

QPushButton* button(const char* name, const char* caption, QWidget* parent = nullptr) {
    return named(new QPushButton(Q(caption), parent), name);
}

// The glossy pale blue buttons of the remark list editor, in the window's font.
AquaButton* aqua(const char* name, const char* caption, QSize size, const QFont& font) {
    auto* b = named(new AquaButton, name);
    b->setButtonShape(AquaButton::bsButton);
    b->setSmallCorners(false);
    b->setCustomColor(AquaButton::ccPaleBlue);
    b->setButtonColor(0xFF0000);
    b->setFontColor(0);
    b->setBackgroundError(bgrFromColour(QApplication::palette().color(QPalette::Button)));
    b->SetCaptionFont(font);
    b->setCaption(Q(caption));
    b->setFixedSize(size);
    return b;
}

QCheckBox* check(const char* name, const QString& caption) {
    return named(new QCheckBox(caption), name);
}

QVBoxLayout* columnLayout(QWidget* owner, int margin = 3, int spacing = 2) {
    auto* l = new QVBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(spacing);
    return l;
}

QHBoxLayout* rowLayout(int spacing = 3) {
    auto* l = new QHBoxLayout;
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

// The check boxes of the Options page and the option each one is.
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
    {"hideDiscussBox", "Hide and disable *", &Options::discuss},
    {"colourSortBox", "Sort by status background color ", &Options::colorSort},
    {"stampChangesBox", "Time stamp my changes", &Options::stampChanges},
    {"stampStartAndEndBox", "Time stamp startup && shutdown", &Options::stampStartAndEnd},
    {"exitAsOutBox", "Exit as \"Out\" if \"In\" or \"Busy\"", &Options::exitAsOut},
    {"outOnPowerDownBox", "Show \"Out\" on power down", &Options::outOnPowerDown},
};

// The remark box: an editable drop-down that tells when its list opens.
class RemarkBox : public QComboBox {
public:
    std::function<void()> onDropDown;
    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// TabbedPages

TabbedPages::TabbedPages(QWidget* parent)
    : QWidget(parent), tabBar_(new QTabBar), stack_(new QStackedWidget) {
    tabBar_->setObjectName(Q("pageTabs"));
    tabBar_->setDrawBase(true);
    tabBar_->setExpanding(false);
    tabBar_->setFocusPolicy(Qt::TabFocus);
    tabBar_->setAttribute(Qt::WA_Hover); // highlights the tab under the mouse
    // Six tabs and three buttons share one narrow row: keep the tabs compact.
    tabBar_->setStyleSheet(Q("QTabBar::tab { padding: 2px 5px; min-width: 0px; }"));
    tabBar_->setUsesScrollButtons(false);
    top_ = rowLayout(0);
    top_->addWidget(tabBar_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top_);
    layout->addWidget(stack_, 1);
    connect(tabBar_, &QTabBar::currentChanged, this, [this](int index) {
        if (syncing_ || index < 0) return;
        const QString caption = tabBar_->tabText(index);
        for (const Page& p : pages_)
            if (p.hasTab && p.shown && p.caption == caption) setCurrentPage(p.widget);
    });
}

void TabbedPages::setCornerWidget(QWidget* corner) {
    corner_ = corner;
    top_->addWidget(corner, 0, Qt::AlignRight | Qt::AlignVCenter);
}

void TabbedPages::addPage(QWidget* page, const QString& caption, bool hasTab) {
    pages_.append({page, caption, hasTab, hasTab});
    stack_->addWidget(page);
    syncTabs();
}

void TabbedPages::setTabShown(QWidget* page, bool shown) {
    for (Page& p : pages_)
        if (p.widget == page && p.hasTab) p.shown = shown;
    syncTabs();
}

bool TabbedPages::tabShown(QWidget* page) const {
    for (const Page& p : pages_)
        if (p.widget == page) return p.hasTab && p.shown;
    return false;
}

QWidget* TabbedPages::currentPage() const {
    return stack_->currentWidget();
}

void TabbedPages::setCurrentPage(QWidget* page) {
    QWidget* from = stack_->currentWidget();
    if (from != page) Q_EMIT currentPageChanging(from);
    stack_->setCurrentWidget(page);
    syncTabs();
    Q_EMIT currentPageChanged(page);
}

void TabbedPages::syncTabs() {
    syncing_ = true;
    while (tabBar_->count() > 0)
        tabBar_->removeTab(0);
    for (const Page& p : pages_) {
        if (!p.hasTab || !p.shown) continue;
        const int index = tabBar_->addTab(p.caption);
        if (p.widget == stack_->currentWidget()) tabBar_->setCurrentIndex(index);
    }
    syncing_ = false;
}

// ---------------------------------------------------------------------------------------------
// MainWindow: construction

MainWindow::MainWindow(CoreConfig config, const Clock& clock, QWidget* parent)
    : QWidget(parent), config_(std::move(config)) {
    setObjectName(Q("mainWindow"));
    config_.designedWidth = kDesignedWidth;
    config_.designedHeight = kDesignedHeight;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        config_.screenLargeHeight = screen->availableGeometry().height() - 3 * 22;
    input_ = std::make_unique<DesktopInput>();
    config_.input = input_.get();
    core_ = std::make_unique<Core>(config_, clock);

    setWindowTitle(Q(kProgramTitle));
    // The window is laid out for a narrow 8-point sans serif; Arial, or what the desktop
    // substitutes for it, keeps every caption inside the designed size.
    QFont font(Q("Arial"), 8);
    font.setFamilies({Q("Arial"), Q("Liberation Sans"), Q("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    inPicture_ = QIcon(Q(":/pictures/in.png"));
    busyPicture_ = QIcon(Q(":/pictures/busy.png"));
    outPicture_ = QIcon(Q(":/pictures/out.png"));
    remarkPicture_ = QIcon(Q(":/pictures/remark.png"));
    for (int size : {16, 32, 48, 64, 128})
        appPicture_.addFile(Q(":/pictures/velmora-%1.png").arg(size), QSize(size, size));
    setWindowIcon(appPicture_);

    pages_ = named(new TabbedPages(this), "pages");
    pages_->tabBar()->setFont(font); // a styled tab bar does not inherit it
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    auto* corner = new QWidget;
    auto* buttons = rowLayout(2);
    corner->setLayout(buttons);
    for (auto [name, caption] : {std::pair{"inButton", "&In"}, std::pair{"busyButton", "&Busy"},
                                 std::pair{"outButton", "&Out"}}) {
        QPushButton* b = button(name, caption);
        b->setFixedSize(38, 19);
        b->setFocusPolicy(Qt::NoFocus); // skipped by the Tab key
        buttons->addWidget(b);
    }
    pages_->setCornerWidget(corner);

    buildStatusPage();
    buildMessagesPage();
    buildComposePage();
    buildDiscussPage();
    buildOptionsPage();
    buildChangeStatusPage();
    buildRemarkEditorPage();
    buildHelpPage();
    buildMenus();

    trayIcon_ = new TrayIcon(this);
    trayIcon_->setObjectName(Q("trayIcon"));
    trayIcon_->setHint(Q(kProgramTitle));
    trayIcon_->setPopupMenu(trayMenu_);
    trayIcon_->onLeftClick = [this](TrayIcon*) { onTrayIconClicked(); };

    connect(findChild<QPushButton*>(Q("inButton")), &QPushButton::clicked, this,
            &MainWindow::onInClicked);
    connect(findChild<QPushButton*>(Q("busyButton")), &QPushButton::clicked, this,
            &MainWindow::onBusyClicked);
    connect(findChild<QPushButton*>(Q("outButton")), &QPushButton::clicked, this,
            &MainWindow::onOutClicked);
    connect(pages_, &TabbedPages::currentPageChanged, this, &MainWindow::onPageChanged);
    // Leaving the Status page ends a choice in the remark box: its list closes.
    connect(pages_, &TabbedPages::currentPageChanging, this, [this](QWidget* from) {
        if (from == page("statusPage") && core_->presence().remarkMirroring) {
            remarkBox_->hidePopup();
            remarkBox_->clearFocus();
        }
    });
    messagePages_ = new MessagePages(*this);
    changePage_ = new ChangeStatusPage(*this);
    discussPage_ = new DiscussPage(*this);
    remarkEditor_ = new RemarkEditor(*this);
    connectCore();
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    shutDown();
    // The pages watch the focus of their controls, which moves while the widgets are torn
    // down; by then they must no longer reach into the window.
    delete remarkEditor_;
    delete discussPage_;
}

QWidget* MainWindow::page(const char* name) const {
    return findChild<QWidget*>(Q(name));
}

void MainWindow::buildStatusPage() {
    auto* page = named(new QWidget, "statusPage");
    pages_->addPage(page, Q("Status"));
    auto* l = columnLayout(page, 1, 1);
    auto* bar = rowLayout(2);
    auto* remarkBox = new RemarkBox;
    remarkBox->onDropDown = [this] {
        setBackground(remarkBox_, colourFromBgr(core_->options().colours.others));
    };
    remarkBox_ = named<QComboBox>(remarkBox, "remarkBox");
    remarkBox_->setEditable(true);
    remarkBox_->setInsertPolicy(QComboBox::NoInsert);
    remarkBox_->setFixedWidth(160);
    remarkBox_->setMaxVisibleItems(14);
    remarkBox_->setToolTip(Q("Enter a customized remark here then type return"));
    for (const QByteArray& r : Core::defaultRemarks())
        remarkBox_->addItem(fromAnsi(r));
    remarkBox_->setCurrentIndex(-1);
    bar->addWidget(remarkBox_);
    QPushButton* select = button("chooseRemarkButton", "Set my Status from a List");
    QPushButton* personalize = button("personalizeButton", "Personalize my Status");
    bar->addWidget(select);
    bar->addWidget(personalize);
    connect(select, &QPushButton::clicked, this, &MainWindow::onChooseRemarkClicked);
    connect(personalize, &QPushButton::clicked, this, &MainWindow::onPersonalizeStatusClicked);
    // Only a choice from the list arrives here: Enter in the box is taken by the event filter.
    connect(remarkBox_, &QComboBox::textActivated, this, &MainWindow::onRemarkChosen);
    remarkBox_->lineEdit()->installEventFilter(this);
    auto* P1 = named(new QWidget, "focusParking"); // takes the focus after a status button
    P1->setFixedSize(0, 0);
    P1->setFocusPolicy(Qt::StrongFocus);
    bar->addWidget(P1);
    bar->addStretch(1);
    l->addLayout(bar);
    statusList_ = new StatusListView(*core_);
    statusList_->viewport()->installEventFilter(this);
    l->addWidget(statusList_, 1);
}

void MainWindow::buildMessagesPage() {
    auto* page = named(new QWidget, "messagesPage");
    pages_->addPage(page, Q("Messages"));
    auto* outer = columnLayout(page);
    auto* group = new QGroupBox(Q("Message"));
    outer->addWidget(group);
    auto* l = columnLayout(group);
    auto* inMsgs = named(new QPlainTextEdit, "messageBox");
    inMsgs->setReadOnly(true);
    inMsgs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    inMsgs->setFocusPolicy(Qt::ClickFocus);
    l->addWidget(inMsgs, 1);
    auto* row = rowLayout();
    for (auto [name, caption] :
         {std::pair{"printButton", "Print"}, std::pair{"copyButton", "Copy"},
          std::pair{"eraseMessageButton", "Erase"}, std::pair{"replyButton", "Reply"},
          std::pair{"previousButton", "Previous"}, std::pair{"nextButton", "Next"}}) {
        QPushButton* b = button(name, caption);
        b->setEnabled(qstrcmp(name, "replyButton") != 0); // nothing to reply to yet
        row->addWidget(b);
    }
    l->addLayout(row);
}

void MainWindow::buildComposePage() {
    auto* page = named(new QWidget, "composePage");
    pages_->addPage(page, Q("Compose"));
    auto* outer = columnLayout(page);
    auto* group = named(new QGroupBox(Q("Select Recipient on Status Screen")), "recipientGroup");
    outer->addWidget(group);
    auto* l = columnLayout(group);
    composeBox_ = named(new QPlainTextEdit, "composeBox");
    composeBox_->setReadOnly(true);
    composeBox_->setPlainText(
        Q("Before you send a message, select the Status page and click on the \n"
          "name of the person to whom the message will be sent. You will \n"
          "automatically return to this page.  After typing a message, click on the \n"
          "Send button."));
    l->addWidget(composeBox_, 1);
    auto* row = rowLayout();
    row->addWidget(button("sendToAllButton", "Send to All"));
    QPushButton* send = button("sendButton", "Send");
    send->setEnabled(false);
    row->addWidget(send);
    row->addWidget(button("eraseComposeButton", "Erase"));
    row->addWidget(button("pasteButton", "Paste"));
    l->addLayout(row);
}

void MainWindow::buildDiscussPage() {
    auto* page = named(new QWidget, "discussPage");
    pages_->addPage(page, Q("Discuss"));
    auto* outer = columnLayout(page);
    auto* group = new QGroupBox(Q("Virtual Group Discussion"));
    outer->addWidget(group);
    auto* l = columnLayout(group);
    auto* blog = named(new QPlainTextEdit, "discussionBoard");
    blog->setReadOnly(true);
    blog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    l->addWidget(blog, 1);
    auto* row = rowLayout();
    auto* discussOut =
        named(new QLineEdit(Q("Enter your text here and click on the submit button.")),
              "discussionEntry");
    discussOut->setFixedWidth(348);
    row->addWidget(discussOut);
    row->addWidget(button("submitButton", "Submit"));
    l->addLayout(row);
}

void MainWindow::buildOptionsPage() {
    auto* page = named(new QWidget, "optionsPage");
    pages_->addPage(page, Q("Options"));
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(1, 2, 1, 2);
    columns->setSpacing(2);
    // Eleven options, five groups and six colour panels share 432 x 212 pixels: rows are
    // kept to the height of their text.
    auto group = [](const char* caption, QVBoxLayout* into) {
        auto* g = new QGroupBox(Q(caption));
        g->setFlat(true);
        into->addWidget(g);
        auto* l = columnLayout(g, 0, 0);
        l->setContentsMargins(2, 0, 1, 0);
        return l;
    };
    auto checks = [this](QVBoxLayout* into, std::initializer_list<const char*> names) {
        for (const char* name : names)
            for (const OptionBox& box : kOptionBoxes)
                if (qstrcmp(box.name, name) == 0) {
                    QCheckBox* c = check(box.name, Q(box.caption));
                    c->setFixedHeight(16);
                    into->addWidget(c);
                    connect(c, &QCheckBox::toggled, this, [this, option = box.option](bool on) {
                        core_->options().*option = on;
                    });
                }
    };

    auto* left = columnLayout(nullptr, 0, 2);
    auto* nameBox = group(" Display my Name as: ", left);
    nameBox_ = named(new QLineEdit(Q("<My Name>")), "nameBox");
    nameBox_->setFixedHeight(18);
    nameBox_->installEventFilter(this);
    connect(nameBox_, &QLineEdit::textEdited, this, [this] { nameEdited_ = true; });
    nameBox->addWidget(nameBox_);
    checks(group("Bring Screen into View", left),
           {"showOnNewMessageBox", "showOnStatusChangeBox", "showOnStartupBox"});
    checks(group(" Message System ", left), {"hideMessagingBox", "newMessageSoundBox"});
    checks(group(" Discuss Screen", left), {"hideDiscussBox"});
    left->addStretch(1);
    columns->addLayout(left, 3);

    auto* middle = columnLayout(nullptr, 0, 2);
    auto* screenBox = group(" Status Screen ", middle);
    auto* combos = new QGridLayout;
    combos->setContentsMargins(0, 0, 0, 0);
    combos->setHorizontalSpacing(3);
    combos->setVerticalSpacing(1);
    auto combo = [&](const char* name, QStringList items, int current) {
        auto* box = named(new QComboBox, name);
        box->addItems(items);
        box->setCurrentIndex(current);
        box->setFixedHeight(18);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return box;
    };
    heightBox_ = combo("heightBox", {Q("Small"), Q("Medium"), Q("Large")}, 1);
    fontSizeBox_ = combo("fontSizeBox", {Q("8"), Q("10"), Q("12")}, 0);
    // Narrow enough for the three columns to fit the window with every word of the height
    // and clock boxes showing.
    fontSizeBox_->setFixedWidth(38);
    timeFormatBox_ = combo("timeFormatBox", {Q("12-hour clock"), Q("24-hour clock")}, 0);
    combos->addWidget(heightBox_, 0, 0);
    combos->addWidget(new QLabel(Q("Height")), 0, 1);
    combos->addWidget(fontSizeBox_, 0, 2);
    combos->addWidget(new QLabel(Q("Font size")), 0, 3);
    combos->addWidget(timeFormatBox_, 1, 0, 1, 2);
    combos->addWidget(new QLabel(Q("Time format ")), 1, 2, 1, 2);
    screenBox->addLayout(combos);
    checks(screenBox, {"colourSortBox"});
    auto* twoCols = check("twoColumnsBox", Q("Display names in two columns"));
    twoCols->setFixedHeight(16);
    screenBox->addWidget(twoCols);
    checks(screenBox,
           {"stampChangesBox", "stampStartAndEndBox", "exitAsOutBox", "outOnPowerDownBox"});
    auto* idleBox = group(" Idle Timeout Period ", middle);
    auto* idleRow = rowLayout();
    idleTimeoutBox_ = named(new QLineEdit(Q("0")), "idleTimeoutBox");
    idleTimeoutBox_->setFixedSize(40, 18);
    idleRow->addWidget(idleTimeoutBox_);
    idleRow->addWidget(new QLabel(Q("in minutes")), 1);
    idleBox->addLayout(idleRow);
    middle->addStretch(1);
    columns->addLayout(middle, 6);

    auto* right = columnLayout(nullptr, 0, 2);
    auto* background = group(" Background ", right);
    for (auto [name, caption] :
         {std::pair{"inColourPanel", "In"}, std::pair{"busyColourPanel", "Busy"},
          std::pair{"outColourPanel", "Out"}, std::pair{"idleColourPanel", "Idle"},
          std::pair{"othersColourPanel", "All Others"}}) {
        QPushButton* panel = button(name, caption);
        panel->setFlat(true);
        panel->setFixedSize(78, 18);
        colourPanels_.append(panel);
        background->addWidget(panel);
        connect(panel, &QPushButton::clicked, this, [this, panel] { onColourPanelClicked(panel); });
    }
    QPushButton* reset = button("resetColoursButton", "Reset Colors");
    reset->setFixedSize(78, 18);
    background->addWidget(reset);
    connect(reset, &QPushButton::clicked, this, &MainWindow::onResetColoursClicked);
    QPushButton* lock = button("lockButton", "Lock *");
    right->addWidget(lock);
    connect(lock, &QPushButton::clicked, this, &MainWindow::onLockClicked);
    right->addStretch(1);
    right->addWidget(aqua("remarkEditorButton", "Status List", QSize(78, 24), font()), 0,
                     Qt::AlignRight);
    columns->addLayout(right, 3);

    // Initial states as laid out; the settings file overrides them at start.
    for (const char* on : {"showOnNewMessageBox", "showOnStartupBox", "hideMessagingBox",
                           "newMessageSoundBox", "hideDiscussBox", "stampChangesBox",
                           "stampStartAndEndBox", "exitAsOutBox", "outOnPowerDownBox"})
        page->findChild<QCheckBox*>(Q(on))->setChecked(true);

    connect(findChild<QCheckBox*>(Q("hideMessagingBox")), &QCheckBox::clicked, this,
            &MainWindow::onHideMessagingClicked);
    connect(findChild<QCheckBox*>(Q("hideDiscussBox")), &QCheckBox::clicked, this,
            &MainWindow::onHideDiscussClicked);
    connect(findChild<QCheckBox*>(Q("colourSortBox")), &QCheckBox::clicked, this,
            &MainWindow::onColourSortClicked);
    connect(twoCols, &QCheckBox::clicked, this, &MainWindow::onTwoColumnsClicked);
    connect(fontSizeBox_, &QComboBox::currentTextChanged, this, &MainWindow::onFontSizeChanged);
    connect(timeFormatBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { core_->options().clock24 = index == 1; });
    connect(heightBox_, &QComboBox::currentTextChanged, this, &MainWindow::onHeightChanged);
}

void MainWindow::buildChangeStatusPage() {
    auto* page = named(new QWidget, "changeStatusPage");
    pages_->addPage(page, QString(), false);
    auto* outer = columnLayout(page);
    auto* group = named(new QGroupBox(Q(" Change Status for ")), "personGroup");
    outer->addWidget(group);
    auto* l = new QHBoxLayout(group);
    l->addWidget(named(new QListWidget, "remarkList"), 1);
    auto* right = columnLayout(nullptr, 0, 3);
    auto* buttons = rowLayout();
    for (auto [name, caption, colour] :
         {std::tuple{"changeToInButton", "In", ColorButton::clLime},
          std::tuple{"changeToBusyButton", "Busy", ColorButton::clFuchsia},
          std::tuple{"changeToOutButton", "Out", ColorButton::clRed}}) {
        auto* b = named(new ColorButton, name);
        b->resize(73, 24);
        b->setCaption(Q(caption));
        b->setFlat(false);
        b->setHotTrack(false);
        b->setColor(colour);
        b->setDownColor(colour);
        b->setHotColor(ColorButton::clYellow);
        b->setHotFontColor(ColorButton::clRed);
        b->setDownFontColor(ColorButton::clBlack);
        b->setFixedSize(b->size());
        buttons->addWidget(b);
    }
    right->addLayout(buttons);
    right->addWidget(button("customStatusButton", "Enter a Customized Status"));
    right->addWidget(new QLabel(Q("<-- Click a status to assign  it")));
    auto* white = check("whiteBackgroundBox", Q("White background"));
    white->setChecked(true);
    right->addWidget(white);
    right->addStretch(1);
    right->addWidget(button("cancelChangeButton", "Cancel"), 0, Qt::AlignRight);
    auto* prefix = named(new QLabel, "prefixLabel");
    prefix->setVisible(false);
    right->addWidget(prefix);
    l->addLayout(right, 1);
}

void MainWindow::buildRemarkEditorPage() {
    auto* page = named(new QWidget, "remarkEditorPage");
    pages_->addPage(page, QString(), false);
    auto* outer = columnLayout(page);
    auto* group = named(new QGroupBox(Q(" Status List  - Edit the List to Suit Your Needs ")),
                        "remarkEditorGroup");
    outer->addWidget(group);
    auto* l = new QHBoxLayout(group);
    l->addWidget(named(new QPlainTextEdit, "remarkText"), 1);
    auto* right = columnLayout(nullptr, 0, 3);
    right->addWidget(aqua("remarkEditorArrow", ">>", QSize(62, 20), font()), 0, Qt::AlignHCenter);
    right->addWidget(button("sortListButton", "Sort List"));
    right->addWidget(button("defaultListButton", "Default List"));
    right->addWidget(button("clearListButton", "Clear List"));
    right->addStretch(1);
    QFont bold = font();
    bold.setBold(true);
    right->addWidget(aqua("closeEditorButton", "Close", QSize(79, 21), bold), 0, Qt::AlignHCenter);
    l->addLayout(right);
}

void MainWindow::buildHelpPage() {
    auto* page = named(new QWidget, "helpPage");
    pages_->addPage(page, Q("Help"));
    auto* l = columnLayout(page, 4, 4);
    auto* version = named(new QLabel(Q(kVersionLabel)), "versionLabel");
    version->setAlignment(Qt::AlignCenter);
    QFont big = version->font();
    big.setPixelSize(19);
    big.setBold(true);
    version->setFont(big);
    version->setStyleSheet(Q("color: blue;"));
    l->addWidget(version);

    auto* topics = new QGroupBox(Q(" Help topics"));
    auto* grid = new QGridLayout(topics);
    grid->setSpacing(3);
    int i = 0;
    for (const char* topic : {"Overview", "Status", "Messages", "Compose", "Discuss", "Options"}) {
        QPushButton* b = button((QByteArray("help") + topic).constData(), topic);
        grid->addWidget(b, i / 4, i % 4);
        connect(b, &QPushButton::clicked, this, [this, topic] { onHelpTopicClicked(Q(topic)); });
        ++i;
    }
    QPushButton* web = button("webSupportButton", "Web Support");
    grid->addWidget(web, i / 4, i % 4, 1, 2);
    connect(web, &QPushButton::clicked, this, &MainWindow::onWebSupportClicked);
    l->addWidget(topics);

    auto* siteBox = new QGroupBox(Q("Click on the link below to visit our web site"));
    auto* siteLayout = columnLayout(siteBox);
    auto* site = named(new QPushButton(kWebSite), "webSiteLink");
    site->setFlat(true);
    site->setCursor(Qt::PointingHandCursor);
    site->setStyleSheet(Q("color: green; font-weight: bold; text-decoration: underline;"
                          "border: none; text-align: left;"));
    connect(site, &QPushButton::clicked, this, &MainWindow::onWebSiteClicked);
    siteLayout->addWidget(site);
    l->addWidget(siteBox);
    l->addStretch(1);
}

void MainWindow::buildMenus() {
    trayMenu_ = named(new QMenu(this), "trayMenu");
    auto add = [](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(Q(caption));
        a->setObjectName(Q(name));
        return a;
    };
    connect(add(trayMenu_, "titleAction", kProgramTitle), &QAction::triggered, this,
            &MainWindow::bringIntoView);
    trayMenu_->addSeparator();
    nameAction_ = add(trayMenu_, "nameAction", "Name");
    statusAction_ = add(trayMenu_, "statusAction", "Status");
    trayMenu_->addSeparator();
    connect(add(trayMenu_, "inAction", "&In"), &QAction::triggered, this, &MainWindow::onInClicked);
    connect(add(trayMenu_, "busyAction", "&Busy"), &QAction::triggered, this,
            &MainWindow::onBusyClicked);
    connect(add(trayMenu_, "outAction", "&Out"), &QAction::triggered, this,
            &MainWindow::onOutClicked);
    connect(add(trayMenu_, "customizeStatusAction", "&Customize Status"), &QAction::triggered, this,
            &MainWindow::onPersonalizeStatusClicked);
    trayMenu_->addSeparator();
    add(trayMenu_, "startupAction", "Start when Windows does")->setVisible(false);
    connect(add(trayMenu_, "refreshStatusListAction", "Refresh Status list"), &QAction::triggered,
            this, [this] { core_->presence().refreshStatusList(); });
    connect(add(trayMenu_, "hideOffLineAction", "Hide Off-line Names"), &QAction::triggered, this,
            [this] { core_->presence().rosterReset(); });
    trayMenu_->addSeparator();
    connect(add(trayMenu_, "showWindowAction", "Show Velmora"), &QAction::triggered, this,
            &MainWindow::bringIntoView);
    trayMenu_->addSeparator();
    connect(add(trayMenu_, "exitAsOutAction", "&Set status to Out and exit"), &QAction::triggered,
            this, &MainWindow::onExitAsOutChosen);
    connect(add(trayMenu_, "exitAction", "E&xit"), &QAction::triggered, this,
            &MainWindow::onExitChosen);

    personMenu_ = named(new QMenu(this), "personMenu");
    add(personMenu_, "personNameAction", "");
    add(personMenu_, "blankAction", "");
    personMenu_->addSeparator();
    connect(add(personMenu_, "sendMessageAction", "&Send Message"), &QAction::triggered, this,
            [this] {
                if (pages_->tabShown(page("composePage"))) showPage(page("composePage"));
            });
    connect(add(personMenu_, "changeStatusAction", "&Change Status"), &QAction::triggered, this,
            [this] { changePage_->openInClassColours(); });
    QAction* info = add(personMenu_, "informationAction", "&Information");
    info->setVisible(false);
    info->setEnabled(false);
    personMenu_->addSeparator();
    connect(add(personMenu_, "showOnLineAction", "Show On-line Names"), &QAction::triggered, this,
            [this] { core_->presence().rosterReset(); });
    connect(add(personMenu_, "refreshAllAction", "&Refresh All Programs"), &QAction::triggered,
            this, [this] { core_->presence().refreshStatusList(); });
    connect(add(personMenu_, "resendStatusAction", "Re-send My Status"), &QAction::triggered, this,
            [this] { core_->presence().resendMyStatus(); });
    personMenu_->addSeparator();
    add(personMenu_, "closeMenuAction", "&Close");
}

void MainWindow::connectCore() {
    Core* core = core_.get();
    connect(core, &Core::bringIntoViewRequested, this, &MainWindow::bringIntoView);
    connect(core, &Core::windowTitleChanged, this,
            [this](const QByteArray& title) { setWindowTitle(fromAnsi(title)); });
    connect(&core->presence(), &Presence::ownStatusAnnounced, this,
            [this](char code, const QByteArray& text, bool mirror) {
                setBackground(remarkBox_,
                              colourFromBgr(colourForCode(code, core_->options().colours)));
                statusAction_->setText(menuText(text));
                if (mirror) remarkBox_->setEditText(fromAnsi(text));
            });
    connect(&core->idle(), &IdleDetector::statusListRepaintDue, this,
            [this] { statusList_->viewport()->update(); });
    connect(core, &Core::ownStatusTakenOver, this, [this](const QByteArray& status) {
        trayIcon_->setIcon(appPicture_);
        statusAction_->setText(menuText(status));
    });
}

void MainWindow::setBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::black);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QString MainWindow::menuText(const QByteArray& ansi) {
    return fromAnsi(ansi).replace(QLatin1Char('&'), Q("&&"));
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void MainWindow::startUp() {
    // Without a notification area the window is an ordinary one with a taskbar entry, so
    // that it can always be reached; with one, it stays out of the taskbar.
    if (QSystemTrayIcon::isSystemTrayAvailable()) setWindowFlag(Qt::Tool, true);
    largeHeight_ = config_.screenLargeHeight;
    rememberedWidth_ = kDesignedWidth;
    rememberedPicture_ = inPicture_;
    trayIcon_->setIcon(inPicture_);

    QListWidget* remarkList = findChild<QListWidget*>(Q("remarkList"));
    if (remarkList->count() == 0)
        for (int i = 0; i < remarkBox_->count(); ++i)
            remarkList->addItem(remarkBox_->itemText(i));

    if (nameBox_->text() == Q("<My Name>")) nameBox_->setText(fromAnsi(config_.loginName));

    core_->startUp(); // settings, roster, receiver
    optionsToControls();
    nameBox_->setText(fromAnsi(core_->own().displayName));
    nameAction_->setText(menuText(core_->own().displayName));
    statusAction_->setText(menuText(core_->own().text));
    trayIcon_->setEnabled(true);
    created_ = true;
    QTimer::singleShot(0, this, &MainWindow::finishStartUp);
}

void MainWindow::optionsToControls() {
    const Options o = core_->options(); // the check boxes write back as they change
    if (o.lock) showLock(true);
    for (const OptionBox& box : kOptionBoxes)
        findChild<QCheckBox*>(Q(box.name))->setChecked(o.*box.option);
    pages_->setTabShown(page("messagesPage"), !o.messagingHidden);
    pages_->setTabShown(page("composePage"), !o.messagingHidden);
    showPage(page("statusPage"));

    findChild<QCheckBox*>(Q("twoColumnsBox"))->setChecked(o.columns != 0);
    statusList_->setColumns(o.columns);
    fontSizeBox_->setCurrentText(fromAnsi(o.size));
    statusList_->applyFontSize(o.size);
    {
        const QSignalBlocker quiet(heightBox_);
        heightBox_->setCurrentText(fromAnsi(o.h));
    }
    statusList_->setNameColumnWidth(o.namesize);
    rememberedWidth_ = o.w > 0 ? o.w : kDesignedWidth;
    largeHeight_ = o.bigH > kDesignedHeight ? o.bigH : config_.screenLargeHeight;
    applyHeightFrame();
    idleTimeoutBox_->setText(fromAnsi(o.idle));
    timeFormatBox_->setCurrentIndex(o.clock24 ? 1 : 0);
    paintColourPanels();
    move(o.left, o.top);
}

void MainWindow::controlsToOptions() {
    Options& o = core_->options();
    o.columns = statusList_->columns();
    o.size = toAnsi(fontSizeBox_->currentText());
    o.h = toAnsi(heightBox_->currentText());
    onIdleTimeoutBoxLeft(); // the box as it would stand after leaving it
    o.namesize = statusList_->nameColumnWidth();
    o.top = y();
    o.left = x();
    o.w = rememberedWidth_;
    core_->currentHeight = height();
    // Remarks typed into the editor count even when the program ends before the field is left.
    if (pages_->currentPage() == page("remarkEditorPage")) remarkEditor_->applyText();
}

void MainWindow::saveAllSettings() {
    controlsToOptions();
    core_->saveAllSettings();
}

void MainWindow::finishStartUp() {
    setVisible(core_->options().showOnStartup);
    QCoreApplication::processEvents();
    showPage(page("statusPage"));

    core_->finishStartUp();
    setRemarkList(core_->remarks());
    remarkBox_->setEditText(fromAnsi(core_->own().text));
    pages_->setTabShown(page("discussPage"), !core_->options().discuss);
    showPage(page("statusPage"));
}

void MainWindow::shutDown() {
    // A copy that never came up (its port was taken) has nothing to announce or save.
    if (destroyed_ || !created_) return;
    destroyed_ = true;
    controlsToOptions();
    core_->shutDown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (core_->closing()) {
        event->accept();
        return;
    }
    // The close box keeps the program running: save, then put the window away.
    saveAllSettings();
    event->ignore();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void MainWindow::onExitChosen() {
    core_->setClosing();
    QCoreApplication::processEvents();
    saveAllSettings();
    hide();
    Q_EMIT exitRequested();
    QCoreApplication::quit();
}

void MainWindow::onExitAsOutChosen() {
    onOutClicked();
    onExitChosen();
}

void MainWindow::logOff() {
    controlsToOptions();
    core_->logOff();
    hide();
    QCoreApplication::quit();
}

// ---------------------------------------------------------------------------------------------
// Own status

void MainWindow::announceOwnStatus(char code, const QByteArray& text, const QIcon* picture) {
    if (picture) showStatusPicture(*picture);
    const bool stamp = core_->options().stampChanges;
    try {
        core_->presence().announceOwnStatus(code, text, true, stamp, stamp);
    } catch (const UdpError& e) {
        QMessageBox::critical(this, windowTitle(), Q(e.what()));
    }
}

void MainWindow::announceFromStatusButton(char code, const QByteArray& text, const QIcon& picture) {
    showPage(page("statusPage"));
    announceOwnStatus(code, text, &picture);
    // Park the focus where typing cannot change anything by accident.
    if (isVisible()) findChild<QWidget*>(Q("focusParking"))->setFocus();
}

void MainWindow::onInClicked() {
    announceFromStatusButton('g', "In", inPicture_);
}
void MainWindow::onBusyClicked() {
    announceFromStatusButton('f', "Busy - In but unavailable", busyPicture_);
}
void MainWindow::onOutClicked() {
    announceFromStatusButton('r', "Out", outPicture_);
    showPage(page("statusPage"));
}

void MainWindow::onChooseRemarkClicked() {
    setBackground(remarkBox_, colourFromBgr(core_->options().colours.others));
    core_->presence().remarkMirroring = false; // announcements must not overwrite the choice
    remarkBox_->showPopup();
}

void MainWindow::onRemarkChosen(const QString& remark) {
    core_->presence().remarkMirroring = true;
    announceOwnStatus('y', toAnsi(remark), &remarkPicture_);
    statusList_->setFocus();
}

void MainWindow::onRemarkConfirmed() {
    announceOwnStatus('y', toAnsi(remarkBox_->currentText()), nullptr);
    statusList_->setFocus();
    core_->presence().remarkMirroring = true;
}

void MainWindow::onPersonalizeStatusClicked() {
    QInputDialog dialog(this);
    dialog.setWindowTitle(Q("Personalize my Status"));
    dialog.setLabelText(Q("Enter my New Status"));
    dialog.setTextValue(QString());
    dialogOpen_ = true;
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    if (ok) announceOwnStatus('y', toAnsi(dialog.textValue()), &remarkPicture_);
}

void MainWindow::onNameBoxLeft() {
    const QByteArray text = toAnsi(nameBox_->text());
    const bool commit = nameEdited_ && text != core_->own().displayName;
    nameEdited_ = false;
    if (!commit) return;
    OwnStatus& own = core_->own();
    own.displayName = text.left(60);
    nameBox_->setText(fromAnsi(own.displayName));
    nameAction_->setText(menuText(own.displayName));
    // Every copy, this one included, shows the new name in a white row with the plain status.
    try {
        core_->sendDatagram(
            datagram::proxyAnnouncement('w', own.address, own.displayName + kSep + own.text));
    } catch (const UdpError& e) {
        QMessageBox::critical(this, windowTitle(), Q(e.what()));
    }
    saveAllSettings();
}

void MainWindow::onIdleTimeoutBoxLeft() {
    core_->options().idle = toAnsi(idleTimeoutBox_->text());
    core_->idle().applyIdleBox();
    idleTimeoutBox_->setText(fromAnsi(core_->options().idle));
}

void MainWindow::showStatusPicture(const QIcon& picture) {
    rememberedPicture_ = picture;
    trayIcon_->setIcon(picture);
}

// ---------------------------------------------------------------------------------------------
// Pages and sizes

void MainWindow::showPage(QWidget* page) {
    if (pages_->currentPage() == page)
        onPageChanged();
    else
        pages_->setCurrentPage(page);
}

void MainWindow::onPageChanged() {
    setBackground(composeBox_, palette().color(QPalette::Base));
    trayIcon_->setIcon(rememberedPicture_);
    int w = kDesignedWidth;
    int h = kDesignedHeight;
    if (pages_->currentPage() == page("statusPage")) {
        const QString size = heightBox_->currentText();
        if (size.contains(Q("Large"))) {
            w = rememberedWidth_;
            h = largeHeight_;
        } else if (size.contains(Q("Small"))) {
            h = kDesignedHeight / 2 + 9;
        }
    }
    if (w == width() && h == height()) return;
    if (heightBox_->currentText().contains(Q("Large"))) {
        setMinimumSize(200, 100);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(w, h);
    } else {
        setFixedSize(w, h);
    }
}

void MainWindow::applyHeightFrame() {
    if (heightBox_->currentText().contains(Q("Large"))) {
        setMinimumSize(200, 100);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    onPageChanged();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (height() > kDesignedHeight) largeHeight_ = height();
    if (width() > kDesignedWidth) rememberedWidth_ = width();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !dialogOpen_)
        onActivated();
}

void MainWindow::onActivated() {
    statusList_->applyFontSize(toAnsi(fontSizeBox_->currentText()));
    // When the program itself brought the window forward (a message arrived, say), the page
    // it chose stays; only the user's own activation returns to the Status page.
    const bool ownRequest = broughtForward_.isValid() && broughtForward_.elapsed() < 2000;
    broughtForward_.invalidate();
    if (!ownRequest) showPage(page("statusPage"));
}

void MainWindow::onHeightChanged() {
    if (heightBox_->currentText().contains(Q("Large"))) {
        move(x(), 0);
        if (largeHeight_ < kDesignedHeight + 80) {
            const QScreen* screen = this->screen();
            largeHeight_ = (screen ? screen->availableGeometry().height() : 600) * 2 / 3;
        }
    }
    core_->options().h = toAnsi(heightBox_->currentText());
    applyHeightFrame();
    if (pages_->currentPage() == page("optionsPage"))
        findChild<QCheckBox*>(Q("colourSortBox"))->setFocus();
}

void MainWindow::onFontSizeChanged() {
    core_->options().size = toAnsi(fontSizeBox_->currentText());
    statusList_->applyFontSize(core_->options().size);
    showPage(page("statusPage"));
}

void MainWindow::onTwoColumnsClicked() {
    const bool two = findChild<QCheckBox*>(Q("twoColumnsBox"))->isChecked();
    statusList_->setColumns(two ? 2 : 0);
    core_->options().columns = two ? 2 : 0;
}

void MainWindow::onHideMessagingClicked() {
    const bool hidden = findChild<QCheckBox*>(Q("hideMessagingBox"))->isChecked();
    pages_->setTabShown(page("messagesPage"), !hidden);
    pages_->setTabShown(page("composePage"), !hidden);
    showPage(page("optionsPage"));
}

void MainWindow::setRemarkList(const QList<QByteArray>& remarks) {
    core_->remarks() = remarks;
    const QString typed = remarkBox_->currentText();
    const QSignalBlocker quiet(remarkBox_);
    remarkBox_->clear();
    for (const QByteArray& r : remarks)
        remarkBox_->addItem(fromAnsi(r));
    remarkBox_->setEditText(typed);
}

void MainWindow::onLockClicked() {
    QInputDialog dialog(this);
    dialog.setWindowTitle(fromAnsi(options_lock::dialogCaption()));
    dialog.setLabelText(fromAnsi(options_lock::dialogPrompt()));
    dialog.setTextValue(QString());
    dialog.setTextEchoMode(QLineEdit::Password);
    dialogOpen_ = true;
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    if (!ok || !options_lock::isAccessCode(toAnsi(dialog.textValue()))) return;
    core_->options().lock = !core_->options().lock;
    showLock(core_->options().lock);
}

void MainWindow::showLock(bool locked) {
    findChild<QPushButton*>(Q("lockButton"))
        ->setText(Q(locked ? options_lock::kLockedCaption : options_lock::kUnlockedCaption));
    for (const char* name : {"hideMessagingBox", "hideDiscussBox"})
        findChild<QCheckBox*>(Q(name))->setEnabled(!locked);
}

void MainWindow::onHideDiscussClicked() {
    pages_->setTabShown(page("discussPage"),
                        !findChild<QCheckBox*>(Q("hideDiscussBox"))->isChecked());
    showPage(page("optionsPage"));
}

void MainWindow::bringIntoView() {
    show();
    if (dialogOpen_) return;
    if (!isActiveWindow()) {
        broughtForward_.start();
        if (isMinimized()) showNormal();
        raise();
        activateWindow();
    }
    // A nudge of the pointer makes some desktops hand over the focus; it moves back at once.
    if (QGuiApplication::platformName() == Q("xcb")) {
        const QPoint at = QCursor::pos();
        QCursor::setPos(at + QPoint(1, 0));
        QCoreApplication::processEvents();
        QCursor::setPos(at);
        QCoreApplication::processEvents();
    }
}

void MainWindow::onTrayIconClicked() {
    if (dialogOpen_) return;
    if (isVisible() && isActiveWindow()) {
        hide();
        return;
    }
    if (pages_->currentPage() != page("messagesPage")) showPage(page("statusPage"));
    bringIntoView();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!statusList_ || !nameBox_ || !trayIcon_) return QWidget::eventFilter(watched, event);
    if (watched == statusList_->viewport() && type == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        onStatusListPressed(mouse->button(), mouse->modifiers().testFlag(Qt::ControlModifier),
                            mouse->position().toPoint(), mouse->globalPosition().toPoint());
        return mouse->button() != Qt::LeftButton; // the list still selects on a left press
    }
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // Keys typed on the Status page reorder the list before they reach the focused control.
        if (isActiveWindow() && pages_->currentPage() == page("statusPage") &&
            watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this &&
            !key->text().isEmpty() && !enter)
            onLetterTyped(key->text());
        if (watched == remarkBox_->lineEdit() && enter) {
            onRemarkConfirmed();
            return true;
        }
        if (watched == idleTimeoutBox_ && enter) {
            onIdleTimeoutBoxLeft();
            return true;
        }
        if (watched == nameBox_) {
            if (enter) {
                showPage(page("statusPage"));
                return true;
            }
            // Past 30 characters the field takes no more typed characters.
            if (!key->text().isEmpty() && key->text()[0].isPrint() &&
                nameBox_->text().size() > 30 && !nameBox_->hasSelectedText()) {
                QApplication::beep();
                return true;
            }
        }
    }
    if (type == QEvent::FocusOut) {
        if (watched == nameBox_)
            onNameBoxLeft();
        else if (watched == idleTimeoutBox_)
            onIdleTimeoutBoxLeft();
        else if (watched == remarkBox_->lineEdit() && !remarkBox_->view()->isVisible()) {
            setBackground(remarkBox_, colourFromBgr(colourForCode(core_->own().code,
                                                                  core_->options().colours)));
            core_->presence().remarkMirroring = true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::onStatusListPressed(Qt::MouseButton button, bool ctrl, const QPoint& pos,
                                     const QPoint& globalPos) {
    const int hit = statusList_->rowAt(pos);
    if (button == Qt::LeftButton && hit < 0) return; // a click beside the rows selects nobody
    QByteArray entry;
    {
        Roster& roster = core_->roster();
        std::lock_guard guard(roster.lock());
        // Anything that does not resolve falls back to the first row and position 0.
        int row = hit;
        if (row < 0 || row >= statusList_->rowCount() || row >= roster.count()) row = 0;
        int position = row < roster.displayOrder().size() ? roster.displayOrder()[row].position : 0;
        if (position < 0 || position >= roster.count()) position = 0;
        if (roster.count() == 0) return;
        entry = roster.entries()[position];
    }
    const RosterFields fields = Roster::split(entry);
    const bool offLine = Roster::isOffLine(entry);
    if (button == Qt::LeftButton) {
        if (ctrl) {
            prepareChangeStatus(fields.address, fields.name);
            showPage(page("changeStatusPage"));
        } else {
            messagePages_->selectRecipient(fields.address, fields.name, offLine, false);
        }
        return;
    }
    // The row under the pointer becomes the selected one; below the last row, none is.
    if (hit >= 0)
        statusList_->setCurrentIndex(statusList_->model()->index(hit, 0));
    else
        statusList_->clearSelection();
    messagePages_->selectRecipient(fields.address, fields.name, offLine, true);
    QCoreApplication::processEvents();
    prepareChangeStatus(fields.address, fields.name);
    findChild<QAction*>(Q("personNameAction"))->setText(menuText(fields.name));
    personMenu_->popup(globalPos);
}

void MainWindow::prepareChangeStatus(const QByteArray& address, const QByteArray& name) {
    changePage_->prepare(address, name);
}

void MainWindow::onLetterTyped(const QString& text) {
    if (text.isEmpty()) return;
    const QByteArray ansi = toAnsi(text.left(1));
    if (core_->typedLetter(ansi[0])) statusList_->scrollToTop();
}

// ---------------------------------------------------------------------------------------------
// Colours

void MainWindow::paintColourPanels() {
    const ClassColours& c = core_->options().colours;
    const quint32 colours[] = {c.in, c.busy, c.out, c.idle, c.others};
    for (int i = 0; i < colourPanels_.size(); ++i)
        setBackground(colourPanels_[i], colourFromBgr(colours[i]));
    setBackground(idleTimeoutBox_, colourFromBgr(c.idle));
    statusList_->viewport()->update();
}

void MainWindow::onColourSortClicked() {
    if (findChild<QCheckBox*>(Q("colourSortBox"))->isChecked())
        core_->colourSort();
    else
        core_->nameSort();
}

void MainWindow::onColourPanelClicked(QPushButton* panel) {
    ClassColours& c = core_->options().colours;
    quint32* target = panel->objectName() == Q("inColourPanel")     ? &c.in
                      : panel->objectName() == Q("busyColourPanel") ? &c.busy
                      : panel->objectName() == Q("outColourPanel")  ? &c.out
                      : panel->objectName() == Q("idleColourPanel") ? &c.idle
                                                                    : &c.others;
    dialogOpen_ = true;
    const QColor chosen = QColorDialog::getColor(
        lastChosenColour_.isValid() ? lastChosenColour_ : colourFromBgr(*target), this);
    dialogOpen_ = false;
    if (!chosen.isValid()) return;
    lastChosenColour_ = chosen;
    *target = bgrFromColour(chosen);
    paintColourPanels();
}

void MainWindow::onResetColoursClicked() {
    core_->options().colours = ClassColours{};
    paintColourPanels();
}

// ---------------------------------------------------------------------------------------------
// Help

void MainWindow::openDocument(const QUrl& url, const QString& failure) {
    if (!url.isValid() || !QDesktopServices::openUrl(url))
        QMessageBox::warning(this, windowTitle(), failure);
}

void MainWindow::onHelpTopicClicked(const QString& topic) {
    const QString dir = QCoreApplication::applicationDirPath();
    QUrl url;
    for (const QString& candidate :
         {dir + Q("/../share/dazuviz-velmora/help.html"), dir + Q("/help.html"),
          Q(VELMORA_SOURCE_DIR "/docs/help.html")}) {
        if (QFileInfo::exists(candidate)) {
            url = QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath());
            url.setQuery(Q("j=") + topic);
            url.setFragment(topic.toLower());
            break;
        }
    }
    openDocument(url, Q("helpivx.hta not found."));
}

void MainWindow::onWebSupportClicked() {
    openDocument(QUrl(kWebSite + kSupportPage), Q("Web browser not found."));
}

void MainWindow::onWebSiteClicked() {
    openDocument(QUrl(kWebSite), Q("Web browser not found."));
}

} // namespace velmora

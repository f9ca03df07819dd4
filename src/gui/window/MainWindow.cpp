#include "gui/window/MainWindow.h"

#include "gui/board/ChangeStatusPage.h"
#include "gui/board/RemarkEditor.h"
#include "gui/board/StatusListView.h"
#include "core/presence/StatusSort.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/ColorButton.h"
#include "gui/controls/AquaButton.h"
#include "gui/controls/TrayIcon.h"
#include "gui/messaging/DiscussPage.h"
#include "gui/messaging/MessagePages.h"
#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "gui/desktop/DesktopInput.h"
#include "core/settings/OptionsLock.h"

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

template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(Q(name));
    return w;
}

QPushButton* Button(const char* name, const char* caption, QWidget* parent = nullptr) {
    return Named(new QPushButton(Q(caption), parent), name);
}

// The glossy pale blue buttons of the remark list editor, in the window's font.
TXQAqua* Aqua(const char* name, const char* caption, QSize size, const QFont& font) {
    auto* b = Named(new TXQAqua, name);
    b->SetButtonShape(TXQAqua::bsButton);
    b->SetSmallCorners(false);
    b->SetCustomColor(TXQAqua::ccPaleBlue);
    b->SetButtonColor(0xFF0000);
    b->SetFontColor(0);
    b->SetBackgroundError(BgrFromColour(QApplication::palette().color(QPalette::Button)));
    b->SetFont(font);
    b->SetCaption(Q(caption));
    b->setFixedSize(size);
    return b;
}

QCheckBox* Check(const char* name, const QString& caption) {
    return Named(new QCheckBox(caption), name);
}

QVBoxLayout* Column(QWidget* owner, int margin = 3, int spacing = 2) {
    auto* l = new QVBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(spacing);
    return l;
}

QHBoxLayout* Row(int spacing = 3) {
    auto* l = new QHBoxLayout;
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

// The check boxes of the Options page and the option each one is.
struct TOptionBox {
    const char* name;
    const char* caption;
    bool TOptions::*option;
};
constexpr TOptionBox kOptionBoxes[] = {
    {"HideMsg1", "&New message arrival", &TOptions::msg1},
    {"StatusChange", "&Status change", &TOptions::stChg},
    {"StartShow", "&Program startup", &TOptions::strtShw},
    {"HideMsgSys", "Hide and disable *", &TOptions::msgOn},
    {"NewMsgSnd", "New message sound", &TOptions::msgSnd},
    {"HideDiscuss", "Hide and disable *", &TOptions::discuss},
    {"ColorSort", "Sort by status background color ", &TOptions::colorSort},
    {"TimeAll", "Time stamp my changes", &TOptions::ShwTime},
    {"StampBgnEnd", "Time stamp startup && shutdown", &TOptions::TimeStrEnd},
    {"DelBusyIn", "Exit as \"Out\" if \"In\" or \"Busy\"", &TOptions::DelbsyIn},
    {"ForceOut", "Show \"Out\" on power down", &TOptions::shtdwnOut},
};

// The remark box: an editable drop-down that tells when its list opens.
class TRemarkBox : public QComboBox {
public:
    std::function<void()> onDropDown;
    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// TPageControl

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent), tabBar_(new QTabBar), stack_(new QStackedWidget) {
    tabBar_->setObjectName(Q("PageControl1Tabs"));
    tabBar_->setDrawBase(true);
    tabBar_->setExpanding(false);
    tabBar_->setFocusPolicy(Qt::TabFocus);
    tabBar_->setAttribute(Qt::WA_Hover); // highlights the tab under the mouse
    // Six tabs and three buttons share one narrow row: keep the tabs compact.
    tabBar_->setStyleSheet(Q("QTabBar::tab { padding: 2px 5px; min-width: 0px; }"));
    tabBar_->setUsesScrollButtons(false);
    top_ = Row(0);
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
            if (p.hasTab && p.shown && p.caption == caption) SetCurrentPage(p.widget);
    });
}

void TPageControl::SetCornerWidget(QWidget* corner) {
    corner_ = corner;
    top_->addWidget(corner, 0, Qt::AlignRight | Qt::AlignVCenter);
}

void TPageControl::AddPage(QWidget* page, const QString& caption, bool hasTab) {
    pages_.append({page, caption, hasTab, hasTab});
    stack_->addWidget(page);
    SyncTabs();
}

void TPageControl::SetTabShown(QWidget* page, bool shown) {
    for (Page& p : pages_)
        if (p.widget == page && p.hasTab) p.shown = shown;
    SyncTabs();
}

bool TPageControl::TabShown(QWidget* page) const {
    for (const Page& p : pages_)
        if (p.widget == page) return p.hasTab && p.shown;
    return false;
}

QWidget* TPageControl::CurrentPage() const {
    return stack_->currentWidget();
}

void TPageControl::SetCurrentPage(QWidget* page) {
    QWidget* from = stack_->currentWidget();
    if (from != page) Q_EMIT currentPageChanging(from);
    stack_->setCurrentWidget(page);
    SyncTabs();
    Q_EMIT currentPageChanged(page);
}

void TPageControl::SyncTabs() {
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
// TForm1: construction

TForm1::TForm1(TCoreConfig config, const TClock& clock, QWidget* parent)
    : QWidget(parent), config_(std::move(config)) {
    setObjectName(Q("Form1"));
    config_.designedWidth = kDesignedWidth;
    config_.designedHeight = kDesignedHeight;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        config_.screenLargeHeight = screen->availableGeometry().height() - 3 * 22;
    input_ = std::make_unique<TDesktopInput>();
    config_.input = input_.get();
    core_ = std::make_unique<TVelmoraCore>(config_, clock);

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

    PageControl1_ = Named(new TPageControl(this), "PageControl1");
    PageControl1_->TabBar()->setFont(font); // a styled tab bar does not inherit it
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1_);

    auto* corner = new QWidget;
    auto* buttons = Row(2);
    corner->setLayout(buttons);
    for (auto [name, caption] : {std::pair{"ButtonIn", "&In"}, std::pair{"Busy", "&Busy"},
                                 std::pair{"ButtonOut", "&Out"}}) {
        QPushButton* b = Button(name, caption);
        b->setFixedSize(38, 19);
        b->setFocusPolicy(Qt::NoFocus); // skipped by the Tab key
        buttons->addWidget(b);
    }
    PageControl1_->SetCornerWidget(corner);

    BuildStatusPage();
    BuildMessagesPage();
    BuildComposePage();
    BuildDiscussPage();
    BuildOptionsPage();
    BuildChgStatusPage();
    BuildInfoPage();
    BuildHelpPage();
    BuildMenus();

    TrayIcon1_ = new TTrayIcon(this);
    TrayIcon1_->setObjectName(Q("TrayIcon1"));
    TrayIcon1_->SetHint(Q(kProgramTitle));
    TrayIcon1_->SetPopupMenu(PopupMenu1_);
    TrayIcon1_->OnLeftBtnClick = [this](TTrayIcon*) { TrayIcon1LeftBtnClick(); };

    connect(findChild<QPushButton*>(Q("ButtonIn")), &QPushButton::clicked, this,
            &TForm1::ButtonInClick);
    connect(findChild<QPushButton*>(Q("Busy")), &QPushButton::clicked, this, &TForm1::BusyClick);
    connect(findChild<QPushButton*>(Q("ButtonOut")), &QPushButton::clicked, this,
            &TForm1::ButtonOutClick);
    connect(PageControl1_, &TPageControl::currentPageChanged, this, &TForm1::PageControl1Change);
    // Leaving the Status page ends a choice in the remark box: its list closes.
    connect(PageControl1_, &TPageControl::currentPageChanging, this, [this](QWidget* from) {
        if (from == Page("Status1") && core_->Presence().remarkMirroring) {
            ComboBox1_->hidePopup();
            ComboBox1_->clearFocus();
        }
    });
    messagePages_ = new TMessagePages(*this);
    changePage_ = new TChangeStatusPage(*this);
    discussPage_ = new TDiscussPage(*this);
    remarkEditor_ = new TRemarkEditor(*this);
    ConnectCore();
    qApp->installEventFilter(this);
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    FormDestroy();
    // The pages watch the focus of their controls, which moves while the widgets are torn
    // down; by then they must no longer reach into the window.
    delete remarkEditor_;
    delete discussPage_;
}

QWidget* TForm1::Page(const char* name) const {
    return findChild<QWidget*>(Q(name));
}

void TForm1::BuildStatusPage() {
    auto* page = Named(new QWidget, "Status1");
    PageControl1_->AddPage(page, Q("Status"));
    auto* l = Column(page, 1, 1);
    auto* bar = Row(2);
    auto* remarkBox = new TRemarkBox;
    remarkBox->onDropDown = [this] {
        SetBackground(ComboBox1_, ColourFromBgr(core_->Options().colours.Rest));
    };
    ComboBox1_ = Named<QComboBox>(remarkBox, "ComboBox1");
    ComboBox1_->setEditable(true);
    ComboBox1_->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1_->setFixedWidth(160);
    ComboBox1_->setMaxVisibleItems(14);
    ComboBox1_->setToolTip(Q("Enter a customized remark here then type return"));
    for (const QByteArray& r : TVelmoraCore::DefaultRemarks())
        ComboBox1_->addItem(FromAnsi(r));
    ComboBox1_->setCurrentIndex(-1);
    bar->addWidget(ComboBox1_);
    QPushButton* select = Button("Select", "Set my Status from a List");
    QPushButton* personalize = Button("Button6", "Personalize my Status");
    bar->addWidget(select);
    bar->addWidget(personalize);
    connect(select, &QPushButton::clicked, this, &TForm1::SelectClick);
    connect(personalize, &QPushButton::clicked, this, &TForm1::EditStatus1Click);
    // Only a choice from the list arrives here: Enter in the box is taken by the event filter.
    connect(ComboBox1_, &QComboBox::textActivated, this, &TForm1::RemarkChosen);
    ComboBox1_->lineEdit()->installEventFilter(this);
    auto* P1 = Named(new QWidget, "P1"); // takes the focus after a status button
    P1->setFixedSize(0, 0);
    P1->setFocusPolicy(Qt::StrongFocus);
    bar->addWidget(P1);
    bar->addStretch(1);
    l->addLayout(bar);
    ListBox1_ = new TStatusList(*core_);
    ListBox1_->viewport()->installEventFilter(this);
    l->addWidget(ListBox1_, 1);
}

void TForm1::BuildMessagesPage() {
    auto* page = Named(new QWidget, "msgs");
    PageControl1_->AddPage(page, Q("Messages"));
    auto* outer = Column(page);
    auto* group = new QGroupBox(Q("Message"));
    outer->addWidget(group);
    auto* l = Column(group);
    auto* InMsgs = Named(new QPlainTextEdit, "InMsgs");
    InMsgs->setReadOnly(true);
    InMsgs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    InMsgs->setFocusPolicy(Qt::ClickFocus);
    l->addWidget(InMsgs, 1);
    auto* row = Row();
    for (auto [name, caption] : {std::pair{"MsgPrt1", "Print"}, std::pair{"MsgPaste", "Copy"},
                                 std::pair{"ClearMsg", "Erase"}, std::pair{"Reply1", "Reply"},
                                 std::pair{"BitBtn2", "Previous"}, std::pair{"BitBtn3", "Next"}}) {
        QPushButton* b = Button(name, caption);
        b->setEnabled(qstrcmp(name, "Reply1") != 0); // nothing to reply to yet
        row->addWidget(b);
    }
    l->addLayout(row);
}

void TForm1::BuildComposePage() {
    auto* page = Named(new QWidget, "Compose");
    PageControl1_->AddPage(page, Q("Compose"));
    auto* outer = Column(page);
    auto* group = Named(new QGroupBox(Q("Select Recipient on Status Screen")), "MsgTo");
    outer->addWidget(group);
    auto* l = Column(group);
    MsgOut_ = Named(new QPlainTextEdit, "MsgOut");
    MsgOut_->setReadOnly(true);
    MsgOut_->setPlainText(
        Q("Before you send a message, select the Status page and click on the \n"
          "name of the person to whom the message will be sent. You will \n"
          "automatically return to this page.  After typing a message, click on the \n"
          "Send button."));
    l->addWidget(MsgOut_, 1);
    auto* row = Row();
    row->addWidget(Button("SendMsg", "Send to All"));
    QPushButton* send = Button("Send1Msg", "Send");
    send->setEnabled(false);
    row->addWidget(send);
    row->addWidget(Button("ComposeClear1", "Erase"));
    row->addWidget(Button("BitBtn1", "Paste"));
    l->addLayout(row);
}

void TForm1::BuildDiscussPage() {
    auto* page = Named(new QWidget, "chat");
    PageControl1_->AddPage(page, Q("Discuss"));
    auto* outer = Column(page);
    auto* group = new QGroupBox(Q("Virtual Group Discussion"));
    outer->addWidget(group);
    auto* l = Column(group);
    auto* blog = Named(new QPlainTextEdit, "blog");
    blog->setReadOnly(true);
    blog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    l->addWidget(blog, 1);
    auto* row = Row();
    auto* discussOut = Named(
        new QLineEdit(Q("Enter your text here and click on the submit button.")), "discussOut");
    discussOut->setFixedWidth(348);
    row->addWidget(discussOut);
    row->addWidget(Button("BitBtn4", "Submit"));
    l->addLayout(row);
}

void TForm1::BuildOptionsPage() {
    auto* page = Named(new QWidget, "Options");
    PageControl1_->AddPage(page, Q("Options"));
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(1, 2, 1, 2);
    columns->setSpacing(2);
    // Eleven options, five groups and six colour panels share 432 x 212 pixels: rows are
    // kept to the height of their text.
    auto group = [](const char* caption, QVBoxLayout* into) {
        auto* g = new QGroupBox(Q(caption));
        g->setFlat(true);
        into->addWidget(g);
        auto* l = Column(g, 0, 0);
        l->setContentsMargins(2, 0, 1, 0);
        return l;
    };
    auto checks = [this](QVBoxLayout* into, std::initializer_list<const char*> names) {
        for (const char* name : names)
            for (const TOptionBox& box : kOptionBoxes)
                if (qstrcmp(box.name, name) == 0) {
                    QCheckBox* c = Check(box.name, Q(box.caption));
                    c->setFixedHeight(16);
                    into->addWidget(c);
                    connect(c, &QCheckBox::toggled, this, [this, option = box.option](bool on) {
                        core_->Options().*option = on;
                    });
                }
    };

    auto* left = Column(nullptr, 0, 2);
    auto* nameBox = group(" Display my Name as: ", left);
    realName1_ = Named(new QLineEdit(Q("<My Name>")), "realName1");
    realName1_->setFixedHeight(18);
    realName1_->installEventFilter(this);
    connect(realName1_, &QLineEdit::textEdited, this, [this] { nameEdited_ = true; });
    nameBox->addWidget(realName1_);
    checks(group("Bring Screen into View", left), {"HideMsg1", "StatusChange", "StartShow"});
    checks(group(" Message System ", left), {"HideMsgSys", "NewMsgSnd"});
    checks(group(" Discuss Screen", left), {"HideDiscuss"});
    left->addStretch(1);
    columns->addLayout(left, 3);

    auto* middle = Column(nullptr, 0, 2);
    auto* screenBox = group(" Status Screen ", middle);
    auto* combos = new QGridLayout;
    combos->setContentsMargins(0, 0, 0, 0);
    combos->setHorizontalSpacing(3);
    combos->setVerticalSpacing(1);
    auto combo = [&](const char* name, QStringList items, int current) {
        auto* box = Named(new QComboBox, name);
        box->addItems(items);
        box->setCurrentIndex(current);
        box->setFixedHeight(18);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return box;
    };
    ScrnSize1_ = combo("ScrnSize1", {Q("Small"), Q("Medium"), Q("Large")}, 1);
    SizeBox1_ = combo("SizeBox1", {Q("8"), Q("10"), Q("12")}, 0);
    // Narrow enough for the three columns to fit the window with every word of the height
    // and clock boxes showing.
    SizeBox1_->setFixedWidth(38);
    ComboBox2_ = combo("ComboBox2", {Q("12-hour clock"), Q("24-hour clock")}, 0);
    combos->addWidget(ScrnSize1_, 0, 0);
    combos->addWidget(new QLabel(Q("Height")), 0, 1);
    combos->addWidget(SizeBox1_, 0, 2);
    combos->addWidget(new QLabel(Q("Font size")), 0, 3);
    combos->addWidget(ComboBox2_, 1, 0, 1, 2);
    combos->addWidget(new QLabel(Q("Time format ")), 1, 2, 1, 2);
    screenBox->addLayout(combos);
    checks(screenBox, {"ColorSort"});
    auto* twoCols = Check("TwoCols", Q("Display names in two columns"));
    twoCols->setFixedHeight(16);
    screenBox->addWidget(twoCols);
    checks(screenBox, {"TimeAll", "StampBgnEnd", "DelBusyIn", "ForceOut"});
    auto* idleBox = group(" Idle Timeout Period ", middle);
    auto* idleRow = Row();
    idleEdit_ = Named(new QLineEdit(Q("0")), "idleEdit");
    idleEdit_->setFixedSize(40, 18);
    idleRow->addWidget(idleEdit_);
    idleRow->addWidget(new QLabel(Q("in minutes")), 1);
    idleBox->addLayout(idleRow);
    middle->addStretch(1);
    columns->addLayout(middle, 6);

    auto* right = Column(nullptr, 0, 2);
    auto* background = group(" Background ", right);
    for (auto [name, caption] :
         {std::pair{"InPanel", "In"}, std::pair{"BusyPanel", "Busy"}, std::pair{"OutPanel", "Out"},
          std::pair{"InActivePanel", "Idle"}, std::pair{"RestPanel", "All Others"}}) {
        QPushButton* panel = Button(name, caption);
        panel->setFlat(true);
        panel->setFixedSize(78, 18);
        colourPanels_.append(panel);
        background->addWidget(panel);
        connect(panel, &QPushButton::clicked, this, [this, panel] { InPanelClick(panel); });
    }
    QPushButton* reset = Button("Panel1", "Reset Colors");
    reset->setFixedSize(78, 18);
    background->addWidget(reset);
    connect(reset, &QPushButton::clicked, this, &TForm1::Panel1Click);
    QPushButton* lock = Button("Lock", "Lock *");
    right->addWidget(lock);
    connect(lock, &QPushButton::clicked, this, &TForm1::LockClick);
    right->addStretch(1);
    right->addWidget(Aqua("XQAqua4", "Status List", QSize(78, 24), font()), 0, Qt::AlignRight);
    columns->addLayout(right, 3);

    // Initial states as laid out; the settings file overrides them at start.
    for (const char* on : {"HideMsg1", "StartShow", "HideMsgSys", "NewMsgSnd", "HideDiscuss",
                           "TimeAll", "StampBgnEnd", "DelBusyIn", "ForceOut"})
        page->findChild<QCheckBox*>(Q(on))->setChecked(true);

    connect(findChild<QCheckBox*>(Q("HideMsgSys")), &QCheckBox::clicked, this,
            &TForm1::HideMsgSysClick);
    connect(findChild<QCheckBox*>(Q("HideDiscuss")), &QCheckBox::clicked, this,
            &TForm1::HideDiscussClick);
    connect(findChild<QCheckBox*>(Q("ColorSort")), &QCheckBox::clicked, this,
            &TForm1::ColorSortClick);
    connect(twoCols, &QCheckBox::clicked, this, &TForm1::TwoColsClick);
    connect(SizeBox1_, &QComboBox::currentTextChanged, this, &TForm1::SizeBox1Change);
    connect(ComboBox2_, &QComboBox::currentIndexChanged, this,
            [this](int index) { core_->Options().clock24 = index == 1; });
    connect(ScrnSize1_, &QComboBox::currentTextChanged, this, &TForm1::ScrnSize1Change);
}

void TForm1::BuildChgStatusPage() {
    auto* page = Named(new QWidget, "ChgStatus");
    PageControl1_->AddPage(page, QString(), false);
    auto* outer = Column(page);
    auto* group = Named(new QGroupBox(Q(" Change Status for ")), "GroupBox8");
    outer->addWidget(group);
    auto* l = new QHBoxLayout(group);
    l->addWidget(Named(new QListWidget, "ListBox2"), 1);
    auto* right = Column(nullptr, 0, 3);
    auto* buttons = Row();
    for (auto [name, caption, colour] : {std::tuple{"In22", "In", tColorButton::clLime},
                                         std::tuple{"Busy22", "Busy", tColorButton::clFuchsia},
                                         std::tuple{"Out22", "Out", tColorButton::clRed}}) {
        auto* b = Named(new tColorButton, name);
        b->resize(73, 24);
        b->SetCaption(Q(caption));
        b->SetFlat(false);
        b->SetHotTrack(false);
        b->SetColor(colour);
        b->SetDownColor(colour);
        b->SetHotColor(tColorButton::clYellow);
        b->SetHotFontColor(tColorButton::clRed);
        b->SetDownFontColor(tColorButton::clBlack);
        b->setFixedSize(b->size());
        buttons->addWidget(b);
    }
    right->addLayout(buttons);
    right->addWidget(Button("Button7", "Enter a Customized Status"));
    right->addWidget(new QLabel(Q("<-- Click a status to assign  it")));
    auto* white = Check("WhtBkg", Q("White background"));
    white->setChecked(true);
    right->addWidget(white);
    right->addStretch(1);
    right->addWidget(Button("Cancel1", "Cancel"), 0, Qt::AlignRight);
    auto* prefix = Named(new QLabel, "Label4");
    prefix->setVisible(false);
    right->addWidget(prefix);
    l->addLayout(right, 1);
}

void TForm1::BuildInfoPage() {
    auto* page = Named(new QWidget, "infoTab");
    PageControl1_->AddPage(page, QString(), false);
    auto* outer = Column(page);
    auto* group =
        Named(new QGroupBox(Q(" Status List  - Edit the List to Suit Your Needs ")), "GroupBox11");
    outer->addWidget(group);
    auto* l = new QHBoxLayout(group);
    l->addWidget(Named(new QPlainTextEdit, "ChgRem1"), 1);
    auto* right = Column(nullptr, 0, 3);
    right->addWidget(Aqua("XQAqua2", ">>", QSize(62, 20), font()), 0, Qt::AlignHCenter);
    right->addWidget(Button("Button8", "Sort List"));
    right->addWidget(Button("ToDeflt8", "Default List"));
    right->addWidget(Button("Clear8", "Clear List"));
    right->addStretch(1);
    QFont bold = font();
    bold.setBold(true);
    right->addWidget(Aqua("XQAqua3", "Close", QSize(79, 21), bold), 0, Qt::AlignHCenter);
    l->addLayout(right);
}

void TForm1::BuildHelpPage() {
    auto* page = Named(new QWidget, "Help");
    PageControl1_->AddPage(page, Q("Help"));
    auto* l = Column(page, 4, 4);
    auto* version = Named(new QLabel(Q(kVersionLabel)), "VerLabel1");
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
        QPushButton* b = Button((QByteArray("Hlp") + topic).constData(), topic);
        grid->addWidget(b, i / 4, i % 4);
        connect(b, &QPushButton::clicked, this, [this, topic] { Hlp1Click(Q(topic)); });
        ++i;
    }
    QPushButton* web = Button("Button9", "Web Support");
    grid->addWidget(web, i / 4, i % 4, 1, 2);
    connect(web, &QPushButton::clicked, this, &TForm1::Button9Click);
    l->addWidget(topics);

    auto* siteBox = new QGroupBox(Q("Click on the link below to visit our web site"));
    auto* siteLayout = Column(siteBox);
    auto* site = Named(new QPushButton(kWebSite), "WebSite");
    site->setFlat(true);
    site->setCursor(Qt::PointingHandCursor);
    site->setStyleSheet(Q("color: green; font-weight: bold; text-decoration: underline;"
                          "border: none; text-align: left;"));
    connect(site, &QPushButton::clicked, this, &TForm1::WebSiteClick);
    siteLayout->addWidget(site);
    l->addWidget(siteBox);
    l->addStretch(1);
}

void TForm1::BuildMenus() {
    PopupMenu1_ = Named(new QMenu(this), "PopupMenu1");
    auto add = [](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(Q(caption));
        a->setObjectName(Q(name));
        return a;
    };
    connect(add(PopupMenu1_, "VelmoraLite1", kProgramTitle), &QAction::triggered, this,
            &TForm1::ShowVelmora1Click);
    PopupMenu1_->addSeparator();
    Name1_ = add(PopupMenu1_, "Name1", "Name");
    Status2_ = add(PopupMenu1_, "Status2", "Status");
    PopupMenu1_->addSeparator();
    connect(add(PopupMenu1_, "In1", "&In"), &QAction::triggered, this, &TForm1::ButtonInClick);
    connect(add(PopupMenu1_, "Busy1", "&Busy"), &QAction::triggered, this, &TForm1::BusyClick);
    connect(add(PopupMenu1_, "Out1", "&Out"), &QAction::triggered, this, &TForm1::ButtonOutClick);
    connect(add(PopupMenu1_, "EditStatus1", "&Customize Status"), &QAction::triggered, this,
            &TForm1::EditStatus1Click);
    PopupMenu1_->addSeparator();
    add(PopupMenu1_, "Startup1", "Start when Windows does")->setVisible(false);
    connect(add(PopupMenu1_, "RefreshStatuslist1", "Refresh Status list"), &QAction::triggered,
            this, [this] { core_->Presence().RefreshStatusList(); });
    connect(add(PopupMenu1_, "HideOffLine", "Hide Off-line Names"), &QAction::triggered, this,
            [this] { core_->Presence().RosterReset(); });
    PopupMenu1_->addSeparator();
    connect(add(PopupMenu1_, "ShowVelmora1", "Show Velmora"), &QAction::triggered, this,
            &TForm1::ShowVelmora1Click);
    PopupMenu1_->addSeparator();
    connect(add(PopupMenu1_, "ExitwithOutstatus1", "&Set status to Out and exit"),
            &QAction::triggered, this, &TForm1::ExitwithOutstatus1Click);
    connect(add(PopupMenu1_, "Exit1", "E&xit"), &QAction::triggered, this, &TForm1::Exit1Click);

    PopupMenu2_ = Named(new QMenu(this), "PopupMenu2");
    add(PopupMenu2_, "ShowName", "");
    add(PopupMenu2_, "ws1", "");
    PopupMenu2_->addSeparator();
    connect(add(PopupMenu2_, "mnSendMsg", "&Send Message"), &QAction::triggered, this, [this] {
        if (PageControl1_->TabShown(Page("Compose"))) SelectTab(Page("Compose"));
    });
    connect(add(PopupMenu2_, "chgOthers", "&Change Status"), &QAction::triggered, this,
            [this] { changePage_->chgOthersClick(); });
    QAction* info = add(PopupMenu2_, "info", "&Information");
    info->setVisible(false);
    info->setEnabled(false);
    PopupMenu2_->addSeparator();
    connect(add(PopupMenu2_, "Activename", "Show On-line Names"), &QAction::triggered, this,
            [this] { core_->Presence().RosterReset(); });
    connect(add(PopupMenu2_, "refrsh1", "&Refresh All Programs"), &QAction::triggered, this,
            [this] { core_->Presence().RefreshStatusList(); });
    connect(add(PopupMenu2_, "ResendMyStatus1", "Re-send My Status"), &QAction::triggered, this,
            [this] { core_->Presence().ResendMyStatus(); });
    PopupMenu2_->addSeparator();
    add(PopupMenu2_, "Close1", "&Close");
}

void TForm1::ConnectCore() {
    TVelmoraCore* core = core_.get();
    connect(core, &TVelmoraCore::bringIntoViewRequested, this, &TForm1::ShowVelmora1Click);
    connect(core, &TVelmoraCore::windowTitleChanged, this,
            [this](const QByteArray& title) { setWindowTitle(FromAnsi(title)); });
    connect(&core->Presence(), &TPresence::ownStatusAnnounced, this,
            [this](char code, const QByteArray& text, bool mirror) {
                SetBackground(ComboBox1_,
                              ColourFromBgr(ColourForCode(code, core_->Options().colours)));
                Status2_->setText(MenuText(text));
                if (mirror) ComboBox1_->setEditText(FromAnsi(text));
            });
    connect(&core->Idle(), &TIdleDetector::statusListRepaintDue, this,
            [this] { ListBox1_->viewport()->update(); });
    connect(core, &TVelmoraCore::ownStatusTakenOver, this, [this](const QByteArray& status) {
        TrayIcon1_->SetIcon(appPicture_);
        Status2_->setText(MenuText(status));
    });
}

void TForm1::SetBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::black);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QString TForm1::MenuText(const QByteArray& ansi) {
    return FromAnsi(ansi).replace(QLatin1Char('&'), Q("&&"));
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TForm1::FormCreate() {
    // Without a notification area the window is an ordinary one with a taskbar entry, so
    // that it can always be reached; with one, it stays out of the taskbar.
    if (QSystemTrayIcon::isSystemTrayAvailable()) setWindowFlag(Qt::Tool, true);
    largeHeight_ = config_.screenLargeHeight;
    rememberedWidth_ = kDesignedWidth;
    rememberedPicture_ = inPicture_;
    TrayIcon1_->SetIcon(inPicture_);

    QListWidget* ListBox2 = findChild<QListWidget*>(Q("ListBox2"));
    if (ListBox2->count() == 0)
        for (int i = 0; i < ComboBox1_->count(); ++i)
            ListBox2->addItem(ComboBox1_->itemText(i));

    if (realName1_->text() == Q("<My Name>")) realName1_->setText(FromAnsi(config_.loginName));

    core_->FormCreate(); // settings, roster, receiver
    OptionsToControls();
    realName1_->setText(FromAnsi(core_->Own().displayName));
    Name1_->setText(MenuText(core_->Own().displayName));
    Status2_->setText(MenuText(core_->Own().text));
    TrayIcon1_->SetEnabled(true);
    created_ = true;
    QTimer::singleShot(0, this, &TForm1::DeferredStartup);
}

void TForm1::OptionsToControls() {
    const TOptions o = core_->Options(); // the check boxes write back as they change
    if (o.lock) ShowLock(true);
    for (const TOptionBox& box : kOptionBoxes)
        findChild<QCheckBox*>(Q(box.name))->setChecked(o.*box.option);
    PageControl1_->SetTabShown(Page("msgs"), !o.msgOn);
    PageControl1_->SetTabShown(Page("Compose"), !o.msgOn);
    SelectTab(Page("Status1"));

    findChild<QCheckBox*>(Q("TwoCols"))->setChecked(o.Cols != 0);
    ListBox1_->SetColumns(o.Cols);
    SizeBox1_->setCurrentText(FromAnsi(o.size));
    ListBox1_->ApplyFontSize(o.size);
    {
        const QSignalBlocker quiet(ScrnSize1_);
        ScrnSize1_->setCurrentText(FromAnsi(o.h));
    }
    ListBox1_->SetNameColumnWidth(o.namesize);
    rememberedWidth_ = o.w > 0 ? o.w : kDesignedWidth;
    largeHeight_ = o.bigH > kDesignedHeight ? o.bigH : config_.screenLargeHeight;
    ApplyHeightFrame();
    idleEdit_->setText(FromAnsi(o.idle));
    ComboBox2_->setCurrentIndex(o.clock24 ? 1 : 0);
    PaintColourPanels();
    move(o.left, o.top);
}

void TForm1::ControlsToOptions() {
    TOptions& o = core_->Options();
    o.Cols = ListBox1_->Columns();
    o.size = ToAnsi(SizeBox1_->currentText());
    o.h = ToAnsi(ScrnSize1_->currentText());
    idleEditExit(); // the box as it would stand after leaving it
    o.namesize = ListBox1_->NameColumnWidth();
    o.top = y();
    o.left = x();
    o.w = rememberedWidth_;
    core_->currentHeight = height();
    // Remarks typed into the editor count even when the program ends before the field is left.
    if (PageControl1_->CurrentPage() == Page("infoTab")) remarkEditor_->ApplyText();
}

void TForm1::SaveAllSettings() {
    ControlsToOptions();
    core_->SaveAllSettings();
}

void TForm1::DeferredStartup() {
    setVisible(core_->Options().strtShw);
    QCoreApplication::processEvents();
    SelectTab(Page("Status1"));

    core_->DeferredStartup();
    SetRemarkList(core_->Remarks());
    ComboBox1_->setEditText(FromAnsi(core_->Own().text));
    PageControl1_->SetTabShown(Page("chat"), !core_->Options().discuss);
    SelectTab(Page("Status1"));
}

void TForm1::FormDestroy() {
    // A copy that never came up (its port was taken) has nothing to announce or save.
    if (destroyed_ || !created_) return;
    destroyed_ = true;
    ControlsToOptions();
    core_->FormDestroy();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (core_->Closing()) {
        event->accept();
        return;
    }
    // The close box keeps the program running: save, then put the window away.
    SaveAllSettings();
    event->ignore();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TForm1::Exit1Click() {
    core_->SetClosing();
    QCoreApplication::processEvents();
    SaveAllSettings();
    hide();
    Q_EMIT exitRequested();
    QCoreApplication::quit();
}

void TForm1::ExitwithOutstatus1Click() {
    ButtonOutClick();
    Exit1Click();
}

void TForm1::WMQueryEndSession() {
    ControlsToOptions();
    core_->WMQueryEndSession();
    hide();
    QCoreApplication::quit();
}

// ---------------------------------------------------------------------------------------------
// Own status

void TForm1::AnnounceOwnStatus(char code, const QByteArray& text, const QIcon* picture) {
    if (picture) ShowStatusPicture(*picture);
    const bool stamp = core_->Options().ShwTime;
    try {
        core_->Presence().AnnounceOwnStatus(code, text, true, stamp, stamp);
    } catch (const EUDPError& e) {
        QMessageBox::critical(this, windowTitle(), Q(e.what()));
    }
}

void TForm1::OwnStatusButton(char code, const QByteArray& text, const QIcon& picture) {
    SelectTab(Page("Status1"));
    AnnounceOwnStatus(code, text, &picture);
    // Park the focus where typing cannot change anything by accident.
    if (isVisible()) findChild<QWidget*>(Q("P1"))->setFocus();
}

void TForm1::ButtonInClick() {
    OwnStatusButton('g', "In", inPicture_);
}
void TForm1::BusyClick() {
    OwnStatusButton('f', "Busy - In but unavailable", busyPicture_);
}
void TForm1::ButtonOutClick() {
    OwnStatusButton('r', "Out", outPicture_);
    SelectTab(Page("Status1"));
}

void TForm1::SelectClick() {
    SetBackground(ComboBox1_, ColourFromBgr(core_->Options().colours.Rest));
    core_->Presence().remarkMirroring = false; // announcements must not overwrite the choice
    ComboBox1_->showPopup();
}

void TForm1::RemarkChosen(const QString& remark) {
    core_->Presence().remarkMirroring = true;
    AnnounceOwnStatus('y', ToAnsi(remark), &remarkPicture_);
    ListBox1_->setFocus();
}

void TForm1::RemarkTyped() {
    AnnounceOwnStatus('y', ToAnsi(ComboBox1_->currentText()), nullptr);
    ListBox1_->setFocus();
    core_->Presence().remarkMirroring = true;
}

void TForm1::EditStatus1Click() {
    QInputDialog dialog(this);
    dialog.setWindowTitle(Q("Personalize my Status"));
    dialog.setLabelText(Q("Enter my New Status"));
    dialog.setTextValue(QString());
    dialogOpen_ = true;
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    if (ok) AnnounceOwnStatus('y', ToAnsi(dialog.textValue()), &remarkPicture_);
}

void TForm1::realName1Exit() {
    const QByteArray text = ToAnsi(realName1_->text());
    const bool commit = nameEdited_ && text != core_->Own().displayName;
    nameEdited_ = false;
    if (!commit) return;
    TOwnStatus& own = core_->Own();
    own.displayName = text.left(60);
    realName1_->setText(FromAnsi(own.displayName));
    Name1_->setText(MenuText(own.displayName));
    // Every copy, this one included, shows the new name in a white row with the plain status.
    try {
        core_->SendDatagram(
            datagram::ProxyAnnouncement('w', own.address, own.displayName + kSep + own.text));
    } catch (const EUDPError& e) {
        QMessageBox::critical(this, windowTitle(), Q(e.what()));
    }
    SaveAllSettings();
}

void TForm1::idleEditExit() {
    core_->Options().idle = ToAnsi(idleEdit_->text());
    core_->Idle().ApplyIdleBox();
    idleEdit_->setText(FromAnsi(core_->Options().idle));
}

void TForm1::ShowStatusPicture(const QIcon& picture) {
    rememberedPicture_ = picture;
    TrayIcon1_->SetIcon(picture);
}

// ---------------------------------------------------------------------------------------------
// Pages and sizes

void TForm1::SelectTab(QWidget* page) {
    if (PageControl1_->CurrentPage() == page)
        PageControl1Change();
    else
        PageControl1_->SetCurrentPage(page);
}

void TForm1::PageControl1Change() {
    SetBackground(MsgOut_, palette().color(QPalette::Base));
    TrayIcon1_->SetIcon(rememberedPicture_);
    int w = kDesignedWidth;
    int h = kDesignedHeight;
    if (PageControl1_->CurrentPage() == Page("Status1")) {
        const QString size = ScrnSize1_->currentText();
        if (size.contains(Q("Large"))) {
            w = rememberedWidth_;
            h = largeHeight_;
        } else if (size.contains(Q("Small"))) {
            h = kDesignedHeight / 2 + 9;
        }
    }
    if (w == width() && h == height()) return;
    if (ScrnSize1_->currentText().contains(Q("Large"))) {
        setMinimumSize(200, 100);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(w, h);
    } else {
        setFixedSize(w, h);
    }
}

void TForm1::ApplyHeightFrame() {
    if (ScrnSize1_->currentText().contains(Q("Large"))) {
        setMinimumSize(200, 100);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    PageControl1Change();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (height() > kDesignedHeight) largeHeight_ = height();
    if (width() > kDesignedWidth) rememberedWidth_ = width();
}

void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !dialogOpen_)
        FormActivate();
}

void TForm1::FormActivate() {
    ListBox1_->ApplyFontSize(ToAnsi(SizeBox1_->currentText()));
    // When the program itself brought the window forward (a message arrived, say), the page
    // it chose stays; only the user's own activation returns to the Status page.
    const bool ownRequest = broughtForward_.isValid() && broughtForward_.elapsed() < 2000;
    broughtForward_.invalidate();
    if (!ownRequest) SelectTab(Page("Status1"));
}

void TForm1::ScrnSize1Change() {
    if (ScrnSize1_->currentText().contains(Q("Large"))) {
        move(x(), 0);
        if (largeHeight_ < kDesignedHeight + 80) {
            const QScreen* screen = this->screen();
            largeHeight_ = (screen ? screen->availableGeometry().height() : 600) * 2 / 3;
        }
    }
    core_->Options().h = ToAnsi(ScrnSize1_->currentText());
    ApplyHeightFrame();
    if (PageControl1_->CurrentPage() == Page("Options"))
        findChild<QCheckBox*>(Q("ColorSort"))->setFocus();
}

void TForm1::SizeBox1Change() {
    core_->Options().size = ToAnsi(SizeBox1_->currentText());
    ListBox1_->ApplyFontSize(core_->Options().size);
    SelectTab(Page("Status1"));
}

void TForm1::TwoColsClick() {
    const bool two = findChild<QCheckBox*>(Q("TwoCols"))->isChecked();
    ListBox1_->SetColumns(two ? 2 : 0);
    core_->Options().Cols = two ? 2 : 0;
}

void TForm1::HideMsgSysClick() {
    const bool hidden = findChild<QCheckBox*>(Q("HideMsgSys"))->isChecked();
    PageControl1_->SetTabShown(Page("msgs"), !hidden);
    PageControl1_->SetTabShown(Page("Compose"), !hidden);
    SelectTab(Page("Options"));
}

void TForm1::SetRemarkList(const QList<QByteArray>& remarks) {
    core_->Remarks() = remarks;
    const QString typed = ComboBox1_->currentText();
    const QSignalBlocker quiet(ComboBox1_);
    ComboBox1_->clear();
    for (const QByteArray& r : remarks)
        ComboBox1_->addItem(FromAnsi(r));
    ComboBox1_->setEditText(typed);
}

void TForm1::LockClick() {
    QInputDialog dialog(this);
    dialog.setWindowTitle(FromAnsi(options_lock::DialogCaption()));
    dialog.setLabelText(FromAnsi(options_lock::DialogPrompt()));
    dialog.setTextValue(QString());
    dialog.setTextEchoMode(QLineEdit::Password);
    dialogOpen_ = true;
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    if (!ok || !options_lock::IsAccessCode(ToAnsi(dialog.textValue()))) return;
    core_->Options().lock = !core_->Options().lock;
    ShowLock(core_->Options().lock);
}

void TForm1::ShowLock(bool locked) {
    findChild<QPushButton*>(Q("Lock"))->setText(
        Q(locked ? options_lock::kLockedCaption : options_lock::kUnlockedCaption));
    for (const char* name : {"HideMsgSys", "HideDiscuss"})
        findChild<QCheckBox*>(Q(name))->setEnabled(!locked);
}

void TForm1::HideDiscussClick() {
    PageControl1_->SetTabShown(Page("chat"), !findChild<QCheckBox*>(Q("HideDiscuss"))->isChecked());
    SelectTab(Page("Options"));
}

void TForm1::ShowVelmora1Click() {
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

void TForm1::TrayIcon1LeftBtnClick() {
    if (dialogOpen_) return;
    if (isVisible() && isActiveWindow()) {
        hide();
        return;
    }
    if (PageControl1_->CurrentPage() != Page("msgs")) SelectTab(Page("Status1"));
    ShowVelmora1Click();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!ListBox1_ || !realName1_ || !TrayIcon1_) return QWidget::eventFilter(watched, event);
    if (watched == ListBox1_->viewport() && type == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        ListBox1MouseDown(mouse->button(), mouse->modifiers().testFlag(Qt::ControlModifier),
                          mouse->position().toPoint(), mouse->globalPosition().toPoint());
        return mouse->button() != Qt::LeftButton; // the list still selects on a left press
    }
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // Keys typed on the Status page reorder the list before they reach the focused control.
        if (isActiveWindow() && PageControl1_->CurrentPage() == Page("Status1") &&
            watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this &&
            !key->text().isEmpty() && !enter)
            FormKeyPress(key->text());
        if (watched == ComboBox1_->lineEdit() && enter) {
            RemarkTyped();
            return true;
        }
        if (watched == idleEdit_ && enter) {
            idleEditExit();
            return true;
        }
        if (watched == realName1_) {
            if (enter) {
                SelectTab(Page("Status1"));
                return true;
            }
            // Past 30 characters the field takes no more typed characters.
            if (!key->text().isEmpty() && key->text()[0].isPrint() &&
                realName1_->text().size() > 30 && !realName1_->hasSelectedText()) {
                QApplication::beep();
                return true;
            }
        }
    }
    if (type == QEvent::FocusOut) {
        if (watched == realName1_)
            realName1Exit();
        else if (watched == idleEdit_)
            idleEditExit();
        else if (watched == ComboBox1_->lineEdit() && !ComboBox1_->view()->isVisible()) {
            SetBackground(ComboBox1_, ColourFromBgr(ColourForCode(core_->Own().code,
                                                                  core_->Options().colours)));
            core_->Presence().remarkMirroring = true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::ListBox1MouseDown(Qt::MouseButton button, bool ctrl, const QPoint& pos,
                               const QPoint& globalPos) {
    const int hit = ListBox1_->RowAt(pos);
    if (button == Qt::LeftButton && hit < 0) return; // a click beside the rows selects nobody
    QByteArray entry;
    {
        TRoster& roster = core_->Roster();
        std::lock_guard guard(roster.Lock());
        // Anything that does not resolve falls back to the first row and position 0.
        int row = hit;
        if (row < 0 || row >= ListBox1_->RowCount() || row >= roster.Count()) row = 0;
        int position = row < roster.DisplayOrder().size() ? roster.DisplayOrder()[row].position : 0;
        if (position < 0 || position >= roster.Count()) position = 0;
        if (roster.Count() == 0) return;
        entry = roster.Entries()[position];
    }
    const TRosterFields fields = TRoster::Split(entry);
    const bool offLine = TRoster::IsOffLine(entry);
    if (button == Qt::LeftButton) {
        if (ctrl) {
            PrepareChangeStatus(fields.address, fields.name);
            SelectTab(Page("ChgStatus"));
        } else {
            messagePages_->SelectRecipient(fields.address, fields.name, offLine, false);
        }
        return;
    }
    // The row under the pointer becomes the selected one; below the last row, none is.
    if (hit >= 0)
        ListBox1_->setCurrentIndex(ListBox1_->model()->index(hit, 0));
    else
        ListBox1_->clearSelection();
    messagePages_->SelectRecipient(fields.address, fields.name, offLine, true);
    QCoreApplication::processEvents();
    PrepareChangeStatus(fields.address, fields.name);
    findChild<QAction*>(Q("ShowName"))->setText(MenuText(fields.name));
    PopupMenu2_->popup(globalPos);
}

void TForm1::PrepareChangeStatus(const QByteArray& address, const QByteArray& name) {
    changePage_->Prepare(address, name);
}

void TForm1::FormKeyPress(const QString& text) {
    if (text.isEmpty()) return;
    const QByteArray ansi = ToAnsi(text.left(1));
    if (core_->TypedLetter(ansi[0])) ListBox1_->scrollToTop();
}

// ---------------------------------------------------------------------------------------------
// Colours

void TForm1::PaintColourPanels() {
    const TClassColours& c = core_->Options().colours;
    const quint32 colours[] = {c.In, c.Busy, c.Out, c.inActive, c.Rest};
    for (int i = 0; i < colourPanels_.size(); ++i)
        SetBackground(colourPanels_[i], ColourFromBgr(colours[i]));
    SetBackground(idleEdit_, ColourFromBgr(c.inActive));
    ListBox1_->viewport()->update();
}

void TForm1::ColorSortClick() {
    if (findChild<QCheckBox*>(Q("ColorSort"))->isChecked())
        core_->ColourSort();
    else
        core_->NameSort();
}

void TForm1::InPanelClick(QPushButton* panel) {
    TClassColours& c = core_->Options().colours;
    quint32* target = panel->objectName() == Q("InPanel")         ? &c.In
                      : panel->objectName() == Q("BusyPanel")     ? &c.Busy
                      : panel->objectName() == Q("OutPanel")      ? &c.Out
                      : panel->objectName() == Q("InActivePanel") ? &c.inActive
                                                                  : &c.Rest;
    dialogOpen_ = true;
    const QColor chosen = QColorDialog::getColor(
        lastChosenColour_.isValid() ? lastChosenColour_ : ColourFromBgr(*target), this);
    dialogOpen_ = false;
    if (!chosen.isValid()) return;
    lastChosenColour_ = chosen;
    *target = BgrFromColour(chosen);
    PaintColourPanels();
}

void TForm1::Panel1Click() {
    core_->Options().colours = TClassColours{};
    PaintColourPanels();
}

// ---------------------------------------------------------------------------------------------
// Help

void TForm1::OpenDocument(const QUrl& url, const QString& failure) {
    if (!url.isValid() || !QDesktopServices::openUrl(url))
        QMessageBox::warning(this, windowTitle(), failure);
}

void TForm1::Hlp1Click(const QString& topic) {
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
    OpenDocument(url, Q("helpivx.hta not found."));
}

void TForm1::Button9Click() {
    OpenDocument(QUrl(kWebSite + kSupportPage), Q("Web browser not found."));
}

void TForm1::WebSiteClick() {
    OpenDocument(QUrl(kWebSite), Q("Web browser not found."));
}

} // namespace velmora

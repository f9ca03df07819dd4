#include "gui/window/HelpPage.h"

#include "core/NetworkReport.h"
#include "core/settings/Settings.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/PageHost.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace velmora {

const QString HelpPage::kWebSite = QStringLiteral("https://velmora.dazuviz.example/");

namespace {

const QString kSupportPage = QStringLiteral("support.html");

// The web site's address as a link: bold, underlined and green, at the left, with no button
// face; the focus shows as a dotted frame around the text.
class LinkButton : public QPushButton {
public:
    explicit LinkButton(const QString& text) : QPushButton(text) {
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
        setTextColour(this, QColor(0x00, 0x80, 0x00));
    }

    QSize sizeHint() const override {
        return QFontMetrics(linkFont()).size(Qt::TextSingleLine, text()) + QSize(4, 2);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.setFont(linkFont());
        const QRect area = rect().adjusted(2, 1, -2, -1);
        painter.drawItemText(area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), text(),
                             QPalette::ButtonText);
        if (!hasFocus()) return;
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = painter.boundingRect(area, Qt::AlignLeft | Qt::AlignVCenter, text())
                         .adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
    }

private:
    QFont linkFont() const {
        QFont f = font();
        f.setBold(true);
        f.setUnderline(true);
        return f;
    }
};

} // namespace

HelpPage::HelpPage(PageHost& host, const Core& core, QWidget* parent)
    : BuiltWhenShown(parent), host_(host), core_(core) {
    setObjectName(latin1("helpPage"));
    // Installed beside the program's folder, else beside the program; a build for the tests
    // also finds it in the sources.
    const QString dir = QCoreApplication::applicationDirPath();
    helpPlaces_ = {QDir::cleanPath(dir + latin1("/../share/dazuviz-velmora/help.html")),
                   dir + latin1("/help.html")};
#ifdef VELMORA_SOURCE_DIR
    helpPlaces_.append(latin1(VELMORA_SOURCE_DIR "/docs/help.html"));
#endif
}

void HelpPage::build() {
    auto* l = columnLayout(this, 4, 4);
    auto* version = named(new QLabel(latin1(kVersionLabel)), "versionLabel");
    version->setAlignment(Qt::AlignCenter);
    QFont big = version->font();
    big.setPixelSize(19);
    big.setBold(true);
    version->setFont(big);
    setTextColour(version, Qt::blue);
    l->addWidget(version);

    auto* topics = new QGroupBox(latin1(" Help topics"));
    auto* grid = new QGridLayout(topics);
    grid->setSpacing(3);
    int i = 0;
    for (const char* topic : {"Overview", "Status", "Messages", "Compose", "Discuss", "Options"}) {
        QPushButton* b = pushButton((QByteArray("help") + topic).constData(), topic);
        grid->addWidget(b, i / 4, i % 4);
        connect(b, &QPushButton::clicked, this,
                [this, topic] { onHelpTopicClicked(latin1(topic)); });
        ++i;
    }
    QPushButton* network = pushButton("helpNetwork", "Network");
    grid->addWidget(network, i / 4, i % 4);
    connect(network, &QPushButton::clicked, this, &HelpPage::onNetworkClicked);
    ++i;
    QPushButton* web = pushButton("webSupportButton", "Web Support");
    grid->addWidget(web, i / 4, i % 4);
    connect(web, &QPushButton::clicked, this, &HelpPage::onWebSupportClicked);
    l->addWidget(topics);

    auto* siteBox = new QGroupBox(latin1("Click on the link below to visit our web site"));
    auto* siteLayout = columnLayout(siteBox);
    auto* site = named(new LinkButton(kWebSite), "webSiteLink");
    connect(site, &QPushButton::clicked, this, &HelpPage::onWebSiteClicked);
    siteLayout->addWidget(site);
    l->addWidget(siteBox);
    l->addStretch(1);
}

void HelpPage::tell(const QString& text) {
    host_.setDialogOpen(true);
    QMessageBox::warning(host_.dialogParent(), window()->windowTitle(), text);
    host_.setDialogOpen(false);
}

void HelpPage::openWebPage(const QUrl& url) {
    if (!QDesktopServices::openUrl(url)) tell(latin1("Web browser not found."));
}

void HelpPage::onHelpTopicClicked(const QString& topic) {
    const auto found = std::find_if(helpPlaces_.cbegin(), helpPlaces_.cend(),
                                    [](const QString& place) { return QFileInfo::exists(place); });
    if (found == helpPlaces_.cend()) {
        tell(helpPlaces_.value(0) + latin1(" not found."));
        return;
    }
    if (!helpWindow_) {
        // Qt's own HTML view: the help needs no browser, and its links between the topics
        // stay inside it; links to the web go to the desktop's browser.
        helpWindow_ = named(new QTextBrowser(this), "helpWindow");
        helpWindow_->setWindowFlag(Qt::Window);
        helpWindow_->setOpenExternalLinks(true);
        helpWindow_->resize(600, 460);
        helpWindow_->installEventFilter(this);
        connect(helpWindow_, &QTextBrowser::sourceChanged, helpWindow_,
                [view = helpWindow_] { view->setWindowTitle(view->documentTitle()); });
    }
    QUrl url = QUrl::fromLocalFile(QFileInfo(*found).canonicalFilePath());
    url.setFragment(topic.toLower());
    helpWindow_->show();
    helpWindow_->setSource(url);
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void HelpPage::onNetworkClicked() {
    if (!networkWindow_) {
        // Plain text only: the report holds paths and reasons that are not markup.
        networkWindow_ = named(new QPlainTextEdit(this), "networkWindow");
        networkWindow_->setWindowFlag(Qt::Window);
        networkWindow_->setWindowTitle(latin1("Dazuviz Velmora: Network"));
        networkWindow_->setReadOnly(true);
        networkWindow_->setLineWrapMode(QPlainTextEdit::NoWrap);
        networkWindow_->resize(560, 300);
        networkWindow_->installEventFilter(this);
    }
    networkWindow_->setPlainText(networkReport(networkState(core_)).join(QLatin1Char('\n')));
    networkWindow_->show();
    networkWindow_->raise();
    networkWindow_->activateWindow();
}

bool HelpPage::eventFilter(QObject* watched, QEvent* event) {
    // From the help or network window back to the main window is a hand-over between the
    // program's own windows, as after one of its dialogs: the window keeps its page, and a
    // click that activates it lands on what it showed. A modal dialog taking over sets its own
    // flag.
    if ((watched == helpWindow_ || watched == networkWindow_) &&
        event->type() == QEvent::WindowDeactivate && !QApplication::activeModalWidget())
        host_.setDialogOpen(false);
    return QWidget::eventFilter(watched, event);
}

void HelpPage::onWebSupportClicked() {
    openWebPage(QUrl(kWebSite + kSupportPage));
}

void HelpPage::onWebSiteClicked() {
    openWebPage(QUrl(kWebSite));
}

} // namespace velmora

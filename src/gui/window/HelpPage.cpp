#include "gui/window/HelpPage.h"

#include "core/settings/Settings.h"
#include "gui/controls/WidgetKit.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora {

const QString HelpPage::kWebSite = QStringLiteral("https://velmora.dazuviz.example/");

namespace {

const QString kSupportPage = QStringLiteral("support.html");

} // namespace

HelpPage::HelpPage(QWidget* parent) : QWidget(parent) {
    setObjectName(latin1("helpPage"));
    auto* l = columnLayout(this, 4, 4);
    auto* version = named(new QLabel(latin1(kVersionLabel)), "versionLabel");
    version->setAlignment(Qt::AlignCenter);
    QFont big = version->font();
    big.setPixelSize(19);
    big.setBold(true);
    version->setFont(big);
    version->setStyleSheet(latin1("color: blue;"));
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
    QPushButton* web = pushButton("webSupportButton", "Web Support");
    grid->addWidget(web, i / 4, i % 4, 1, 2);
    connect(web, &QPushButton::clicked, this, &HelpPage::onWebSupportClicked);
    l->addWidget(topics);

    auto* siteBox = new QGroupBox(latin1("Click on the link below to visit our web site"));
    auto* siteLayout = columnLayout(siteBox);
    auto* site = named(new QPushButton(kWebSite), "webSiteLink");
    site->setFlat(true);
    site->setCursor(Qt::PointingHandCursor);
    site->setStyleSheet(latin1("color: green; font-weight: bold; text-decoration: underline;"
                               "border: none; text-align: left;"));
    connect(site, &QPushButton::clicked, this, &HelpPage::onWebSiteClicked);
    siteLayout->addWidget(site);
    l->addWidget(siteBox);
    l->addStretch(1);
}

void HelpPage::openDocument(const QUrl& url, const QString& failure) {
    if (!url.isValid() || !QDesktopServices::openUrl(url))
        QMessageBox::warning(window(), window()->windowTitle(), failure);
}

void HelpPage::onHelpTopicClicked(const QString& topic) {
    const QString dir = QCoreApplication::applicationDirPath();
    QUrl url;
    for (const QString& candidate :
         {dir + latin1("/../share/dazuviz-velmora/help.html"), dir + latin1("/help.html"),
          latin1(VELMORA_SOURCE_DIR "/docs/help.html")}) {
        if (QFileInfo::exists(candidate)) {
            url = QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath());
            url.setQuery(latin1("j=") + topic);
            url.setFragment(topic.toLower());
            break;
        }
    }
    openDocument(url, latin1("helpivx.hta not found."));
}

void HelpPage::onWebSupportClicked() {
    openDocument(QUrl(kWebSite + kSupportPage), latin1("Web browser not found."));
}

void HelpPage::onWebSiteClicked() {
    openDocument(QUrl(kWebSite), latin1("Web browser not found."));
}

} // namespace velmora

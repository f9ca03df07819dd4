#pragma once
// The Help page: the version, the help document opened at a topic in a window of the program,
// the report of what the network and the settings file do, and the product's web site and its
// support page.

#include "gui/controls/BuiltWhenShown.h"
#include <QStringList>

class QPlainTextEdit;
class QTextBrowser;
class QUrl;

namespace velmora {

class Core;
class PageHost;

class HelpPage : public BuiltWhenShown {
    Q_OBJECT
public:
    // The product's web site; "Web Support" opens its support page.
    static const QString kWebSite;

    HelpPage(PageHost& host, const Core& core, QWidget* parent = nullptr);

    // Where the help document is looked for, in this order; when none of them holds it, the
    // message names the first.
    void setHelpPlaces(const QStringList& places) { helpPlaces_ = places; }

    // The help window (one for every topic) shows the document at the topic's section.
    void onHelpTopicClicked(const QString& topic);
    // The network window shows the report as it stands at each click.
    void onNetworkClicked();
    void onWebSupportClicked();
    void onWebSiteClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build() override;
    // Opens a web page with the desktop's browser, or says that there is none.
    void openWebPage(const QUrl& url);
    void tell(const QString& text);

    PageHost& host_;
    const Core& core_;
    QStringList helpPlaces_;
    QTextBrowser* helpWindow_ = nullptr;      // made when it is first asked for
    QPlainTextEdit* networkWindow_ = nullptr; // likewise
};

} // namespace velmora

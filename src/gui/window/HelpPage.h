#pragma once
// The Help page: the version, the help document opened at a topic, and the product's web
// site and its support page.

#include <QWidget>

class QUrl;

namespace velmora {

class HelpPage : public QWidget {
    Q_OBJECT
public:
    // The product's web site; "Web Support" opens its support page.
    static const QString kWebSite;

    explicit HelpPage(QWidget* parent = nullptr);

    void onHelpTopicClicked(const QString& topic);
    void onWebSupportClicked();
    void onWebSiteClicked();

private:
    // Opens a document or page with the desktop's program for it, or says `failure`.
    void openDocument(const QUrl& url, const QString& failure);
};

} // namespace velmora

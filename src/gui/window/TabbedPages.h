#pragma once
// The tab set of the main window: a tab bar over a stack of pages, where some pages (the change
// page and the remark editor) have no tab and are shown only by the program. A tab can carry a
// mark for what waits unseen on its page: its caption in the link colour with a bar above it,
// and what waits in its tooltip.

#include <QList>
#include <QWidget>

class QHBoxLayout;
class QStackedWidget;
class QTabBar;

namespace velmora {

class TabbedPages : public QWidget {
    Q_OBJECT
public:
    explicit TabbedPages(QWidget* parent = nullptr);
    void addPage(QWidget* page, const QString& caption, bool hasTab = true);
    void setTabShown(QWidget* page, bool shown);
    bool tabShown(QWidget* page) const;
    void setCurrentPage(QWidget* page);
    QWidget* currentPage() const;
    // Marks the page's tab, with `mark` as its tooltip; an empty one takes the mark away.
    void setTabMark(QWidget* page, const QString& mark);
    QString tabMark(QWidget* page) const;
    QTabBar* tabBar() const { return tabBar_; }
    // Where the three status buttons sit, at the right end of the tab row.
    void setCornerWidget(QWidget* corner);

Q_SIGNALS:
    // Before the current page is left, then after the new one became current.
    void currentPageChanging(QWidget* from);
    void currentPageChanged(QWidget* page);

private:
    void syncTabs();
    void showTab(int index);
    void showMark(int index, const QString& mark);
    struct Page {
        QWidget* widget;
        QString caption;
        bool hasTab;
        bool shown;
        QString mark;
    };
    QList<Page> pages_;
    QTabBar* tabBar_;
    QStackedWidget* stack_;
    QHBoxLayout* top_ = nullptr;
    QWidget* corner_ = nullptr;
    bool syncing_ = false;
};

} // namespace velmora

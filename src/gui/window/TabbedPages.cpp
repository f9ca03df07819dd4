#include "gui/window/TabbedPages.h"

#include "gui/controls/WidgetKit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QProxyStyle>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace velmora {

namespace {

// A marked tab (its data says so) has its caption in the link colour and a bar of that colour
// along its top edge: neither changes the caption or the tab's width, so the tabs stay where the
// user knows them.
class MarkingTabBar : public QTabBar {
protected:
    void paintEvent(QPaintEvent* event) override {
        QTabBar::paintEvent(event);
        QPainter painter(this);
        for (int i = 0; i < count(); ++i) {
            const QRect tab = tabRect(i);
            if (tabData(i).toBool())
                painter.fillRect(tab.left() + 2, tab.top(), tab.width() - 4, 2,
                                 palette().color(QPalette::Link));
        }
    }
};

// Six tabs and three buttons share one narrow row: the tabs keep 5 pixels beside their caption
// and 2 above and below it.
class CompactTabs : public QProxyStyle {
public:
    explicit CompactTabs(QObject* owner) : QProxyStyle(QApplication::style()->name()) {
        setParent(owner);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) return 10;
        if (metric == PM_TabBarTabVSpace) return 4;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

TabbedPages::TabbedPages(QWidget* parent)
    : QWidget(parent), tabBar_(new MarkingTabBar), stack_(new QStackedWidget) {
    tabBar_->setObjectName(latin1("pageTabs"));
    tabBar_->setDrawBase(true);
    tabBar_->setExpanding(false);
    tabBar_->setFocusPolicy(Qt::TabFocus);
    tabBar_->setAttribute(Qt::WA_Hover); // highlights the tab under the mouse
    tabBar_->setStyle(new CompactTabs(tabBar_));
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
        showTab(index);
    });
    // On a page without a tab the tab bar still marks the tab of the page before it; a click on
    // that marked tab changes nothing in the bar, yet it asks for its page. Handled once the
    // press is over, since showing a page rebuilds the tabs.
    connect(tabBar_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0 || index != tabBar_->currentIndex()) return;
        QTimer::singleShot(0, this, [this, caption = tabBar_->tabText(index)] {
            for (const Page& p : pages_)
                if (p.hasTab && p.shown && p.caption == caption &&
                    stack_->currentWidget() != p.widget)
                    setCurrentPage(p.widget);
        });
    });
}

void TabbedPages::showTab(int index) {
    const QString caption = tabBar_->tabText(index);
    for (const Page& p : pages_)
        if (p.hasTab && p.shown && p.caption == caption) setCurrentPage(p.widget);
}

void TabbedPages::setCornerWidget(QWidget* corner) {
    corner_ = corner;
    top_->addWidget(corner, 0, Qt::AlignRight | Qt::AlignVCenter);
}

void TabbedPages::addPage(QWidget* page, const QString& caption, bool hasTab) {
    pages_.append({page, caption, hasTab, hasTab, QString()});
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

void TabbedPages::setTabMark(QWidget* page, const QString& mark) {
    for (Page& p : pages_) {
        if (p.widget != page || p.mark == mark) continue;
        p.mark = mark;
        // In place: rebuilding the tabs would upset a click on them that is under way.
        for (int i = 0; i < tabBar_->count(); ++i)
            if (p.hasTab && p.shown && tabBar_->tabText(i) == p.caption) showMark(i, mark);
    }
}

void TabbedPages::showMark(int index, const QString& mark) {
    tabBar_->setTabData(index, !mark.isEmpty());
    tabBar_->setTabTextColor(index, mark.isEmpty() ? QColor() : palette().color(QPalette::Link));
    tabBar_->setTabToolTip(index, mark);
}

QString TabbedPages::tabMark(QWidget* page) const {
    for (const Page& p : pages_)
        if (p.widget == page) return p.mark;
    return {};
}

QWidget* TabbedPages::currentPage() const {
    return stack_->currentWidget();
}

void TabbedPages::setCurrentPage(QWidget* page) {
    QWidget* from = stack_->currentWidget();
    if (from != page) Q_EMIT currentPageChanging(from);
    const bool focusLeaves = from && from != page && from->isAncestorOf(focusWidget());
    stack_->setCurrentWidget(page);
    // The focus that leaves with the old page goes where the new page takes it (its focus
    // proxy), rather than to the first of its controls that Tab reaches.
    if (focusLeaves && page->focusProxy()) page->setFocus();
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
        showMark(index, p.mark);
        if (p.widget == stack_->currentWidget()) tabBar_->setCurrentIndex(index);
    }
    syncing_ = false;
}

} // namespace velmora

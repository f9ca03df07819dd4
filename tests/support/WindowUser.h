#pragma once
// A harness window that the test drives only as a person does: the named control, the tab, the
// status list row or the list item is clicked where it shows, keys go to the focus widget.

#include "support/PersonInput.h"
#include "support/WindowHarness.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <gtest/gtest.h>

namespace velmora::test {

struct WindowUser : WindowHarness {
    explicit WindowUser(const QByteArray& settings = {}, const QByteArray& defaults = {})
        : WindowHarness(settings, defaults), input(*window) {}

    // A left click on the control; on a check box, on its box, which is what takes the click.
    void click(const char* name) { click(find<QWidget>(name)); }
    void click(QWidget* control) {
        QPoint at(-1, -1);
        if (auto* box = qobject_cast<QCheckBox*>(control)) {
            QStyleOptionButton option;
            option.initFrom(box);
            at = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
        }
        input.click(control, Qt::LeftButton, {}, at);
    }
    void tab(const char* caption) {
        QTabBar* bar = window->pages().tabBar();
        for (int i = 0; i < bar->count(); ++i)
            if (bar->tabText(i) == QLatin1String(caption))
                return input.click(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
        ADD_FAILURE() << "no tab " << caption;
    }
    // Looks at the page of tab `caption` and goes back to the page shown before: a page makes
    // its controls when it is first shown.
    WindowUser& glance(const char* caption) {
        QTabBar* bar = window->pages().tabBar();
        const QByteArray back = bar->tabText(bar->currentIndex()).toLatin1();
        tab(caption);
        tab(back.constData());
        return *this;
    }
    // A click on the status list row that shows `address`; below the last row for none.
    void row(const QByteArray& address, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = {}) {
        StatusListView& list = window->statusList();
        QPoint at(5, list.viewport()->height() - 3);
        const Roster& roster = window->core().roster();
        for (int r = 0; r < roster.displayOrder().size() && !address.isEmpty(); ++r)
            if (roster.entries()[roster.displayOrder()[r].position].startsWith(address + '='))
                at = list.visualRect(list.model()->index(r, 0)).center();
        input.click(list.viewport(), button, modifiers, at);
    }
    // A click on an item of a list or of an opened drop-down list, or on a menu's entry.
    void click(QAbstractItemView* view, int item) {
        const QRect shown = view->visualRect(view->model()->index(item, 0));
        input.click(view->viewport(), Qt::LeftButton, {}, shown.center());
    }
    void click(QMenu* menu, QAction* item) {
        input.click(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }
    // Opens the drop-down and clicks the item `text` in its list.
    void choose(const char* name, const QString& text) {
        auto* box = find<QComboBox>(name);
        click(box);
        ASSERT_TRUE(box->view()->isVisible()) << name;
        // A person takes a moment to reach the item; the list ignores a release sooner than
        // that, which it takes for the end of the click that opened it.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        click(box->view(), box->findText(text));
    }
    // The text of the control that has the focus, all of it replaced by typing.
    void retype(const QString& text) {
        input.key(Qt::Key_A, Qt::ControlModifier);
        input.type(text);
    }

    PersonInput input;
};

} // namespace velmora::test

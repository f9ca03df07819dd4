// Entering the Compose page ends an unfinished edit of the display name: the name field's
// edited mark is cleared, so that leaving the field later commits nothing.

#include "support/WindowHarness.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::WindowHarness;

TEST(ComposeEnter, FocusEnteringTheComposePageClearsTheNameEditedMark) {
    WindowHarness h;
    MainWindow& window = *h.window;
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* msgOut = h.find<QPlainTextEdit>("composeBox");
    auto* erase = h.find<QPushButton>("eraseComposeButton");
    ASSERT_TRUE(msgOut && erase);

    // Focus moving within the page is no entry: the mark stays.
    window.showPage(window.page("composePage"));
    msgOut->setFocus();
    QCoreApplication::processEvents();
    window.optionsPage().setNameEdited(true);
    erase->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.optionsPage().nameEdited());

    // Focus coming from another page clears it.
    window.showPage(window.page("messagesPage"));
    h.find<QPushButton>("previousButton")->setFocus();
    QCoreApplication::processEvents();
    window.optionsPage().setNameEdited(true);
    window.showPage(window.page("composePage"));
    msgOut->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.optionsPage().nameEdited());
}

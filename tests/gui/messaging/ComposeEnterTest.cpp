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
    MainWindow& form = *h.form;
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto* msgOut = h.find<QPlainTextEdit>("composeBox");
    auto* erase = h.find<QPushButton>("eraseComposeButton");
    ASSERT_TRUE(msgOut && erase);

    // Focus moving within the page is no entry: the mark stays.
    form.showPage(form.page("composePage"));
    msgOut->setFocus();
    QCoreApplication::processEvents();
    form.optionsPage().setNameEdited(true);
    erase->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.optionsPage().nameEdited());

    // Focus coming from another page clears it.
    form.showPage(form.page("messagesPage"));
    h.find<QPushButton>("previousButton")->setFocus();
    QCoreApplication::processEvents();
    form.optionsPage().setNameEdited(true);
    form.showPage(form.page("composePage"));
    msgOut->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.optionsPage().nameEdited());
}

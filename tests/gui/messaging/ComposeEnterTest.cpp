// Entering the Compose page ends an unfinished edit of the display name: the name field's
// edited mark is cleared, so that leaving the field later commits nothing.

#include "support/WindowHarness.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::FormHarness;

TEST(ComposeEnter, FocusEnteringTheComposePageClearsTheNameEditedMark) {
    FormHarness h;
    TForm1& form = *h.form;
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto* msgOut = h.Find<QPlainTextEdit>("MsgOut");
    auto* erase = h.Find<QPushButton>("ComposeClear1");
    ASSERT_TRUE(msgOut && erase);

    // Focus moving within the page is no entry: the mark stays.
    form.SelectTab(form.Page("Compose"));
    msgOut->setFocus();
    QCoreApplication::processEvents();
    form.SetNameEdited(true);
    erase->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.NameEdited());

    // Focus coming from another page clears it.
    form.SelectTab(form.Page("msgs"));
    h.Find<QPushButton>("BitBtn2")->setFocus();
    QCoreApplication::processEvents();
    form.SetNameEdited(true);
    form.SelectTab(form.Page("Compose"));
    msgOut->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.NameEdited());
}

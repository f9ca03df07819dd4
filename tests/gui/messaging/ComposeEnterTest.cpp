// Entering the Compose page ends an unfinished edit of the display name: the name field's
// edited mark is cleared, so that leaving the field later commits nothing.

#include "support/WindowUser.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::WindowUser;

TEST(ComposeEnter, FocusEnteringTheComposePageClearsTheNameEditedMark) {
    WindowUser h;
    MainWindow& window = *h.window;
    // With a recipient the page puts the focus into the compose box when it is shown.
    window.core().dispatchDatagram("agAnn\xF7 In", "10.0.0.7");
    h.row("10.0.0.7");
    ASSERT_EQ(QApplication::focusWidget(), h.find<QPlainTextEdit>("composeBox"));

    // Focus moving within the page is no entry: the mark stays. Typing in the name field sets
    // the mark and leaving the field clears it again, so the mark is arranged as it stands
    // while an edit is open.
    window.optionsPage().setNameEdited(true);
    h.click("eraseComposeButton");
    EXPECT_TRUE(window.optionsPage().nameEdited());

    // Focus coming from another page clears it.
    h.tab("Messages");
    h.click("previousButton");
    window.optionsPage().setNameEdited(true);
    h.tab("Compose");
    EXPECT_EQ(QApplication::focusWidget(), h.find<QWidget>("composeBox"));
    EXPECT_FALSE(window.optionsPage().nameEdited());
}

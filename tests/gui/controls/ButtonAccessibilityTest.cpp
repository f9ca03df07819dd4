// The painted buttons as a screen reader finds them: push buttons named by their captions,
// pressed through their press action.

#include "gui/controls/AquaButton.h"
#include "gui/controls/ColorButton.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <gtest/gtest.h>
#include <memory>

namespace velmora {
namespace {

TEST(ButtonAccessibility, CaptionIsTheNameAndThePressActionClicks) {
    int clicks = 0;
    auto colour = std::make_unique<ColorButton>();
    colour->onclick = [&](ColorButton*) { ++clicks; };
    colour->setLatching(true);
    auto aqua = std::make_unique<AquaButton>();
    aqua->onclick = [&](AquaButton*) { ++clicks; };
    auto idle = std::make_unique<AquaButton>();
    idle->onclick = [&](AquaButton*) { ++clicks; };
    idle->setClickable(false);
    colour->setCaption(QStringLiteral("Busy"));
    aqua->setCaption(QStringLiteral(">>"));
    idle->setCaption(QStringLiteral("Fish & Chips"));

    const struct {
        QWidget* button;
        const char* name;
        bool disabled;
        int clicksAfterPress;
    } table[] = {
        {colour.get(), "Busy", false, 1},
        {aqua.get(), ">>", false, 2},
        {idle.get(), "Fish & Chips", true, 2}, // shown with its "&", so said with it too
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(row.button);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), QAccessible::PushButton);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(row.name));
        EXPECT_EQ(bool(face->state().disabled), row.disabled);
        ASSERT_NE(face->actionInterface(), nullptr);
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(clicks, row.clicksAfterPress);
    }
    // The latching button went down as a click puts it down.
    EXPECT_TRUE(colour->down());
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(colour.get())->state().checked);
}

} // namespace
} // namespace velmora

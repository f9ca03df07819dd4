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
    QObject::connect(colour.get(), &ColorButton::clicked, [&] { ++clicks; });
    auto aqua = std::make_unique<AquaButton>();
    QObject::connect(aqua.get(), &AquaButton::clicked, [&] { ++clicks; });
    auto fish = std::make_unique<AquaButton>();
    QObject::connect(fish.get(), &AquaButton::clicked, [&] { ++clicks; });
    colour->setCaption(QStringLiteral("Busy"));
    aqua->setCaption(QStringLiteral(">>"));
    fish->setCaption(QStringLiteral("Fish & Chips"));

    const struct {
        QWidget* button;
        const char* name;
        int clicksAfterPress;
    } table[] = {
        {colour.get(), "Busy", 1},
        {aqua.get(), ">>", 2},
        {fish.get(), "Fish & Chips", 3}, // shown with its "&", so said with it too
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(row.button);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), QAccessible::PushButton);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(row.name));
        EXPECT_FALSE(face->state().disabled);
        ASSERT_NE(face->actionInterface(), nullptr);
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(clicks, row.clicksAfterPress);
    }
}

} // namespace
} // namespace velmora

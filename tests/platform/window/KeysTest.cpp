// The key table: what each key reaches the handlers as, through the window system's events.
#include "platform/window/Keys.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/window/Application.h"
#include "platform/window/Form.h"
#include "platform/window/TestInput.h"

using platform::TestInput;

namespace {

class KeyForm : public platform::Form {
  public:
    std::vector<std::pair<int, platform::ShiftState>> downs;
    std::vector<int> ups;

  protected:
    void FormKeyDown(int key, platform::ShiftState shift) override {
        downs.push_back({key, shift});
    }
    void FormKeyUp(int key, platform::ShiftState) override { ups.push_back(key); }
};

int typed(const char* name) {
    KeyForm form;
    form.show();
    EXPECT_TRUE(TestInput::keyDown(form, name)) << name;
    platform::Application::instance().processMessages();
    return form.downs.empty() ? -1 : form.downs.back().first;
}

}  // namespace

TEST(Keys, ProgramKeysReachTheHandlersAsVirtualKeys) {
    EXPECT_EQ(typed("Space"), 0x20);
    EXPECT_EQ(typed("Return"), 0x0D);
    EXPECT_EQ(typed("Keypad Enter"), 0x0D);
    EXPECT_EQ(typed("Escape"), 0x1B);
    EXPECT_EQ(typed("0"), 0x30);
    EXPECT_EQ(typed("9"), 0x39);
    EXPECT_EQ(typed("Keypad 0"), 0x60);
    EXPECT_EQ(typed("Keypad 1"), 0x61);
    EXPECT_EQ(typed("Keypad 9"), 0x69);
    EXPECT_EQ(typed("Keypad +"), 0x6B);
    EXPECT_EQ(typed("="), 0xBB);
    EXPECT_EQ(typed("Keypad -"), 0x6D);
    EXPECT_EQ(typed("-"), 0xBD);
    EXPECT_EQ(typed("A"), 0x41);
    EXPECT_EQ(typed("Z"), 0x5A);
    EXPECT_EQ(typed("Left"), 0x25);
    EXPECT_EQ(typed("Up"), 0x26);
    EXPECT_EQ(typed("Right"), 0x27);
    EXPECT_EQ(typed("Down"), 0x28);
    EXPECT_EQ(typed("F1"), 0x70);
    EXPECT_EQ(typed("F12"), 0x7B);
}

TEST(Keys, KeypadDigitsAreDigitsOnlyWithNumLockOn) {
    const auto withoutNumLock = [](const char* name) {
        KeyForm form;
        form.show();
        EXPECT_TRUE(TestInput::keyDown(form, name, platform::shift::none, false)) << name;
        platform::Application::instance().processMessages();
        return form.downs.empty() ? -1 : form.downs.back().first;
    };
    EXPECT_EQ(withoutNumLock("Keypad 0"), 0x2D);  // Insert
    EXPECT_EQ(withoutNumLock("Keypad 1"), 0x23);  // End
    EXPECT_EQ(withoutNumLock("Keypad 2"), 0x28);  // Down
    EXPECT_EQ(withoutNumLock("Keypad 3"), 0x22);  // Page Down
    EXPECT_EQ(withoutNumLock("Keypad 5"), 0x0C);  // Clear
    EXPECT_EQ(withoutNumLock("Keypad 7"), 0x24);  // Home
    EXPECT_EQ(withoutNumLock("Keypad 9"), 0x21);  // Page Up
    EXPECT_EQ(withoutNumLock("Keypad ."), 0x2E);  // Delete
    // The keys that have no second meaning stay what they are.
    EXPECT_EQ(withoutNumLock("Keypad +"), 0x6B);
    EXPECT_EQ(withoutNumLock("Keypad Enter"), 0x0D);
    EXPECT_EQ(withoutNumLock("3"), 0x33);
    EXPECT_EQ(typed("Keypad 3"), 0x63);
    EXPECT_EQ(typed("Keypad ."), 0x6E);
}

TEST(Keys, TheKeyThatTypesPlusOnAnyLayoutIsThePlusKey) {
    KeyForm form;
    form.show();
    TestInput::keyDownCharacter(form, '+');
    platform::Application::instance().processMessages();
    ASSERT_EQ(form.downs.size(), 1u);
    EXPECT_EQ(form.downs[0].first, 0xBB);
}

TEST(Keys, UnknownKeysStillArriveAsZeroAndShiftStateIsPassed) {
    KeyForm form;
    form.show();
    TestInput::keyDown(form, "Menu");
    TestInput::keyDown(form, "A", platform::shift::shiftKey | platform::shift::ctrl);
    TestInput::keyUp(form, "A");
    platform::Application::instance().processMessages();
    ASSERT_EQ(form.downs.size(), 2u);
    EXPECT_EQ(form.downs[0].first, 0);
    EXPECT_EQ(form.downs[1].second, platform::shift::shiftKey | platform::shift::ctrl);
    EXPECT_EQ(form.ups, std::vector<int>{0x41});
}

// The Practice window: opened from the menu, its buttons and toggles, and its status line.
#include "app/TFpractice.h"

#include "platform/window/Application.h"
#include "platform/window/TestInput.h"
#include "tests/app/MainWindowFixture.h"

namespace {

class TFpracticeTest : public MainWindowFixture {
  protected:
    TFpractice& open() {
        form->runMenuCommand(2);
        EXPECT_NE(form->practiceWindow(), nullptr);
        return *form->practiceWindow();
    }
    // A press and release at a client point of the window, handled as the main loop would.
    void click(TFpractice& window, int x, int y) {
        platform::TestInput::mouseDown(window, platform::MouseButton::left, x, y);
        platform::TestInput::mouseUp(window, platform::MouseButton::left, x, y);
        platform::Application::instance().processMessages();
    }
};

// Rows are 28 pixels apart from y 42; "<" lies at x 226, ">" 27 pixels right of it, and a
// toggle across both.
TEST_F(TFpracticeTest, ButtonsStepTheValuesAndTheTogglesSwitchWhilePlaying) {
    TFpractice& window = open();
    start();
    click(window, 260, 42 + 10);  // subdivision up
    EXPECT_EQ(m().subdivision, 2);
    EXPECT_TRUE(m().rebuild);
    click(window, 240, 42 + 28 + 10);  // the trainer
    EXPECT_TRUE(m().trainer);
    for (int i = 0; i < 6; i++)
        click(window, 235, 42 + 2 * 28 + 10);  // the step down, past 0
    EXPECT_EQ(m().trainerStep, -2);
    click(window, 260, 42 + 7 * 28 + 10);  // mute bars up
    EXPECT_EQ(m().muteBars, 2);
    EXPECT_EQ(window.trainerState(), "Trainer holds 120 BPM") << "a step away from the target";
    for (int i = 0; i < 3; i++)
        click(window, 260, 42 + 2 * 28 + 10);
    EXPECT_EQ(m().trainerStep, 2);
    EXPECT_EQ(window.trainerState(), "Trainer at 120 BPM, on to 160");
    form->stepTempo(true);
    EXPECT_FALSE(m().trainer);
    EXPECT_EQ(window.trainerState(), "Trainer ended: the tempo was set by hand");
    click(window, 240, 42 + 28 + 10);
    EXPECT_EQ(window.trainerState(), "Trainer at 121 BPM, on to 160") << "on again, afresh";
}

}  // namespace

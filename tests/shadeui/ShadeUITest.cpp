// ShadeUI: the frame and title bar, the builder, and mouse routing through a real window.
#include "shadeui/ShadeUI.h"

#include <gtest/gtest.h>

#include <vector>

#include "ShadeTestSupport.h"
#include "graphics/Drawing.h"
#include "platform/window/Application.h"
#include "platform/window/Form.h"
#include "platform/window/TestInput.h"

using platform::Application;
using platform::MouseButton;
using platform::Rect;
using platform::TestInput;

namespace {

bool sameRect(const Rect& a, const Rect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// A borderless window whose mouse handlers hand everything to its container, as the program's
// windows do.
class HostForm : public platform::Form {
  public:
    explicit HostForm(ShadeUI& container, platform::FormStyle style = platform::FormStyle::normal)
        : Form(style), ui(container) {}

  protected:
    void FormPaint() override { ui.repaint(); }
    void FormMouseDown(MouseButton, platform::ShiftState, int, int) override { ui.mouseDown(); }
    void FormMouseMove(platform::ShiftState, int, int) override { ui.mouseMove(); }
    void FormMouseUp(MouseButton, platform::ShiftState, int, int) override { ui.mouseUp(); }
    void FormMouseWheel(platform::ShiftState, int steps, int, int) override {
        ui.mouseWheel(steps);
    }

  private:
    ShadeUI& ui;
};

class ShadeUITest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(app.startVideo());
        dark = false;
        capturedFader = nullptr;
        idleHook = nullptr;
        menuPositionHook = nullptr;
        shadeDialogHook = nullptr;
        form.setClientSize(389, 305);
        form.setPosition(100, 50);
        form.show();
        app.processMessages();
    }
    void TearDown() override {
        menuPositionHook = nullptr;
        shadeDialogHook = nullptr;
        idleHook = nullptr;
    }
    void attachMain() { ui.attachToWindow(&form, "Brevant", false, true); }
    void press(int x, int y) {
        TestInput::mouseDown(form, MouseButton::left, x, y);
        app.processMessages();
    }
    void move(int x, int y) {
        TestInput::mouseMove(form, x, y);
        app.processMessages();
    }
    void release(int x, int y) {
        TestInput::mouseUp(form, MouseButton::left, x, y);
        app.processMessages();
    }

    Application& app = Application::instance();
    ShadeUI ui;
    HostForm form{ui};
};

}  // namespace

TEST_F(ShadeUITest, MainWindowFrameHasGripMinimizeCloseAndDragZone) {
    int idleCalls = 0;
    idleHook = [&] { ++idleCalls; };
    attachMain();
    EXPECT_EQ(idleCalls, 4);
    EXPECT_EQ(form.colour(), 0xE0E0E0);
    ASSERT_EQ(ui.gripRects.top, 0);
    EXPECT_TRUE(sameRect(ui.gripRects.items[0], {10, 4, 29, 23}));
    EXPECT_TRUE(sameRect(ui.minimizeRect, {344, 4, 360, 23}));
    EXPECT_TRUE(sameRect(ui.closeRect, {361, 4, 377, 23}));
    EXPECT_EQ(ui.raster.width, 389);
    EXPECT_EQ(ui.raster.height, 305);
    // The drag zone runs from 37 to 336, above row 33.
    EXPECT_FALSE(ui.inDragZone(36, 20));
    EXPECT_TRUE(ui.inDragZone(37, 20));
    EXPECT_TRUE(ui.inDragZone(336, 32));
    EXPECT_FALSE(ui.inDragZone(337, 20));
    EXPECT_FALSE(ui.inDragZone(200, 33));
}

TEST_F(ShadeUITest, SmallTitleBarWithCloseHasNoGripAndDragsFrom7) {
    ui.attachToWindow(&form, "", true, true);
    ASSERT_EQ(ui.gripRects.top, 0);
    EXPECT_TRUE(sameRect(ui.gripRects.items[0], absentRect));
    EXPECT_TRUE(sameRect(ui.minimizeRect, absentRect));
    EXPECT_TRUE(sameRect(ui.closeRect, {361, 4, 377, 23}));
    EXPECT_FALSE(ui.inDragZone(6, 10));
    EXPECT_TRUE(ui.inDragZone(7, 10));
    EXPECT_TRUE(ui.inDragZone(353, 10));
    EXPECT_FALSE(ui.inDragZone(354, 10));
}

TEST_F(ShadeUITest, FramePixelsShowBordersTitleShadingAndBottomBand) {
    attachMain();
    const Limage& r = ui.raster;
    EXPECT_EQ(pixelAt(r, 0, 150), scaleColour(0xC8C8C8, 1.1f));
    EXPECT_EQ(pixelAt(r, 3, 150), 0xC8C8C8);
    EXPECT_EQ(pixelAt(r, 6, 150), scaleColour(0xC8C8C8, 0.9f));
    EXPECT_EQ(pixelAt(r, 7, 150), 0xCECECE);
    EXPECT_EQ(pixelAt(r, 385, 150), 0xC8C8C8);
    EXPECT_EQ(pixelAt(r, 388, 150), scaleColour(0xC8C8C8, 0.9f));
    EXPECT_EQ(pixelAt(r, 200, 150), 0xE0E0E0);
    // The title bar is brightened by 0x14 above its last eight rows, the top row once more.
    EXPECT_EQ(pixelAt(r, 60, 10), 0xF4F4F4);
    EXPECT_EQ(pixelAt(r, 60, 31), 0xE2E2E2);    // the fade's last row keeps 0x14 / 8
    EXPECT_GT(pixelAt(r, 60, 0) & 0xFF, 0xF4);  // the top edge is brightened once more
    // The grip lines and the minimize glyph in the text colour, brightened with the bar.
    EXPECT_EQ(pixelAt(r, 16, 9), 0x5C5C5C);
    EXPECT_EQ(pixelAt(r, 26, 9), 0xF4F4F4);  // the line's end point is not drawn
    EXPECT_EQ(pixelAt(r, 349, 16), 0x5C5C5C);
    // The bottom band darkens by 0x14 below its first eight rows, the last row once more.
    EXPECT_EQ(pixelAt(r, 200, 241), 0xE0E0E0);
    EXPECT_EQ(pixelAt(r, 200, 260), 0xCCCCCC);
    EXPECT_EQ(pixelAt(r, 200, 304), 0xB8B8B8);
}

TEST_F(ShadeUITest, RepaintShowsTheRasterOnTheWindow) {
    attachMain();
    ui.repaint();
    EXPECT_EQ(TestInput::windowPixel(form, 60, 10), 0xF4F4F4);
    EXPECT_EQ(TestInput::windowPixel(form, 200, 304), 0xB8B8B8);
}

TEST_F(ShadeUITest, LabelBeforeBeginControlsIsNotDrawn) {
    attachMain();
    const Limage before(ui.raster);
    ui.setX(40).setY(100).addLabel("Tempo").addButton("Play", 5);
    EXPECT_TRUE(samePixels(before, ui.raster));
    EXPECT_EQ(ui.buttons.top, -1);
    ui.beginControls(nullptr, nullptr).addLabel("Tempo");
    EXPECT_FALSE(samePixels(before, ui.raster));
}

TEST_F(ShadeUITest, GripPressAtItsCornersOpensTheMenuUnderTheGrip) {
    attachMain();
    int menus = 0;
    std::vector<std::pair<int, int>> positions;
    menuPositionHook = [&](int x, int y) { positions.push_back({x, y}); };
    ui.beginControls(nullptr, [&] { ++menus; });
    press(10, 4);
    release(10, 4);
    press(29, 23);
    release(29, 23);
    press(30, 23);
    EXPECT_EQ(menus, 2);
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(positions[0], std::make_pair(110, 73));
    EXPECT_EQ(positions[1], std::make_pair(110, 73));
    EXPECT_FALSE(ui.dragging);
}

TEST_F(ShadeUITest, MinimizeAndCloseAreasSetTheirRequestsWithoutDragging) {
    attachMain();
    press(330, 10);  // still the drag zone, 8 pixels before the minimize area
    EXPECT_TRUE(ui.dragging);
    release(330, 10);
    press(344, 4);
    EXPECT_TRUE(ui.minimizeRequested);
    EXPECT_FALSE(ui.closeRequested);
    EXPECT_FALSE(ui.dragging);
    release(344, 4);
    press(377, 23);
    EXPECT_TRUE(ui.closeRequested);
}

TEST_F(ShadeUITest, DraggingTheTitleBarMovesTheWindowWithTheCursor) {
    attachMain();
    move(200, 100);
    EXPECT_EQ(form.cursor(), platform::CursorShape::standard);
    move(200, 10);  // over the drag zone the cursor shows the move shape
    EXPECT_EQ(form.cursor(), platform::CursorShape::sizeAll);
    press(100, 10);  // the cursor is at (200, 60) on the screen
    move(130, 15);   // (230, 65)
    EXPECT_EQ(form.left(), 130);
    EXPECT_EQ(form.top(), 55);
    move(100, 10);  // the window moved: client (100, 10) is (230, 65) again, no change
    EXPECT_EQ(form.left(), 130);
    release(100, 10);
    EXPECT_FALSE(ui.dragging);
    move(120, 10);
    EXPECT_EQ(form.left(), 130);
}

TEST_F(ShadeUITest, PlainButtonReportsItsIdOnPressAndReleaseOnlyRedraws) {
    attachMain();
    int changes = 0;
    ui.beginControls([&] { ++changes; }, nullptr).setX(40).setY(100).setWidth(50);
    ui.addButton("Go", 7);
    press(45, 105);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(ui.buttonClicked());
    EXPECT_EQ(ui.clickedId(), 7);
    EXPECT_EQ(currentContainer, &ui);
    EXPECT_TRUE(ui.buttons.items[0].pressed);
    release(45, 105);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(ui.buttons.items[0].pressed);
    press(200, 200);  // a miss clears the last hit
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ui.clickedId(), -1);
    EXPECT_FALSE(ui.buttonClicked());
}

TEST_F(ShadeUITest, PressingOneRadioButtonRedrawsTheOther) {
    attachMain();
    int choice = 0;
    ui.beginControls(nullptr, nullptr).setX(40).setY(100).setWidth(30);
    ui.addButton("1", -1).advanceX(10).addButton("2", -1);
    RecordingCanvas window;
    for (int i = 0; i <= 1; ++i) {
        ui.buttons.items[i].radioVar = &choice;
        ui.buttons.items[i].radioValue = i;
        ui.buttons.items[i].windowCanvas = &window;
    }
    press(85, 105);  // the second button
    EXPECT_EQ(choice, 1);
    EXPECT_EQ(ui.changedVariable(), &choice);
    EXPECT_FALSE(ui.buttonClicked());
    ASSERT_EQ(window.clips.size(), 2u);  // the pressed one, then the other one
    EXPECT_TRUE(sameRect(window.clips[0], {80, 100, 111, 123}));
    EXPECT_TRUE(sameRect(window.clips[1], {40, 100, 71, 123}));
}

TEST_F(ShadeUITest, PressedFaderKeepsChangingWhereverTheMouseGoesUntilRelease) {
    attachMain();
    double value = 0.5;
    int changes = 0;
    ui.beginControls([&] { ++changes; }, nullptr).setX(40).setY(60).setHeight(100);
    ui.addFader("Tempo", &value, 0, 9, -1);
    const ShadeFader& fader = ui.faders.items[0];
    const int knobY = fader.knobCentreY(0.5);
    press(56, knobY);  // on the knob: grabbed where it is
    EXPECT_EQ(capturedFader, &fader);
    EXPECT_EQ(value, 0.5);
    EXPECT_EQ(changes, 0);
    move(300, knobY - 20);  // far outside the fader
    EXPECT_GT(value, 0.5);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ui.changedVariable(), &value);
    move(5, knobY + 300);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(changes, 2);
    release(5, knobY + 300);
    EXPECT_EQ(capturedFader, nullptr);
    move(56, knobY);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(changes, 2);
}

// The wheel changes the fader under the pointer by that fader's step and reports it as a drag
// would, marked as the wheel's; over anything else it reports nothing.
TEST_F(ShadeUITest, WheelOverAFaderReportsTheChangeAndElsewhereNothing) {
    attachMain();
    double tempo = 0.4, volume = 0.5;
    std::vector<std::pair<void*, bool>> reports;
    ui.beginControls([&] { reports.push_back({ui.changedVariable(), ui.wheelTurned()}); }, nullptr);
    ui.setX(40).setY(60).setHeight(100).addFader("Tempo", &tempo, 0, 10, -1, 0.005);
    ui.advanceX(19).addFader("Volume", &volume, 0, 10, -1, 0.02);
    const platform::Rect t = ui.faders.items[0].rect, v = ui.faders.items[1].rect;
    TestInput::mouseWheel(form, 2, t.Left + 5, t.Bottom - 5);
    TestInput::mouseWheel(form, -1, v.Right, v.Top + 16);
    TestInput::mouseWheel(form, 3, 200, 100);                // beside the faders
    TestInput::mouseWheel(form, 3, v.Left + 5, v.Top + 15);  // the caption band
    app.processMessages();
    EXPECT_DOUBLE_EQ(tempo, 0.41);
    EXPECT_DOUBLE_EQ(volume, 0.48);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], std::make_pair(static_cast<void*>(&tempo), true));
    EXPECT_EQ(reports[1], std::make_pair(static_cast<void*>(&volume), true));
    // A drag after the wheel is a drag again.
    press(t.Left + 5, ui.faders.items[0].knobCentreY(tempo) - 30);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_FALSE(reports[2].second);
    EXPECT_EQ(capturedFader, &ui.faders.items[0]);
}

TEST_F(ShadeUITest, PressWhileThePopupMenuShowsOnlyClosesIt) {
    attachMain();
    bool on = false;
    ui.beginControls(nullptr, nullptr).setX(40).setY(100).setWidth(71).addToggle("X", &on);
    platform::Form menu(platform::FormStyle::popup);
    menu.show();
    ui.mouseDown();  // as a press that reached the window would
    EXPECT_FALSE(menu.visible());
    EXPECT_FALSE(on);
    EXPECT_FALSE(ui.dragging);
}

TEST_F(ShadeUITest, CloseOnButtonClosesTheCurrentContainerOnDialogIds) {
    attachMain();
    ui.beginControls(ShadeUI::closeOnButton, nullptr).setX(40).setY(100).setWidth(50);
    ui.addButton("OK", 3).advanceX(5).addButton("Yes", 2);
    press(45, 105);
    EXPECT_FALSE(ui.closeRequested);  // id 3 is not a closing id
    release(45, 105);
    press(100, 105);
    EXPECT_TRUE(ui.closeRequested);
}

TEST_F(ShadeUITest, DialogTakesItsTitleFromALeadingTitleLine) {
    attachMain();
    AnsiString shownTitle;
    int shownLines = -1;
    bool cancelShown = false;
    shadeDialogHook = [&](ShadeUI& owner, const AnsiString& title, const Llist<AnsiString>& lines,
                          bool withCancel, bool) {
        EXPECT_EQ(&owner, &ui);
        cancelShown = withCancel;
        shownTitle = title;
        shownLines = lines.top + 1;
        return 2;
    };
    Llist<AnsiString> lines;
    lines.add("title:Hot Keys").add("SPACE  start / stop");
    EXPECT_EQ(ui.showShadeDialog(lines, true, false), 2);
    EXPECT_EQ(shownTitle, "Hot Keys");
    EXPECT_EQ(shownLines, 1);
    EXPECT_TRUE(cancelShown);
    EXPECT_EQ(lines.top, 1);  // the caller's list is left as it was
    Llist<AnsiString> plain;
    plain.add("Subtitle: none");
    ui.showShadeDialog(plain, false, false);
    EXPECT_EQ(shownTitle, "");
    EXPECT_EQ(shownLines, 1);
    shadeDialogHook = nullptr;
    EXPECT_EQ(ui.showShadeDialog(plain, false, false), -1);
}

// Form and Application: event routing, modal and popup input, closing, the window canvas.
#include "platform/window/Form.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <csignal>
#include <cstdint>
#include <thread>

#include <unistd.h>

#include "platform/system/Clock.h"
#include "platform/system/QuitSignals.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/DisplayScale.h"
#include "platform/window/FormCanvas.h"
#include "platform/window/Screen.h"
#include "platform/window/TestInput.h"

using platform::Application;
using platform::Form;
using platform::MouseButton;
using platform::ShiftState;
using platform::TestInput;

namespace {

// A form that writes down every handler call.
class RecordingForm : public Form {
  public:
    using Form::Form;
    std::vector<std::string> calls;
    std::vector<int> keys;
    ShiftState lastShift = 0;
    int lastX = -1, lastY = -1;
    int lastSteps = 0;
    MouseButton lastButton = MouseButton::middle;
    int paints = 0;
    int refuseCloses = 0;  // how many close queries to refuse before allowing
    int closeQueries = 0;

  protected:
    void FormShow() override { calls.push_back("show"); }
    void FormPaint() override {
        ++paints;
        Form::FormPaint();
    }
    void FormKeyDown(int key, ShiftState shift) override {
        keys.push_back(key);
        lastShift = shift;
        calls.push_back("keydown");
    }
    void FormKeyUp(int, ShiftState) override { calls.push_back("keyup"); }
    void FormMouseDown(MouseButton button, ShiftState shift, int x, int y) override {
        note("down", shift, x, y);
        lastButton = button;
    }
    void FormMouseMove(ShiftState shift, int x, int y) override { note("move", shift, x, y); }
    void FormMouseWheel(ShiftState shift, int steps, int x, int y) override {
        note("wheel", shift, x, y);
        lastSteps = steps;
    }
    void FormMouseUp(MouseButton button, ShiftState shift, int x, int y) override {
        note("up", shift, x, y);
        lastButton = button;
    }
    void FormCloseQuery(bool& canClose) override {
        ++closeQueries;
        calls.push_back("closequery");
        if (refuseCloses > 0) {
            --refuseCloses;
            canClose = false;
        }
    }
    void FormDeactivate() override { calls.push_back("deactivate"); }

  private:
    void note(const char* what, ShiftState shift, int x, int y) {
        calls.push_back(what);
        lastShift = shift;
        lastX = x;
        lastY = y;
    }
};

class FormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(app.startVideo());
        app.processMessages();  // nothing left over from an earlier test
    }
    Application& app = Application::instance();
};

}  // namespace

TEST_F(FormTest, ShowRunsFormShowOnceAndPaintsFromMessageProcessing) {
    RecordingForm form;
    form.show();
    form.show();
    EXPECT_EQ(form.calls, std::vector<std::string>{"show"});
    EXPECT_EQ(form.paints, 0);
    app.processMessages();
    EXPECT_EQ(form.paints, 1);
    TestInput::expose(form);
    TestInput::expose(form);
    form.invalidate();
    app.processMessages();
    EXPECT_EQ(form.paints, 2);  // requests coalesce into one paint
    form.hide();
    form.invalidate();
    app.processMessages();
    EXPECT_EQ(form.paints, 2);  // a hidden form is not painted
}

TEST_F(FormTest, MouseEventsReachTheFormWithClientCoordinatesAndHeldButtons) {
    RecordingForm form;
    form.setClientSize(200, 100);
    form.setPosition(300, 200);
    form.show();
    TestInput::mouseDown(form, MouseButton::right, 12, 34);
    app.processMessages();
    EXPECT_EQ(form.lastButton, MouseButton::right);
    EXPECT_EQ(form.lastX, 12);
    EXPECT_EQ(form.lastY, 34);
    EXPECT_TRUE(form.lastShift & platform::shift::right);
    TestInput::mouseMove(form, 50, 60);
    app.processMessages();
    EXPECT_EQ(form.calls.back(), "move");
    EXPECT_TRUE(form.lastShift & platform::shift::right);
    // The cursor position follows the events, in screen coordinates.
    EXPECT_EQ(platform::Cursor::position().x, 350);
    EXPECT_EQ(platform::Cursor::position().y, 260);
    TestInput::mouseUp(form, MouseButton::right, 51, 61);
    TestInput::mouseMove(form, 52, 62);
    app.processMessages();
    EXPECT_EQ(form.lastButton, MouseButton::right);
    EXPECT_FALSE(form.lastShift & platform::shift::right);
}

namespace {

// A modal form that closes itself on the first key it gets.
class ClosingOnKeyForm : public RecordingForm {
  protected:
    void FormKeyDown(int key, ShiftState shift) override {
        RecordingForm::FormKeyDown(key, shift);
        close();
    }
};

// A modal form that, once shown, queues input for another form and a key for itself.
class ModalProbe : public ClosingOnKeyForm {
  public:
    Form* other = nullptr;

  protected:
    void FormShow() override {
        TestInput::mouseDown(*other, MouseButton::left, 5, 5);
        TestInput::keyDown(*other, "Space");
        TestInput::expose(*other);
    }
};

}  // namespace

TEST_F(FormTest, ModalFormHoldsBackInputOfOtherFormsButNotTheirPaint) {
    RecordingForm main;
    main.show();
    app.processMessages();
    const int paintsBefore = main.paints;
    ModalProbe dialog;
    dialog.other = &main;
    dialog.showModal();
    EXPECT_FALSE(dialog.visible());
    EXPECT_FALSE(dialog.modal());
    EXPECT_EQ(dialog.keys, std::vector<int>{0x20});  // the key typed at the main form
    EXPECT_EQ(main.lastX, -1);
    EXPECT_TRUE(main.keys.empty());
    EXPECT_GT(main.paints, paintsBefore);
    EXPECT_EQ(app.inputOwner(), nullptr);
}

TEST_F(FormTest, PopupTakesKeysAndAPressElsewhereClosesIt) {
    RecordingForm main;
    RecordingForm menu(platform::FormStyle::popup);
    main.show();
    menu.show();
    EXPECT_EQ(app.popupShowing(), &menu);
    EXPECT_TRUE(menu.alwaysOnTop());
    TestInput::keyDown(main, "Return");
    app.processMessages();
    EXPECT_EQ(menu.keys, std::vector<int>{0x0D});
    EXPECT_TRUE(main.keys.empty());
    TestInput::mouseDown(main, MouseButton::left, 7, 8);
    app.processMessages();
    EXPECT_EQ(menu.closeQueries, 1);
    EXPECT_FALSE(menu.visible());
    EXPECT_EQ(main.lastX, -1);  // the press only closed the menu
    TestInput::mouseDown(main, MouseButton::left, 9, 10);
    app.processMessages();
    EXPECT_EQ(main.lastX, 9);
}

TEST_F(FormTest, PopupClosesWhenTheProgramLosesTheFocusNotWhenItMovesBetweenItsForms) {
    RecordingForm main, other;
    RecordingForm menu(platform::FormStyle::popup);
    main.show();
    other.show();
    TestInput::focusGained(main);
    app.processMessages();
    menu.show();
    TestInput::focusGained(other);
    TestInput::focusLost(main);
    app.processMessages();
    EXPECT_TRUE(menu.visible());
    TestInput::focusLost(other);
    app.processMessages();
    EXPECT_FALSE(menu.visible());
    EXPECT_EQ(menu.closeQueries, 1);
}

TEST_F(FormTest, MouseInputReachesVisibleFormsOnly) {
    RecordingForm shown, hidden;
    shown.show();
    TestInput::mouseDown(hidden, MouseButton::left, 3, 4);
    TestInput::mouseMove(hidden, 5, 6);
    TestInput::mouseDown(shown, MouseButton::left, 7, 8);
    app.processMessages();
    EXPECT_TRUE(hidden.calls.empty());
    EXPECT_EQ(shown.lastX, 7);
}

TEST_F(FormTest, AHeldFormIsVisibleToTheProgramButMappedOnlyWhenReleased) {
    RecordingForm form;
    form.setMapHeld(true);
    form.show();
    EXPECT_TRUE(form.visible());
    EXPECT_FALSE(form.onScreen());
    form.setClientSize(120, 80);
    form.setPosition(40, 30);
    form.setMapHeld(false);
    EXPECT_TRUE(form.onScreen());
    EXPECT_EQ(form.left(), 40);
    EXPECT_EQ(form.top(), 30);
    // Releasing again, or holding a form that is not shown, maps nothing twice or early.
    form.setMapHeld(false);
    form.hide();
    form.setMapHeld(false);
    EXPECT_FALSE(form.onScreen());
}

TEST_F(FormTest, ClientAndScreenCoordinatesMeetAtTheClientOrigin) {
    RecordingForm form;
    form.setClientSize(200, 100);
    form.setPosition(300, 200);
    form.show();
    EXPECT_EQ(form.clientToScreen(5, 6).x, 305);
    EXPECT_EQ(form.clientToScreen(5, 6).y, 206);
    EXPECT_EQ(form.screenToClient({290, 210}).x, -10);
    EXPECT_EQ(form.screenToClient({290, 210}).y, 10);
    TestInput::mouseMove(form, 20, 30);
    app.processMessages();
    const platform::Point client = form.screenToClient(platform::Cursor::position());
    EXPECT_EQ(client.x, 20);
    EXPECT_EQ(client.y, 30);
}

TEST_F(FormTest, FocusEventsGiveActivationAndDeactivate) {
    RecordingForm form;
    form.show();
    TestInput::focusGained(form);
    app.processMessages();
    EXPECT_TRUE(app.active());
    EXPECT_TRUE(form.focused());
    TestInput::focusLost(form);
    app.processMessages();
    EXPECT_FALSE(app.active());
    EXPECT_EQ(form.calls.back(), "deactivate");
}

// A compositor may take a new window's focus away before giving it, or never give it: only a
// focus the window had since it was shown counts as lost.
TEST_F(FormTest, OnlyAFocusTheWindowHadSinceItWasShownDeactivatesIt) {
    RecordingForm form;
    form.show();
    TestInput::focusLost(form);
    app.processMessages();
    EXPECT_TRUE(form.calls.empty() || form.calls.back() != "deactivate");
    TestInput::focusGained(form);
    TestInput::focusLost(form);
    app.processMessages();
    EXPECT_EQ(form.calls.back(), "deactivate");
    form.hide();
    form.calls.clear();
    form.show();
    TestInput::focusLost(form);
    app.processMessages();
    EXPECT_TRUE(form.calls.empty() || form.calls.back() != "deactivate");
}

TEST_F(FormTest, CanvasDrawsBlueGreenRedRowsThroughTheClip) {
    RecordingForm form;
    form.setClientSize(40, 30);
    form.setColour(0x102030);
    form.show();
    app.processMessages();
    ASSERT_EQ(TestInput::windowPixel(form, 0, 0), 0x102030);
    // A 10 x 10 picture of blue 0x11, green 0x22, red 0x33: the colour 0x112233.
    std::vector<unsigned char> pixels(10 * 10 * 3);
    std::vector<unsigned char*> rows(10);
    for (int i = 0; i < 100; ++i)
        pixels[3 * i] = 0x11, pixels[3 * i + 1] = 0x22, pixels[3 * i + 2] = 0x33;
    for (int y = 0; y < 10; ++y)
        rows[y] = &pixels[30 * y];
    form.canvas().setClip({8, 8, 12, 11});
    form.canvas().draw(5, 5, {rows.data(), 10, 10});
    form.canvas().clearClip();
    EXPECT_EQ(TestInput::windowPixel(form, 8, 8), 0x112233);
    EXPECT_EQ(TestInput::windowPixel(form, 11, 10), 0x112233);
    EXPECT_EQ(TestInput::windowPixel(form, 12, 10), 0x102030);  // right edge excluded
    EXPECT_EQ(TestInput::windowPixel(form, 11, 11), 0x102030);  // bottom edge excluded
    EXPECT_EQ(TestInput::windowPixel(form, 5, 5), 0x102030);
    // Without a clip the picture is cut to the window only.
    form.canvas().draw(35, 25, {rows.data(), 10, 10});
    EXPECT_EQ(TestInput::windowPixel(form, 39, 29), 0x112233);
    EXPECT_EQ(TestInput::windowPixel(form, 34, 29), 0x102030);
}

namespace {

// A main form that queues closes from outside as soon as it shows.
class QuittingForm : public RecordingForm {
  public:
    int quits = 1;

  protected:
    void FormShow() override {
        for (int i = 0; i < quits; ++i)
            TestInput::quit();
    }
};

// A main form that raises a signal as soon as it shows.
class SignalledForm : public RecordingForm {
  public:
    int signal = SIGHUP;

  protected:
    void FormShow() override { raise(signal); }
};

class ThrowingForm : public RecordingForm {
  protected:
    void FormShow() override { TestInput::keyDown(*this, "X"); }
    void FormKeyDown(int, ShiftState) override { throw std::runtime_error("broken handler"); }
};

}  // namespace

TEST_F(FormTest, QuitFromOutsideEndsTheLoopThroughFormCloseQuery) {
    QuittingForm main;
    main.quits = 2;
    main.refuseCloses = 1;  // the first close is refused, the loop goes on
    app.run(main);
    EXPECT_EQ(main.closeQueries, 2);
    EXPECT_FALSE(main.visible());
}

// Caught, each quit signal ends the loop the way a close from outside does: through the main
// form's FormCloseQuery, once, with the process still there to save what it must.
TEST_F(FormTest, QuitSignalsEndTheLoopThroughFormCloseQuery) {
    platform::catchQuitSignals();
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SignalledForm main;
        main.signal = signal;
        app.run(main);
        EXPECT_EQ(main.closeQueries, 1) << signal;
        EXPECT_FALSE(platform::takeQuitSignal()) << "taken by the loop";
    }
}

// A loop waiting for input without end still hears a quit signal, whichever thread it lands on.
TEST_F(FormTest, AQuitSignalEndsAWaitWithoutEnd) {
    platform::catchQuitSignals();
    std::thread sender([] {
        platform::sleepMilliseconds(50);
        kill(getpid(), SIGTERM);
    });
    app.waitForMessages(UINT32_MAX);
    sender.join();
    EXPECT_TRUE(platform::takeQuitSignal());
}

TEST_F(FormTest, ExceptionEscapingAHandlerIsShownAndEndsTheLoop) {
    ThrowingForm main;
    app.setTitle("Brevant");
    testing::internal::CaptureStderr();
    app.run(main);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("broken handler"), std::string::npos);
    EXPECT_FALSE(app.terminated());
}

namespace {

// Forms made at a display scale of 2: twice their size on the screen, designed pixels to the
// program.
class ScaledFormTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        platform::DisplayScale::set(2);
    }
    void TearDown() override { platform::DisplayScale::set(1); }

    // A 10 x 10 picture whose every pixel differs: blue 20 x, green 20 y, red 0x33.
    void makePicture() {
        pixels.resize(10 * 10 * 3);
        rows.resize(10);
        for (int y = 0; y < 10; ++y) {
            rows[y] = &pixels[30 * y];
            for (int x = 0; x < 10; ++x)
                rows[y][3 * x] = 20 * x, rows[y][3 * x + 1] = 20 * y, rows[y][3 * x + 2] = 0x33;
        }
    }
    static int pictureColour(int x, int y) { return 0x33 | (20 * y) << 8 | (20 * x) << 16; }

    std::vector<unsigned char> pixels;
    std::vector<unsigned char*> rows;
};

}  // namespace

TEST_F(ScaledFormTest, TheWindowIsTwiceTheClientSizeWhileSizesAndPlacesStayDesigned) {
    RecordingForm form;
    form.setClientSize(40, 30);
    form.setPosition(100, 50);
    form.show();
    app.processMessages();
    EXPECT_EQ(form.clientWidth(), 40);
    EXPECT_EQ(form.left(), 100);
    EXPECT_EQ(form.top(), 50);
    EXPECT_NE(TestInput::windowPixel(form, 79, 59), -1);
    EXPECT_EQ(TestInput::windowPixel(form, 80, 0), -1);
    EXPECT_EQ(TestInput::windowPixel(form, 0, 60), -1);
    EXPECT_EQ(form.clientToScreen(5, 6).x, 105);
    EXPECT_EQ(form.clientToScreen(5, 6).y, 56);
    EXPECT_EQ(form.screenToClient({90, 60}).x, -10);
    EXPECT_EQ(form.screenToClient({90, 60}).y, 10);
    const int designedWidth = platform::Screen::width();
    platform::DisplayScale::set(1);
    EXPECT_EQ(designedWidth, platform::Screen::width() / 2);
}

TEST_F(ScaledFormTest, EveryDesignedPixelIsATwoByTwoBlockCutToTheDesignedClipAndWindow) {
    RecordingForm form;
    form.setClientSize(40, 30);
    form.setColour(0x102030);
    form.show();
    app.processMessages();
    makePicture();
    form.canvas().setClip({8, 8, 12, 11});
    form.canvas().draw(5, 5, {rows.data(), 10, 10});
    form.canvas().clearClip();
    form.canvas().draw(35, 25, {rows.data(), 10, 10});
    for (int py = 0; py < 60; ++py)
        for (int px = 0; px < 80; ++px) {
            const int x = px / 2, y = py / 2;
            int expected = 0x102030;
            if (x >= 8 && x < 12 && y >= 8 && y < 11) expected = pictureColour(x - 5, y - 5);
            if (x >= 35 && y >= 25) expected = pictureColour(x - 35, y - 25);
            ASSERT_EQ(TestInput::windowPixel(form, px, py), expected) << px << "," << py;
        }
    // A fill covers whole blocks of the clip too.
    form.canvas().setClip({1, 2, 3, 4});
    static_cast<platform::FormCanvas&>(form.canvas()).fill(0x445566);
    EXPECT_EQ(TestInput::windowPixel(form, 2, 4), 0x445566);
    EXPECT_EQ(TestInput::windowPixel(form, 5, 7), 0x445566);
    EXPECT_EQ(TestInput::windowPixel(form, 6, 7), 0x102030);
    EXPECT_EQ(TestInput::windowPixel(form, 5, 8), 0x102030);
    EXPECT_EQ(TestInput::windowPixel(form, 1, 4), 0x102030);
}

// The next frame of an animation goes out as the rectangle around its changed pixels: nothing
// for an equal frame, two pixels' bounds for a frame with two changes. A plain draw over the
// same place (a repaint of the window) makes the next frame go out whole.
TEST_F(ScaledFormTest, DrawChangedShowsOnlyTheRectangleAroundThePixelsThatDiffer) {
    RecordingForm form;
    form.setClientSize(40, 30);
    form.show();
    app.processMessages();
    makePicture();
    auto& canvas = static_cast<platform::FormCanvas&>(form.canvas());
    const auto lastShown = [&] {
        const platform::Rect r = canvas.lastShown();
        return std::vector<int>({r.Left, r.Top, r.Right, r.Bottom});
    };
    canvas.drawChanged(5, 5, {rows.data(), 10, 10});
    EXPECT_EQ(lastShown(), std::vector<int>({5, 5, 15, 15})) << "the first goes out whole";
    const int shows = canvas.showCount();
    canvas.drawChanged(5, 5, {rows.data(), 10, 10});
    EXPECT_EQ(canvas.showCount(), shows) << "an equal frame is not shown";
    rows[4][3 * 3] ^= 1;         // (3, 4)
    rows[6][3 * 7 + 2] ^= 0x80;  // (7, 6)
    canvas.drawChanged(5, 5, {rows.data(), 10, 10});
    EXPECT_EQ(canvas.showCount(), shows + 1);
    EXPECT_EQ(lastShown(), std::vector<int>({8, 9, 13, 12}));
    EXPECT_EQ(TestInput::windowPixel(form, 2 * 12 + 1, 2 * 11 + 1), pictureColour(7, 6) ^ 0x80);
    canvas.setClip({0, 0, 6, 6});
    canvas.draw(0, 0, {rows.data(), 10, 10});
    canvas.clearClip();
    canvas.drawChanged(5, 5, {rows.data(), 10, 10});
    EXPECT_EQ(lastShown(), std::vector<int>({5, 5, 15, 15}));
    EXPECT_EQ(TestInput::windowPixel(form, 2 * 5, 2 * 5), pictureColour(0, 0));
    // Told where the picture may differ, only that part is compared, shown and kept: a change
    // left outside it is found by the next whole comparison.
    rows[1][0] ^= 1;         // (0, 1)
    rows[8][3 * 8] ^= 0x40;  // (8, 8)
    canvas.drawChanged(5, 5, {rows.data(), 10, 10}, {6, 6, 10, 10});
    EXPECT_EQ(lastShown(), std::vector<int>({13, 13, 14, 14}));
    EXPECT_EQ(TestInput::windowPixel(form, 2 * 13, 2 * 13), pictureColour(8, 8) ^ 0x400000);
    canvas.drawChanged(5, 5, {rows.data(), 10, 10});
    EXPECT_EQ(lastShown(), std::vector<int>({5, 6, 6, 7}));
}

TEST_F(ScaledFormTest, MousePositionsAreWindowPixelsHalvedAndRoundedDown) {
    RecordingForm form;
    form.setClientSize(40, 30);
    form.setPosition(100, 50);
    form.show();
    TestInput::mouseMoveToWindowPixel(form, 7, 9);
    app.processMessages();
    EXPECT_EQ(form.lastX, 3);
    EXPECT_EQ(form.lastY, 4);
    EXPECT_EQ(platform::Cursor::position().x, 103);  // (200 + 7) / 2
    EXPECT_EQ(platform::Cursor::position().y, 54);   // (100 + 9) / 2
    platform::Point client = form.screenToClient(platform::Cursor::position());
    EXPECT_EQ(client.x, 3);
    EXPECT_EQ(client.y, 4);
    // Left of and above the window, the pixel belongs to the block before the first.
    TestInput::mouseMoveToWindowPixel(form, -1, -3);
    app.processMessages();
    EXPECT_EQ(form.lastX, -1);
    EXPECT_EQ(form.lastY, -2);
    EXPECT_EQ(platform::Cursor::position().x, 99);
    // Presses and the wheel given in client pixels come back as the same client pixels.
    TestInput::mouseDown(form, MouseButton::left, 12, 29);
    app.processMessages();
    EXPECT_EQ(form.lastX, 12);
    EXPECT_EQ(form.lastY, 29);
    TestInput::mouseUp(form, MouseButton::left, 12, 29);
    TestInput::mouseWheel(form, -2, 39, 0);
    app.processMessages();
    EXPECT_EQ(form.calls.back(), "wheel");
    EXPECT_EQ(form.lastSteps, -2);
    EXPECT_EQ(form.lastX, 39);
    EXPECT_EQ(form.lastY, 0);
    client = form.screenToClient(platform::Cursor::position());
    EXPECT_EQ(client.x, 39);
}

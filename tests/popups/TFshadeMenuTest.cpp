// The popup menu window: geometry, placement, painting, hover and the wait loop's results.
#include "popups/TFshadeMenu.h"

#include <gtest/gtest.h>

#include <csignal>

#include "graphics/Drawing.h"
#include "platform/system/QuitSignals.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/Screen.h"
#include "platform/window/TestInput.h"
#include "shadeui/ShadeToolkit.h"
#include "shadeui/ShadeUI.h"

namespace {

using platform::MouseButton;
using platform::TestInput;

Llist<AnsiString> listOf(std::initializer_list<const char*> texts) {
    Llist<AnsiString> list;
    for (const char* text : texts)
        list.add(text);
    return list;
}

// The main window's menu with both options on.
Llist<AnsiString> mainMenu() {
    return listOf({"#Show Beat Numbers", "#White Model", "-Hot Keys...", "Specifications...",
                   "About...", "www.example.org", "-Exit"});
}

int pixelAt(const Limage& image, int x, int y) {
    const unsigned char* p = image.rows[y] + 3 * x;
    return p[2] | (p[1] << 8) | (p[0] << 16);
}

// A main form that opens the menu on its first paint, as a click on the grip would, and asks the
// program to end (a quit signal) while the menu waits for a choice.
class MenuOwner : public platform::Form {
  public:
    int chosen = -2;
    int passes = 0;  // of the menu's wait loop

  protected:
    void FormPaint() override {
        if (chosen != -2) return;
        idleHook = [this] {
            if (++passes == 3) raise(SIGTERM);
            if (passes == 1000) FshadeMenu->hide();  // the menu did not see the request
        };
        chosen = showShadeMenu(mainMenu());
        idleHook = nullptr;
    }
};

class TFshadeMenuTest : public ::testing::Test {
  protected:
    TFshadeMenu menu;

    void SetUp() override {
        menuPosition = {-1, -1};
        platform::Application::instance().processMessages();  // drop what earlier tests left
    }
    void TearDown() override {
        menu.hide();
        idleHook = nullptr;
    }

    // Opens the menu without waiting, as the loop would, at a fixed place.
    void open(const Llist<AnsiString>& list) {
        menu.setColour(0x929292);
        menu.entries = list;
        menu.requestedLeft = 100;
        menu.requestedTop = 100;
        menu.hovered = -1;
        menu.show();
    }
};

}  // namespace

TEST_F(TFshadeMenuTest, RegistersAsTheMenuAndPlacesThroughTheContainerHook) {
    EXPECT_EQ(FshadeMenu, &menu);
    ASSERT_TRUE(menuPositionHook);
    menuPositionHook(30, 40);
    EXPECT_EQ(menuPosition.x, 30);
    EXPECT_EQ(menuPosition.y, 40);
    open(mainMenu());  // a second menu while one is open returns at once
    EXPECT_EQ(showShadeMenu(listOf({"x"})), -1);
    EXPECT_TRUE(menu.visible());
    EXPECT_EQ(menu.rowCount, 7);
}

TEST_F(TFshadeMenuTest, SevenEntriesMakeRowsOfTwentyPixels) {
    open(mainMenu());
    EXPECT_EQ(menu.rowCount, 7);
    EXPECT_EQ(menu.clientHeight(), 141);
    // The widest label is measured with its "#": wider than the 112-pixel minimum.
    EXPECT_GT(menu.columnWidth, 112);
    EXPECT_EQ(menu.clientWidth(), menu.columnWidth + 1);
    ASSERT_EQ(menu.entryRects.top, 6);
    EXPECT_EQ(menu.entryRects.items[6].Top, 122);
    EXPECT_EQ(menu.entryRects.items[6].Bottom, 142);
}

TEST_F(TFshadeMenuTest, EntryHitRowsFavourTheLowerEntry) {
    open(mainMenu());
    EXPECT_EQ(menu.entryAt(50, 0), -1);
    EXPECT_EQ(menu.entryAt(50, 1), -1);
    EXPECT_EQ(menu.entryAt(50, 2), 0);
    EXPECT_EQ(menu.entryAt(50, 21), 0);
    EXPECT_EQ(menu.entryAt(50, 22), 1);   // the line shared by entries 0 and 1
    EXPECT_EQ(menu.entryAt(50, 140), 6);  // the frame line below the last row
    EXPECT_EQ(menu.entryAt(menu.columnWidth, 50), 2);
    EXPECT_EQ(menu.entryAt(menu.columnWidth + 1, 50), -1);
}

TEST_F(TFshadeMenuTest, EmptyListIsOneBlankRowWithoutEntries) {
    open(Llist<AnsiString>());
    EXPECT_EQ(menu.clientHeight(), 21);
    EXPECT_EQ(menu.entryRects.top, -1);
    EXPECT_EQ(menu.entryAt(50, 10), -1);
}

TEST_F(TFshadeMenuTest, PaintsSeparatorsChecksAndTheHighlight) {
    open(mainMenu());
    const int background = 0xFBFBFB, rowLine = 0xEEEEEE, darkLine = 0xA8A8A8;
    const Limage& r = menu.raster;
    EXPECT_EQ(pixelAt(r, 50, 5), background);
    EXPECT_EQ(pixelAt(r, 50, 20), rowLine);
    EXPECT_EQ(pixelAt(r, 50, 40), darkLine);   // above "Hot Keys..."
    EXPECT_EQ(pixelAt(r, 50, 120), darkLine);  // above "Exit"
    EXPECT_EQ(pixelAt(r, 0, 70), darkLine);    // the frame
    EXPECT_EQ(pixelAt(r, menu.columnWidth, 70), darkLine);
    // The check mark of the first entry: down from (5, 10) to (7, 12), then up to (13, 6).
    EXPECT_EQ(pixelAt(r, 5, 10), 0);
    EXPECT_EQ(pixelAt(r, 6, 12), 0);
    EXPECT_EQ(pixelAt(r, 7, 12), 0);
    EXPECT_EQ(pixelAt(r, 12, 7), 0);
    EXPECT_EQ(pixelAt(r, 13, 6), background);
    EXPECT_EQ(pixelAt(r, 5, 70), background);  // "Specifications..." has no mark
    menu.FormMouseMove(0, 50, 70);
    EXPECT_EQ(menu.hovered, 3);
    EXPECT_EQ(pixelAt(menu.raster, 2, 62), 0xBF8484);
    EXPECT_EQ(pixelAt(menu.raster, menu.columnWidth - 2, 78), 0xBF8484);
    EXPECT_EQ(pixelAt(menu.raster, menu.columnWidth - 1, 78), background);
    EXPECT_EQ(pixelAt(menu.raster, 2, 79), background);
    EXPECT_EQ(pixelAt(menu.raster, 2, 80), rowLine);
}

TEST_F(TFshadeMenuTest, TimerDropsTheHighlightOnceTheMouseLeaves) {
    open(mainMenu());
    menu.FormMouseMove(0, 50, 30);
    ASSERT_EQ(menu.hovered, 1);
    platform::Cursor::noteEvent({menu.left() + 50, menu.top() + 30});
    menu.timerTimer();
    EXPECT_EQ(menu.hovered, 1);
    platform::Cursor::noteEvent({menu.left() + menu.clientWidth(), menu.top()});
    menu.timerTimer();
    EXPECT_EQ(menu.hovered, 1);  // the edges still count as inside
    platform::Cursor::noteEvent({menu.left() + menu.clientWidth() + 1, menu.top()});
    menu.timerTimer();
    EXPECT_EQ(menu.hovered, -1);
}

TEST_F(TFshadeMenuTest, ClickReturnsTheEntryAndResetsThePosition) {
    int idleCalls = 0;
    idleHook = [&idleCalls] { idleCalls++; };
    menuPosition = {200, 150};
    TestInput::mouseMove(menu, 40, 22);
    TestInput::mouseDown(menu, MouseButton::left, 40, 22);
    EXPECT_EQ(showShadeMenu(mainMenu()), 1);
    EXPECT_FALSE(menu.visible());
    EXPECT_EQ(menuPosition.x, -1);
    EXPECT_EQ(menuPosition.y, -1);
    EXPECT_GE(idleCalls, 4);
    EXPECT_FALSE(menu.timer.enabled()) << "a hidden menu wakes nothing";
    EXPECT_EQ(menu.left(), 200);
    EXPECT_EQ(menu.top(), 150);
}

TEST_F(TFshadeMenuTest, ClickOnTheTopRowsOrAnyKeyReturnsNone) {
    menuPosition = {200, 150};
    TestInput::mouseDown(menu, MouseButton::left, 40, 1);
    EXPECT_EQ(showShadeMenu(mainMenu()), -1);
    for (const char* key : {"Return", "Up", "A"}) {
        menuPosition = {200, 150};
        TestInput::mouseMove(menu, 40, 30);
        ASSERT_TRUE(TestInput::keyDown(menu, key));
        EXPECT_EQ(showShadeMenu(mainMenu()), -1) << key;
    }
    TestInput::mouseDown(menu, MouseButton::right, 40, 50);
    EXPECT_EQ(showShadeMenu(listOf({})), -1);
}

TEST_F(TFshadeMenuTest, StaysFivePixelsInsideASingleScreen) {
    if (platform::Screen::monitorCount() != 1) GTEST_SKIP() << "needs exactly one monitor";
    platform::Cursor::noteEvent({3, 3});
    TestInput::keyDown(menu, "Escape");
    showShadeMenu(mainMenu());
    EXPECT_EQ(menu.left(), 5);
    EXPECT_EQ(menu.top(), 5);
    int w = platform::Screen::width(), h = platform::Screen::height();
    menuPosition = {w - 20, h - 20};
    TestInput::keyDown(menu, "Escape");
    showShadeMenu(mainMenu());
    EXPECT_EQ(menu.left(), w - menu.clientWidth() - 5);
    EXPECT_EQ(menu.top(), h - 141 - 5);
}

// The program was asked to end: the menu closes at once with no choice, and the program's loop
// ends instead of waiting for the menu to be dismissed.
TEST_F(TFshadeMenuTest, AQuitSignalWhileTheMenuWaitsEndsTheMenuAndTheProgram) {
    platform::catchQuitSignals();
    MenuOwner owner;
    platform::Application::instance().run(owner);
    EXPECT_EQ(owner.chosen, -1);
    EXPECT_LT(owner.passes, 1000);
    EXPECT_FALSE(menu.visible());
}

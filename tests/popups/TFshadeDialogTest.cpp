// The information dialog: sizing, buttons and results, links and the hand, the bold heading.
#include "popups/TFshadeDialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "base/TextConversions.h"
#include "graphics/Drawing.h"
#include "platform/system/Clock.h"
#include "platform/system/Shell.h"
#include "platform/window/TestInput.h"
#include "shadeui/ShadeToolkit.h"

namespace {

using platform::TestInput;
using Action = std::function<bool(TFshadeDialog&)>;  // true once it has acted

Llist<AnsiString> listOf(std::initializer_list<const char*> texts) {
    Llist<AnsiString> list;
    for (const char* text : texts)
        list.add(text);
    return list;
}

const Llist<AnsiString> hotKeys =
    listOf({"title:Hot Keys", "Start/stop metronome:   SPACE", "", "Increase/decrease tempo:   +/-",
            "Change beat:   0,1,2,3,4,5,6,7,8,9", "", "Tap tempo:   ENTER"});

// What the last dialog showed, taken just before each action.
struct Seen {
    int width = 0, height = 0, lineHeight = 0;
    AnsiString title;
    std::vector<int> lefts, ids;  // of the buttons, in the order added
    int buttonTop = 0;
} seen;

// Shows the dialog through a container and acts from inside its wait loop (the idle hook) once
// the buttons are built. A dialog that never closes fails the test instead of hanging it.
int show(const Llist<AnsiString>& lines, bool withCancel, bool withNo, const Action& action) {
    installShadeDialog();
    int calls = 0;
    bool acted = false;
    idleHook = [&] {
        TFshadeDialog* d = FshadeDialog;
        if (!d || acted || d->container.buttons.top != withCancel + withNo) return;
        if (++calls > 3000) ADD_FAILURE() << "the dialog did not close";
        seen = {d->clientWidth(), d->clientHeight(), d->lineHeight, d->title, {}, {}, 0};
        for (int i = 0; i <= d->container.buttons.top; i++) {
            const ShadeButton& b = d->container.buttons.items[i];
            seen.lefts.push_back(b.rect.Left - d->clientWidth());
            seen.ids.push_back(b.id);
            seen.buttonTop = b.rect.Top - d->clientHeight();
        }
        acted = action(*d) || calls > 3000;
        d->container.closeRequested |= calls > 3000;
    };
    ShadeUI owner;
    const int result = owner.showShadeDialog(lines, withCancel, withNo);
    idleHook = nullptr;
    return result;
}

Action press(const char* key) {
    return [key](TFshadeDialog& d) { return TestInput::keyDown(d, key); };
}

Action click(int button) {
    return [button](TFshadeDialog& d) {
        const platform::Rect& r =
            button < 0 ? d.container.closeRect : d.container.buttons.items[button].rect;
        const int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
        TestInput::mouseDown(d, platform::MouseButton::left, x, y);
        TestInput::mouseUp(d, platform::MouseButton::left, x, y);
        return true;
    };
}

}  // namespace

TEST(TFshadeDialog, HotKeyTextSizesTheDialogWithOneOkButtonAndEnterGivesOne) {
    EXPECT_EQ(show(hotKeys, false, false, press("Return")), 1);
    Limage scratch;
    scratch.create(10, 10);
    EXPECT_EQ(seen.lineHeight, scratch.canvas().textHeight("X") + 3);
    EXPECT_EQ(seen.title, "Hot Keys");
    EXPECT_EQ(seen.height, 125 + 6 * seen.lineHeight);
    EXPECT_GE(seen.width, 480);
    EXPECT_EQ(seen.lefts, std::vector<int>{-124});
    EXPECT_EQ(seen.ids, std::vector<int>{1});
    EXPECT_EQ(seen.buttonTop, -48);
}

TEST(TFshadeDialog, ButtonsRunRightToLeftAndEachKeyOrButtonGivesItsResult) {
    const Llist<AnsiString> question = listOf({"Save the changes?"});
    EXPECT_EQ(show(question, true, true, click(1)), 2);
    EXPECT_EQ(seen.lefts, (std::vector<int>{-124, -232, -340}));
    EXPECT_EQ(seen.ids, (std::vector<int>{-1, 2, 1}));
    EXPECT_EQ(show(question, true, true, click(0)), -1);
    EXPECT_EQ(show(question, true, true, click(2)), 1);
    EXPECT_EQ(show(hotKeys, false, false, click(-1)), -1);  // the close box
    EXPECT_EQ(show(Llist<AnsiString>(), false, false, press("Escape")), -1);
    EXPECT_EQ(seen.width, 66);  // no lines: the designed size stays
    EXPECT_EQ(seen.height, 66);
}

// The last link line drawn owns the link; the site address opens the maker's page, any other
// link line the whole line. The hand shows over the link only.
TEST(TFshadeDialog, LinkLinesOpenTheirAddressUnderTheHand) {
    char pattern[] = "/tmp/brevant-dialog-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, script = folder + "/opener", marker = folder + "/opened";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << marker << ".part'\nmv '"
                          << marker << ".part' '" << marker << "'\n";
    chmod(script.c_str(), 0755);
    platform::setWebOpener(script);
    pageName() = "brevant.html";
    AnsiString other;
    show(listOf({"Mirror: www.example.org/x"}), false, false, [&](TFshadeDialog& d) {
        other = d.linkTarget;
        return d.linkRect.Left != -1 && TestInput::keyDown(d, "Escape");
    });
    EXPECT_EQ(other, "Mirror: www.example.org/x");
    show(listOf({"www.example.org", "", webHost().c_str()}), false, false, [](TFshadeDialog& d) {
        const platform::Rect r = d.linkRect;
        if (r.Left == -1) return false;  // not painted yet
        d.FormMouseMove(0, r.Right, r.Bottom);
        EXPECT_EQ(d.cursor(), platform::CursorShape::handPoint);
        d.FormMouseMove(0, r.Right + 1, r.Bottom);
        EXPECT_EQ(d.cursor(), platform::CursorShape::standard);
        d.FormMouseDown(platform::MouseButton::left, 0, r.Right, r.Bottom);
        return TestInput::keyDown(d, "Escape");
    });
    for (int i = 0; i < 1000 && access(marker.c_str(), F_OK) != 0; i++)
        platform::sleepMilliseconds(10);
    platform::setWebOpener("");
    std::stringstream opened;
    opened << std::ifstream(marker).rdbuf();
    EXPECT_EQ(opened.str(), "http://" + webHost() + "/brevant.html");
    std::system(("rm -rf '" + folder + "'").c_str());
}

// The window shows the heading as the bold text over the container's raster, without its "~".
TEST(TFshadeDialog, TildeLineIsABoldHeadingWithoutItsMarker) {
    int bold = -1;
    show(listOf({"~Specifications", "", "- Tap tempo"}), false, false, [&](TFshadeDialog& d) {
        if (TestInput::windowPixel(d, 20, 20) == -1) return TestInput::keyDown(d, "Escape");
        Limage expected(d.container.raster);
        drawText(expected.canvas(), 20, 50, "Specifications", d.container.foreColour, true);
        bold = 1;
        for (int y = 50; y < 50 + d.lineHeight; y++)
            for (int x = 0; x < 200; x++) {
                const unsigned char* p = expected.rows[y] + 3 * x;
                if (TestInput::windowPixel(d, x, y) != (p[2] | (p[1] << 8) | (p[0] << 16)))
                    bold = 0;
            }
        return bold == 1 && TestInput::keyDown(d, "Escape");  // else not painted yet
    });
    if (bold == -1) GTEST_SKIP() << "the window's pixels cannot be read here";
    EXPECT_EQ(bold, 1);
}

// The information dialog: sizing, buttons, results of keys, buttons and close box, links, bold.
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
#include "platform/Application.h"
#include "platform/Canvas.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "platform/TestInput.h"
#include "shadeui/ShadeToolkit.h"

namespace {

using platform::MouseButton;
using platform::TestInput;

Llist<AnsiString> listOf(std::initializer_list<const char*> texts) {
    Llist<AnsiString> list;
    for (const char* text : texts)
        list.add(text);
    return list;
}

Llist<AnsiString> hotKeys() {
    return listOf({"title:Hot Keys", "Start/stop metronome:   SPACE", "",
                   "Increase/decrease tempo:   +/-", "Change beat:   0,1,2,3,4,5,6,7,8,9", "",
                   "Tap tempo:   ENTER"});
}

int plainLineHeight() {
    Limage scratch;
    scratch.create(10, 10);
    scratch.canvas().font().height = -11;
    return scratch.canvas().textHeight("X") + 3;
}

void click(TFshadeDialog& d, int x, int y) {
    TestInput::mouseDown(d, MouseButton::left, x, y);
    TestInput::mouseUp(d, MouseButton::left, x, y);
}

platform::Point centreOf(const platform::Rect& r) {
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

// The dialog runs its own wait loop; the test acts from inside it through the idle hook, one
// step at a time, once the dialog has built its buttons. A step returns true when it is done.
class TFshadeDialogTest : public ::testing::Test {
  protected:
    using Step = std::function<bool(TFshadeDialog&)>;
    ShadeUI owner;
    std::vector<Step> steps;
    int buttonCount = 1;
    int calls = 0;

    void SetUp() override {
        installShadeDialog();
        platform::Application::instance().setTitle("Brevant");
        platform::Application::instance().processMessages();
        idleHook = [this] { drive(); };
    }
    void TearDown() override {
        idleHook = nullptr;
        shadeDialogHook = nullptr;
    }

    void drive() {
        TFshadeDialog* d = FshadeDialog;
        if (!d || d->container.buttons.top + 1 != buttonCount) return;
        if (++calls > 3000) {  // a dialog that never closes would hang the test binary
            ADD_FAILURE() << "the dialog did not close";
            d->container.closeRequested = true;
            return;
        }
        if (!steps.empty() && steps.front()(*d)) steps.erase(steps.begin());
    }
    int show(const Llist<AnsiString>& lines, bool withCancel = false, bool withNo = false) {
        calls = 0;
        return owner.showShadeDialog(lines, withCancel, withNo);
    }
    void pressKey(const char* name) {
        steps.push_back([name](TFshadeDialog& d) { return TestInput::keyDown(d, name); });
    }
};

}  // namespace

TEST_F(TFshadeDialogTest, HotKeyTextSizesTheDialogWithOneOkButtonAndEnterGivesOne) {
    int width = 0, height = 0;
    AnsiString title;
    platform::Rect button;
    steps.push_back([&](TFshadeDialog& d) {
        width = d.clientWidth();
        height = d.clientHeight();
        title = d.title;
        EXPECT_EQ(d.container.buttons.items[0].id, 1);
        button = d.container.buttons.items[0].rect;
        return true;
    });
    pressKey("Return");
    EXPECT_EQ(show(hotKeys()), 1);
    EXPECT_EQ(title, "Hot Keys");
    EXPECT_EQ(height, 125 + 6 * plainLineHeight());
    EXPECT_GE(width, 480);
    EXPECT_EQ(button.Left, width - 124);
    EXPECT_EQ(button.Top, height - 48);
    EXPECT_EQ(button.Right - button.Left, 100);
    EXPECT_EQ(FshadeDialog, nullptr);
}

TEST_F(TFshadeDialogTest, CancelNoAndYesRunRightToLeftAndEachGivesItsResult) {
    buttonCount = 3;
    std::vector<int> lefts;
    steps.push_back([&](TFshadeDialog& d) {
        for (int i = 0; i < 3; i++)
            lefts.push_back(d.container.buttons.items[i].rect.Left - d.clientWidth());
        EXPECT_EQ(d.container.buttons.items[0].id, -1);
        EXPECT_EQ(d.container.buttons.items[1].id, 2);
        EXPECT_EQ(d.container.buttons.items[2].id, 1);
        return true;
    });
    auto press = [this](int k) {
        steps.push_back([k](TFshadeDialog& d) {
            platform::Point at = centreOf(d.container.buttons.items[k].rect);
            click(d, at.x, at.y);
            return true;
        });
    };
    const Llist<AnsiString> question = listOf({"Save the changes?"});
    press(1);
    EXPECT_EQ(show(question, true, true), 2);
    EXPECT_EQ(lefts, (std::vector<int>{-124, -232, -340}));
    press(0);
    EXPECT_EQ(show(question, true, true), -1);
    press(2);
    EXPECT_EQ(show(question, true, true), 1);
}

TEST_F(TFshadeDialogTest, EscapeAndTheCloseBoxGiveMinusOne) {
    int width = 0, height = 0;
    steps.push_back([&](TFshadeDialog& d) {
        width = d.clientWidth();
        height = d.clientHeight();
        return true;
    });
    pressKey("Escape");
    EXPECT_EQ(show(Llist<AnsiString>()), -1);
    EXPECT_EQ(width, 66);  // no lines: the designed size stays
    EXPECT_EQ(height, 66);
    steps.push_back([](TFshadeDialog& d) {
        platform::Point at = centreOf(d.container.closeRect);
        click(d, at.x, at.y);
        return true;
    });
    EXPECT_EQ(show(hotKeys()), -1);
}

class TFshadeDialogLinkTest : public TFshadeDialogTest {
  protected:
    std::string folder, marker;

    void SetUp() override {
        TFshadeDialogTest::SetUp();
        char pattern[] = "/tmp/brevant-dialog-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        marker = folder + "/opened";
        const std::string script = folder + "/opener";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << marker << ".part'\nmv '"
                              << marker << ".part' '" << marker << "'\n";
        chmod(script.c_str(), 0755);
        platform::setWebOpener(script);
    }
    void TearDown() override {
        platform::setWebOpener("");
        std::system(("rm -rf '" + folder + "'").c_str());
        TFshadeDialogTest::TearDown();
    }

    // Shows the lines, moves over the link and clicks it; returns what the opener was handed.
    std::string clickLink(const Llist<AnsiString>& lines, platform::CursorShape& overLink,
                          platform::CursorShape& elsewhere) {
        std::remove(marker.c_str());
        steps.push_back([&](TFshadeDialog& d) {
            if (d.linkRect.Left == -1) return false;  // not painted yet
            platform::Point at = centreOf(d.linkRect);
            TestInput::mouseMove(d, at.x, at.y);
            return true;
        });
        steps.push_back([&](TFshadeDialog& d) {
            overLink = d.cursor();
            TestInput::mouseMove(d, d.linkRect.Left - 1, d.linkRect.Top);
            return true;
        });
        steps.push_back([&](TFshadeDialog& d) {
            elsewhere = d.cursor();
            platform::Point at = centreOf(d.linkRect);
            click(d, d.linkRect.Right, at.y);  // the edge belongs to the link
            return true;
        });
        pressKey("Escape");
        EXPECT_EQ(show(lines), -1);
        for (int i = 0; i < 1000 && access(marker.c_str(), F_OK) != 0; i++)
            platform::sleepMilliseconds(10);
        std::stringstream all;
        all << std::ifstream(marker).rdbuf();
        return all.str();
    }
};

TEST_F(TFshadeDialogLinkTest, SiteAddressOpensTheMakersPageAndShowsTheHand) {
    pageName() = "brevant.html";
    platform::CursorShape over{}, away{};
    const Llist<AnsiString> lines = listOf({"title:About", "Visit us:", "", webHost().c_str()});
    EXPECT_EQ(clickLink(lines, over, away), "http://" + webHost() + "/brevant.html");
    EXPECT_EQ(over, platform::CursorShape::handPoint);
    EXPECT_EQ(away, platform::CursorShape::standard);
}

TEST_F(TFshadeDialogLinkTest, OtherLinkLinesOpenTheWholeLine) {
    platform::CursorShape over{}, away{};
    EXPECT_EQ(clickLink(listOf({"Mirror: www.example.org/x"}), over, away),
              "http://Mirror: www.example.org/x");
}

// The heading is drawn bold, without its "~", in the container's text colour.
TEST_F(TFshadeDialogTest, TildeLineIsABoldHeadingWithoutItsMarker) {
    const char* heading = "Specifications";
    int matchesBold = -1, matchesPlain = -1;
    steps.push_back([&](TFshadeDialog& d) {
        const int y = d.firstLineY, h = d.lineHeight;
        auto matches = [&](bool bold) {
            Limage expected(d.container.raster);
            drawText(expected.canvas(), d.marginX, y, heading, d.container.foreColour, bold);
            for (int py = y; py < y + h; py++)
                for (int px = 0; px < 200; px++) {
                    const unsigned char* p = expected.rows[py] + 3 * px;
                    const int want = p[2] | (p[1] << 8) | (p[0] << 16);
                    if (TestInput::windowPixel(d, px, py) != want) return 0;
                }
            return 1;
        };
        if (TestInput::windowPixel(d, 20, 20) == -1) return true;  // no pixels to read here
        matchesBold = matches(true);
        matchesPlain = matches(false);
        return matchesBold == 1;  // else not painted yet
    });
    pressKey("Escape");
    EXPECT_EQ(show(listOf({"~Specifications", "", "- Tap tempo"})), -1);
    if (matchesBold == -1) GTEST_SKIP() << "the window's pixels cannot be read here";
    EXPECT_EQ(matchesBold, 1);
    EXPECT_EQ(matchesPlain, 0);
}

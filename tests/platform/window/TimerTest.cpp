// Timer: fired from message processing only, once per due interval, never inside itself.
#include "platform/window/Timer.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/system/Clock.h"
#include "platform/window/Application.h"

using platform::Application;
using platform::Timer;

namespace {

// Lets the clock move on by more than `ms` milliseconds without processing any message.
void passAtLeast(std::uint32_t ms) {
    platform::sleepMilliseconds(ms + 1);
}

}  // namespace

TEST(Timer, FiresOnlyFromMessageProcessingWhenDue) {
    Application::instance().startVideo();
    Timer timer;
    int fired = 0;
    timer.setHandler([&] { ++fired; });
    timer.setInterval(2);
    passAtLeast(4);
    EXPECT_EQ(fired, 0);  // time alone fires nothing
    Application::instance().processMessages();
    EXPECT_EQ(fired, 1);  // several intervals passed, one firing
    Application::instance().processMessages();
    EXPECT_EQ(fired, 1);  // the count restarted at the firing
}

TEST(Timer, HandlerLoopsDoNotRefireTheirOwnTimerButOthersRun) {
    Application& app = Application::instance();
    app.startVideo();
    Timer outer, inner;
    int outerFired = 0, innerFired = 0;
    inner.setInterval(1);
    inner.setHandler([&] { ++innerFired; });
    outer.setInterval(1);
    outer.setHandler([&] {
        ++outerFired;
        for (int pass = 0; pass < 3; ++pass) {
            passAtLeast(2);
            app.processMessages();
        }
    });
    passAtLeast(2);
    app.processMessages();
    EXPECT_EQ(outerFired, 1);
    EXPECT_GE(innerFired, 3);
}

TEST(Timer, AHandlerMayDestroyItsOwnTimer) {
    Application& app = Application::instance();
    app.startVideo();
    auto timer = std::make_unique<Timer>();
    int fired = 0;
    timer->setInterval(1);
    timer->setHandler([&] {
        ++fired;
        timer.reset();
    });
    passAtLeast(2);
    app.processMessages();
    app.processMessages();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer, nullptr);
}

// The toolkit's process-wide values and their initial states.
#include "shadeui/ShadeToolkit.h"

#include <algorithm>

#include "platform/window/Application.h"

bool dark = false;
int accentColour = 0xFFC4C4;
ShadeFader* capturedFader = nullptr;
std::function<void()> idleHook;
std::function<std::uint32_t()> idleWaitHook;
ShadeUI* currentContainer = nullptr;

void waitForIdleWork(std::uint32_t ms) {
    if (idleWaitHook) ms = std::min(ms, idleWaitHook());
    platform::Application::instance().waitForMessages(ms);
}

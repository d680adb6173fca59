// The toolkit's process-wide values and their initial states.
#include "shadeui/ShadeToolkit.h"

bool dark = false;
int accentColour = 0xFFC4C4;
ShadeFader* capturedFader = nullptr;
std::function<void()> idleHook;
ShadeUI* currentContainer = nullptr;

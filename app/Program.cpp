// The program's objects in their order, and the program entry.
#include "app/Program.h"

#include <exception>

#include "about/AboutPictures.h"
#include "about/TFfreeAppsSplashScreen.h"
#include "app/TFmain.h"
#include "app/Wmain.h"
#include "base/Log_.h"
#include "base/TextConversions.h"
#include "platform/window/Application.h"
#include "platform/window/DisplayLoss.h"
#include "platform/window/DisplayScale.h"
#include "popups/TFshadeDialog.h"
#include "popups/TFshadeMenu.h"

namespace {

// The size of the icon handed to the window system, which scales it for its task bar.
constexpr int iconSize = 64;

}  // namespace

// The members are built in declaration order; the foundation values and the log are function
// statics, made here explicitly after the window modules, as the order asks.
Program::Program() : mainModule(std::make_unique<Wmain>(audio)) {
    webHost();
    programLog();
}

// Nothing may save through a module that is going away.
Program::~Program() {
    platform::setDisplayLostHandler(nullptr);
}

int Program::run() {
    platform::Application& application = platform::Application::instance();
    // Without a display no window can be closed the normal way: the settings are written at
    // once, and the process ends.
    platform::setDisplayLostHandler([this] { mainModule->metronome.saveSettings(); });
    // Without a desktop to show the window on (SDL then falls back to a driver that draws
    // nowhere), the program says so in one line and ends rather than run unseen.
    if (!application.startVideo()) return 1;
    if (!application.hasRealDisplay()) {
        report("cannot open a window: no display");
        return 1;
    }
    report(platform::DisplayScale::description());
    application.setTitle("Brevant");
    application.setIcon(AboutPictures::icon(iconSize), iconSize);
    installShadeDialog();
    try {
        TFmain mainForm(*mainModule, audio);
        TFshadeMenu menu;
        TFfreeAppsSplashScreen splash;
        application.run(mainForm);
    } catch (const std::exception& error) {
        application.showException(error.what());
    } catch (...) {
        application.showException("");
    }
    return 0;
}

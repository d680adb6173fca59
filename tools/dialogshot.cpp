// Shows the information dialog with a heading, plain lines and a link, for screenshots.
#include <cstring>

#include "base/TextConversions.h"
#include "platform/window/Application.h"
#include "popups/TFshadeDialog.h"
#include "shadeui/ShadeToolkit.h"

// Usage: dialogshot [dark] [buttons]. The dialog stays until it is closed.
int main(int argc, char** argv) {
    platform::Application& application = platform::Application::instance();
    if (!application.startVideo()) return 1;
    application.setTitle("Brevant");
    bool buttons = false;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "dark") == 0) dark = true;
        if (std::strcmp(argv[i], "buttons") == 0) buttons = true;
    }
    Llist<AnsiString> lines;
    for (const char* line :
         {"title:About the dialog", "~A bold heading", "", "A plain line of text",
          "Another line, somewhat longer than the first one", ""})
        lines.add(line);
    lines.add(webHost());
    installShadeDialog();
    ShadeUI owner;
    return owner.showShadeDialog(lines, buttons, buttons) == 1 ? 0 : 2;
}

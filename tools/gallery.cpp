// The toolkit gallery: one window holding one of each shaded control, and the popup menu.
#include <cstdio>
#include <cstring>

#include "platform/system/Clock.h"
#include "platform/window/Application.h"
#include "platform/window/Form.h"
#include "platform/window/Screen.h"
#include "platform/window/Timer.h"
#include "popups/TFshadeMenu.h"
#include "shadeui/ShadeToolkit.h"
#include "shadeui/ShadeUI.h"

namespace {

constexpr int galleryWidth = 420;
constexpr int galleryHeight = 300;

const char* const glyphTokens[] = {"<",       ">",       "<up>",    "<down>", "<plus>", "<minus>",
                                   "<cross>", "<sound>", "<reset>", "<tap>",  "<play>", "<wave>"};

// The gallery window. Its one-shot timer builds the controls and then runs the window's own
// loop until the close box, ESC or the menu's last entry ends it.
class GalleryForm : public platform::Form {
  public:
    platform::Timer timer;
    ShadeUI container;
    double level = 0.6;
    double balance = 0.3;
    bool loop = true;
    bool sound = false;
    int choice = 0;
    int lastMenuChoice = -1;

    GalleryForm() {
        setCaption("Gallery");
        timer.setInterval(10);
        timer.setHandler([this] { timerTimer(); });
    }

    void timerTimer() {
        timer.setEnabled(false);
        build();
        repaint();
        while (!container.closeRequested && !platform::Application::instance().terminated())
            loopPass();
        close();
    }

    void loopPass() {
        platform::Application& application = platform::Application::instance();
        application.processMessages();
        platform::sleepMilliseconds(5);
        if (!container.minimizeRequested) return;
        container.minimizeRequested = false;
        application.minimize();
    }

    void build() {
        setClientSize(galleryWidth, galleryHeight);
        setPosition(platform::Screen::width() / 2 - galleryWidth / 2,
                    platform::Screen::height() / 2 - galleryHeight / 2);
        container.attachToWindow(this, "Toolkit Gallery", false, true);
        container.beginControls([this] { changeHandler(); }, [this] { menuHandler(); });
        addFaders();
        addButtons();
        addGlyphRow();
    }

    void addFaders() {
        ShadeUI& c = container;
        c.setY(54).setX(20).setHeight(100);
        c.addFader("Level", &level, 0, 10, -1).advanceX(12);
        c.addFader("Balance", &balance, 8, 5, 0);
    }

    void addButtons() {
        ShadeUI& c = container;
        c.setY(62).setX(120).setHeight(0).setWidth(71);
        c.addButton("Plain", 10).advanceX(8).addButton("#Bright", 11);
        c.setY(112).setX(120).addToggle("Loop", &loop).advanceX(8).addToggle("<sound>", &sound);
        c.setY(162).setX(120).setWidth(46);
        addRadio("One", 0);
        c.advanceX(4);
        addRadio("Two", 1);
        c.advanceX(8).setWidth(71).addButton("$Label only@-2", 12);
        c.setY(92).setX(124).addLabel("Buttons");
        c.setY(142).setX(124).addLabel("Toggles");
        c.setY(192).setX(124).addLabel("Radio pair");
    }

    // The builder makes no radio-style buttons: a plain button is turned into one by binding
    // its selection and rendering its faces again.
    void addRadio(const char* caption, int value) {
        container.addButton(caption, -1);
        ShadeButton& button = container.buttons.items[container.buttons.top];
        button.radioVar = &choice;
        button.radioValue = value;
        button.setUp(button.rect.Left, button.rect.Top, button.rect.Right - button.rect.Left,
                     button.rect.Bottom - button.rect.Top, caption);
        button.draw();
    }

    void addGlyphRow() {
        ShadeUI& c = container;
        c.setY(232).setX(20).setHeight(0).setWidth(0);
        for (const char* token : glyphTokens)
            c.addButton(token, 20).advanceX(1);
        c.setY(258).setX(20).addLabel(
            "Glyphs: <  >  up  down  plus  minus  cross  sound  reset  "
            "tap  play  wave");
    }

    void changeHandler() {
        if (container.buttonClicked())
            std::printf("button %d\n", container.clickedId());
        else
            std::printf("changed: level %.3f balance %.3f loop %d sound %d choice %d\n", level,
                        balance, loop, sound, choice);
        std::fflush(stdout);
    }

    void menuHandler() {
        Llist<AnsiString> items;
        for (const char* text :
             {"#Checked entry", "$Bullet entry", "@Dimmed entry", "Entry with a key|Ctrl+K",
              "Dimmed key|@F5", "-After a line", "-Exit"})
            items.add(text);
        lastMenuChoice = showShadeMenu(items);
        std::printf("menu %d\n", lastMenuChoice);
        std::fflush(stdout);
        if (lastMenuChoice == items.top) container.closeRequested = true;
    }

    void FormPaint() override { container.repaint(); }

    void FormCloseQuery(bool& canClose) override {
        container.closeRequested = true;
        canClose = true;
    }

    void FormKeyDown(int key, platform::ShiftState) override {
        if (key == platform::vk::escape) container.closeRequested = true;
    }

    void FormMouseDown(platform::MouseButton, platform::ShiftState, int, int) override {
        container.mouseDown();
    }

    void FormMouseMove(platform::ShiftState, int, int) override { container.mouseMove(); }

    void FormMouseUp(platform::MouseButton, platform::ShiftState, int, int) override {
        container.mouseUp();
    }
};

}  // namespace

// Usage: gallery [dark|light]. The light model is the default.
int main(int argc, char** argv) {
    platform::Application& application = platform::Application::instance();
    if (!application.startVideo() || !application.hasRealDisplay()) {
        std::fprintf(stderr, "cannot open a window: no display\n");
        return 1;
    }
    application.setTitle("Brevant");
    dark = argc > 1 && std::strcmp(argv[1], "dark") == 0;
    GalleryForm form;
    TFshadeMenu menu;
    application.run(form);
    return 0;
}

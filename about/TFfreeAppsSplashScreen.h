// TFfreeAppsSplashScreen: the about screen, which also shows briefly as the splash at start-up.
#pragma once

#include <cstdint>

#include "base/AnsiString.h"
#include "graphics/Limage.h"
#include "platform/draw/Rect.h"
#include "platform/window/Form.h"

// A borderless 540 x 270 picture window: the title, the version, four pictures and the maker's
// web site as a breathing, glowing link. At start-up it closes by itself two seconds after it
// was first painted or after the mouse last rested on the link; from the menu it stays until a key,
// a click or the loss of activation closes it. A click on the link opens the maker's page.
class TFfreeAppsSplashScreen : public platform::Form {
  public:
    static constexpr int screenWidth = 540;
    static constexpr int screenHeight = 270;
    static constexpr int pictureCount = 8;
    // How long the start-up splash stays after its first paint or after the mouse left the link.
    static constexpr std::uint32_t splashMilliseconds = 2000;

    Limage screenRaster;  // what the window shows
    Limage backRaster;    // the composed picture without the link glow
    Limage glowMask;      // 200 x 20, brightest in the middle
    // Slot 0 the tuning fork, 1 the notes, 2 the metronome, 3 the loudspeaker; 4 to 7 are kept
    // free for pictures the screen does not show.
    Limage pictures[pictureCount];
    platform::Rect linkRect{170, 206, 370, 265};  // edges included
    bool aboutMode = false;
    bool linkHovered = false;
    std::uint32_t hoverChangedAt = 0;

    TFfreeAppsSplashScreen();
    ~TFfreeAppsSplashScreen() override;

    // Composes, shows and runs the screen's own loop until the window closes; true from the menu,
    // false at start-up.
    void showAboutScreen(bool aboutMode);

    // Builds backRaster, glowMask and screenRaster for the mode in aboutMode.
    void compose();
    // Lays the glow over the link in screenRaster for the time `now` and shows that area.
    void paintLinkGlow(std::uint32_t now);
    // The glow's strength at `now`: steady while hovered, else breathing from dim.
    double glowFactor(std::uint32_t now) const;
    // Takes the mouse at (x, y) in client coordinates; a change of linkHovered is stamped and
    // changes the cursor. Returns whether it changed.
    bool updateHover(int x, int y, std::uint32_t now);

    // The version texts.
    static const char* const versionNumber;
    static const char* const headline;

  protected:
    void FormShow() override;
    void FormPaint() override;
    void FormKeyDown(int key, platform::ShiftState shift) override;
    void FormMouseDown(platform::MouseButton button, platform::ShiftState shift, int x,
                       int y) override;
    void FormDeactivate() override;

  private:
    // The first paint since showAboutScreen's show, from which the start-up splash is timed.
    bool paintedSinceShow = true;
    std::uint32_t firstPaintAt = 0;

    void composeBackground();
    void makePictures();
    void drawPictures();
    void shadeSides();
    void drawCentredText(const AnsiString& text, int centreY, int height, bool bold, int colour);
    void drawTexts();
    void drawWedgeAndFrames();
    void makeGlowMask();
    void showWhole();
};

// The one about screen of the program, made by the program entry; null until then.
extern TFfreeAppsSplashScreen* FfreeAppsSplashScreen;

// The main window: start-up, layout, the main loop, keyboard and mouse, tap tempo, the menu.
#include "app/TFmain.h"

#include <algorithm>

#include "about/TFfreeAppsSplashScreen.h"
#include "app/TFpractice.h"
#include "app/Wmain.h"
#include "audio/AudioEngine.h"
#include "audio/WavLoader.h"
#include "base/TextConversions.h"
#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "platform/sound/SoundDevice.h"
#include "platform/system/Clock.h"
#include "platform/window/Application.h"
#include "platform/window/Screen.h"
#include "popups/TFshadeMenu.h"
#include "shadeui/ShadeToolkit.h"

TFmain* Fmain = nullptr;

namespace {

constexpr int mainWidth = 389;
constexpr int mainHeight = 305;
constexpr double tempoStep = 0.005;
// One step of the mouse wheel over the Volume fader.
constexpr double volumeWheelStep = 0.02;

double clampUnit(double value) {
    if (value < 0.0) return 0.0;
    if (value > 1.0) return 1.0;
    return value;
}

Llist<AnsiString> listOf(std::initializer_list<const char*> texts) {
    Llist<AnsiString> list;
    for (const char* text : texts) list.add(text);
    return list;
}

}  // namespace

// The window starts 1 x 1 at (0, 0) in the dark model; the first layout gives it its size, its
// place and the colour model of the settings.
TFmain::TFmain(Wmain& owner, AudioEngine& engine) : module(owner), audio(engine) {
    if (Fmain == nullptr) Fmain = this;
    setCaption("Metronome");
    setColour(0xF0F0F0);
    // The window shows on the screen only once the first layout has given it its size and
    // place; until then it is a 1 x 1 form at (0, 0) that only the program sees.
    setMapHeld(true);
    timer.setInterval(10);
    timer.setHandler([this] { timerTimer(); });
    dark = true;
    loadSamples();
    audio.init(this, 2);
    matchSamplesToDevice();
    idleHook = [this] { module.dial.paint(false); };
    idleWaitHook = [this] { return module.dial.msUntilNextFrame(); };
    pageName() = "brevant.html";
}

// The module and its container outlive the window: the container must not keep it.
TFmain::~TFmain() {
    idleHook = nullptr;
    idleWaitHook = nullptr;
    if (module.mainContainer.window == this) module.mainContainer.window = nullptr;
    if (Fmain == this) Fmain = nullptr;
}

// A sample that is missing or unreadable leaves its slot empty: that sound is then silent.
void TFmain::loadSamples() {
    for (int slot = 0; slot < 4; ++slot)
        loadWavSamples(findSampleFile(Metronome::sampleFileNames[slot]),
                       module.metronome.samples[slot]);
}

// The samples are made at 44100 Hz; a device at another rate (JACK's, often 48000) gets them
// converted once here, so that each click keeps its length and pitch.
void TFmain::matchSamplesToDevice() {
    for (Llist<unsigned char>& list : module.metronome.samples)
        resampleWavSamples(list, Metronome::SampleRate, audio.sampleRate());
}

void TFmain::timerTimer() {
    timer.setEnabled(false);
    if (FfreeAppsSplashScreen) FfreeAppsSplashScreen->showAboutScreen(false);
    buildLayout();
    platform::beginTimerResolution(1);
    while (!module.mainContainer.closeRequested) loopPass();
    platform::endTimerResolution(1);
    close();
}

// The work of a pass runs in the same order as ever; only the pause after it changed, from a
// fixed sleep to a wait that input, a timer or the loop's own next work ends.
void TFmain::loopPass() {
    ++loopPasses;
    platform::Application& application = platform::Application::instance();
    application.processMessages();
    Metronome& metronome = module.metronome;
    followTransport();
    metronome.tick();
    if (metronome.tempoStepped) {
        // The trainer moved the tempo: the fader follows, as the dial's number already does.
        metronome.tempoStepped = false;
        module.mainContainer.refreshBound(&metronome.tempo);
    }
    if (practice && practice->finished()) practice.reset();
    if (practice) practice->refresh();
    // The session may have moved the tempo or started or stopped: the controls show it now.
    if (metronome.linked.takeTempoMoved()) module.mainContainer.refreshBound(&metronome.tempo);
    if (metronome.linked.takeRunningMoved()) module.mainContainer.refreshBound(&metronome.running);
    module.dial.paint(false);
    ShadeUI& container = module.mainContainer;
    if (container.minimizeRequested) {
        if (application.active())
            application.minimize();
        else
            container.minimizeRequested = false;
    }
    application.waitForMessages(msUntilLoopWork());
}

std::uint32_t TFmain::msUntilLoopWork() {
    const ShadeUI& container = module.mainContainer;
    // A minimize asked for was carried out in this pass; its outcome (the focus leaving) is an
    // event of its own.
    if (container.closeRequested) return 0;
    std::uint32_t wait =
        std::min(module.metronome.msUntilTickWork(), module.dial.msUntilNextFrame());
    // The transport sends no event when it rolls or stops: while it is followed, it is looked at
    // as often as the dial draws a frame.
    if (module.metronome.followTransport && hasTransport())
        wait = std::min<std::uint32_t>(wait, BeatDial::frameInterval);
    return wait;
}

// On a screen smaller than the window, the centred place is moved right and down just enough to
// keep the title bar, with the menu grip and the drag zone, on the screen.
void TFmain::buildLayout() {
    setClientSize(mainWidth, mainHeight);
    setPosition(std::max(platform::Screen::width() / 2 - 194, 0),
                std::max(platform::Screen::height() / 2 - 152, 0));
    dark = !module.metronome.white;
    module.mainContainer.attachToWindow(this, "", false, true);
    module.dial.buildBackground();
    drawDialFrameAndLink();
    module.mainContainer.beginControls([this] { changeHandler(); }, [this] { menuHandler(); });
    addControls();
    setMapHeld(false);
}

// The engraved frame two pixels around the dial, and the web-site text under the faders.
void TFmain::drawDialFrameAndLink() {
    ShadeUI& container = module.mainContainer;
    if (!container.raster.isValid()) return;
    platform::Canvas& canvas = container.raster.canvas();
    const int darker = scaleColour(container.backColour, 0.9f);
    const int lighter = scaleColour(container.backColour, 1.1f);
    canvas.setPenColour(darker);
    canvas.moveTo(18, 41);
    canvas.lineTo(209, 41);
    canvas.moveTo(18, 41);
    canvas.lineTo(18, 232);
    canvas.setPenColour(lighter);
    canvas.moveTo(210, 233);
    canvas.lineTo(210, 42);
    canvas.moveTo(210, 233);
    canvas.lineTo(19, 233);

    beginText(canvas, scaleColour(accentColour, 0.6f));
    const int w = canvas.textWidth(webHost());
    canvas.textOut(309 - w / 2, 223, webHost());
    endText(canvas);
    module.linkRect = {309 - w / 2, 223, 309 + w / 2, 237};
}

void TFmain::addControls() {
    ShadeUI& c = module.mainContainer;
    Metronome& m = module.metronome;
    c.setY(54).setX(268).setHeight(100);
    c.addFader("Tempo", &m.tempo, 0, 10, -1, tempoStep).advanceX(19);
    c.addFader("Volume", &m.volume, 0, 10, -1, volumeWheelStep);
    c.setY(115).setX(231).setHeight(0).setWidth(0);
    c.addButton("<plus>", 0).advanceY(1).addButton("<minus>", 1);
    c.setY(254).setX(46).setWidth(22).addButton("", 4);
    c.setX(92).setWidth(22).addButton("<", 3).advanceX(1).addButton(">", 2);
    c.setX(161).setWidth(22).addButton("<tap>", 6);
    c.setX(273).setWidth(71).addToggle("<sound>", &m.running);
    c.setY(278).setX(45).addLabel("Tone").setX(104).addLabel("Beat");
    c.setX(163).addLabel("Tap").setX(299).addLabel("Play");
}

void TFmain::FormPaint() {
    module.dial.stale = true;
    module.dial.paint(true);
    module.mainContainer.repaint();
}

void TFmain::FormCloseQuery(bool& canClose) {
    module.mainContainer.closeRequested = true;
    canClose = true;
}

void TFmain::FormKeyDown(int key, platform::ShiftState) {
    namespace vk = platform::vk;
    if (key == vk::space) toggleRunning();
    if (key == vk::add || key == vk::oemPlus) stepTempo(true);
    if (key == vk::subtract || key == vk::oemMinus) stepTempo(false);
    if (key >= vk::digit0 && key <= vk::digit0 + 9) setBeats(key - vk::digit0);
    if (key >= vk::numpad0 && key <= vk::numpad0 + 9) setBeats(key - vk::numpad0);
    if (key == vk::enter) tap();
    if (key == vk::letterA + ('S' - 'A')) stepSubdivision();
    if (key == vk::letterA + ('L' - 'A')) toggleLink();
    if (key == vk::escape) close();
}

// Every mouse button acts the same.
void TFmain::FormMouseDown(platform::MouseButton, platform::ShiftState, int x, int y) {
    if (pointInRect(x, y, module.linkRect)) {
        openWebPage();
        return;
    }
    if (cycleLevelAt(x, y)) return;
    module.mainContainer.mouseDown();
}

// The title bar moves the window, except on the maker's link.
bool TFmain::FormDragArea(int x, int y) {
    return !pointInRect(x, y, module.linkRect) && module.mainContainer.inDragZone(x, y);
}

void TFmain::FormMouseMove(platform::ShiftState, int, int) { module.mainContainer.mouseMove(); }

void TFmain::FormMouseUp(platform::MouseButton, platform::ShiftState, int, int) {
    module.mainContainer.mouseUp();
}

void TFmain::FormMouseWheel(platform::ShiftState, int steps, int, int) {
    module.mainContainer.mouseWheel(steps);
}

void TFmain::toggleRunning() {
    Metronome& m = module.metronome;
    m.running = !m.running;
    module.mainContainer.refreshBound(&m.running);
    m.restart();
}

// The session is joined or left by the metronome's next pass.
void TFmain::toggleLink() {
    Metronome& m = module.metronome;
    m.link = !m.link;
}

void TFmain::stepTempo(bool up) {
    Metronome& m = module.metronome;
    const double old = m.tempo;
    m.tempo = clampUnit(m.tempo + (up ? tempoStep : -tempoStep));
    if (m.tempo == old) return;
    m.endTrainer();
    module.mainContainer.refreshBound(&m.tempo);
    if (m.running) m.rebuild = true;
}

// 1 to 6 pulses a beat, round and round.
void TFmain::stepSubdivision() {
    Metronome& m = module.metronome;
    m.subdivision = m.pulsesPerBeat() % 6 + 1;
    if (m.running) m.rebuild = true;
}

// A click on a beat's marker moves the beat to its next level; it sounds from the next switch.
bool TFmain::cycleLevelAt(int x, int y) {
    Metronome& m = module.metronome;
    if (!m.cycleBeatLevel(module.dial.markerAt(x, y))) return false;
    if (m.running) m.rebuild = true;
    return true;
}

// The dial animates a change of count; it needs the count before the change, which is taken
// even when the count stays the same. Counts are compared as the dial shows them, so that a
// hand-edited count outside 0..9 set to the value shown is no change.
void TFmain::beatsChanged(int before) {
    Metronome& m = module.metronome;
    module.dial.previousBeats = before;
    if (m.shownBeats() == before) return;
    module.dial.beatChangeTime = platform::clockMilliseconds();
    if (m.running) m.rebuild = true;
}

// The transport may start or stop the metronome and change its tempo and beats: the controls
// and the dial show it as if the user had done it.
void TFmain::followTransport() {
    Metronome& m = module.metronome;
    const int beatsBefore = m.shownBeats();
    const double tempoBefore = m.tempo;
    const bool runningBefore = m.running;
    if (!m.syncToTransport()) return;
    ShadeUI& c = module.mainContainer;
    if (m.tempo != tempoBefore) c.refreshBound(&m.tempo);
    if (m.running != runningBefore) c.refreshBound(&m.running);
    module.dial.previousBeats = beatsBefore;
    if (m.shownBeats() != beatsBefore) module.dial.beatChangeTime = platform::clockMilliseconds();
}

// The entry for the transport is there only while the device has one (JACK's).
bool TFmain::hasTransport() const {
    platform::SoundTransport transport;
    return audio.transport(transport);
}

void TFmain::setBeats(int digit) {
    Metronome& m = module.metronome;
    const int before = m.shownBeats();
    m.beats = Metronome::clampBeats(digit);
    beatsChanged(before);
}

// The step starts from the count in use, never from a raw value that could overflow; a step
// past either end changes nothing, not even a hand-edited value beyond it.
void TFmain::stepBeats(int delta) {
    Metronome& m = module.metronome;
    const int before = m.shownBeats();
    const int after = Metronome::clampBeats(before + delta);
    if (after != before) m.beats = after;
    beatsChanged(before);
}

// The tempo of one interval since the previous tap; a pause over 1.5 s only marks the time.
void TFmain::tap() { tap(platform::clockMilliseconds()); }

void TFmain::tap(std::uint32_t now) {
    const double d = static_cast<std::int32_t>(now - lastTapTime) * 0.001;
    lastTapTime = now;
    if (d < 0.001 || 60 / d < 40) return;
    const int bpm = static_cast<int>(60 / d);
    Metronome& m = module.metronome;
    m.tempo = clampUnit((bpm - 40) * tempoStep);
    m.endTrainer();
    module.mainContainer.refreshBound(&m.tempo);
    if (m.running) m.rebuild = true;
}

void TFmain::changeHandler() {
    ShadeUI& c = module.mainContainer;
    Metronome& m = module.metronome;
    void* changed = c.changedVariable();
    if (changed == &m.running) m.restart();
    if (changed == &m.tempo) {
        // A tempo reached by dragging the fader is always even; the wheel steps by one beat per
        // minute, as the keys do.
        if (!c.wheelTurned() && m.bpm() % 2 == 1) m.tempo = std::min(m.tempo + tempoStep, 1.0);
        m.endTrainer();
        if (m.running) m.rebuild = true;
    }
    if (changed == &m.volume) audio.setSoundVolume(0, m.gain());
    if (!c.buttonClicked()) return;
    switch (c.clickedId()) {
        case 0: stepTempo(true); break;
        case 1: stepTempo(false); break;
        case 2: stepBeats(1); break;
        case 3: stepBeats(-1); break;
        case 4:
        case 5:
            // A sound number outside 0..3 (from a hand-edited file) comes back to the first.
            m.sound = (m.sound >= 0 && m.sound < 3) ? m.sound + 1 : 0;
            if (m.running) m.rebuild = true;
            break;
        case 6: tap(); break;
        default: break;
    }
}

// The maker's page, opened as a web address.
void TFmain::openWebPage() { openMakerPage(); }

Llist<AnsiString> TFmain::menuItems() const {
    const Metronome& m = module.metronome;
    Llist<AnsiString> items;
    items.add(AnsiString(m.beatNumbers ? "#" : "") + "Show Beat Numbers");
    items.add(AnsiString(m.white ? "#" : "") + "White Model");
    items.add("Practice...");
    if (hasTransport())
        items.add(AnsiString(m.followTransport ? "#" : "") + "Follow JACK Transport");
    items.add("-Hot Keys...");
    items.add("Specifications...");
    items.add("About...");
    items.add("More Apps at " + webHost() + "...");
    items.add(AnsiString(m.link ? "-#" : "-") + m.linked.menuText());
    items.add("-Exit");
    return items;
}

Llist<AnsiString> TFmain::hotKeyLines() {
    return listOf({"title:Hot Keys", "Start/stop metronome:   SPACE", "",
                   "Increase/decrease tempo:   +/-", "Change beat:   0,1,2,3,4,5,6,7,8,9", "",
                   "Tap tempo:   ENTER", "Step subdivision (1-6 pulses a beat):   S",
                   "Click a beat's marker:   accent, normal, soft, silent"});
}

Llist<AnsiString> TFmain::featureLines() {
    return listOf({"~Specifications", "",
                   "- Timing method: precision algorithm based on 44.1 kHz audio clock",
                   "- Accuracy: better than 0.01%", "- Tempo range: 40-240 BPM",
                   "- Beat range: 1-9 and '-' (no accent)",
                   "- Sound: 2 digital waveforms + 2 acoustic samples", "- Tap tempo",
                   "- Beat visualization"});
}

void TFmain::menuHandler() {
    const Llist<AnsiString> items = menuItems();
    runMenuCommand(showShadeMenu(items));
}

void TFmain::runMenuCommand(int index) {
    Metronome& m = module.metronome;
    ShadeUI& c = module.mainContainer;
    // Without the transport's entry the entries after it move up one.
    if (index >= 3 && !hasTransport()) index++;
    switch (index) {
        case 0: m.beatNumbers = !m.beatNumbers; break;
        case 1:
            m.white = !m.white;
            buildLayout();
            FormPaint();
            // An open Practice window is built again in the new colours.
            if (practice) {
                practice.reset();
                openPractice();
            }
            break;
        case 2: openPractice(); break;
        case 3: m.followTransport = !m.followTransport; break;
        case 4: c.showShadeDialog(hotKeyLines(), false, false); break;
        case 5: c.showShadeDialog(featureLines(), false, false); break;
        case 6:
            if (FfreeAppsSplashScreen) FfreeAppsSplashScreen->showAboutScreen(true);
            break;
        case 7: c.openWebPage(""); break;
        case 8: toggleLink(); break;
        case 9: c.closeRequested = true; break;
        default: break;
    }
}

// The window opens to the right of the main window, or against the screen's right edge when
// that would leave the screen.
void TFmain::openPractice() {
    if (practice && !practice->finished()) {
        practice->activate();
        return;
    }
    practice = std::make_unique<TFpractice>(module.metronome, module.mainContainer);
    int x = left() + clientWidth() + 8;
    if (platform::Screen::width() > 0 && x + TFpractice::width > platform::Screen::width())
        x = std::max(platform::Screen::width() - TFpractice::width, 0);
    practice->open(x, top());
}

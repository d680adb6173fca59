// Application: starts SDL video, routes events to forms, fires timers, runs the message loop.
#include "platform/window/Application.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/system/QuitSignals.h"
#include "platform/window/Cursor.h"
#include "platform/window/DisplayLoss.h"
#include "platform/window/DisplayScale.h"
#include "platform/window/Form.h"
#include "platform/window/Timer.h"

namespace platform {

namespace {

template <typename T>
bool contains(const std::vector<T*>& list, const T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

template <typename T>
void erase(std::vector<T*>& list, const T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// The marker event of SDL_PollEvent, which the message processing skips.
constexpr Uint32 pollMarker = 0x7F00;

bool isKeyEvent(Uint32 type) {
    return type == SDL_KEYDOWN || type == SDL_KEYUP;
}

bool isFocusEvent(Uint8 windowEvent) {
    return windowEvent == SDL_WINDOWEVENT_FOCUS_GAINED || windowEvent == SDL_WINDOWEVENT_FOCUS_LOST;
}

bool isMouseEvent(Uint32 type) {
    return type == SDL_MOUSEMOTION || type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP ||
           type == SDL_MOUSEWHEEL;
}

// The event a quit signal sends to end a wait: it carries nothing, and no form receives it.
std::atomic<Uint32> wakeEventType{0};

void pushWakeEvent() {
    SDL_Event event{};
    event.type = wakeEventType.load();
    if (event.type != 0) SDL_PushEvent(&event);
}

Uint32 windowOf(const SDL_Event& event) {
    if (isKeyEvent(event.type)) return event.key.windowID;
    if (event.type == SDL_MOUSEMOTION) return event.motion.windowID;
    if (event.type == SDL_MOUSEWHEEL) return event.wheel.windowID;
    if (isMouseEvent(event.type)) return event.button.windowID;
    if (event.type == SDL_WINDOWEVENT) return event.window.windowID;
    return 0;
}

}  // namespace

Application& Application::instance() {
    static Application application;
    return application;
}

bool Application::startVideo() {
    if (videoTried) return videoUp;
    videoTried = true;
    // The program decides itself when it ends: closing its last window must not quit SDL, and
    // a click on an inactive window must act on it as on the desktop the program came from.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // The X server already sends a held button's events to the window it was pressed on. SDL's
    // own capture would end the popup menu's hold on the pointer at the first release.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Window surfaces stay plain shared memory: a texture framebuffer would pull in OpenGL,
    // recreate each window on its first paint (losing its place) and cost far more time.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!chooseVideoDriver()) return false;
    videoUp = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoUp) {
        std::fprintf(stderr, "%s: cannot open a window: %s\n", program_invocation_short_name,
                     SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    realDisplay = driver && std::strcmp(driver, "dummy") != 0 &&
                  std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "evdev") != 0;
    WindowSystem::enableNativeEvents();
    const Uint32 wakeType = SDL_RegisterEvents(1);
    if (wakeType != std::numeric_limits<Uint32>::max()) wakeEventType.store(wakeType);
    wakeOnQuitSignal(pushWakeEvent);
    // The scale must be known before the first window is made; only an X server has the dpi.
    const bool x11 = driver && std::strcmp(driver, "x11") == 0;
    DisplayScale::chooseOnce([x11] { return x11 ? WindowSystem::xftDpi() : 0.0; });
    if (x11) watchDisplayConnection();
    return true;
}

// The windows are X11 windows: the program reaches the X server for places, grabs and focus.
// A Wayland desktop runs them through Xwayland, so SDL's own Wayland driver is never taken, even
// when asked for; without an X display the program says so in one line rather than run unseen.
// The headless drivers of tests stay as asked.
bool Application::chooseVideoDriver() {
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (asked && (std::strcmp(asked, "dummy") == 0 || std::strcmp(asked, "offscreen") == 0 ||
                  std::strcmp(asked, "evdev") == 0))
        return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr,
                     "%s: cannot open a window: it needs X11 or Xwayland, and no X display is "
                     "there (DISPLAY is not set)\n",
                     program_invocation_short_name);
        return false;
    }
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    return true;
}

void Application::setTitle(const std::string& text) {
    titleText = text;
    for (Form* form : forms)
        form->applyTitle();
}

void Application::setIcon(const std::vector<unsigned char>& rgba, int size) {
    iconRgba = rgba;
    iconWidth = size;
    for (Form* form : forms)
        form->applyIcon();
}

void Application::processMessages() {
    // A quit signal closes the main form as a close from the window manager does; before the
    // message loop runs it waits for it.
    if (mainWindow && takeQuitSignal()) mainWindow->close();
    if (videoUp) {
        // Events are taken one at a time straight from the queue, so that events queued by the
        // handlers themselves are handled in the same call. SDL_PollEvent would stop at a marker
        // of its own, and a pass that a handler's exception cut short would leave that marker
        // in front of the next call's events.
        SDL_PumpEvents();
        SDL_Event event;
        while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
            if (event.type != pollMarker) dispatch(&event);
    }
    fireTimers();
    runPaints();
}

void Application::waitForMessages(std::uint32_t ms) {
    // SDL's wait may end up to a millisecond before a timer's count of whole milliseconds is
    // due; the timer then fires only after one more, empty, pass. A wait for a timer lasts that
    // millisecond longer.
    const std::uint32_t timer = msUntilNextTimer();
    if (timer < ms) ms = timer == 0 ? 0 : timer + 1;
    for (Form* form : forms)
        if (form->paintPending && form->visible()) ms = 0;
    if (ms == 0) return;
    const bool forever = ms == std::numeric_limits<std::uint32_t>::max();
    if (!videoUp) {
        SDL_Delay(std::min<std::uint32_t>(ms, 100));
        return;
    }
    // A quit signal pushes the wake event from another thread: pushed before the wait, it is
    // found waiting in the queue; pushed during it, SDL wakes the wait.
    const int timeout = forever ? -1 : static_cast<int>(std::min<std::uint32_t>(ms, INT32_MAX));
    SDL_WaitEventTimeout(nullptr, timeout);
}

void Application::run(Form& form) {
    mainWindow = &form;
    stopRequested = false;
    try {
        form.show();
        while (!stopRequested) {
            processMessages();
            if (!stopRequested) waitForMessages(100);
        }
    } catch (const std::exception& error) {
        showException(error.what());
    } catch (...) {
        showException("");
    }
    // The loop is over: a later modal form (at shutdown) must not see it as ending.
    stopRequested = false;
    mainWindow = nullptr;
}

void Application::showException(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", titleText.empty() ? "Error" : titleText.c_str(),
                 message.c_str());
    std::fflush(stderr);
    if (!videoUp || !realDisplay) return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, titleText.c_str(), message.c_str(), nullptr);
}

void Application::minimize() {
    for (Form* form : forms)
        if (form->visible() && form->window) SDL_MinimizeWindow(form->window);
}

Form* Application::popupShowing() const {
    for (Form* form : forms)
        if (form->style() == FormStyle::popup && form->visible()) return form;
    return nullptr;
}

Form* Application::inputOwner() const {
    if (Form* popup = popupShowing()) return popup;
    return modalForms.empty() ? nullptr : modalForms.back();
}

void Application::addForm(Form* form) {
    if (!contains(forms, form)) forms.push_back(form);
}

void Application::removeForm(Form* form) {
    erase(forms, form);
    erase(modalForms, form);
    if (focusForm == form) focusForm = nullptr;
    if (pressForm == form) pressForm = nullptr;
    if (mainWindow == form) mainWindow = nullptr;
}

void Application::addTimer(Timer* timer) {
    if (!contains(timers, timer)) timers.push_back(timer);
}

void Application::removeTimer(Timer* timer) {
    erase(timers, timer);
}

void Application::pushModal(Form* form) {
    modalForms.push_back(form);
}

void Application::popModal(Form* form) {
    erase(modalForms, form);
}

void Application::formClosed(Form* form) {
    if (form == mainWindow) stopRequested = true;
}

Form* Application::formOfWindow(std::uint32_t windowId) const {
    if (windowId == 0) return nullptr;
    for (Form* form : forms)
        if (form->windowId() == windowId) return form;
    return nullptr;
}

Form* Application::formOfNative(std::uint64_t nativeWindow) const {
    if (nativeWindow == 0) return nullptr;
    for (Form* form : forms)
        if (form->nativeId() == nativeWindow) return form;
    return nullptr;
}

void Application::dispatch(const void* sdlEvent) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
    // A close from outside the program goes the way of a close from inside: through the main
    // form's FormCloseQuery.
    if (event.type == SDL_QUIT || event.type == SDL_APP_TERMINATING) {
        if (mainWindow) mainWindow->close();
        return;
    }
    if (event.type == SDL_SYSWMEVENT) {
        handleNativeEvent(sdlEvent);
        return;
    }
    Form* target = formOfWindow(windowOf(event));
    if (event.type == SDL_WINDOWEVENT) {
        if (!target) return;
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) focusForm = target;
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && focusForm == target)
            focusForm = nullptr;
        target->handleWindowEvent(sdlEvent);
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) closePopupIfFocusLeft(target);
        if (isFocusEvent(event.window.event))
            if (Form* popup = popupShowing()) popup->holdPointer();
        return;
    }
    if (isKeyEvent(event.type) || isMouseEvent(event.type)) routeInput(target, sdlEvent);
}

// A popup menu does not outlive the program's focus: switching to another program closes it,
// as a click there would. The focus moving between the program's own windows (to the menu
// itself, where no window manager keeps it off) does not count; the X server tells where the
// focus went, since the event that it arrived may still be on its way.
void Application::closePopupIfFocusLeft(Form* loser) {
    Form* popup = popupShowing();
    if (!popup || focusForm) return;
    const std::uint64_t focused = loser->window ? WindowSystem::focusedWindow(loser->window) : 0;
    if (formOfNative(focused)) return;
    popup->close();
}

// The X server's own events come just before the SDL events made from them. They give each
// pointer event's exact place, and tell when a window has been mapped or moved.
void Application::handleNativeEvent(const void* sdlEvent) {
    swallowNext = 0;
    WindowSystem::noteInputTime(sdlEvent);
    PointerReport report;
    if (WindowSystem::readPointerEvent(sdlEvent, report)) {
        Cursor::noteEvent(report.onScreen);
        if (Form* form = formOfNative(report.window))
            form->noteOrigin(report.onScreen, report.inWindow);
        pointer = report;
        pointerFresh = true;
        if (report.kind == PointerReport::Kind::press) {
            // A new press means the last one's release went elsewhere, if it was still owed:
            // swallowing this press's release would lose the click.
            releaseOwed = false;
            closePopupOnPressOutside(report.onScreen);
        }
        // The menu's hold on the pointer may be ended by others (SDL on a focus change, some
        // window managers right after it was taken); the menu takes it again while it is open.
        if (report.grabEnded)
            if (Form* popup = popupShowing()) popup->holdPointer();
        if (report.kind == PointerReport::Kind::release && releaseOwed) {
            swallowNext = SDL_MOUSEBUTTONUP;
            releaseOwed = false;
        }
        return;
    }
    std::uint64_t native = 0;
    if (!WindowSystem::isPlacementEvent(sdlEvent, native)) return;
    if (Form* form = formOfNative(native)) form->refreshOrigin();
}

// The popup menu holds the pointer while it is open, so a press anywhere on the screen comes
// here first: one outside the menu closes it and goes no further, even on another program. The
// menu keeps the pointer until that press's release has reached it: a release sent elsewhere
// would leave SDL's button down, and the next press on the program would be dropped as a
// repeat.
void Application::closePopupOnPressOutside(const Point& screenPixel) {
    Form* popup = popupShowing();
    if (!popup) return;
    const Point at = popup->fromScreenPixels(screenPixel);
    if (at.x >= 0 && at.y >= 0 && at.x < popup->clientWidth() && at.y < popup->clientHeight())
        return;
    swallowNext = SDL_MOUSEBUTTONDOWN;
    releaseOwed = true;
    pressForm = popup;
    popup->close();
}

bool Application::swallowed(std::uint32_t eventType) {
    if (swallowNext == 0 || swallowNext != eventType) return false;
    swallowNext = 0;
    return true;
}

// Keys go to the form that owns the input, when one does; mouse input reaches only that form,
// and a press elsewhere closes a popup form instead of reaching the form under the mouse.
void Application::routeInput(Form* target, const void* sdlEvent) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
    Form* owner = inputOwner();
    if (isKeyEvent(event.type)) {
        // A key typed while the window system names no focused window goes to the form that
        // had the focus last, else to the main form.
        if (!target) target = focusForm ? focusForm : mainWindow;
        Form* recipient = owner ? owner : target;
        if (recipient) recipient->deliverKey(sdlEvent);
        return;
    }
    routeMouse(target, sdlEvent);
}

// Mouse input reaches only visible forms, and only the owner of the input while there is one.
// A press on another form closes a popup owner, or brings a modal one forward: the program
// waits for it, and the user must see it.
void Application::routeMouse(Form* target, const void* sdlEvent) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
    const bool fresh = pointerFresh;
    pointerFresh = false;
    if (swallowed(event.type)) return;
    if (event.type == SDL_MOUSEBUTTONUP) pressForm = nullptr;
    // SDL names no window for a press it saw outside the window it thought the mouse was in;
    // the window system's report names it.
    if (!target && fresh) target = formOfNative(pointer.window);
    if (!target || !target->visible()) return;
    Form* owner = inputOwner();
    if (!owner || owner == target) {
        if (event.type == SDL_MOUSEBUTTONDOWN) pressForm = target;
        const bool reported = fresh && pointer.window == target->nativeId();
        const Point client = target->fromWindowPixels(pointer.inWindow);
        target->deliverMouse(sdlEvent, reported ? &client : nullptr,
                             reported ? &pointer.onScreen : nullptr);
        return;
    }
    if (event.type != SDL_MOUSEBUTTONDOWN) return;
    if (owner->style() == FormStyle::popup)
        owner->close();
    else
        owner->activate();
}

void Application::fireTimers() {
    // Handlers may create and destroy timers, and nest message processing of their own.
    const std::vector<Timer*> snapshot = timers;
    for (Timer* timer : snapshot)
        if (contains(timers, timer)) timer->fireIfDue(SDL_GetTicks());
}

void Application::runPaints() {
    const std::vector<Form*> snapshot = forms;
    for (Form* form : snapshot)
        if (contains(forms, form)) form->runPendingPaint();
}

std::uint32_t Application::msUntilNextTimer() const {
    std::uint32_t soonest = UINT32_MAX;
    const std::uint32_t now = SDL_GetTicks();
    for (const Timer* timer : timers)
        soonest = std::min(soonest, timer->msUntilDue(now));
    return soonest;
}

}  // namespace platform

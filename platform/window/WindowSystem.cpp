// WindowSystem: the X server reached through SDL's window-manager information (SDL_syswm).
#include "platform/window/WindowSystem.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xresource.h>

#include <cstdlib>

namespace platform {

namespace {

struct Native {
    Display* display = nullptr;
    Window window = 0;
};

Native nativeOf(SDL_Window* window) {
    Native native;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info)) return native;
    if (info.subsystem != SDL_SYSWM_X11) return native;
    native.display = info.info.x11.display;
    native.window = info.info.x11.window;
    return native;
}

const XEvent* nativeEventOf(const void* sdlEvent) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
    if (event.type != SDL_SYSWMEVENT || !event.syswm.msg) return nullptr;
    if (event.syswm.msg->subsystem != SDL_SYSWM_X11) return nullptr;
    return &event.syswm.msg->msg.x11.event;
}

void fill(PointerReport& report, PointerReport::Kind kind, Window window, int x, int y, int rootX,
          int rootY) {
    report.kind = kind;
    report.window = window;
    report.inWindow = {x, y};
    report.onScreen = {rootX, rootY};
}

// Only the three buttons the program knows count as presses; the wheel's steps report a place.
PointerReport::Kind buttonKind(const XButtonEvent& button) {
    if (button.button < Button1 || button.button > Button3) return PointerReport::Kind::motion;
    return button.type == ButtonPress ? PointerReport::Kind::press : PointerReport::Kind::release;
}

}  // namespace

void WindowSystem::enableNativeEvents() {
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

std::uint64_t WindowSystem::nativeWindow(SDL_Window* window) {
    return nativeOf(window).window;
}

bool WindowSystem::clientOrigin(SDL_Window* window, Point& origin) {
    const Native native = nativeOf(window);
    if (!native.display) {
        if (!window) return false;
        SDL_GetWindowPosition(window, &origin.x, &origin.y);
        return true;
    }
    Window child = 0;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(native.display, native.window, DefaultRootWindow(native.display), 0,
                               0, &x, &y, &child))
        return false;
    origin = {x, y};
    return true;
}

bool WindowSystem::readPointerEvent(const void* sdlEvent, PointerReport& report) {
    const XEvent* event = nativeEventOf(sdlEvent);
    if (!event) return false;
    switch (event->type) {
        case MotionNotify: {
            const XMotionEvent& m = event->xmotion;
            fill(report, PointerReport::Kind::motion, m.window, m.x, m.y, m.x_root, m.y_root);
            return true;
        }
        case ButtonPress:
        case ButtonRelease: {
            const XButtonEvent& b = event->xbutton;
            fill(report, buttonKind(b), b.window, b.x, b.y, b.x_root, b.y_root);
            return true;
        }
        case EnterNotify:
        case LeaveNotify: {
            const XCrossingEvent& c = event->xcrossing;
            fill(report, PointerReport::Kind::crossing, c.window, c.x, c.y, c.x_root, c.y_root);
            return true;
        }
        default:
            return false;
    }
}

bool WindowSystem::isPlacementEvent(const void* sdlEvent, std::uint64_t& window) {
    const XEvent* event = nativeEventOf(sdlEvent);
    if (!event) return false;
    if (event->type == ConfigureNotify)
        window = event->xconfigure.window;
    else if (event->type == MapNotify)
        window = event->xmap.window;
    else if (event->type == ReparentNotify)
        window = event->xreparent.window;
    else
        return false;
    return true;
}

void WindowSystem::setStateBeforeMap(SDL_Window* window, bool skipTaskbar, bool modal) {
    const Native native = nativeOf(window);
    if (!native.display) return;
    Atom atoms[3];
    int count = 0;
    if (skipTaskbar) {
        atoms[count++] = XInternAtom(native.display, "_NET_WM_STATE_SKIP_TASKBAR", False);
        atoms[count++] = XInternAtom(native.display, "_NET_WM_STATE_SKIP_PAGER", False);
    }
    if (modal) atoms[count++] = XInternAtom(native.display, "_NET_WM_STATE_MODAL", False);
    const Atom state = XInternAtom(native.display, "_NET_WM_STATE", False);
    XChangeProperty(native.display, native.window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(atoms), count);
}

bool WindowSystem::grabPointer(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display) return false;
    const unsigned int mask =
        ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    const int result = XGrabPointer(native.display, native.window, True, mask, GrabModeAsync,
                                    GrabModeAsync, None, None, CurrentTime);
    XFlush(native.display);
    return result == GrabSuccess;
}

void WindowSystem::ungrabPointer(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display) return;
    XUngrabPointer(native.display, CurrentTime);
    XFlush(native.display);
}

std::uint64_t WindowSystem::focusedWindow(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display) return 0;
    Window focus = 0;
    int revertTo = 0;
    XGetInputFocus(native.display, &focus, &revertTo);
    return focus == PointerRoot ? 0 : focus;
}

bool WindowSystem::pointerButtonHeld(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display) return false;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(native.display, DefaultRootWindow(native.display), &root, &child, &rootX,
                       &rootY, &x, &y, &mask))
        return false;
    return (mask & (Button1Mask | Button2Mask | Button3Mask)) != 0;
}

// The resources are the text the desktop loaded into the server (xrdb), read the way Xlib's
// own clients read them, so that "Xft.dpi" and "Xft*dpi" both count.
double WindowSystem::xftDpi() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    double dpi = 0;
    if (const char* text = XResourceManagerString(display)) {
        XrmInitialize();
        XrmDatabase database = XrmGetStringDatabase(text);
        char* type = nullptr;
        XrmValue value{};
        if (database && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
            dpi = std::strtod(value.addr, nullptr);
        if (database) XrmDestroyDatabase(database);
    }
    XCloseDisplay(display);
    return dpi;
}

}  // namespace platform

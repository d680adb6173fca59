// WindowSystem: the X server reached through SDL's window-manager information (SDL_syswm).
#include "platform/window/WindowSystem.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

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

// The X server time of the user's last key or button press; 0 before the first.
Time lastInputTime = 0;

// Reads a property of the root window that holds a list of 32-bit values (atoms, window ids);
// the caller frees the list with XFree. Null when the root window has no such property.
unsigned long* readRootList(Display* display, const char* name, Atom type, unsigned long& count) {
    const Atom property = XInternAtom(display, name, False);
    Atom actualType = None;
    int format = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    count = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 4096, False, type,
                           &actualType, &format, &count, &remaining, &data) != Success)
        return nullptr;
    if (!data || actualType != type || format != 32 || count == 0) {
        if (data) XFree(data);
        count = 0;
        return nullptr;
    }
    return reinterpret_cast<unsigned long*>(data);
}

void sendToManager(const Native& native, const char* message, long first, long second) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = native.window;
    event.xclient.message_type = XInternAtom(native.display, message, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    XSendEvent(native.display, DefaultRootWindow(native.display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(native.display);
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
            report.grabEnded = c.mode == NotifyUngrab;
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

bool WindowSystem::managerRuns(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display) return false;
    unsigned long count = 0;
    unsigned long* check =
        readRootList(native.display, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, count);
    if (!check) return false;
    XFree(check);
    return true;
}

bool WindowSystem::managerSupports(SDL_Window* window, const char* feature) {
    const Native native = nativeOf(window);
    if (!native.display || !managerRuns(window)) return false;
    unsigned long count = 0;
    unsigned long* atoms = readRootList(native.display, "_NET_SUPPORTED", XA_ATOM, count);
    if (!atoms) return false;
    const Atom wanted = XInternAtom(native.display, feature, False);
    bool found = false;
    for (unsigned long i = 0; i < count && !found; ++i)
        found = atoms[i] == wanted;
    XFree(atoms);
    return found;
}

void WindowSystem::noteInputTime(const void* sdlEvent) {
    const XEvent* event = nativeEventOf(sdlEvent);
    if (!event) return;
    if (event->type == ButtonPress) lastInputTime = event->xbutton.time;
    if (event->type == KeyPress) lastInputTime = event->xkey.time;
}

void WindowSystem::setHintsBeforeMap(SDL_Window* window, int x, int y) {
    const Native native = nativeOf(window);
    if (!native.display) return;
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    long supplied = 0;
    XGetWMNormalHints(native.display, native.window, hints, &supplied);
    hints->flags |= PPosition;
    hints->x = x;
    hints->y = y;
    XSetWMNormalHints(native.display, native.window, hints);
    XFree(hints);
    if (lastInputTime == 0) return;
    const Atom userTime = XInternAtom(native.display, "_NET_WM_USER_TIME", False);
    const long time = static_cast<long>(lastInputTime);
    XChangeProperty(native.display, native.window, userTime, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&time), 1);
}

bool WindowSystem::holdsBackgrounds(SDL_Window* window) {
    return nativeOf(window).display != nullptr;
}

// The surface SDL draws on has the window's own visual and depth, so its rows go to the server
// as they are; the pixmap is the window's until its background changes again.
bool WindowSystem::holdSurfaceAsBackground(SDL_Window* window) {
    const Native native = nativeOf(window);
    SDL_Surface* surface = native.display ? SDL_GetWindowSurface(window) : nullptr;
    XWindowAttributes attributes;
    if (!surface || !XGetWindowAttributes(native.display, native.window, &attributes)) return false;
    const int bitsPerPixel = surface->format->BytesPerPixel * 8;
    if (attributes.width != surface->w || attributes.height != surface->h ||
        (bitsPerPixel != 32 && bitsPerPixel != 16))
        return false;
    XImage* image = XCreateImage(native.display, attributes.visual, attributes.depth, ZPixmap, 0,
                                 static_cast<char*>(surface->pixels), surface->w, surface->h,
                                 bitsPerPixel, surface->pitch);
    if (!image) return false;
    const Pixmap pixmap =
        XCreatePixmap(native.display, native.window, surface->w, surface->h, attributes.depth);
    const GC gc = XCreateGC(native.display, pixmap, 0, nullptr);
    XPutImage(native.display, pixmap, gc, image, 0, 0, 0, 0, surface->w, surface->h);
    XFreeGC(native.display, gc);
    // The rows belong to SDL's surface, not to the image.
    image->data = nullptr;
    XDestroyImage(image);
    XSetWindowBackgroundPixmap(native.display, native.window, pixmap);
    XFreePixmap(native.display, pixmap);
    XFlush(native.display);
    return true;
}

void WindowSystem::dropBackground(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display) return;
    XSetWindowBackgroundPixmap(native.display, native.window, None);
    XFlush(native.display);
}

bool WindowSystem::viewable(SDL_Window* window) {
    const Native native = nativeOf(window);
    XWindowAttributes attributes;
    if (!native.display || !XGetWindowAttributes(native.display, native.window, &attributes))
        return false;
    return attributes.map_state == IsViewable;
}

// Source 1 says that the request comes from an application; the time lets the window manager
// tell a request that follows the user's input from one that would steal the focus.
bool WindowSystem::requestActivation(SDL_Window* window) {
    const Native native = nativeOf(window);
    if (!native.display || lastInputTime == 0 || !managerRuns(window)) return false;
    sendToManager(native, "_NET_ACTIVE_WINDOW", 1, static_cast<long>(lastInputTime));
    return true;
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

// Application: the program's windows, their message processing and its message loop.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/window/WindowSystem.h"

namespace platform {

class Form;
class Timer;

// One per process (instance()). It starts the window system on first use, routes every
// waiting event to its form, fires the timers and runs the message loop.
//
// A close from outside the program (the window manager's close, SIGTERM, SIGINT or SIGHUP once
// catchQuitSignals has run, the end of the desktop session) closes the main form through its
// FormCloseQuery, so the program ends by the same path as a close from inside.
class Application {
  public:
    static Application& instance();

    // Starts the window system (SDL video). True when windows can be made; repeated calls are
    // cheap. Forms call it themselves.
    bool startVideo();
    bool videoStarted() const { return videoUp; }
    // Whether the display reports the real cursor position and shows real windows (false for
    // the dummy and offscreen drivers of headless runs).
    bool hasRealDisplay() const { return realDisplay; }

    // The application's title: the name the window system shows for its windows.
    const std::string& title() const { return titleText; }
    void setTitle(const std::string& text);
    // The program's icon, size x size pixels of red, green, blue and alpha, shown by the window
    // system for every window (made before or after).
    void setIcon(const std::vector<unsigned char>& rgba, int size);
    const std::vector<unsigned char>& iconPixels() const { return iconRgba; }
    int iconSize() const { return iconWidth; }

    // Handles every event waiting now, then the due timers and the requested paints. Handlers
    // may call it again from loops of their own.
    void processMessages();
    // Waits up to ms milliseconds for an event, a due timer or a quit signal, without handling
    // it; forever is UINT32_MAX (a form waiting to be painted ends the wait at once). Without a
    // window system nothing but a timer can come, and the wait ends after 100 ms at the latest.
    void waitForMessages(std::uint32_t ms);

    // Shows the main form and processes messages until it is closed. An exception that escapes
    // a handler ends the loop and is shown by showException; run then returns.
    void run(Form& mainForm);
    Form* mainForm() const { return mainWindow; }
    bool terminated() const { return stopRequested; }

    // The standard display of an exception: its message on stderr and, where a real display
    // exists, in a message box. An empty message stands for a thrown non-exception.
    void showException(const std::string& message);

    // Minimizes the program's visible windows.
    void minimize();
    // Whether one of the program's windows holds the keyboard focus.
    bool active() const { return focusForm != nullptr; }
    // The form whose window holds the keyboard focus, as the focus events told.
    Form* focusedForm() const { return focusForm; }

    // The visible popup form, if any (the popup menu).
    Form* popupShowing() const;
    // The form that takes key input away from the others: the innermost modal form, else the
    // visible popup form; nullptr when none does.
    Form* inputOwner() const;
    // The form that took the mouse press still held, or nullptr.
    Form* pressedForm() const { return pressForm; }

    // Registration, done by the constructors and destructors of forms and timers.
    void addForm(Form* form);
    void removeForm(Form* form);
    void addTimer(Timer* timer);
    void removeTimer(Timer* timer);
    void pushModal(Form* form);
    void popModal(Form* form);
    void formClosed(Form* form);

  private:
    Application() = default;
    bool chooseVideoDriver();
    void dispatch(const void* sdlEvent);
    void handleNativeEvent(const void* sdlEvent);
    void closePopupOnPressOutside(const Point& screenPixel);
    void closePopupIfFocusLeft(Form* loser);
    void routeInput(Form* target, const void* sdlEvent);
    void routeMouse(Form* target, const void* sdlEvent);
    bool swallowed(std::uint32_t eventType);
    void fireTimers();
    void runPaints();
    Form* formOfWindow(std::uint32_t windowId) const;
    Form* formOfNative(std::uint64_t nativeWindow) const;
    std::uint32_t msUntilNextTimer() const;

    std::string titleText;
    std::vector<unsigned char> iconRgba;
    int iconWidth = 0;
    // The window system's report of the pointer event that the next SDL mouse event stands for.
    PointerReport pointer;
    bool pointerFresh = false;
    // A press that closed the popup menu goes no further, nor does its release.
    std::uint32_t swallowNext = 0;
    bool releaseOwed = false;
    Form* pressForm = nullptr;
    std::vector<Form*> forms;
    std::vector<Timer*> timers;
    std::vector<Form*> modalForms;
    Form* mainWindow = nullptr;
    Form* focusForm = nullptr;
    bool videoUp = false;
    bool videoTried = false;
    bool realDisplay = false;
    bool stopRequested = false;
};

}  // namespace platform

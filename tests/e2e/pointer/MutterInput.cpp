// Input for end-to-end tests on mutter: a remote-desktop session of mutter's that moves the
// pointer, presses buttons and keys where its standard input says, as a user's devices would.
//
// Lines read: "move DX DY" (relative motion in pixels), "button CODE 1|0" (a Linux button code,
// pressed or released), "key CODE 1|0" (a Linux key code). Each is answered on standard output
// with "ok" once mutter has taken it, or "error ..." with mutter's message. mutter ends a
// remote-desktop session when the connection that made it goes, so one connection must send
// everything: a command-line D-Bus tool per event cannot.
#include <dbus/dbus.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
// Long: mutter may be slow to answer on a loaded machine, and an event sent twice is worse
// than one that waits.
constexpr int kReplyTimeoutMs = 25000;

struct Argument {
    int type;
    const void* value;
};

// Calls `method` and waits for its reply; on an error, says it on standard output and returns
// nullptr. The caller owns the reply.
DBusMessage* call(DBusConnection* bus, const char* path, const char* interface, const char* method,
                  std::initializer_list<Argument> arguments) {
    DBusMessage* message = dbus_message_new_method_call(kService, path, interface, method);
    if (!message) return nullptr;
    for (const Argument& argument : arguments)
        dbus_message_append_args(message, argument.type, argument.value, DBUS_TYPE_INVALID);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply =
        dbus_connection_send_with_reply_and_block(bus, message, kReplyTimeoutMs, &error);
    dbus_message_unref(message);
    if (!reply) {
        std::printf("error %s: %s\n", method, error.message ? error.message : "no reply");
        std::fflush(stdout);
        dbus_error_free(&error);
    }
    return reply;
}

bool callSession(DBusConnection* bus, const std::string& session, const char* method,
                 std::initializer_list<Argument> arguments) {
    DBusMessage* reply = call(bus, session.c_str(), kSessionInterface, method, arguments);
    if (!reply) return false;
    dbus_message_unref(reply);
    return true;
}

// Makes and starts a session; returns its object path, or "" after saying why.
std::string startSession(DBusConnection* bus) {
    DBusMessage* reply =
        call(bus, "/org/gnome/Mutter/RemoteDesktop", kService, "CreateSession", {});
    if (!reply) return "";
    const char* path = nullptr;
    const bool read =
        dbus_message_get_args(reply, nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID);
    std::string session = read ? path : "";
    dbus_message_unref(reply);
    if (session.empty() || !callSession(bus, session, "Start", {})) return "";
    return session;
}

// Sends one line's event; false after an error was said, or for a line not understood.
bool send(DBusConnection* bus, const std::string& session, const char* line) {
    double dx = 0, dy = 0;
    unsigned code = 0, down = 0;
    if (std::sscanf(line, "move %lf %lf", &dx, &dy) == 2)
        return callSession(bus, session, "NotifyPointerMotionRelative",
                           {{DBUS_TYPE_DOUBLE, &dx}, {DBUS_TYPE_DOUBLE, &dy}});
    if (std::sscanf(line, "button %u %u", &code, &down) == 2) {
        const dbus_int32_t button = static_cast<dbus_int32_t>(code);
        const dbus_bool_t pressed = down != 0;
        return callSession(bus, session, "NotifyPointerButton",
                           {{DBUS_TYPE_INT32, &button}, {DBUS_TYPE_BOOLEAN, &pressed}});
    }
    if (std::sscanf(line, "key %u %u", &code, &down) == 2) {
        const dbus_uint32_t key = code;
        const dbus_bool_t pressed = down != 0;
        return callSession(bus, session, "NotifyKeyboardKeycode",
                           {{DBUS_TYPE_UINT32, &key}, {DBUS_TYPE_BOOLEAN, &pressed}});
    }
    std::printf("error: not understood: %s", line);
    std::fflush(stdout);
    return false;
}

// Whether mutter has taken its name on the bus within 30 s: it does so a moment after it
// starts the programs it was given, and slowly on a loaded machine.
bool waitForMutter(DBusConnection* bus) {
    for (int waited = 0; waited < 30000; waited += 100) {
        if (dbus_bus_name_has_owner(bus, kService, nullptr)) return true;
        const timespec step = {0, 100 * 1000 * 1000};
        nanosleep(&step, nullptr);
    }
    std::puts("error: mutter's remote-desktop service did not come");
    return false;
}

}  // namespace

int main() {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!bus) {
        std::printf("error: no session bus: %s\n", error.message);
        return 1;
    }
    if (!waitForMutter(bus)) return 1;
    const std::string session = startSession(bus);
    if (session.empty()) return 1;
    std::puts("ready");
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        if (!send(bus, session, line)) continue;
        std::puts("ok");
        std::fflush(stdout);
    }
    callSession(bus, session, "Stop", {});
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return 0;
}

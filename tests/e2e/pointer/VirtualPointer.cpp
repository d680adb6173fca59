// A pointer for end-to-end tests on wlroots compositors: a virtual pointer device that moves,
// presses and releases where its standard input says, as a user's mouse would.
//
// Lines read: "move X Y" (layout pixels), "down", "up"; each is sent when the compositor has
// taken the one before. The device lives as long as the program: while it does, the seat has
// a pointer, and Xwayland a pointer device.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// The wlroots virtual-pointer interfaces, written out for libwayland: only the requests used.
extern const wl_interface pointerInterface;
const wl_interface* createTypes[] = {&wl_seat_interface, &pointerInterface};
const wl_message managerRequests[] = {{"create_virtual_pointer", "?on", createTypes},
                                      {"destroy", "", nullptr}};
const wl_interface managerInterface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests, 0, nullptr};
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},   {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},   {"axis", "uuf", noTypes},
    {"frame", "", nullptr},       {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes}, {"axis_discrete", "uufi", noTypes},
    {"destroy", "", nullptr}};
const wl_interface pointerInterface = {"zwlr_virtual_pointer_v1", 1, 9,
                                       pointerRequests,           0, nullptr};

constexpr uint32_t kMotion = 0, kMotionAbsolute = 1, kButton = 2, kFrame = 4;
constexpr uint32_t kLeftButton = 0x110;  // BTN_LEFT

struct Globals {
    wl_seat* seat = nullptr;
    wl_proxy* manager = nullptr;
    wl_output* output = nullptr;
    int width = 0, height = 0;
};

void outputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t) {}
void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    auto* globals = static_cast<Globals*>(data);
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
    globals->width = width;
    globals->height = height;
}
void outputDone(void*, wl_output*) {}
void outputScale(void*, wl_output*, int32_t) {}
const wl_output_listener outputListener = {outputGeometry, outputMode, outputDone,
                                           outputScale,    nullptr,    nullptr};

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    if (std::strcmp(interface, managerInterface.name) == 0)
        globals->manager =
            static_cast<wl_proxy*>(wl_registry_bind(registry, name, &managerInterface, 1));
    if (std::strcmp(interface, wl_output_interface.name) == 0 && !globals->output) {
        globals->output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        wl_output_add_listener(globals->output, &outputListener, globals);
    }
}
void withdraw(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {announce, withdraw};

uint32_t nowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "virtual pointer: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (!globals.seat || !globals.manager || globals.width <= 0) {
        std::fprintf(stderr, "virtual pointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(globals.manager, 0, &pointerInterface, globals.seat, nullptr);
    char line[128];
    bool placed = false;
    unsigned lastX = 0, lastY = 0;
    while (std::fgets(line, sizeof line, stdin)) {
        unsigned x = 0, y = 0;
        const std::string command(line);
        if (std::sscanf(line, "move %u %u", &x, &y) == 2 && !placed)
            // In half pixels, to the middle of the pixel: the compositor rounds down.
            wl_proxy_marshal(pointer, kMotionAbsolute, nowMs(), 2 * x + 1, 2 * y + 1,
                             2 * static_cast<unsigned>(globals.width),
                             2 * static_cast<unsigned>(globals.height));
        else if (std::sscanf(line, "move %u %u", &x, &y) == 2)
            wl_proxy_marshal(pointer, kMotion, nowMs(),
                             wl_fixed_from_int(static_cast<int>(x) - static_cast<int>(lastX)),
                             wl_fixed_from_int(static_cast<int>(y) - static_cast<int>(lastY)));
        else if (command.rfind("down", 0) == 0 || command.rfind("up", 0) == 0)
            wl_proxy_marshal(pointer, kButton, nowMs(), kLeftButton, command[0] == 'd' ? 1u : 0u);
        else
            continue;
        wl_proxy_marshal(pointer, kFrame);
        if (wl_display_roundtrip(display) < 0) return 1;
        if (command.rfind("move", 0) == 0) {
            placed = true;
            lastX = x;
            lastY = y;
        }
    }
    // Every proxy is freed before the end, so that a build with the leak checker stays quiet.
    wl_proxy_destroy(pointer);
    wl_proxy_destroy(globals.manager);
    wl_output_destroy(globals.output);
    wl_seat_destroy(globals.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}

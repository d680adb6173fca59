// DisplayScale: the scale chosen from the command line, the environment or the X server's dpi.
#include "platform/window/DisplayScale.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

int chosenFactor = 1;
std::string chosenSource = "default";
bool chosen = false;
std::string requested;
bool wasRequested = false;

// One text source: taken when it reads as a scale; a warning when it was given but does not.
bool takeText(const char* text, const char* name, bool emptyIsUnset, ScaleChoice& choice) {
    if (!text || (emptyIsUnset && *text == '\0')) return false;
    int factor = 0;
    if (DisplayScale::parse(text, factor)) {
        choice.factor = factor;
        choice.source = name;
        return true;
    }
    choice.warnings.push_back(std::string("ignoring ") + name + " \"" + text +
                              "\": the scale must be a whole number from 1 to " +
                              std::to_string(DisplayScale::largest));
    return false;
}

}  // namespace

bool DisplayScale::parse(const char* text, int& factor) {
    if (!text || std::strlen(text) != 1 || text[0] < '1' || text[0] > '0' + largest) return false;
    factor = text[0] - '0';
    return true;
}

int DisplayScale::fromDpi(double dpi) {
    if (!(dpi > 0)) return 1;
    const double rounded = std::round(dpi / 96.0);
    if (rounded < 1) return 1;
    if (rounded > largest) return largest;
    return static_cast<int>(rounded);
}

ScaleChoice DisplayScale::choose(const ScaleSources& sources) {
    ScaleChoice choice;
    // A value typed on the command line is never "unset", even when empty.
    if (takeText(sources.option, "--scale", false, choice)) return choice;
    if (takeText(sources.brevantScale, "BREVANT_SCALE", true, choice)) return choice;
    if (takeText(sources.gdkScale, "GDK_SCALE", true, choice)) return choice;
    const double dpi = sources.xftDpi ? sources.xftDpi() : 0.0;
    if (dpi > 0) {
        choice.factor = fromDpi(dpi);
        choice.source = "Xft.dpi";
    }
    return choice;
}

void DisplayScale::request(const std::string& text) {
    requested = text;
    wasRequested = true;
}

void DisplayScale::chooseOnce(const std::function<double()>& xftDpi) {
    if (chosen) return;
    chosen = true;
    ScaleSources sources;
    sources.option = wasRequested ? requested.c_str() : nullptr;
    sources.brevantScale = std::getenv("BREVANT_SCALE");
    sources.gdkScale = std::getenv("GDK_SCALE");
    sources.xftDpi = xftDpi;
    const ScaleChoice choice = choose(sources);
    for (const std::string& warning : choice.warnings)
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, warning.c_str());
    chosenFactor = choice.factor;
    chosenSource = choice.source;
}

int DisplayScale::factor() {
    return chosenFactor;
}

std::string DisplayScale::description() {
    return "scale " + std::to_string(chosenFactor) + " (" +
           (chosenSource == "default" ? std::string("default") : "from " + chosenSource) + ")";
}

void DisplayScale::set(int factor) {
    chosen = true;
    chosenFactor = factor < 1 ? 1 : (factor > largest ? largest : factor);
    chosenSource = "set";
}

}  // namespace platform

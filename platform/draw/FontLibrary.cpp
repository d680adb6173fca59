// Font lookup through fontconfig, with the Tahoma-compatible folder added as an application
// font folder, and the cache of opened faces.
#include "platform/draw/FontLibrary.h"

#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include "platform/draw/FontFace.h"

namespace platform {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

const FcChar8 emptyConfig[] =
    "<?xml version=\"1.0\"?><fontconfig><cachedir prefix=\"xdg\">fontconfig</cachedir>"
    "</fontconfig>";

}  // namespace

struct FontLibrary::Config {
    FcConfig* fc = nullptr;

    ~Config() {
        if (fc) FcConfigDestroy(fc);
    }
};

FontLibrary::FontLibrary() : FontLibrary(Options{true, {tahomaFolder}}) {}

FontLibrary::FontLibrary(const Options& options) : config(std::make_unique<Config>()) {
    // A configuration of our own, so that the application folders reach only this library.
    config->fc = options.systemFonts ? FcInitLoadConfigAndFonts() : FcConfigCreate();
    if (!config->fc) return;
    // An empty configuration has nowhere to keep the scan of a folder; give it the user's usual
    // cache so that fontconfig neither complains nor rescans every time.
    if (!options.systemFonts) FcConfigParseAndLoadFromMemory(config->fc, emptyConfig, FcFalse);
    for (const std::string& folder : options.folders) {
        if (!isFolder(folder)) continue;
        FcConfigAppFontAddDir(config->fc, reinterpret_cast<const FcChar8*>(folder.c_str()));
    }
}

FontLibrary::~FontLibrary() = default;

FontLibrary& FontLibrary::shared() {
    static FontLibrary library;
    return library;
}

FontLibrary::Match FontLibrary::match(std::string_view name, bool bold) {
    const auto key = std::make_tuple(std::string(name), bold);
    const auto known = matches.find(key);
    if (known != matches.end()) return known->second;
    Match found;
    FcPattern* pattern = FcPatternCreate();
    if (config->fc && pattern) {
        FcPatternAddString(pattern, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(std::string(name).c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcConfigSubstitute(config->fc, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* best = FcFontMatch(config->fc, pattern, &result);
        FcChar8* file = nullptr;
        if (best && FcPatternGetString(best, FC_FILE, 0, &file) == FcResultMatch && file) {
            found.file = reinterpret_cast<const char*>(file);
            FcPatternGetInteger(best, FC_INDEX, 0, &found.index);
            int weight = FC_WEIGHT_REGULAR;
            FcPatternGetInteger(best, FC_WEIGHT, 0, &weight);
            // A family without a bold face gets its regular face drawn heavier.
            found.emboldened = bold && weight < FC_WEIGHT_DEMIBOLD;
            found.bold = bold;
        }
        if (best) FcPatternDestroy(best);
    }
    if (pattern) FcPatternDestroy(pattern);
    matches[key] = found;
    return found;
}

std::unique_ptr<FontFace> FontLibrary::openFace(const Match& found, std::string_view name,
                                                int height) {
    using Emboldening = FontFace::Emboldening;
    if (found.emboldened)
        return FontFace::open(found.file, found.index, height, Emboldening::widened);
    std::unique_ptr<FontFace> opened =
        FontFace::open(found.file, found.index, height, Emboldening::none);
    if (!opened || !found.bold) return opened;
    // Some stand-in bold faces have a bold face's advances but strokes no heavier than the
    // regular face's; such text reads as spaced-out regular, so its strokes are thickened.
    FontFace* regular = face(name, height, false);
    if (!regular || heavierThan(*opened, *regular)) return opened;
    return FontFace::open(found.file, found.index, height, Emboldening::thickened);
}

bool FontLibrary::heavierThan(FontFace& bold, FontFace& regular) {
    long boldInk = 0, regularInk = 0;
    for (const unsigned char c : std::string_view("lHIo")) {
        boldInk += bold.ink(c);
        regularInk += regular.ink(c);
    }
    return boldInk * 10 >= regularInk * 12;
}

std::string FontLibrary::fileFor(std::string_view name, bool bold) {
    return match(name, bold).file;
}

FontFace* FontLibrary::face(std::string_view name, int height, bool bold) {
    if (height == 0) height = -11;
    const auto key = std::make_tuple(std::string(name), height, bold);
    const auto known = faces.find(key);
    if (known != faces.end()) return known->second.get();
    const Match found = match(name, bold);
    std::unique_ptr<FontFace> opened;
    if (!found.file.empty()) opened = openFace(found, name, height);
    // A failure is kept too, so that a missing font costs one lookup and not one per call.
    FontFace* result = opened.get();
    faces[key] = std::move(opened);
    return result;
}

}  // namespace platform

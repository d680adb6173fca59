// Finds font faces through fontconfig and keeps every face opened, one per name, size and weight.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace platform {

class FontFace;

// The process-wide library adds the folder of the Tahoma-compatible faces (which fontconfig
// does not index) and then takes fontconfig's best match for each name, so "Tahoma" finds
// those faces when they are installed and the closest system face otherwise. A library that
// finds no usable file hands out no face; callers then measure 0 and draw nothing.
class FontLibrary {
  public:
    struct Options {
        // Use the fonts fontconfig knows about on this system.
        bool systemFonts = true;
        // More folders to search, each added when it exists.
        std::vector<std::string> folders;
    };

    // Where Debian's fonts-wine puts its Tahoma-compatible faces.
    static constexpr const char* tahomaFolder = "/usr/share/wine/fonts";

    // The system's fonts plus tahomaFolder.
    FontLibrary();
    explicit FontLibrary(const Options& options);
    ~FontLibrary();
    FontLibrary(const FontLibrary&) = delete;
    FontLibrary& operator=(const FontLibrary&) = delete;

    static FontLibrary& shared();

    // The face for a name, height (as CanvasFont reads it) and weight, or nullptr. A height of
    // 0 is taken as -11.
    FontFace* face(std::string_view name, int height, bool bold);
    // The file fontconfig matches for a name and weight; empty when there is none.
    std::string fileFor(std::string_view name, bool bold);

  private:
    struct Match {
        std::string file;
        int index = 0;
        bool bold = false;
        // No bold face: the regular one stands in, drawn heavier.
        bool emboldened = false;
    };
    struct Config;

    Match match(std::string_view name, bool bold);
    std::unique_ptr<FontFace> openFace(const Match& found, std::string_view name, int height);
    static bool heavierThan(FontFace& bold, FontFace& regular);

    std::unique_ptr<Config> config;
    std::map<std::tuple<std::string, bool>, Match> matches;
    std::map<std::tuple<std::string, int, bool>, std::unique_ptr<FontFace>> faces;
};

}  // namespace platform

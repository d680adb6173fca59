// wavgen: writes the click sample files "1.wav", "1a.wav", "2.wav" and "2a.wav" into a folder.
#include <cstdio>
#include <string>

#include "tools/ClickSynth.h"

// Usage: wavgen FOLDER. The files come out the same, byte for byte, on every run.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wavgen FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '/') folder += '/';
    for (const char* name : clicksynth::clickFileNames) {
        std::vector<unsigned char> image = clicksynth::wavImage(clicksynth::clickSamples(name));
        std::string path = folder + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool ok =
            file != nullptr && std::fwrite(image.data(), 1, image.size(), file) == image.size();
        if (file != nullptr && std::fclose(file) != 0) ok = false;
        if (!ok) {
            std::fprintf(stderr, "wavgen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

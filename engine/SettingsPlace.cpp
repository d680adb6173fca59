// SettingsPlace: the settings file beside the program, or in the user's config folder.
#include "engine/SettingsPlace.h"

#include "platform/Files.h"

namespace {

const char* const fileName = "settings.cfg";

}  // namespace

SettingsPlace SettingsPlace::standard() {
    SettingsPlace place;
    // Without a known program folder the file would land in whatever folder the program was
    // started from; the config folder is the better home then.
    const AnsiString program = platform::programFolder();
    if (!program.empty()) place.beside = program + fileName;
    const AnsiString config = platform::configFolder();
    if (!config.empty()) place.fallback = config + "brevant/" + fileName;
    return place;
}

SettingsPlace SettingsPlace::only(const AnsiString& path) {
    SettingsPlace place;
    place.beside = path;
    return place;
}

AnsiString SettingsPlace::pathToLoad() const {
    if (fallback.empty()) return beside;
    if (!beside.empty() && platform::isReadableFile(beside)) return beside;
    return fallback;
}

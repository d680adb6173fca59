// SettingsPlace: the settings file beside a portable program, else in the user's config folder.
#include "engine/SettingsPlace.h"

#include "engine/Metronome.h"
#include "platform/system/Files.h"

SettingsPlace SettingsPlace::standard() {
    return forProgramIn(platform::programFolder(), platform::configFolder());
}

// Without a known program folder nothing can be portable; the config folder is the home then.
SettingsPlace SettingsPlace::forProgramIn(const AnsiString& programFolder,
                                          const AnsiString& configFolder) {
    SettingsPlace place;
    if (!programFolder.empty() && isPortableFolder(programFolder)) {
        place.path = programFolder + fileName;
        return place;
    }
    if (!configFolder.empty()) place.path = configFolder + "brevant/" + fileName;
    if (!programFolder.empty()) place.seed = programFolder + fileName;
    return place;
}

SettingsPlace SettingsPlace::only(const AnsiString& path) {
    SettingsPlace place;
    place.path = path;
    return place;
}

// Any one sample will do: a folder that lost a sample is still the program's own.
bool SettingsPlace::isPortableFolder(const AnsiString& folder) {
    if (!platform::isFolderWritable(folder)) return false;
    for (const char* name : Metronome::sampleFileNames)
        if (platform::isReadableFile(folder + name)) return true;
    return false;
}

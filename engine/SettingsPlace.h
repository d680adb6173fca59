// SettingsPlace: where the settings file is read from and written to.
#pragma once

#include "base/AnsiString.h"

// One rule decides the place, and the file is read and written in that one place:
// - portable: the program's own folder holds its click samples (a build folder, an unpacked
//   archive) and can be written. The file is settings.cfg beside the program.
// - installed: otherwise. The file is $XDG_CONFIG_HOME/brevant/settings.cfg (by default
//   ~/.config/brevant/settings.cfg). A settings.cfg beside the program is never written; while
//   the user has no file yet, it gives the first values.
class SettingsPlace {
  public:
    static constexpr const char* fileName = "settings.cfg";

    AnsiString path;  // read and written; empty when there is no place (no home folder)
    AnsiString seed;  // read only while `path` holds no file; empty for none

    // The place for the running program.
    static SettingsPlace standard();

    // The place for a program in `programFolder` (ending with "/") when the user's config folder
    // is `configFolder` (ending with "/", empty when unknown).
    static SettingsPlace forProgramIn(const AnsiString& programFolder,
                                      const AnsiString& configFolder);

    // One file and nothing else: for tests and tools.
    static SettingsPlace only(const AnsiString& path);

    // Whether the folder holds one of the click samples and this process may create files in it.
    static bool isPortableFolder(const AnsiString& folder);
};

// The Debian package that make deb builds, and the install and uninstall behind make install and
// make uninstall: what they put where, the package's fields, and the unpacked program running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/data/Command.h"

namespace {

namespace fs = std::filesystem;
using testing_support::linesStartingWith;
using testing_support::runCommand;

const std::string version = BREVANT_VERSION;
const std::string appId = BREVANT_APP_ID;
const std::string debBuild = BREVANT_DEB_BUILD;

const int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Every file the program needs in place, relative to the root.
std::set<std::string> expectedFiles() {
    std::set<std::string> files = {
        "usr/bin/brevant",
        "usr/share/brevant/1.wav",
        "usr/share/brevant/1a.wav",
        "usr/share/brevant/2.wav",
        "usr/share/brevant/2a.wav",
        "usr/share/applications/" + appId + ".desktop",
        "usr/share/metainfo/" + appId + ".metainfo.xml",
        "usr/share/man/man1/brevant.1.gz",
        "usr/share/doc/brevant/copyright",
        "usr/share/doc/brevant/changelog.gz",
    };
    for (int size : iconSizes) {
        const std::string s = std::to_string(size);
        files.insert("usr/share/icons/hicolor/" + s + "x" + s + "/apps/brevant.png");
    }
    return files;
}

std::string packagePath() {
    const std::string arch = runCommand("dpkg --print-architecture").output;
    return debBuild + "/brevant_" + version + "_" + arch.substr(0, arch.find('\n')) + ".deb";
}

std::string field(const std::string& name) {
    std::string value = runCommand("dpkg-deb -f '" + packagePath() + "' " + name).output;
    while (!value.empty() && value.back() == '\n')
        value.pop_back();
    return value;
}

// A scratch folder, removed with what it holds when the test ends.
class ScratchRoot {
  public:
    ScratchRoot() {
        char pattern[] = "/tmp/brevant-package-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path = pattern;
    }
    ~ScratchRoot() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
    // The regular files and links below the root, relative to it.
    std::set<std::string> files() const {
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(path))
            if (!entry.is_directory()) found.insert(fs::relative(entry.path(), path).string());
        return found;
    }
    std::string path;
};

bool isStripped(const std::string& binary) {
    const std::string sections = runCommand("readelf -S '" + binary + "'").output;
    return sections.find(" .text") != std::string::npos &&
           sections.find(".symtab") == std::string::npos &&
           sections.find(".debug_") == std::string::npos;
}

// The width and height in a PNG's header, or 0 x 0 when it is not a PNG.
std::pair<int, int> pngSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[24] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (!in || head[1] != 'P' || head[2] != 'N' || head[3] != 'G') return {0, 0};
    auto be32 = [&](int at) {
        return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
    };
    return {be32(16), be32(20)};
}

}  // namespace

TEST(DebPackage, HoldsTheProgramAndItsDesktopFilesInTheirPlacesOwnedByRoot) {
    auto listing = runCommand("dpkg-deb -c '" + packagePath() + "'");
    ASSERT_EQ(listing.status, 0) << listing.output;
    std::set<std::string> files;
    std::istringstream lines(listing.output);
    for (std::string mode, owner, size, date, time, path;
         lines >> mode >> owner >> size >> date >> time >> path;) {
        EXPECT_EQ(owner, "root/root") << path;
        path = path.substr(2);  // "./usr/..."
        if (mode[0] == 'd') {
            EXPECT_EQ(mode, "drwxr-xr-x") << path;
            continue;
        }
        EXPECT_EQ(mode, path == "usr/bin/brevant" ? "-rwxr-xr-x" : "-rw-r--r--") << path;
        files.insert(path);
    }
    EXPECT_EQ(files, expectedFiles());
    // No maintainer scripts: the control archive holds the fields and the checksums alone.
    auto control = runCommand("dpkg-deb --ctrl-tarfile '" + packagePath() + "' | tar -t");
    std::set<std::string> members;
    std::istringstream names(control.output);
    for (std::string name; std::getline(names, name);)
        if (name != "./") members.insert(name);
    EXPECT_EQ(members, (std::set<std::string>{"./control", "./md5sums"}));
}

TEST(DebPackage, ControlFieldsNameTheVersionTheLibrariesAndTheFonts) {
    EXPECT_EQ(field("Package"), "brevant");
    EXPECT_EQ(field("Version"), version);
    EXPECT_EQ(field("Section"), "sound");
    EXPECT_EQ(field("Priority"), "optional");
    EXPECT_TRUE(std::regex_match(field("Maintainer"), std::regex(".+ <[^@ ]+@[^@ ]+>")));
    EXPECT_EQ(field("Homepage").rfind("https://", 0), 0u);
    EXPECT_EQ(field("Recommends"), "fonts-wine");
    // dpkg-shlibdeps found the libraries the program links, each with its lowest version.
    const std::string depends = field("Depends");
    for (const char* library : {"libc6", "libsdl2-2.0-0", "libpulse0", "libjack-jackd2-0",
                                "libsamplerate0", "libfreetype6", "libfontconfig1", "libstdc++6"})
        EXPECT_TRUE(std::regex_search(
            depends,
            std::regex(std::string("(^|, )") +
                       std::regex_replace(library, std::regex("\\+"), "\\+") + " \\(>= [^)]+\\)")))
            << library << " in " << depends;
    EXPECT_NE(depends.find("fonts-dejavu-core"), std::string::npos);
    const std::string description = field("Description");
    EXPECT_EQ(description.substr(0, description.find('\n')),
              "metronome with an exact, sample-clock beat");
    EXPECT_NE(description.find("\n .\n"), std::string::npos);  // two paragraphs
}

TEST(DebPackage, DocumentsStateTheLicenceAndTheReleaseOfThisVersion) {
    ScratchRoot root;
    ASSERT_FALSE(root.path.empty());
    ASSERT_EQ(runCommand("dpkg -x '" + packagePath() + "' '" + root.path + "'").status, 0);
    const std::string doc = root.path + "/usr/share/doc/brevant/";
    std::ifstream in(doc + "copyright");
    std::ostringstream copyright;
    copyright << in.rdbuf();
    EXPECT_NE(copyright.str().find("\nLicense: GPL-3.0-or-later\n"), std::string::npos);
    const std::string changelog = runCommand("gzip -dc '" + doc + "changelog.gz'").output;
    EXPECT_EQ(changelog.rfind("brevant (" + version + ") ", 0), 0u) << changelog;
}

TEST(DebPackage, UnpackedIntoAScratchRootTheProgramTellsItsVersionWithoutADisplay) {
    ScratchRoot root;
    ASSERT_FALSE(root.path.empty());
    ASSERT_EQ(runCommand("dpkg -x '" + packagePath() + "' '" + root.path + "'").status, 0);
    const std::string program = root.path + "/usr/bin/brevant";
    auto answer = runCommand("env -i PATH=/usr/bin:/bin HOME='" + root.path + "' '" + program +
                             "' --version 2>&1");
    EXPECT_EQ(answer.status, 0);
    EXPECT_EQ(answer.output, "Brevant " + version + "\n");
    EXPECT_TRUE(isStripped(program));
    EXPECT_EQ(root.files(), expectedFiles());  // and it wrote nothing
    for (int size : iconSizes) {
        const std::string s = std::to_string(size);
        const auto [w, h] =
            pngSize(root.path + "/usr/share/icons/hicolor/" + s + "x" + s + "/apps/brevant.png");
        EXPECT_EQ(w, size);
        EXPECT_EQ(h, size);
    }
}

TEST(DebPackage, LintianFindsNoError) {
    auto report = runCommand("lintian '" + packagePath() + "' 2>&1");
    EXPECT_EQ(linesStartingWith(report.output, "E: "), "") << report.output;
    // Warnings are not failures, but they are shown.
    std::cout << report.output;
}

// make install and make uninstall run these two steps on a Release tree like this one.
TEST(InstallAndUninstall, UninstallTakesAwayExactlyWhatTheInstallPutDown) {
    ScratchRoot root;
    ASSERT_FALSE(root.path.empty());
    // Files of other programs in the folders the install shares with them.
    const std::set<std::string> others = {"usr/share/icons/hicolor/16x16/apps/other.png",
                                          "usr/share/applications/other.desktop", "usr/bin/other"};
    for (const std::string& other : others) {
        fs::create_directories(fs::path(root.path + "/" + other).parent_path());
        std::ofstream(root.path + "/" + other) << "other\n";
    }
    const std::string destdir = "DESTDIR='" + root.path + "' ";
    auto install = runCommand(destdir + "cmake --install '" + debBuild + "' --strip 2>&1");
    ASSERT_EQ(install.status, 0) << install.output;
    std::set<std::string> all = expectedFiles();
    all.insert(others.begin(), others.end());
    EXPECT_EQ(root.files(), all);
    EXPECT_TRUE(isStripped(root.path + "/usr/bin/brevant"));

    auto uninstall =
        runCommand(destdir + "cmake -DMANIFEST='" + debBuild + "/install_manifest.txt' -P '" +
                   BREVANT_SOURCE_DIR + "/cmake/Uninstall.cmake' 2>&1");
    ASSERT_EQ(uninstall.status, 0) << uninstall.output;
    EXPECT_EQ(root.files(), others);
    // The program's own folders go with their files; the shared ones stay.
    EXPECT_FALSE(fs::exists(root.path + "/usr/share/brevant"));
    EXPECT_FALSE(fs::exists(root.path + "/usr/share/doc/brevant"));
    EXPECT_TRUE(fs::is_directory(root.path + "/usr/share/icons/hicolor/256x256/apps"));
    EXPECT_TRUE(fs::is_directory(root.path + "/usr/share/metainfo"));
}

// The files a desktop reads about the program: the AppStream metainfo, the desktop entry and the
// manual page, checked with the tools distributions check them with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "app/CommandLine.h"
#include "base/BuildInfo.h"
#include "tests/data/Command.h"

namespace {

using testing_support::linesStartingWith;
using testing_support::runCommand;

const std::string sourceData = std::string(BREVANT_SOURCE_DIR) + "/data/";
const std::string builtData = std::string(BREVANT_BINARY_DIR) + "/data/";
const std::string appId = BREVANT_APP_ID;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text between the first <tag ...> and </tag>, or "" when there is none.
std::string element(const std::string& xml, const std::string& tag) {
    std::smatch match;
    if (!std::regex_search(xml, match, std::regex("<" + tag + "[^>]*>([^<]*)</" + tag + ">")))
        return "";
    return match[1];
}

// The manual page as a reader sees it, without the terminal's bold and underline.
std::string renderedManual() {
    return runCommand("LC_ALL=C.UTF-8 MANWIDTH=100 man -l '" + sourceData +
                      "brevant.1' 2>/dev/null | col -b")
        .output;
}

}  // namespace

TEST(DesktopData, MetainfoPassesAppstreamValidationWithoutErrorsOrWarnings) {
    const std::string metainfo = builtData + appId + ".metainfo.xml";
    ASSERT_TRUE(std::filesystem::exists(metainfo));
    auto result = runCommand("appstreamcli validate --no-net --pedantic '" + metainfo + "' 2>&1");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(linesStartingWith(result.output, "E:"), "");
    EXPECT_EQ(linesStartingWith(result.output, "W:"), "");
}

// A software centre joins the metainfo to the desktop entry by the launchable's name, and shows
// the newest release as the program's version.
TEST(DesktopData, MetainfoNamesTheInstalledDesktopEntryAndTheProgramsOwnVersion) {
    const std::string xml = readText(builtData + appId + ".metainfo.xml");
    EXPECT_EQ(element(xml, "id"), appId);
    EXPECT_EQ(element(xml, "launchable"), appId + ".desktop");
    EXPECT_TRUE(std::filesystem::exists(sourceData + element(xml, "launchable")));
    std::smatch release;
    ASSERT_TRUE(std::regex_search(
        xml, release, std::regex("<release version=\"([^\"]*)\" date=\"(\\d{4}-\\d\\d-\\d\\d)\"")));
    EXPECT_EQ(release[1], programVersion);
    EXPECT_EQ(element(xml, "project_license"), "GPL-3.0-or-later");
}

TEST(DesktopData, DesktopEntryValidatesWithoutHintsAndStartsTheProgramByItsIcon) {
    const std::string entry = sourceData + appId + ".desktop";
    auto result = runCommand("desktop-file-validate '" + entry + "' 2>&1");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "");
    const std::string text = readText(entry);
    EXPECT_NE(text.find("\nExec=brevant\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=brevant\n"), std::string::npos);
}

TEST(DesktopData, ManualPageFormatsWithoutWarningsAndHasEverySection) {
    auto result = runCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '" + sourceData +
                             "brevant.1' 2>&1 >/dev/null");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "");
    const std::string page = renderedManual();
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "KEYS", "FILES",
                                "ENVIRONMENT", "EXIT STATUS"})
        EXPECT_NE(page.find(std::string("\n") + section + "\n"), std::string::npos) << section;
}

// The page is written by hand, so it is checked against the program: every option the command
// line takes, and every variable the program's own code reads, must be described.
TEST(DesktopData, ManualPageDescribesEveryOptionAndEveryVariableTheProgramReads) {
    const std::string page = renderedManual();
    for (const CommandLineOption& option : programOptions()) {
        std::string spelled = std::string("--") + option.longName;
        if (option.shortName != 0) spelled = std::string("-") + option.shortName + ", " + spelled;
        EXPECT_NE(page.find(spelled), std::string::npos) << spelled;
    }
    const std::size_t environment = page.find("\nENVIRONMENT\n");
    ASSERT_NE(environment, std::string::npos);
    const std::string described =
        page.substr(environment, page.find("\nEXIT STATUS\n") - environment);
    std::set<std::string> read;
    const std::regex getenv("getenv\\(\"([A-Z_0-9]+)\"\\)");
    for (const char* folder :
         {"platform", "base", "audio", "engine", "graphics", "shadeui", "popups", "about", "app"}) {
        for (const auto& file : std::filesystem::recursive_directory_iterator(
                 std::string(BREVANT_SOURCE_DIR) + "/" + folder)) {
            if (!file.is_regular_file()) continue;
            const std::string code = readText(file.path());
            for (std::sregex_iterator it(code.begin(), code.end(), getenv), end; it != end; ++it)
                read.insert((*it)[1]);
        }
    }
    EXPECT_FALSE(read.empty());
    // As a whole name: HOME is not described by XDG_CONFIG_HOME.
    for (const std::string& variable : read)
        EXPECT_TRUE(std::regex_search(described,
                                      std::regex("(^|[^A-Z_0-9])" + variable + "([^A-Z_0-9]|$)")))
            << variable;
}

// The real program's command line: answers without a display, leaves the settings alone, and
// ends a wrong line with status 2.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "AppRun.h"

namespace {

struct Answer {
    int status = -1;
    std::string out, err;
};

// Runs the program copied into the run's folder with the arguments (already quoted for the
// shell), in an environment without a display, with HOME and XDG_CONFIG_HOME inside the folder.
Answer ask(const e2e::AppRun& run, const std::string& args, const std::string& redirect = "") {
    const std::string& f = run.folder();
    const std::string command = "cd '" + f + "' && env -i PATH=/usr/bin:/bin HOME='" + f +
                                "' XDG_CONFIG_HOME='" + f +
                                "/config' ASAN_OPTIONS=detect_leaks=1 " + "./brevant " + args +
                                " > " + (redirect.empty() ? "out.txt" : redirect) + " 2> err.txt";
    Answer answer;
    const int raw = std::system(command.c_str());
    answer.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (redirect.empty()) answer.out = run.readFile("out.txt");
    answer.err = run.readFile("err.txt");
    run.removeFile("out.txt");
    run.removeFile("err.txt");
    return answer;
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

TEST(CommandLine, VersionAndHelpAnswerWithoutADisplayAndLeaveTheSettingsAlone) {
    e2e::AppRun run;
    ASSERT_FALSE(run.folder().empty());
    const std::string settings = "[Settings]\r\ntempo=0.25\r\n";
    run.writeFile("settings.cfg", settings);
    chmod(run.settingsPath().c_str(), 0444);  // a write would have to replace it, not edit it

    for (const char* args : {"--version", "-v"}) {
        Answer answer = ask(run, args);
        EXPECT_EQ(answer.status, 0) << args;
        EXPECT_EQ(answer.out, std::string("Brevant ") + BREVANT_VERSION + "\n") << args;
        EXPECT_EQ(answer.err, "") << args;
    }
    for (const char* args : {"--help", "-h", "--help -v"}) {
        Answer answer = ask(run, args);
        EXPECT_EQ(answer.status, 0) << args;
        EXPECT_EQ(answer.out.rfind("Usage: brevant [OPTION]\n", 0), 0u) << args;
        EXPECT_NE(answer.out.find("settings.cfg"), std::string::npos) << args;
        EXPECT_EQ(answer.err, "") << args;
    }
    // Nothing was read into a program, so nothing was written back, beside it or for the user.
    EXPECT_EQ(run.readFile("settings.cfg"), settings);
    EXPECT_FALSE(exists(run.folder() + "/config"));
    struct stat st;
    ASSERT_EQ(stat(run.settingsPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST(CommandLine, AWrongLineSaysWhatWasWrongOnStandardErrorAndEndsWithStatusTwo) {
    e2e::AppRun run;
    ASSERT_FALSE(run.folder().empty());
    const std::pair<const char*, const char*> cases[] = {
        {"--tempo=120", "brevant: unknown option '--tempo=120'\n"},
        {"-x", "brevant: unknown option '-x'\n"},
        {"settings.cfg", "brevant: unexpected argument 'settings.cfg'\n"},
        {"--version=2", "brevant: option '--version' takes no value\n"},
        {"--audio=alsa", "brevant: unknown sound device 'alsa' (jack, pulse or sdl)\n"},
    };
    for (const auto& [args, message] : cases) {
        Answer answer = ask(run, args);
        EXPECT_EQ(answer.status, 2) << args;
        EXPECT_EQ(answer.out, "") << args;
        EXPECT_EQ(answer.err,
                  std::string(message) + "Try 'brevant --help' for more information.\n");
    }
    EXPECT_FALSE(exists(run.settingsPath()));
    EXPECT_FALSE(exists(run.folder() + "/config"));
}

TEST(CommandLine, AnAnswerThatCannotBeWrittenIsAFailure) {
    e2e::AppRun run;
    ASSERT_FALSE(run.folder().empty());
    if (!exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(ask(run, "--version", "/dev/full").status, 1);
    EXPECT_EQ(ask(run, "--help", "/dev/full").status, 1);
}

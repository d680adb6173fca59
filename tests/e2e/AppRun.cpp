// Starts the program from a throw-away copy of its folder, so settings and sound stay private.
#include "AppRun.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Desk.h"

namespace e2e {

static const char* const kSamples[] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};

static void copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

AppRun::AppRun() {
    char pattern[] = "/tmp/brevant-e2e-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return;
    folder_ = made;
    copyFile(BREVANT_EXE, folder_ + "/brevant");
    chmod((folder_ + "/brevant").c_str(), 0755);
    for (const char* sample : kSamples)
        copyFile(std::string(BREVANT_DATA_DIR) + "/" + sample, folder_ + "/" + sample);
}

AppRun::~AppRun() {
    if (alive()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (!folder_.empty() && std::getenv("BREVANT_E2E_KEEP") == nullptr)
        std::system(("rm -rf '" + folder_ + "'").c_str());
}

void AppRun::writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
}

std::string AppRun::readFile(const std::string& name) const {
    std::ifstream in(folder_ + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void AppRun::removeFile(const std::string& name) const {
    unlink((folder_ + "/" + name).c_str());
}

// The child gets a clean environment of its own: the desk's display, SDL's X11 video, the disk
// audio driver (or none that can open), and a config folder inside the temporary folder.
bool AppRun::start(const Desk& desk, bool withSound) {
    return spawn(desk.display(),
                 {"SDL_AUDIODRIVER=" + std::string(withSound ? "disk" : "nosuchdriver"),
                  "SDL_DISKAUDIOFILE=" + audioPath()});
}

bool AppRun::startOnDesktopSound(const Desk& desk,
                                 const std::vector<std::string>& soundEnvironment) {
    return spawn(desk.display(), soundEnvironment);
}

bool AppRun::startOnDisplay(const std::string& display) {
    return spawn(display, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audioPath()});
}

bool AppRun::spawn(const std::string& display, const std::vector<std::string>& soundEnvironment) {
    std::vector<std::string> env = {
        "PATH=/usr/bin:/bin", "HOME=" + folder_,     "XDG_CONFIG_HOME=" + folder_ + "/config",
        "DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "ASAN_OPTIONS=detect_leaks=0",
    };
    env.insert(env.end(), soundEnvironment.begin(), soundEnvironment.end());
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    // Without a session bus named, libdbus (through SDL) would start one of its own for the
    // program, which outlives the test; a test that wants a bus names its own.
    const bool busNamed = std::any_of(env.begin(), env.end(), [](const std::string& entry) {
        return entry.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0;
    });
    if (!busNamed) env.push_back("DBUS_SESSION_BUS_ADDRESS=disabled:");
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string exe = folder_ + "/brevant";
    std::vector<std::string> args = launcher;
    args.push_back(exe);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = folder_ + "/output.log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    status_ = -2;  // a run before this one ended with its own status
    if (failed) pid_ = -1;
    return pid_ > 0;
}

int AppRun::waitForExit(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs && status_ == -2; waited += 20) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_ == -2 ? -1 : status_;
}

void AppRun::sendSignal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

bool AppRun::alive() const {
    return pid_ > 0 && status_ == -2 && kill(pid_, 0) == 0;
}

std::string settingsFile(const std::string& tempo, const std::string& beats, int sound,
                         bool white) {
    return "<Orvelle Settings>\r\ntempo=" + tempo + "\r\nvolume=0.5\r\nbeats=" + beats +
           "\r\nsound=" + std::to_string(sound) +
           "\r\nbeatNumbers=true\r\nfadingBeats=true\r\nanimateBeatChange=true\r\n"
           "bubbles=false\r\nwhite=" +
           (white ? "true" : "false") +
           "\r\nsubdivision=1\r\n"
           "accents=3/32/322/3222/32222/322222/3222222/32222222/322222222\r\n"
           "trainer=false\r\ntrainerStep=5\r\ntrainerBars=4\r\ntrainerTarget=160\r\n"
           "silentBars=false\r\nplayBars=2\r\nmuteBars=1\r\nmidiClock=true\r\nfollowTransport=false\r\nlink=false\r\n</Orvelle Settings>\r\n";
}

std::string withSetting(std::string settings, const std::string& key, const std::string& value) {
    const size_t at = settings.find("\n" + key + "=");
    if (at == std::string::npos) return settings;
    const size_t from = at + key.size() + 2;
    return settings.replace(from, settings.find('\r', from) - from, value);
}

}  // namespace e2e

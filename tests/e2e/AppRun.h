// One run of the real program from a temporary copy of its folder, for end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace e2e {

class Desk;

class AppRun {
  public:
    // Makes the temporary folder and copies the program and its four samples into it.
    AppRun();
    ~AppRun();
    AppRun(const AppRun&) = delete;
    AppRun& operator=(const AppRun&) = delete;

    // Added to the program's environment ("NAME=value") and command line by the next start.
    std::vector<std::string> extraEnv;
    std::vector<std::string> arguments;
    // A program that starts the program, with its arguments ("/usr/sbin/ip netns exec NAME"):
    // the tests of Link run it inside a private network namespace. It must exec the program, so
    // that the process id stays the program's.
    std::vector<std::string> launcher;

    const std::string& folder() const { return folder_; }
    std::string settingsPath() const { return folder_ + "/settings.cfg"; }
    std::string audioPath() const { return folder_ + "/audio.raw"; }

    void writeFile(const std::string& name, const std::string& bytes) const;
    std::string readFile(const std::string& name) const;
    void removeFile(const std::string& name) const;

    // Starts the program on the desk. With sound, SDL's disk driver records what it plays;
    // without, the sound device cannot be opened.
    bool start(const Desk& desk, bool withSound = true);
    // The same on another X display (a compositor's Xwayland), with the disk driver's sound.
    bool startOnDisplay(const std::string& display);
    // Starts the program with no audio driver forced, so that it chooses its output as on a
    // desktop; `soundEnvironment` adds entries such as PULSE_SERVER.
    bool startOnDesktopSound(const Desk& desk, const std::vector<std::string>& soundEnvironment);
    // Waits for the program to end; returns its exit status, or -1 on a signal or time-out.
    int waitForExit(int timeoutMs);
    void sendSignal(int signal) const;
    bool alive() const;
    pid_t pid() const { return pid_; }

  private:
    bool spawn(const std::string& display, const std::vector<std::string>& soundEnvironment);

    std::string folder_;
    pid_t pid_ = -1;
    int status_ = -2;
};

// A settings file as the program writes it: every key in its order, CR LF line ends. What is not
// named is the defaults' (stopped, bubbles off, no practice pattern: nothing on the window moves).
std::string settingsFile(const std::string& tempo = "0.4", const std::string& beats = "4",
                         int sound = 0, bool white = true);
// The settings file with the value of `key` replaced.
std::string withSetting(std::string settings, const std::string& key, const std::string& value);

}  // namespace e2e

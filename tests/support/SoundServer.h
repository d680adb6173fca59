// A private PulseAudio server for tests, with a 44100 Hz null sink whose monitor can be recorded.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// The server runs in user mode (as whoever runs the tests, root included) with its own runtime
// folder and socket in a temporary folder, so that it meets no other server on the machine. It
// loads only the native protocol and one null sink "out" of 16-bit stereo at 44100 Hz, and
// resamples trivially, so a 44100 Hz stream reaches the monitor sample for sample.
class SoundServer {
  public:
    SoundServer() {
        char pattern[] = "/tmp/brevant-pa-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        folder = pattern;
        mkdir((folder + "/run").c_str(), 0700);
        mkdir((folder + "/home").c_str(), 0700);
        std::ofstream(folder + "/server.pa")
            << "load-module module-native-protocol-unix socket=" << folder
            << "/native auth-anonymous=1\n"
            << "load-module module-null-sink sink_name=out rate=44100 format=s16le channels=2\n"
            << "set-default-sink out\n";
    }
    ~SoundServer() {
        stopRecording();
        stop();
        if (!folder.empty() && std::getenv("BREVANT_E2E_KEEP") == nullptr)
            std::system(("rm -rf '" + folder + "'").c_str());
    }
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    static bool available() {
        return std::system(
                   "command -v pulseaudio > /dev/null 2>&1 && "
                   "command -v pactl > /dev/null 2>&1 && "
                   "command -v parec > /dev/null 2>&1") == 0;
    }

    // The address a client gives in PULSE_SERVER.
    std::string address() const { return "unix:" + folder + "/native"; }
    const std::string& place() const { return folder; }

    // Starts the server and waits until it answers (at most 15 s).
    bool start() {
        if (folder.empty() || server > 0) return false;
        server = spawn({"pulseaudio", "-n", "-F", folder + "/server.pa", "--daemonize=no",
                        "--exit-idle-time=-1", "--resample-method=trivial", "--use-pid-file=no",
                        "--log-target=file:" + folder + "/server.log"},
                       "/dev/null");
        for (int i = 0; i < 300 && server > 0; i++) {
            if (pactl("info").find("Server Name") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Ends the server as a crash or a restart would for its clients: the connection drops.
    void stop() {
        if (server <= 0) return;
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        server = -1;
        unlink((folder + "/native").c_str());
    }

    // What pactl prints for the given arguments, talking to this server.
    std::string pactl(const std::string& arguments) const {
        std::string command = "PULSE_SERVER='" + address() + "' HOME='" + folder + "/home' pactl " +
                              arguments + " 2>/dev/null";
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char chunk[4096];
            std::size_t n = 0;
            while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
                out.append(chunk, n);
            pclose(pipe);
        }
        return out;
    }

    // Records the null sink's monitor as 16-bit stereo 44100 Hz frames into the file; returns
    // once the recording runs (at most ten seconds).
    bool startRecording(const std::string& path) {
        if (server <= 0 || recorder > 0) return false;
        recorder = spawn({"parec", "--device=out.monitor", "--format=s16le", "--rate=44100",
                          "--channels=2", "--raw", "--latency-msec=20"},
                         path);
        // The recorder runs once the monitor's frames (silence at first) reach the file.
        struct stat info {};
        for (int i = 0; i < 500 && recorder > 0; i++) {
            if (::stat(path.c_str(), &info) == 0 && info.st_size > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    void stopRecording() {
        if (recorder <= 0) return;
        kill(recorder, SIGTERM);
        waitpid(recorder, nullptr, 0);
        recorder = -1;
    }

    // The environment entries a client of this server needs.
    std::vector<std::string> clientEnvironment() const { return {"PULSE_SERVER=" + address()}; }

  private:
    std::string folder;
    pid_t server = -1;
    pid_t recorder = -1;

    pid_t spawn(std::vector<std::string> arguments, const std::string& output) const {
        std::vector<std::string> env = {
            "PATH=/usr/bin:/bin", "HOME=" + folder + "/home", "XDG_RUNTIME_DIR=" + folder + "/run",
            "PULSE_RUNTIME_PATH=" + folder + "/run", "PULSE_SERVER=" + address()};
        std::vector<char*> envp, argv;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return failed != 0 ? -1 : pid;
    }
};

}  // namespace testsupport

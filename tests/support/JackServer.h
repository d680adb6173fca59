// A private dummy JACK server for tests, and a client of ours that records Brevant's ports.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../../platform/sound/JackCycleClock.h"

extern char** environ;

namespace testsupport {

// jackd with the dummy driver (no sound card) at 48000 Hz and 256-frame periods (5.3 ms, as a
// studio runs), under a server name of its own so that it meets no other server; the test process
// itself talks to it through JACK_DEFAULT_SERVER, which it sets while the server lives. On a
// loaded virtual machine such a server skips periods now and then, in storms at worst; the tests
// judge only frames clear of them.
class JackServer {
  public:
    static constexpr int rate = 48000;
    static constexpr int period = 256;

    // A `portMax` of 0 keeps the server's own limit of ports; the dummy driver's five count in it.
    explicit JackServer(const std::string& tag, int portMax = 0)
        : serverName("brevant20-" + tag + "-" + std::to_string(getpid())), ports(portMax) {
        setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    }
    ~JackServer() {
        stop();
        unsetenv("JACK_DEFAULT_SERVER");
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    static bool available() { return std::system("command -v jackd > /dev/null 2>&1") == 0; }

    const std::string& name() const { return serverName; }
    std::string clientEnvironment() const { return "JACK_DEFAULT_SERVER=" + serverName; }

    // Starts the server and waits until a client can connect (at most ten seconds).
    bool start() { return spawn() && answers(); }

    // Starts the server and waits only for its socket, without a client of its own: while the
    // program reconnects on its own, a client that leaves the new server meanwhile can leave
    // libjack in the program with that client's wake-up object kept for its slot, and the next
    // client in that slot is never woken (every period an xrun). The first client of the caller
    // may then need a few attempts.
    bool startWithoutProbe() {
        if (!spawn()) return false;
        const std::string socket =
            "/dev/shm/jack_" + serverName + "_" + std::to_string(getuid()) + "_0";
        for (int i = 0; i < 200; i++, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            if (access(socket.c_str(), F_OK) == 0) return true;
        return false;
    }

    // Ends the server; its clients lose it at once. It is asked to end rather than killed, so
    // that it leaves the machine's JACK registry (which holds only eight servers) as it found it;
    // only one that does not end within five seconds is killed.
    void stop() {
        if (server <= 0) return;
        kill(server, SIGTERM);
        for (int i = 0; i < 250 && waitpid(server, nullptr, WNOHANG) == 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (kill(server, 0) == 0 && waitpid(server, nullptr, WNOHANG) == 0) {
            kill(server, SIGKILL);
            waitpid(server, nullptr, 0);
        }
        server = -1;
    }

  private:
    std::string serverName;
    int ports = 0;
    pid_t server = -1;

    bool spawn() {
        if (server > 0) return false;
        std::vector<std::string> arguments = {"jackd", "-n", serverName};
        if (ports > 0) arguments.insert(arguments.end(), {"-p", std::to_string(ports)});
        arguments.insert(arguments.end(), {"-d", "dummy"});
        arguments.insert(arguments.end(),
                         {"-r", std::to_string(rate), "-p", std::to_string(period)});
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int failed = posix_spawnp(&server, "jackd", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) server = -1;
        return server > 0;
    }

    // jackd2's own waiting client asks in a process of its own: opening and failing clients
    // here, dozens of times while the server comes up, once crashed libjack inside the test
    // process (it starts and ends a thread of its own with every attempt).
    bool answers() const {
        const std::string command = "jack_wait -s " + serverName + " -w -t 10 > /dev/null 2>&1";
        for (int attempt = 0; attempt < 2; attempt++)
            if (std::system(command.c_str()) == 0) return true;
        return false;
    }
};

// One MIDI byte as a recorder saw it, at its frame counted from the recorder's first period.
struct MidiByte {
    std::uint64_t frame = 0;
    unsigned char byte = 0;
};

// A client that records the left port of `source` as 16-bit samples (full scale is 32768, so
// Brevant's samples come back unchanged) and the bytes of its clock port with their frames. The
// memory is taken before the client runs; recording stops when it is full.
class JackRecorder {
  public:
    explicit JackRecorder(int seconds) {
        samples.resize(static_cast<std::size_t>(seconds) * 48000);
    }
    ~JackRecorder() { stop(); }
    JackRecorder(const JackRecorder&) = delete;
    JackRecorder& operator=(const JackRecorder&) = delete;

    // Opens the client once and connects it to `source`; false until the source's ports are
    // there, so that a test may call it again while the source comes up. The client is kept
    // between attempts: closing and opening one of the same name while the server still took
    // the last one away once left the new one without a single period, the server reporting an
    // xrun in each.
    bool start(const std::string& source = "brevant") {
        if (client == nullptr && !open()) return false;
        if (listening.load()) return true;
        const std::string self = jack_get_client_name(client);
        const bool connected =
            connect(source + ":left", self + ":in") && connect(source + ":clock", self + ":midi");
        listening.store(connected);
        return connected;
    }

    void stop() {
        if (client == nullptr) return;
        jack_client_close(client);
        client = nullptr;
    }

    // What was recorded; read after stop().
    std::vector<std::int16_t> recorded() const {
        return {samples.begin(), samples.begin() + static_cast<long>(used.load())};
    }
    std::vector<MidiByte> midiBytes() const {
        return {midi.begin(), midi.begin() + static_cast<long>(midiUsed.load())};
    }
    // Periods this client ran late in (and placed by the next period's time at first).
    int lateCount() const { return lateReads.load(); }

    // Whether frames `from` to `to` lie clear of every period the server did not run on time
    // (skipped or run late) and of every xrun it reported. Each such period disturbs the frames
    // around it: a skipped period's output is lost, the source mixes the period after it on its
    // old grid and sends the clock pulses it owes one or more periods late. Not every xrun shows
    // in this client's frame times: the server may go on without a late source, and this client
    // then reads a period the source did not write for it, on time. The report of such an xrun
    // reaches this client's notification thread some time after the period, so the frames before
    // it are taken as disturbed for longer. A test judges only beats clear of all of them.
    bool undisturbed(long from, long to) const {
        constexpr long reach = 2048;
        constexpr long reportLag = 9600;  // 0.2 s, for a notification thread kept waiting
        if (oddUsed.load() == oddSteps.size() || xrunUsed.load() == xrunFrames.size())
            return false;  // too many to tell
        for (std::size_t i = 0; i < oddUsed.load(); i++) {
            const long at = static_cast<long>(oddSteps[i]);
            if (at + reach >= from && at - reach <= to) return false;
        }
        for (std::size_t i = 0; i < xrunUsed.load(); i++) {
            const long at = xrunFrames[i];
            if (at + reach >= from && at - reach - reportLag <= to) return false;
        }
        return true;
    }
    int disturbances() const { return static_cast<int>(oddUsed.load()); }
    // The xruns the server reported to this client.
    int xruns() const { return xrunCount.load(); }
    // Starts and stops the transport, as any client may without being its master.
    void roll() { jack_transport_start(client); }
    void halt() { jack_transport_stop(client); }

    // The recorder's frame of the transport's frame 0 when it first rolled, and the frame where
    // it was first seen stopped after that; -1 while not seen.
    long transportZero() const { return rollZero.load(); }
    long transportStopped() const { return stopFrame.load(); }

  private:
    bool open() {
        used.store(0);
        midiUsed.store(0);
        midi.clear();
        frames = 0;
        started = false;
        cycles.reset();
        lateReads.store(0);
        listening.store(false);
        settled = false;
        oddUsed.store(0);
        oddSteps.assign(1 << 12, 0);
        xrunUsed.store(0);
        xrunFrames.assign(1 << 12, 0);
        originFrame.store(-1);
        jack_status_t status{};
        client = jack_client_open("recorder", JackNoStartServer, &status);
        if (client == nullptr) return false;
        audioIn = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        midiIn = jack_port_register(client, "midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        midi.reserve(1 << 16);
        jack_set_process_callback(client, &JackRecorder::onProcess, this);
        xrunCount.store(0);
        jack_set_xrun_callback(client, &JackRecorder::onXrun, this);
        if (jack_activate(client) == 0) return true;
        stop();
        return false;
    }

    bool connect(const std::string& from, const std::string& to) {
        if (jack_port_by_name(client, from.c_str()) == nullptr) return false;
        const int result = jack_connect(client, from.c_str(), to.c_str());
        return result == 0 || result == EEXIST;
    }

    jack_client_t* client = nullptr;
    jack_port_t* audioIn = nullptr;
    jack_port_t* midiIn = nullptr;
    std::vector<std::int16_t> samples;
    std::vector<MidiByte> midi;
    std::atomic<std::size_t> used{0};
    std::atomic<std::size_t> midiUsed{0};
    std::atomic<long> rollZero{-1};
    std::atomic<long> stopFrame{-1};
    std::uint64_t frames = 0;
    jack_nframes_t origin = 0;
    bool started = false;
    platform::JackCycleClock cycles;
    std::size_t lastAt = 0;      // where the previous period's samples went
    std::size_t lastFrames = 0;  // and how many
    std::size_t lastMidi = 0;    // the first of its bytes
    std::atomic<int> lateReads{0};
    std::atomic<bool> listening{false};  // the ports are connected
    bool settled = false;                // a period has passed since
    jack_nframes_t lastNow = 0;
    std::vector<std::uint64_t> oddSteps;  // frames of periods that did not follow one period on
    std::atomic<std::size_t> oddUsed{0};
    std::atomic<int> xrunCount{0};
    std::vector<long> xrunFrames;  // where the xruns the server reported to this client came
    std::atomic<std::size_t> xrunUsed{0};
    std::atomic<long long> originFrame{-1};  // the server's frame of frame 0, once known

    static int onProcess(jack_nframes_t n, void* self) {
        static_cast<JackRecorder*>(self)->take(n);
        return 0;
    }
    static int onXrun(void* self) {
        static_cast<JackRecorder*>(self)->noteXrun();
        return 0;
    }

    // On the notification thread: the frame of the report, on the recording's frames.
    void noteXrun() {
        xrunCount.fetch_add(1);
        const long long zero = originFrame.load();
        const std::size_t i = xrunUsed.load();
        if (zero < 0 || i == xrunFrames.size()) return;
        const jack_nframes_t now = jack_frame_time(client);
        xrunFrames[i] =
            static_cast<long>(static_cast<std::int32_t>(now - static_cast<jack_nframes_t>(zero)));
        xrunUsed.store(i + 1);
    }

    // Samples go to their frame of the server's clock counted from the first period, so that a
    // period this client missed leaves silence in its place instead of moving what follows. A
    // period that read the next one's time (this client ran late) is moved back once that is
    // known.
    void take(jack_nframes_t n) {
        // Frame 0 is the first period after the one in which the ports were connected (which
        // may have begun before the connection), so that nothing sent to them is missed.
        if (!listening.load()) return;
        if (!settled) {
            settled = true;
            return;
        }
        const jack_nframes_t now = jack_last_frame_time(client);
        cycles.advance(now, n);
        if (!started) {
            origin = now;
            lastNow = now - n;
            originFrame.store(now);
        }
        started = true;
        const auto* in = static_cast<const float*>(jack_port_get_buffer(audioIn, n));
        void* events = jack_port_get_buffer(midiIn, n);
        if (cycles.previousAhead() > 0) placeLatePeriod(cycles.previousAhead(), in, n, events);
        frames = static_cast<jack_nframes_t>(now - origin);
        if (now - lastNow != n && started) noteOddStep();
        lastNow = now;
        std::size_t at = static_cast<std::size_t>(frames);
        lastAt = at;
        lastFrames = n;
        for (jack_nframes_t i = 0; i < n && at < samples.size(); i++)
            samples[at++] = static_cast<std::int16_t>(std::lrint(in[i] * 32768.0f));
        used.store(std::max(used.load(), std::min(at, samples.size())));
        const std::uint32_t count = jack_midi_get_event_count(events);
        std::size_t m = midiUsed.load();
        lastMidi = m;
        for (std::uint32_t e = 0; e < count && m < midi.capacity(); e++) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, events, e) != 0 || event.size == 0) continue;
            midi.push_back({frames + event.time, event.buffer[0]});
            m++;
        }
        midiUsed.store(m);
        noteTransport();
    }

    void noteOddStep() {
        const std::size_t i = oddUsed.load();
        if (i == oddSteps.size()) return;
        oddSteps[i] = frames;
        oddUsed.store(i + 1);
    }

    // The previous period ran late. What it read was its own period's output, which goes `by`
    // frames back where it belongs; or, when the source ran its next period meanwhile, a copy of
    // this period's, which is left out.
    void placeLatePeriod(std::uint32_t by, const float* in, jack_nframes_t n, void* events) {
        lateReads.fetch_add(1);
        if (lastAt < by) return;
        if (sameAsPrevious(in, n, events)) {
            midi.resize(lastMidi);
            midiUsed.store(lastMidi);
            return;
        }
        for (std::size_t i = 0; i < lastFrames && lastAt + i < samples.size(); i++)
            samples[lastAt - by + i] = samples[lastAt + i];
        for (std::size_t k = lastMidi; k < midiUsed.load(); k++)
            midi[k].frame -= by;
    }

    bool sameAsPrevious(const float* in, jack_nframes_t n, void* events) const {
        if (n != lastFrames || lastAt + n > samples.size()) return false;
        for (jack_nframes_t i = 0; i < n; i++)
            if (samples[lastAt + i] != static_cast<std::int16_t>(std::lrint(in[i] * 32768.0f)))
                return false;
        const std::uint32_t count = jack_midi_get_event_count(events);
        if (count != midiUsed.load() - lastMidi) return false;
        for (std::uint32_t e = 0; e < count; e++) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, events, e) != 0 || event.size == 0) return false;
            const MidiByte& before = midi[lastMidi + e];
            if (before.byte != event.buffer[0] || before.frame != lastAt + event.time) return false;
        }
        return true;
    }

    void noteTransport() {
        jack_position_t position{};
        const bool rolling = jack_transport_query(client, &position) == JackTransportRolling;
        if (rolling && rollZero.load() < 0)
            rollZero.store(static_cast<long>(frames) - static_cast<long>(position.frame));
        if (!rolling && rollZero.load() >= 0 && stopFrame.load() < 0)
            stopFrame.store(static_cast<long>(frames));
    }
};

// The timebase master of the transport at a fixed tempo and metre (jack_transport keeps 4/4):
// bar, beat and tick follow from the transport's frame alone.
class JackTimebaseMaster {
  public:
    JackTimebaseMaster(double beatsPerMinute, int beatsPerBar)
        : bpm(beatsPerMinute), perBar(beatsPerBar) {}
    ~JackTimebaseMaster() {
        if (client != nullptr) jack_client_close(client);
    }
    JackTimebaseMaster(const JackTimebaseMaster&) = delete;
    JackTimebaseMaster& operator=(const JackTimebaseMaster&) = delete;

    // Becomes the master with the transport stopped at frame 0.
    bool start() {
        jack_status_t status{};
        client = jack_client_open("master", JackNoStartServer, &status);
        if (client == nullptr) return false;
        if (jack_set_timebase_callback(client, 0, &JackTimebaseMaster::onTimebase, this) != 0)
            return false;
        if (jack_activate(client) != 0) return false;
        jack_transport_stop(client);
        return jack_transport_locate(client, 0) == 0;
    }
    void roll() { jack_transport_start(client); }
    void halt() { jack_transport_stop(client); }

  private:
    jack_client_t* client = nullptr;
    double bpm;
    int perBar;

    static void onTimebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                           void* self) {
        static_cast<JackTimebaseMaster*>(self)->place(position);
    }

    // A position asked before the server gave its rate is left without bar and beat.
    void place(jack_position_t* position) const {
        if (position->frame_rate == 0) return;
        const double beats = position->frame * bpm / (60.0 * position->frame_rate);
        const double whole = std::floor(beats);
        const double bars = std::floor(whole / perBar);
        position->valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackTickDouble);
        position->beats_per_bar = static_cast<float>(perBar);
        position->beat_type = 4.0f;
        position->ticks_per_beat = 1920.0;
        position->beats_per_minute = bpm;
        position->bar = static_cast<std::int32_t>(bars + 1);
        position->beat = static_cast<std::int32_t>(whole - bars * perBar + 1);
        position->tick = static_cast<std::int32_t>((beats - whole) * 1920.0);
        position->tick_double = (beats - whole) * 1920.0;
        position->bar_start_tick = bars * perBar * 1920.0;
    }
};

}  // namespace testsupport

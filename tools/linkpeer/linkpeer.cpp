// linkpeer: a small Link peer for tests and measurements: joins, sets the tempo, starts and
// stops, and prints the session's beat time.
//
// It reads one command a line on standard input and answers each with one line:
//   show              -> "peers N tempo T beat B playing P host H" (beat for quantum 4)
//   tempo BPM         -> sets the session's tempo, then shows
//   start | stop      -> starts or stops the session's play (start/stop sync is on), then shows
//   beatat HOST Q     -> "beat B": the beat at host time HOST (microseconds) for quantum Q
//   timeat BEAT Q     -> "time H": the host time of BEAT for quantum Q
//   quit              -> leaves the session and ends
// Usage: linkpeer [BPM]   (100 by default). Run it only inside a private network namespace.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include <ableton/Link.hpp>

namespace {

void show(ableton::Link& link) {
    const auto state = link.captureAppSessionState();
    const auto now = link.clock().micros();
    std::printf("peers %zu tempo %.6f beat %.6f playing %d host %lld\n", link.numPeers(),
                state.tempo(), state.beatAtTime(now, 4.0), state.isPlaying() ? 1 : 0,
                static_cast<long long>(now.count()));
}

void setTempo(ableton::Link& link, double bpm) {
    auto state = link.captureAppSessionState();
    state.setTempo(bpm, link.clock().micros());
    link.commitAppSessionState(state);
}

void setPlaying(ableton::Link& link, bool playing) {
    auto state = link.captureAppSessionState();
    state.setIsPlayingAndRequestBeatAtTime(playing, link.clock().micros(), 0.0, 4.0);
    link.commitAppSessionState(state);
}

}  // namespace

int main(int argc, char** argv) {
    const double bpm = argc > 1 ? std::atof(argv[1]) : 100.0;
    ableton::Link link(bpm > 0 ? bpm : 100.0);
    link.enableStartStopSync(true);
    link.enable(true);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "quit") break;
        if (command == "tempo") {
            double value = 0;
            in >> value;
            setTempo(link, value);
        }
        if (command == "start" || command == "stop") setPlaying(link, command == "start");
        if (command == "beatat") {
            long long host = 0;
            double quantum = 4;
            in >> host >> quantum;
            const auto state = link.captureAppSessionState();
            std::printf("beat %.6f\n", state.beatAtTime(std::chrono::microseconds(host), quantum));
        } else if (command == "timeat") {
            double beat = 0, quantum = 4;
            in >> beat >> quantum;
            const auto state = link.captureAppSessionState();
            std::printf("time %lld\n",
                        static_cast<long long>(state.timeAtBeat(beat, quantum).count()));
        } else {
            show(link);
        }
        std::fflush(stdout);
    }
    link.enable(false);
    return 0;
}

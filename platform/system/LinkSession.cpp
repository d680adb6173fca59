// LinkSession over Ableton's Link library (header-only), kept behind our own small interface.
#include "platform/system/LinkSession.h"

#include <chrono>

#include <ableton/Link.hpp>

namespace platform {

namespace {

std::chrono::microseconds micros(std::int64_t value) {
    return std::chrono::microseconds(value);
}

}  // namespace

// The library's object is built on first use: its construction already starts the library's
// thread, which a program that never joins a session should not pay for.
struct LinkSession::Impl {
    explicit Impl(double bpm) : link(bpm), state(link.captureAppSessionState()) {}
    ableton::Link link;
    ableton::Link::SessionState state;
};

LinkSession::LinkSession(double bpm) : initialBpm(bpm) {}

LinkSession::~LinkSession() {
    if (impl) impl->link.enable(false);
}

LinkSession::Impl& LinkSession::session() {
    if (!impl) impl = std::make_unique<Impl>(initialBpm);
    return *impl;
}

void LinkSession::enable(bool on) {
    if (!on && !impl) return;
    session().link.enable(on);
}

bool LinkSession::enabled() const {
    return impl && impl->link.isEnabled();
}

int LinkSession::peers() const {
    return impl ? static_cast<int>(impl->link.numPeers()) : 0;
}

void LinkSession::enableStartStopSync(bool on) {
    session().link.enableStartStopSync(on);
}

std::int64_t LinkSession::hostMicros() const {
    return ableton::link::platform::Clock().micros().count();
}

void LinkSession::capture() {
    Impl& s = session();
    s.state = s.link.captureAppSessionState();
}

double LinkSession::tempo() const {
    return impl ? impl->state.tempo() : initialBpm;
}

double LinkSession::beatAt(std::int64_t at, double quantum) {
    return session().state.beatAtTime(micros(at), quantum);
}

std::int64_t LinkSession::timeAtBeat(double beat, double quantum) {
    return session().state.timeAtBeat(beat, quantum).count();
}

bool LinkSession::playing() const {
    return impl && impl->state.isPlaying();
}

void LinkSession::setTempo(double bpm, std::int64_t at) {
    Impl& s = session();
    s.state = s.link.captureAppSessionState();
    s.state.setTempo(bpm, micros(at));
    s.link.commitAppSessionState(s.state);
    s.state = s.link.captureAppSessionState();
}

void LinkSession::setPlaying(bool playing, std::int64_t at, double quantum) {
    Impl& s = session();
    s.state = s.link.captureAppSessionState();
    s.state.setIsPlayingAndRequestBeatAtTime(playing, micros(at), 0.0, quantum);
    s.link.commitAppSessionState(s.state);
    s.state = s.link.captureAppSessionState();
}

}  // namespace platform

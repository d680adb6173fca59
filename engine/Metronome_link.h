// Metronome_link: the metronome's part in a Link session: tempo, start and stop, the bar's phase.
#pragma once

#include <cstdint>

#include "base/AnsiString.h"
#include "platform/system/LinkSession.h"

class Metronome;

// While the `link` setting is on, the metronome joins the network's session: the session's tempo
// becomes the bar's (exactly, not rounded), a change of the user's goes to the session, starts
// and stops are shared, and the bar's first sample is heard when the session's bar begins.
//
// The bar is placed on the output's sample clock. Each pass of the main loop pairs an output
// frame with the host time it is heard at (from the device's own timing reports where it has
// them, else the frame heard now by its latency figure); a line fitted through the last minute
// of pairs gives the host time of frame 0 and its drift (the sound card's clock drifts against
// the host's). From it every session bar start has a whole output frame, and in the quiet tail
// of a beat the play cursor is moved by whole samples to where the session says it should be.
// The trainer and the silent bars queue their bars only once the sounding bar sits on the grid
// in its last beat, so that the queued bar starts on the session's bar start. Nothing of this
// runs on the audio thread.
class Metronome_link {
  public:
    // The session's own clock and its peers; nothing of the network is opened until joined.
    platform::LinkSession session{120.0};

    explicit Metronome_link(Metronome& owner) : owner(owner) {}
    Metronome_link(const Metronome_link&) = delete;
    Metronome_link& operator=(const Metronome_link&) = delete;

    // The first half of a main-loop pass at host time `now` (microseconds of the session's
    // clock; negative: read it): joins or leaves as the setting says, takes the session's tempo
    // and start or stop, hands it the user's, and pairs the output's frames with the host clock.
    void follow(std::int64_t now);
    // The second half, after any bar switch: moves the play cursor onto the session's grid.
    void align();

    // Where a new bar switched in now starts, on the session's grid: its cursor; -1 when not on
    // a grid (the metronome's own mapping holds); -2 when that place is not quiet (not yet).
    // Called with the device lock held.
    std::int64_t switchPosition();

    // The exact tempo the bar is rendered at; 0 while the metronome keeps its own.
    double barBpm() const { return followedBpm; }
    // Where pulse `pulse` of a bar at barBpm() with `pulsesPerBeat` pulses a beat starts, in
    // samples from the bar's top.
    int pulseStart(int pulse, int pulsesPerBeat) const;
    // Where beat `index` (0..beats) of the rendered bar starts, in samples.
    int beatStart(int index) const;
    // Whether the bar is being placed on the session's grid now (joined, following its tempo,
    // the output's clock learnt).
    bool following() const;
    // Whether the sounding bar sits on the grid in its last beat's quiet tail: its end is then
    // the session's next bar start, and a bar queued to follow it starts there.
    bool atBarEnd();
    // Moves the session's tempo to `bpm` from the next bar start on (the trainer's step), the
    // metronome's tempo field already showing it.
    void stepTempoAtBarEnd(double bpm);
    // How long the main loop may wait: the session is looked at every few milliseconds while
    // the setting is on.
    std::uint32_t msUntilWork() const;
    // Notes the quiet tail of each beat of the bar just rendered.
    void measureQuiet();
    // Called when the bar starts from its top: in a session with peers it starts silent and is
    // heard only once it sits on the session's grid, at a bar start; alone it sounds at once,
    // and the session's bar is put where it is heard.
    void started();
    // Whether the bar plays silent until it sits on the grid.
    bool muted() const { return silent; }

    // True once after the session moved the tempo or the running state, so that the window
    // shows it within the frame.
    bool takeTempoMoved();
    bool takeRunningMoved();
    // The menu's words for it: "Link", with the peers, or why the session cannot be followed.
    AnsiString menuText() const;
    // The peers in the session; 0 when not joined.
    int peers() const { return session.enabled() ? session.peers() : 0; }
    // The session's tempo that a bar of the current beats could not hold; 0 for none.
    double unfollowedBpm() const { return refusedBpm; }

  private:
    // The pairs are noisy by several milliseconds (the server's latency figure moves in steps of
    // its own blocks, and wanders over seconds). They are gathered in slots of 100 ms over the
    // last minute, and a line is fitted through the slots' means: its slope is the sound card's
    // drift against the host clock, taken only once it stands out of the noise. The line in
    // use follows the fitted one by at most slewMicros a second while the difference lies
    // within the scatter, so that no interval changes by more than a fraction of a sample; a
    // second of pairs is gathered before the first placement. A start of ours is asked for just
    // after that second.
    static constexpr int slots = 600;
    static constexpr double slotMicros = 100000.0;
    static constexpr double settleMicros = 1000000.0;
    static constexpr std::int64_t startAhead = 1100000;
    static constexpr double outlierMicros = 3000.0;
    static constexpr double lateMicros = 500.0;  // a timing report this late is left out
    static constexpr double slewMicros = 10.0;
    static constexpr double jumpMicros = 50.0;
    static constexpr double correlatedSlots = 20.0;
    static constexpr double maxDrift = 500.0;  // microseconds a second: a sound card is closer
    static constexpr double minDriftSlots = 200.0;
    static constexpr int quietLevel = 32;  // a sample below this is quiet

    Metronome& owner;
    double followedBpm = 0.0;
    double refusedBpm = 0.0;
    double tempoField = -1.0;  // the tempo field as the session last set it
    bool lastRunning = false;
    bool lastSessionPlaying = false;
    bool tempoMoved = false;
    bool runningMoved = false;
    bool silent = false;
    // Host time of output frame 0 in microseconds at the nominal rate, as a line over the host
    // time: `origin` at host time `originAt`, moving by `drift` microseconds a second.
    bool paired = false;
    double origin = 0.0;
    double originAt = 0.0;
    double drift = 0.0;
    // The slots of the fit: sums of the pairs' times (seconds since the first pair), values
    // (microseconds from the first pair's) and squared values, and their count.
    double slotX[slots] = {};
    double slotY[slots] = {};
    double slotYY[slots] = {};
    double slotCount[slots] = {};
    double firstValue = 0.0;
    std::int64_t newestSlot = 0;
    double outlierSince = 0.0;
    double firstPairAt = 0.0;
    double lastPairAt = 0.0;
    // The fit counts as settled once the pairs it took span a second: pairs left out as off
    // its line do not make a line settled that they contradict.
    double lastTakenAt = 0.0;
    int taken = 0;     // pairs the fit took since it started
    int rejected = 0;  // pairs it left out as off its line meanwhile
    std::uint64_t lastReport = 0;
    bool reports = false;  // the pairs come from the device's timing reports
    int quietFrom[10] = {};
    // Where a silent bar may be made heard: past the last beat's last sample that is not zero,
    // or, for a sound that does not fall to zero soon enough, its quiet tail.
    int audibleFrom = 0;

    void join(bool on, std::int64_t now);
    void takeTempo();
    void passUserTempo(std::int64_t now);
    void shareStartStop(std::int64_t now);
    std::int64_t startTime(std::int64_t now);
    void pair(std::int64_t now);
    void addPair(double at, double sample, bool earliest);
    void restartFit(double at, double value, std::int64_t slot);
    void follow(double at);
    double originOf(double hostMicros) const;
    double hostOfFrame(std::int64_t frame) const;
    double quantum() const;
    // The device's frames per second, at which the bars are rendered.
    double rate() const;
    bool settled() const;
    void moveCursor(std::int64_t from, std::int64_t to);
    bool fits(double bpm) const;
    std::int64_t frameOf(std::int64_t hostMicros) const;
    std::int64_t wantedCursor(std::int64_t mixed);
    int beatOf(std::int64_t cursor) const;
    bool quiet(std::int64_t cursor) const;
    std::int64_t landing(int cursorBeat, std::int64_t wanted) const;
};

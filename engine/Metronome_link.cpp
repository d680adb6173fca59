// Metronome_link: following a Link session's tempo, start and stop, and bar grid.
#include "engine/Metronome_link.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/AudioEngine.h"
#include "base/Log_.h"
#include "base/TextConversions.h"
#include "engine/Metronome.h"
#include "platform/sound/SoundDevice.h"

namespace {

// A pair whose two clock readings lie further apart than this was interrupted between them.
constexpr std::int64_t maxPairSpread = 500;

}  // namespace

void Metronome_link::follow(std::int64_t now) {
    const bool live = now < 0;
    if (live) now = session.hostMicros();
    if (owner.link != session.enabled()) join(owner.link, now);
    if (!owner.link) return;
    session.capture();
    passUserTempo(now);
    takeTempo();
    shareStartStop(now);
    if (owner.running) pair(live ? -1 : now);
}

// On joining, the session learns our tempo and whether we play (a session of peers keeps its
// own tempo). On leaving, the bar goes back to the metronome's own whole tempo.
void Metronome_link::join(bool on, std::int64_t now) {
    if (on) {
        session.setTempo(std::clamp(static_cast<double>(owner.bpm()), 20.0, 999.0), now);
        session.enableStartStopSync(true);
        session.enable(true);
        session.setPlaying(owner.running, now, quantum());
        lastRunning = owner.running;
        lastSessionPlaying = owner.running;
        tempoField = owner.tempo;
        return;
    }
    session.enable(false);
    followedBpm = 0.0;
    refusedBpm = 0.0;
    if (silent && owner.running) owner.audio.setSoundVolume(0, owner.gain());
    silent = false;
    if (owner.running) owner.rebuild = true;
}

// Fader, keys and taps change the tempo field; a value the session did not put there is the
// user's, and the session takes it.
void Metronome_link::passUserTempo(std::int64_t now) {
    if (owner.tempo == tempoField) return;
    session.setTempo(owner.bpm(), now);
    session.capture();
    tempoField = owner.tempo;
}

// The session's tempo is followed exactly while a bar of it fits; the fader and the number show
// it rounded (and held within their range).
void Metronome_link::takeTempo() {
    const double bpm = session.tempo();
    const double wanted = fits(bpm) ? bpm : 0.0;
    if (wanted == 0.0 && refusedBpm != bpm) {
        refusedBpm = bpm;
        report("Link: the session's tempo of " + toText(static_cast<int>(std::lround(bpm))) +
               " BPM is beyond a bar of this beat count; playing on alone, out of the "
               "session's time, until it comes back in reach");
    }
    if (wanted != 0.0) refusedBpm = 0.0;
    if (std::abs(wanted - followedBpm) < 1e-3 && (wanted == 0.0) == (followedBpm == 0.0)) return;
    followedBpm = wanted;
    if (wanted != 0.0) {
        const double shown = std::clamp((std::round(wanted) - 40.0) / 200.0, 0.0, 1.0);
        if (shown != owner.tempo) tempoMoved = true;
        owner.tempo = shown;
        tempoField = shown;
    }
    if (silent && wanted == 0.0 && owner.running) {
        owner.audio.setSoundVolume(0, owner.gain());
        silent = false;
    }
    if (owner.running) owner.rebuild = true;
}

// A start or stop of ours goes to the session; one of the session's becomes ours.
void Metronome_link::shareStartStop(std::int64_t now) {
    if (owner.running != lastRunning) {
        // Alone, the bar has started at once and the session's bar is put where it is heard.
        // With peers, a start is asked for a little ahead, when the output's clock is known:
        // the bar begins at the session's next bar start after it.
        session.setPlaying(owner.running, owner.running ? startTime(now) : now, quantum());
        session.capture();
    } else if (session.playing() != lastSessionPlaying && session.playing() != owner.running) {
        owner.running = session.playing();
        owner.restart();
        runningMoved = true;
    }
    lastRunning = owner.running;
    lastSessionPlaying = session.playing();
}

// One pair of clocks: an output frame and the host time it is heard at. A device with timing
// reports of its own gives them, exact but for a report that came late (its time is then too
// late) and the first after the stream starts (see addPair): of the pairs in a slot the earliest
// is kept. Otherwise the frame heard
// now is the mixed frames less the output's latency, the host clock read on both sides of it,
// and a pair taken across a pause is dropped.
void Metronome_link::pair(std::int64_t now) {
    platform::HeardClock report;
    if (owner.audio.heardClock(report)) {
        if (report.serial == lastReport) return;
        lastReport = report.serial;
        const auto at = static_cast<double>(report.hostMicros);
        addPair(at, at - report.frame * 1e6 / rate(), true);
        return;
    }
    const std::int64_t before = now < 0 ? session.hostMicros() : now;
    std::int64_t heard = 0;
    {
        AudioEngine::Lock lock(owner.audio);
        heard = static_cast<std::int64_t>(owner.audio.mixedFrames()) - owner.audio.outputLatency();
    }
    const std::int64_t after = now < 0 ? session.hostMicros() : now;
    if (after - before > maxPairSpread) return;
    const double at = 0.5 * static_cast<double>(before + after);
    addPair(at, at - static_cast<double>(heard) * 1e6 / rate(), false);
}

// `sample` is the host time of output frame 0 by the pair taken at host time `at`.
void Metronome_link::addPair(double at, double sample, bool earliest) {
    reports = earliest;
    const std::int64_t slot = static_cast<std::int64_t>(at / slotMicros);
    if (!paired || at - lastPairAt > 1e6) restartFit(at, sample, slot);
    lastPairAt = at;
    // A timing report can only come late, so one that lies earlier than the line says that the
    // line rests on late ones: the fit starts again from it at once. The first report after a
    // start was seen 2 ms late, and every right one after it was then left out as off the line.
    if (earliest && sample < originOf(at) - lateMicros) restartFit(at, sample, slot);
    // Right after an underrun the server's figure is off by the gap: such a pair lies far from
    // the line in use and is left out, unless the pairs stay there for a whole second; then
    // the output has truly moved, and the fit starts again from them. A timing report is exact
    // unless it came late, so one that is off by a little already is left out the same way.
    //
    // The first report after the stream starts can also lie early (by up to 2 ms in a test
    // server, against every report after it), and a line resting on it would leave out all the
    // right ones. A line that its reports contradict more often than they bear it out is given
    // up at once: the fit starts again from the report at hand (a late one in turn gives way to
    // the next right one, which lies early of it).
    if (std::abs(sample - originOf(at)) > (earliest ? lateMicros : outlierMicros)) {
        if (outlierSince == 0.0) outlierSince = at;
        rejected++;
        const bool outvoted = earliest && rejected > taken + 2;
        if (at - outlierSince < 1e6 && !outvoted) return;
        restartFit(at, sample, slot);
    }
    outlierSince = 0.0;
    taken++;
    lastTakenAt = at;
    for (; newestSlot < slot; newestSlot++) {
        const std::int64_t i = (newestSlot + 1) % slots;
        slotX[i] = slotY[i] = slotYY[i] = slotCount[i] = 0;
    }
    const std::int64_t i = slot % slots;
    const double x = (at - firstPairAt) / 1e6, y = sample - firstValue;
    if (earliest && slotCount[i] > 0 && y >= slotY[i]) return;
    if (earliest) slotX[i] = slotY[i] = slotYY[i] = slotCount[i] = 0;
    slotX[i] += x;
    slotY[i] += y;
    slotYY[i] += y * y;
    slotCount[i] += 1;
    follow(at);
}

void Metronome_link::restartFit(double at, double value, std::int64_t slot) {
    paired = true;
    origin = value;
    originAt = at;
    drift = 0.0;
    outlierSince = 0.0;
    rejected = 0;
    taken = 0;
    firstPairAt = at;
    firstValue = value;
    newestSlot = slot;
    for (int i = 0; i < slots; i++)
        slotX[i] = slotY[i] = slotYY[i] = slotCount[i] = 0;
}

// The line through the slots' means, by least squares. The server's latency figure wanders
// slowly, so neighbouring slots of it are not independent: a run of `correlatedSlots` counts as
// one point (timing reports are independent). The slope is taken when it stands out of the
// scatter by three standard errors, else the drift is none and the line is the mean. The line in
// use follows timing reports at once, drift and all; other pairs by a jump where it is further
// from the fit than the scatter explains, or by at most slewMicros a second, its drift by at
// most slewMicros a second each second. A slope in noisy pairs is looked for only over 20 s or
// more: a sound server's buffer that grows for a few seconds after an underrun must not pass
// for a drift.
void Metronome_link::follow(double at) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0, pairs = 0, within = 0;
    for (int i = 0; i < slots; i++) {
        if (slotCount[i] == 0) continue;
        const double x = slotX[i] / slotCount[i], y = slotY[i] / slotCount[i];
        pairs += slotCount[i];
        within += slotYY[i] - slotCount[i] * y * y;
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        syy += y * y;
    }
    const double cxx = sxx - sx * sx / n, cxy = sxy - sx * sy / n, cyy = syy - sy * sy / n;
    double slope = 0.0, scatter = n > 1 ? std::max(0.0, cyy) / (n - 1) : 0.0;
    // Clean pairs (an offline clock) show a drift within a second; noisy ones need 20 s.
    const bool clean = pairs > 0 && within < pairs * jumpMicros * jumpMicros;
    if (n >= (clean ? 10.0 : minDriftSlots) && cxx > 0) {
        slope = cxy / cxx;
        const double residual = std::max(0.0, cyy - slope * cxy) / (n - 2);
        const double independent = reports ? 1.0 : correlatedSlots;
        if (slope * slope * cxx / independent < 9.0 * residual || std::abs(slope) > maxDrift)
            slope = 0.0;
        else
            scatter = residual;
    }
    const double x = (at - firstPairAt) / 1e6;
    const double fitted = firstValue + (sy - slope * sx) / n + slope * x;
    const double elapsed = std::max(0.0, at - originAt) / 1e6;
    const double inUse = originOf(at);
    originAt = at;
    // Until the bar is heard on the grid the line may jump: nothing is heard of it yet.
    const bool free = n == 1 || silent || at - firstPairAt < settleMicros;
    // The pairs' own spread within a slot tells noisy pairs from clean ones even while the slots
    // are still few.
    const double spread = std::max(scatter, std::max(0.0, within) / pairs);
    const double step = slewMicros * elapsed;
    // A drift measured in timing reports is the output's: taken at once, since slewing towards it
    // would leave the grid behind by a little more each second.
    drift = reports ? slope : drift + std::clamp(slope - drift, -step, step);
    if (free || reports || std::abs(fitted - inUse) > 3.0 * std::sqrt(spread) + jumpMicros) {
        origin = fitted;
        return;
    }
    origin = inUse + std::clamp(fitted - inUse, -step, step);
}

// The host time of an output frame: the line's origin is taken at the frame's nominal time,
// which is off by the drift of that time only (a fraction of a microsecond).
double Metronome_link::hostOfFrame(std::int64_t frame) const {
    const double nominal = origin + static_cast<double>(frame) * 1e6 / rate();
    return originOf(nominal) + static_cast<double>(frame) * 1e6 / rate();
}

double Metronome_link::originOf(double hostMicros) const {
    return origin + drift * (hostMicros - originAt) / 1e6;
}

double Metronome_link::quantum() const {
    return owner.beats >= 1 && owner.beats <= 9 ? owner.beats : 1.0;
}

bool Metronome_link::fits(double bpm) const {
    if (!(bpm >= 1.0)) return false;
    return quantum() * 60.0 * rate() / bpm + 3.0 <= Metronome::MaxBarLength;
}

double Metronome_link::rate() const {
    return owner.audio.sampleRate();
}

// A pulse between beats is placed from its beat's sample, to which the cursor is moved: each
// lies within a sample of its exact time on the grid.
int Metronome_link::pulseStart(int pulse, int pulsesPerBeat) const {
    const double beatLength = 60.0 * rate() / followedBpm;
    const int beat = pulse / pulsesPerBeat;
    const double within = (pulse % pulsesPerBeat) * beatLength / pulsesPerBeat;
    return static_cast<int>(std::llround(beat * beatLength) + std::llround(within));
}

int Metronome_link::beatStart(int index) const {
    return pulseStart(index * owner.barPulses, owner.barPulses);
}

bool Metronome_link::settled() const {
    return paired && lastTakenAt - firstPairAt >= settleMicros;
}

bool Metronome_link::following() const {
    return owner.link && followedBpm > 0.0 && settled();
}

bool Metronome_link::atBarEnd() {
    AudioEngine::Lock lock(owner.audio);
    const std::int64_t cursor = owner.audio.playPosition(0);
    if (beatOf(cursor) != owner.barBeats - 1 || !quiet(cursor)) return false;
    return cursor == wantedCursor(static_cast<std::int64_t>(owner.audio.mixedFrames()));
}

// Link keeps the beat at the given time where it is: given the next bar start, the bar
// sounding now ends on the old grid and the next one begins the new tempo's.
void Metronome_link::stepTempoAtBarEnd(double bpm) {
    std::int64_t frame = 0;
    {
        AudioEngine::Lock lock(owner.audio);
        frame = static_cast<std::int64_t>(owner.audio.mixedFrames()) + owner.barLength -
                owner.audio.playPosition(0);
    }
    session.setTempo(bpm, std::llround(hostOfFrame(frame)));
    session.capture();
    tempoField = owner.tempo;
}

std::uint32_t Metronome_link::msUntilWork() const {
    return owner.link ? 5u : UINT32_MAX;
}

// The bar count runs on the output's frames: a cursor moved forward by d samples is a bar that
// began d frames earlier. A move is never more than half a bar either way.
void Metronome_link::moveCursor(std::int64_t from, std::int64_t to) {
    owner.audio.setPlayPosition(0, static_cast<std::uint32_t>(2 * to));
    std::int64_t moved = to - from;
    if (2 * moved > owner.barLength) moved -= owner.barLength;
    if (2 * moved < -owner.barLength) moved += owner.barLength;
    owner.segmentStart -= moved;
}

// The tail of each beat after its last sample that is not quiet: the cursor may jump there.
// A silent bar is made heard only where the rest of it is zero: a quiet tail made heard
// would sound a faint fragment of the last click just before the first.
void Metronome_link::measureQuiet() {
    const int beats = owner.barBeats;
    int silentFrom = 0;
    for (int i = 0; i < beats && i < 9; i++) {
        const int end = i + 1 == beats ? owner.barLength : beatStart(i + 1);
        quietFrom[i] = beatStart(i);
        silentFrom = beatStart(i);
        for (int k = beatStart(i); k < end; k++) {
            if (std::abs(owner.pcmBar[k]) >= quietLevel) quietFrom[i] = k + 1;
            if (owner.pcmBar[k] != 0) silentFrom = k + 1;
        }
    }
    // A zero tail too short for the window thread's passes to find falls back to the quiet one.
    const int last = std::clamp(beats - 1, 0, 8);
    const bool longEnough = owner.barLength - silentFrom >= rate() / 10.0;
    audibleFrom = longEnough ? silentFrom : quietFrom[last];
}

void Metronome_link::started() {
    silent = owner.link && followedBpm > 0.0 && session.peers() > 0;
    paired = false;
}

// Alone, the host time at which the bar's first frame is heard: from one pair of clocks, which
// the pairs that follow refine in the bar's quiet tails.
std::int64_t Metronome_link::startTime(std::int64_t now) {
    if (silent || !owner.link || followedBpm == 0.0) return now + startAhead;
    AudioEngine::Lock lock(owner.audio);
    const auto heard = static_cast<double>(owner.audio.mixedFrames()) - owner.audio.outputLatency();
    const double ahead = static_cast<double>(owner.startFrame) - heard;
    return now + std::llround(ahead * 1e6 / rate());
}

bool Metronome_link::takeTempoMoved() {
    const bool moved = tempoMoved;
    tempoMoved = false;
    return moved;
}

bool Metronome_link::takeRunningMoved() {
    const bool moved = runningMoved;
    runningMoved = false;
    return moved;
}

AnsiString Metronome_link::menuText() const {
    if (!owner.link) return "Link";
    if (refusedBpm != 0.0)
        return "Link: cannot follow " + toText(static_cast<int>(std::lround(refusedBpm))) + " BPM";
    const int n = peers();
    return "Link: " + toText(n) + (n == 1 ? " peer" : " peers");
}

std::int64_t Metronome_link::frameOf(std::int64_t hostMicros) const {
    const double host = static_cast<double>(hostMicros);
    return std::llround((host - originOf(host)) * rate() / 1e6);
}

// The cursor the bar should have when output frame `mixed` is mixed: each beat is placed by
// where it must end, so that the next beat (or the next bar) starts on the sample nearest to
// the session's time of it. Every onset is then the nearest sample to its exact time, and a
// fractional beat length never adds up.
std::int64_t Metronome_link::wantedCursor(std::int64_t mixed) {
    const double q = quantum();
    const std::int64_t at = std::llround(hostOfFrame(mixed));
    double beat = std::floor(session.beatAt(at, q));
    std::int64_t next = frameOf(session.timeAtBeat(beat + 1, q));
    const std::int64_t begin = frameOf(session.timeAtBeat(beat, q));
    if (begin > mixed) {
        next = begin;
        beat -= 1;
    } else if (next <= mixed) {
        beat += 1;
        next = frameOf(session.timeAtBeat(beat + 1, q));
    }
    const int index = static_cast<int>(std::fmod(std::fmod(beat, q) + q, q));
    const std::int64_t end = index + 1 >= owner.barBeats ? owner.barLength : beatStart(index + 1);
    return std::clamp<std::int64_t>(end - (next - mixed), beatStart(index), end - 1);
}

std::int64_t Metronome_link::switchPosition() {
    if (!following()) return -1;
    const std::int64_t wanted = wantedCursor(static_cast<std::int64_t>(owner.audio.mixedFrames()));
    const double old = static_cast<double>(owner.audio.playPosition(0)) * owner.oldBarBeats /
                       std::max(owner.oldBarLength, 1);
    const std::int64_t landed = landing(static_cast<int>(old) % owner.barBeats, wanted);
    return landed != wanted || quiet(wanted) ? landed : -2;
}

// A move forward past a beat's start would leave out its click: the cursor lands on that start
// instead, and the click sounds at once, late by the rest of the move (which the next quiet
// tail puts right). Such a move follows a change of the session's tempo made while the output
// had already mixed ahead at the old one, or a join.
std::int64_t Metronome_link::landing(int cursorBeat, std::int64_t wanted) const {
    const int n = owner.barBeats;
    const int ahead = (beatOf(wanted) - cursorBeat + n) % n;
    if (ahead == 0 || 2 * ahead > n) return wanted;
    return beatStart(beatOf(wanted));
}

int Metronome_link::beatOf(std::int64_t cursor) const {
    int beat = 0;
    while (beat + 1 < owner.barBeats && beatStart(beat + 1) <= cursor)
        beat++;
    return beat;
}

bool Metronome_link::quiet(std::int64_t cursor) const {
    return cursor >= quietFrom[beatOf(cursor)];
}

// A silent bar may jump anywhere; a sounding one only from a quiet tail to a quiet tail, so
// that no click is cut. A silent bar is heard from the first time it sits on the grid in its
// last beat's silent tail: its next sample heard is a session bar start.
void Metronome_link::align() {
    if (!following() || !owner.running || owner.pending || owner.queued) return;
    AudioEngine::Lock lock(owner.audio);
    const std::int64_t mixed = static_cast<std::int64_t>(owner.audio.mixedFrames());
    const std::int64_t cursor = owner.audio.playPosition(0);
    const std::int64_t wanted = wantedCursor(mixed);
    if (wanted == cursor) {
        if (silent && beatOf(cursor) == owner.barBeats - 1 && cursor >= audibleFrom) {
            // The first bar heard is the practice's first: its count starts at the next bar.
            owner.audio.setSoundVolume(0, owner.gain());
            silent = false;
            owner.segmentBar = -1;
            owner.segmentStart = mixed - cursor;
            owner.stepBar = 0;
            owner.trainerCounting = owner.trainer;
        }
        return;
    }
    if (silent) {
        owner.audio.setPlayPosition(0, static_cast<std::uint32_t>(2 * wanted));
        return;
    }
    if (!quiet(cursor)) return;
    const std::int64_t landed = landing(beatOf(cursor), wanted);
    if (landed == wanted && !quiet(wanted)) return;
    moveCursor(cursor, landed);
}

// Metronome: the model, its settings, and the synthesis of one bar of click track.
#include "engine/Metronome.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "audio/AudioEngine.h"
#include "base/Log_.h"
#include "platform/sound/SoundDevice.h"
#include "platform/system/Files.h"

namespace {

// The two synthesised sounds: a plain sine and the fifth power of a sine, each decaying with
// the square of a linear ramp.
struct Click {
    double seconds;    // length of the click
    double frequency;  // of the normal beat; the accent is an octave higher
    double normalGain;
    double accentGain;
    double envelope;  // scale of the squared ramp
    bool fifthPower;
};

const Click clicks[2] = {
    {0.025, 1700.0, 1.0, 0.82, 0.8, false},
    {0.05, 1000.0, 0.65, 1.0, 0.9, true},
};

int clampInt(int value, int low, int high) {
    return value < low ? low : (value > high ? high : value);
}

AnsiString folderOf(const AnsiString& filePath) {
    std::size_t slash = filePath.rfind('/');
    return slash == AnsiString::npos ? AnsiString() : filePath.substr(0, slash + 1);
}

// Group `count` (1..9) of an accents text, or an empty view when there is none.
std::string_view accentGroup(std::string_view accents, int count) {
    std::string_view rest = accents;
    for (int i = 1; i < count; i++) {
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) return {};
        rest.remove_prefix(slash + 1);
    }
    return rest.substr(0, rest.find('/'));
}

bool validGroup(std::string_view group, int count) {
    if (static_cast<int>(group.size()) != count) return false;
    return std::all_of(group.begin(), group.end(), [](char c) { return c >= '0' && c <= '3'; });
}

AnsiString whyUnread(platform::ReadOutcome outcome) {
    if (outcome == platform::ReadOutcome::tooLarge) return "it is over 1 MiB, too large to be one";
    if (outcome == platform::ReadOutcome::notRegular) return "it is not a regular file";
    return std::strerror(errno);
}

}  // namespace

Metronome::Metronome(AudioEngine& audio) : Metronome(audio, SettingsPlace::standard()) {}

Metronome::Metronome(AudioEngine& audio, const SettingsPlace& place)
    : header("Orvelle Settings"),
      path(place.path),
      rate(SampleRate),
      barLength(1),
      barBeats(0),
      oldBarLength(1),
      oldBarBeats(0),
      samples{Llist<unsigned char>(0, 1, true), Llist<unsigned char>(0, 1, true),
              Llist<unsigned char>(0, 1, true), Llist<unsigned char>(0, 1, true)},
      running(false),
      pending(false),
      rebuild(false),
      audio(audio),
      seedPath(place.seed) {
    loadSettings();
}

// The audio engine may already be gone at program end, so only the settings are touched here.
Metronome::~Metronome() {
    saveSettings();
}

void Metronome::setDefaults() {
    tempo = 0.4;
    volume = 0.5;
    beats = 4;
    sound = 0;
    beatNumbers = true;
    fadingBeats = true;
    animateBeatChange = true;
    bubbles = false;
    white = true;
    subdivision = 1;
    accents = defaultAccents;
    trainer = false;
    trainerStep = 5;
    trainerBars = 4;
    trainerTarget = 160;
    silentBars = false;
    playBars = 2;
    muteBars = 1;
    midiClock = true;
    followTransport = false;
    link = false;
}

void Metronome::exchange() {
    exchangeDouble("tempo", tempo);
    exchangeDouble("volume", volume);
    exchangeInt("beats", beats);
    exchangeInt("sound", sound);
    exchangeBool("beatNumbers", beatNumbers);
    exchangeBool("fadingBeats", fadingBeats);
    exchangeBool("animateBeatChange", animateBeatChange);
    exchangeBool("bubbles", bubbles);
    exchangeBool("white", white);
    exchangeInt("subdivision", subdivision);
    AnsiString text;
    if (exchangeText("accents", accents, text)) accents = text;
    exchangeBool("trainer", trainer);
    exchangeInt("trainerStep", trainerStep);
    exchangeInt("trainerBars", trainerBars);
    exchangeInt("trainerTarget", trainerTarget);
    exchangeBool("silentBars", silentBars);
    exchangeInt("playBars", playBars);
    exchangeInt("muteBars", muteBars);
    exchangeBool("midiClock", midiClock);
    exchangeBool("followTransport", followTransport);
    exchangeBool("link", link);
}

void Metronome::loadSettings() {
    setDefaults();
    writable = true;
    if (!path.empty() && readSettingsFile(path)) return;
    if (!writable || seedPath.empty()) return;
    readSettingsFile(seedPath);
    // The seed is never written; whatever it held, the user's own file may be.
    writable = true;
}

// True when the file was there to read (whether or not it held settings). A file that exists but
// cannot be read as a settings file is left alone: the defaults stay and saving is off.
bool Metronome::readSettingsFile(const AnsiString& file) {
    std::vector<unsigned char> bytes;
    const platform::ReadOutcome outcome = platform::readFileUpTo(file, maxSettingsBytes, bytes);
    if (outcome == platform::ReadOutcome::missing) return false;
    AnsiString why = outcome == platform::ReadOutcome::read ? "" : whyUnread(outcome);
    if (why.empty() && !lines.loadBytes(bytes.data(), bytes.size(), true)) why = "out of memory";
    if (!why.empty()) {
        report("settings file " + file + " not read: " + why +
               "; running on defaults, and the file is left as it is");
        writable = false;
        return false;
    }
    if (!load(header, "")) setDefaults();
    return true;
}

bool Metronome::saveSettings() {
    if (!writable) return false;
    if (path.empty()) {
        report("settings not saved: no folder for them (neither XDG_CONFIG_HOME nor HOME is set)");
        return false;
    }
    platform::createFolderPath(folderOf(path));
    if (save(header, path)) return true;
    report("settings not saved to " + path + ": " + std::strerror(errno) +
           "; any old file there is unchanged");
    return false;
}

int Metronome::bpm() {
    if (!(tempo >= 0.0)) tempo = 0.0;
    if (tempo > 1.0) tempo = 1.0;
    return clampInt(static_cast<int>(200.0 * tempo + 40.0 + 0.5), 40, 240);
}

int Metronome::clampBeats(int value) {
    return clampInt(value, 0, 9);
}

int Metronome::shownBeats() const {
    return clampBeats(beats);
}

// 64-bit, so that no product of a bar length and a pulse number overflows.
int Metronome::pulseStart(int length, int pulse, int pulses) {
    if (pulses < 1) return 0;
    return static_cast<int>(std::int64_t{length} * pulse / pulses);
}

int Metronome::pulsesPerBeat() const {
    return clampInt(subdivision, 1, 6);
}

int Metronome::beatLevel(int count, int beat) const {
    count = clampInt(count, 1, 9);
    if (beat < 0 || beat >= count) return levelSilent;
    std::string_view group = accentGroup(accents, count);
    if (!validGroup(group, count)) group = accentGroup(defaultAccents, count);
    return group[beat] - '0';
}

void Metronome::setBeatLevel(int count, int beat, int level) {
    AnsiString text;
    for (int n = 1; n <= 9; n++) {
        if (n > 1) text += '/';
        for (int b = 0; b < n; b++) {
            const int value = n == count && b == beat ? clampInt(level, 0, 3) : beatLevel(n, b);
            text += static_cast<char>('0' + value);
        }
    }
    accents = text;
}

bool Metronome::cycleBeatLevel(int beat) {
    const int count = shownBeats();
    if (count == 0 || beat < 0 || beat >= count) return false;
    const int level = beatLevel(count, beat);
    setBeatLevel(count, beat, level == levelSilent ? levelAccent : level - 1);
    return true;
}

bool Metronome::silentAt(std::int64_t bar) const {
    if (!silentBars || bar < 0) return false;
    const int played = clampInt(playBars, 1, 16);
    return bar % (played + clampInt(muteBars, 1, 16)) >= played;
}

// A step never moves away from the target: the tempo holds once it is there or past it.
int Metronome::trainerNext(int from) const {
    const int step = clampInt(trainerStep, -20, 20);
    const int target = clampInt(trainerTarget, 40, 240);
    if (step > 0 && from < target) return std::min(from + step, target);
    if (step < 0 && from > target) return std::max(from + step, target);
    return from;
}

void Metronome::endTrainer() {
    if (!trainer) return;
    trainer = false;
    trainerNote = "Trainer ended: the tempo was set by hand";
}

// What the volume fader shows is what is heard: a value outside 0..1 (or not a number) from a
// hand-edited file counts as the nearer end.
double Metronome::gain() const {
    const double v = volume >= 0.0 ? std::min(volume, 1.0) : 0.0;
    return v * v;
}

// The bar length is computed in extended precision, one rounding per operation, and only the
// end result is truncated; the product often lands a hair below a whole number, and the sample
// it loses is part of the bar's expected length.
//
// In a Link session the tempo is a real number: each beat starts at its nearest sample, and the
// bar holds two samples more than the exact length, so that the session's grid (which moves the
// cursor) always reaches the next bar start before the loop would.
void Metronome::renderBar() {
    rate = audio.sampleRate();
    beats = clampInt(beats, 0, 9);
    barBeats = beats == 0 ? 1 : beats;
    long double length = 60.0L / static_cast<long double>(bpm());
    length = length * static_cast<long double>(barBeats);
    length = length * static_cast<long double>(rate);
    if (linked.barBpm() > 0.0) length = std::ceil(barBeats * 60.0L * rate / linked.barBpm()) + 2;
    barLength = static_cast<int>(std::clamp(std::trunc(length), 1.0L, (long double)MaxBarLength));

    barPulses = pulsesPerBeat();

    if (sound >= 2)
        std::memset(pcmBar, 0, sizeof(pcmBar[0]) * barLength);
    else
        std::memset(floatBar, 0, sizeof(floatBar[0]) * barLength);
    const int pulses = barSilent ? 0 : barBeats * barPulses;
    for (int p = 0; p < pulses; p++)
        renderPulse(pulseEdge(p, pulses), pulseEnd(p, pulses), pulseLevel(p));
    if (sound < 2) toPcm();
    if (linked.barBpm() > 0.0) linked.measureQuiet();
}

// Where pulse `pulse` of the bar's `pulses` starts. On a Link session's exact tempo each beat
// starts on the sample nearest its exact time, and a pulse between beats on the one nearest its
// time from its beat, so that no fraction adds up over the bar.
int Metronome::pulseEdge(int pulse, int pulses) const {
    if (linked.barBpm() <= 0.0) return pulseStart(barLength, pulse, pulses);
    return linked.pulseStart(pulse, barPulses);
}

// Where pulse `pulse` must have fallen silent. On a session's grid the last pulse of a beat
// leaves the beat's end quiet, for the cursor to be moved there onto the grid without cutting a
// click: 20 ms, or half the pulse when that is shorter.
int Metronome::pulseEnd(int pulse, int pulses) const {
    const int end = pulseEdge(pulse + 1, pulses);
    if (linked.barBpm() <= 0.0 || (pulse + 1) % barPulses != 0) return end;
    const int start = pulseEdge(pulse, pulses);
    return std::max(start + (end - start) / 2, end - rate / 50);
}

// A beat's own pulse has the beat's level; every pulse between beats sounds soft, whatever
// the level of the beat before it. Without beats (0) the one beat is a normal one.
int Metronome::pulseLevel(int pulse) const {
    if (pulse % barPulses != 0) return levelSoft;
    if (beats == 0) return levelNormal;
    return beatLevel(barBeats, pulse / barPulses);
}

// Every click ends where the next pulse starts, so that no two ever overlap.
void Metronome::renderPulse(int start, int end, int level) {
    if (level == levelSilent) return;
    const bool accented = level == levelAccent;
    const bool soft = level == levelSoft;
    if (sound == 2 || sound == 3) renderSampleBeat(start, 2 * (end - start), accented, soft);
    if (sound == 0 || sound == 1) renderSynthBeat(start, end, accented, soft);
}

// The samples are raw 16-bit mono bytes; one longer than the pulse is cut at the pulse's end.
// A soft click takes each sample (an odd last byte as the low byte, as a copy would leave it)
// at a quarter, rounded to the nearest.
void Metronome::renderSampleBeat(int start, int maxBytes, bool accented, bool soft) {
    const Llist<unsigned char>& list = samples[(sound == 2 ? 0 : 2) + (accented ? 1 : 0)];
    const int count = std::min(list.top + 1, maxBytes);
    if (count <= 0 || list.items == nullptr) return;
    if (!soft) {
        std::memcpy(reinterpret_cast<unsigned char*>(pcmBar) + 2 * start, list.items, count);
        return;
    }
    for (int k = 0; 2 * k < count; k++) {
        const int high = 2 * k + 1 < count ? list.items[2 * k + 1] : 0;
        const auto value =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(list.items[2 * k] | (high << 8)));
        // A quarter, rounded half away from zero, in whole numbers.
        pcmBar[start + k] =
            static_cast<std::int16_t>(value >= 0 ? (value + 2) / 4 : -((2 - value) / 4));
    }
}

// Every click of a kind is the same: the two of the sound in use are synthesised once into
// clickWaves and copied from there, cut where their pulse ends.
void Metronome::renderSynthBeat(int start, int limit, bool accented, bool soft) {
    prepareClickWaves();
    const int end = std::min(clickLength, limit - start);
    const float* wave = clickWaves[accented ? 1 : 0];
    if (end <= 0) return;
    if (!soft) {
        std::memcpy(floatBar + start, wave, sizeof(float) * static_cast<std::size_t>(end));
        return;
    }
    for (int j = 0; j < end; j++)
        floatBar[start + j] = wave[j] * softGain;
}

// Each click starts at phase 0. The products run in extended precision; the sine's argument
// is rounded to double and the values to float where they are stored.
void Metronome::prepareClickWaves() {
    if (wavesSound == sound && wavesRate == rate) return;
    const Click& click = clicks[sound];
    const int n = static_cast<int>(click.seconds * rate);
    clickLength = std::min(n, maxClickLength);
    const double h = 1.0 / n;
    const double w = 2.0 * std::numbers::pi / rate;
    for (int accented = 0; accented < 2; accented++) {
        const long double frequency = click.frequency * (accented ? 2 : 1);
        const double g = accented ? click.accentGain : click.normalGain;
        for (int j = 0; j < clickLength; j++) {
            const double phase = static_cast<double>(static_cast<long double>(j) * w * frequency);
            const double s = std::sin(phase);
            const float x =
                static_cast<float>((click.fifthPower ? std::pow(s, 5.0) : s) * (long double)g);
            const long double e = 1.0L - static_cast<long double>(j) * h;
            clickWaves[accented][j] = static_cast<float>((e * click.envelope) * e * x);
        }
    }
    wavesSound = sound;
    wavesRate = rate;
}

// The peak level is 99 % of full scale, and values are rounded up (toward +infinity). Silence
// is by far the commonest value and converts to 0 exactly, so it skips the arithmetic.
void Metronome::toPcm() {
    for (int k = 0; k < barLength; k++) {
        const float x = floatBar[k];
        if (x == 0.0f) {
            pcmBar[k] = 0;
            continue;
        }
        const long double a = std::trunc(32767.0L - 32767.0L * x * 0.99);
        pcmBar[k] = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(32767 - static_cast<long long>(a)));
    }
}

// Sound 0 is the sounding bar; sound 1, while a switch is pending, the rebuilt one.
void Metronome::restart() {
    audio.releaseAllSounds();
    pending = false;
    rebuild = false;
    queued = false;
    if (!running) return;
    barSilent = false;
    renderBar();
    audio.loadSound(pcmBar, barLength, 1);
    // Under the lock nothing is mixed between the two calls but the bar itself, from its top (an
    // output may take its first frames at once).
    linked.started();
    AudioEngine::Lock lock(audio);
    startFrame = audio.mixedFrames();
    segmentStart = static_cast<std::int64_t>(startFrame);
    segmentBar = 0;
    trainerCounting = false;
    alignToTransport();
    audio.playSound(0, linked.muted() ? 0.0 : gain(), 0.0, 1.0, true);
    markClock(0);
}

// Following a timebase master, the bar starts where the master's bar starts: it begins at the
// frames the master's bar is in already.
void Metronome::alignToTransport() {
    platform::SoundTransport t;
    if (!followTransport || link || !audio.transport(t) || !t.hasBarBeat || !t.rolling) return;
    const std::int64_t since = static_cast<std::int64_t>(startFrame) - t.barStartFrame;
    const std::int64_t position = ((since % barLength) + barLength) % barLength;
    audio.setPlayPosition(0, 2u * static_cast<std::uint32_t>(position));
}

bool Metronome::syncToTransport() {
    platform::SoundTransport t;
    if (!followTransport || link || !audio.transport(t)) return false;
    bool changed = false;
    if (t.hasBarBeat) {
        const int wantedBpm = clampInt(static_cast<int>(std::lround(t.beatsPerMinute)), 40, 240);
        const int wantedBeats = clampInt(t.beatsPerBar, 1, 9);
        changed = wantedBpm != bpm() || wantedBeats != shownBeats();
        tempo = changed ? (wantedBpm - 40) / 200.0 : tempo;
        beats = changed ? wantedBeats : beats;
        if (changed && running) rebuild = true;
    }
    if (t.rolling == running) {
        if (!changed) keepOnTransportBar();
        return changed;
    }
    running = t.rolling;
    restart();
    return true;
}

// The bar was placed on the master's at the roll, and stays there only while the output keeps
// every period: one the grid lost or gained in an xrun (a skipped period the device could not
// tell from one read late), or the master moving its position, puts the bar off it by whole
// periods, and it is placed on it again. Two readings in different periods must agree first, so
// that one taken amid an xrun moves nothing. A bar of another length than the master's (a tempo
// between whole BPM) cannot stay on it and keeps its own grid.
void Metronome::keepOnTransportBar() {
    if (!running || pending || queued || rebuild || barLength < 1) return;
    AudioEngine::Lock lock(audio);
    platform::SoundTransport t;
    if (!audio.transport(t) || !t.hasBarBeat || !t.rolling) return;
    const double masterBar = t.beatsPerBar * 60.0 / t.beatsPerMinute * rate;
    if (std::abs(masterBar - barLength) > 1.0) return;
    const auto now = static_cast<std::int64_t>(audio.mixedFrames());
    const std::int64_t length = barLength;
    const std::int64_t wanted = ((now - t.barStartFrame) % length + length) % length;
    const std::int64_t playing = audio.playPosition(0);
    // How far the sounding bar's start lies after the master's, the nearer way round the bar.
    const std::int64_t off =
        ((playing - wanted) % length + length + length / 2) % length - length / 2;
    if (std::llabs(off) <= t.barStartSlack) {
        barOffSeen = 0;
        return;
    }
    if (barOffSeen == 0 || std::llabs(off - barOffSeen) > t.barStartSlack || now == barOffSeenAt) {
        barOffSeen = off;
        barOffSeenAt = now;
        return;
    }
    barOffSeen = 0;
    audio.setPlayPosition(0, 2u * static_cast<std::uint32_t>(wanted));
    segmentStart += off;
    programLog().add("bar placed on the transport master's again, " + std::to_string(off) +
                     " frames off it");
}

// The clock follows the given sound, 24 pulses a beat; without midiClock it stays silent.
void Metronome::markClock(int sound) {
    audio.setClockSound(midiClock ? sound : -1, barBeats * clockPulsesPerBeat);
}

void Metronome::tick() {
    tickAt(-1);
}

void Metronome::tickAt(std::int64_t hostMicros) {
    audio.service();
    linked.follow(hostMicros);
    takeQueuedBar();
    rebuildIfRequested();
    switchIfPending();
    linked.align();
    queueNextBar();
}

// The bar of the practice that the output plays at `frame`.
std::int64_t Metronome::barAt(std::int64_t frame) const {
    const std::int64_t length = queued || pending ? oldBarLength : barLength;
    const std::int64_t since = frame - segmentStart;
    return segmentBar + (since >= 0 ? since / length : (since - length + 1) / length);
}

// The trainer and the silent bars decide, while a bar plays, what the next one is; a bar that
// differs from the sounding one is rendered and queued to start where the sounding one ends.
void Metronome::queueNextBar() {
    if (!running || pending || rebuild || queued) return;
    if (!trainer) trainerCounting = false;
    if (!trainer && !silentBars && !barSilent) return;
    // On a session's grid the sounding bar must first have reached its place: its end is then
    // the session's next bar start.
    if (linked.following() && (linked.muted() || !linked.atBarEnd())) return;
    const std::int64_t next = barAt(static_cast<std::int64_t>(audio.mixedFrames())) + 1;
    if (trainer && !trainerCounting) {
        stepBar = next - 1;
        trainerCounting = true;
    }
    double newTempo = tempo;
    if (trainer && next - stepBar >= clampInt(trainerBars, 1, 64))
        newTempo = (trainerNext(bpm()) - 40) / 200.0;
    // In a session the trainer moves the session's tempo from the next bar start on; the bar of
    // that tempo follows the session as any other peer's change does.
    if (newTempo != tempo && linked.following()) {
        tempo = newTempo;
        linked.stepTempoAtBarEnd(bpm());
        stepBar = next;
        tempoStepped = true;
    }
    const bool silent = silentAt(next);
    if (newTempo == tempo && silent == barSilent) return;
    queueBar(next, newTempo, silent);
}

// The new bar is rendered outside the lock; under it, the sounding bar is told to stop at its
// end and the new one to start on the very next frame. Should the output have crossed into
// the next bar meanwhile, the new bar is dropped and the next pass tries again.
bool Metronome::queueBar(std::int64_t bar, double newTempo, bool silent) {
    const double savedTempo = tempo;
    const bool savedSilent = barSilent;
    oldBarLength = barLength;
    oldBarBeats = barBeats;
    oldBarSilent = barSilent;
    tempo = newTempo;
    barSilent = silent;
    renderBar();
    tempo = savedTempo;
    const auto restore = [&] {
        barLength = oldBarLength;
        barBeats = oldBarBeats;
        barSilent = savedSilent;
        return false;
    };
    if (audio.loadSound(pcmBar, barLength, 1) < 0) return restore();
    AudioEngine::Lock lock(audio);
    const auto now = static_cast<std::int64_t>(audio.mixedFrames());
    queued = true;  // barAt now counts in the sounding bar's length
    if (barAt(now) != bar - 1) {
        queued = false;
        audio.releaseSound(1);
        return restore();
    }
    const std::uint32_t left = static_cast<std::uint32_t>(oldBarLength) - audio.playPosition(0);
    audio.playSoundAfter(1, left, gain());
    audio.stopAtEnd(0);
    if (midiClock) audio.queueClockSound(1, barBeats * clockPulsesPerBeat);
    boundaryFrame = now + left;
    queuedTempo = newTempo;
    return true;
}

// Once the output has passed the boundary the old bar has stopped by itself; it is let go and
// the queued bar counts from its first frame.
void Metronome::takeQueuedBar() {
    if (!queued) return;
    AudioEngine::Lock lock(audio);
    if (static_cast<std::int64_t>(audio.mixedFrames()) < boundaryFrame) return;
    segmentBar = barAt(boundaryFrame);
    segmentStart = boundaryFrame;
    queued = false;
    audio.releaseSound(0);
    if (queuedTempo == tempo || !trainer) return;
    tempo = queuedTempo;
    stepBar = segmentBar;
    tempoStepped = true;
}

// Changes made while a switch is pending wait for it, and any number of them make one rebuild
// with the latest settings.
void Metronome::rebuildIfRequested() {
    if (!rebuild) return;
    rebuild = false;
    if (pending || queued) {
        rebuild = true;
        return;
    }
    oldBarLength = barLength;
    oldBarBeats = barBeats;
    oldBarSilent = barSilent;
    renderBar();
    if (audio.loadSound(pcmBar, barLength, 1) < 0) {
        // Without a second sound there is nothing to switch to: the old bar plays on, and the
        // lengths describe it again.
        barLength = oldBarLength;
        barBeats = oldBarBeats;
        return;
    }
    pending = true;
}

// The switch runs as one step against the mixer, from reading the old bar's cursor to releasing
// it: otherwise the output could advance between the calls and the new bar would start up to a
// device period late. The window of the third quarter of a beat lies well after every click.
void Metronome::switchIfPending() {
    if (!pending) return;
    AudioEngine::Lock lock(audio);
    double p = 0.0;
    if (oldBarLength >= 1)
        p = static_cast<double>(static_cast<std::int64_t>(audio.playPosition(0)) * oldBarBeats) /
            oldBarLength;
    const double f = std::fmod(p, 1.0);
    if (f < 0.5 || f > 0.75) return;
    // On a session's grid the new bar starts where the session is now, once that is quiet.
    const std::int64_t placed = linked.switchPosition();
    if (placed == -2) return;
    const std::uint32_t sample =
        placed >= 0 ? static_cast<std::uint32_t>(placed) : mappedSample(mappedPosition(p));
    const auto now = static_cast<std::int64_t>(audio.mixedFrames());
    const std::int64_t bar = barAt(now);
    audio.playSound(1, 0.0, 0.0, 1.0, true);
    audio.setPlayPosition(1, 2u * sample);
    audio.setSoundVolume(1, linked.muted() ? 0.0 : gain());
    markClock(1);
    audio.releaseSound(0);
    pending = false;
    // The bar in progress goes on as the new one, which counts as if it had started `sample`
    // frames ago.
    segmentBar = bar;
    segmentStart = now - sample;
}

// The window opens at half a beat; a position past its end waits for the next beat's. The
// mixer advances a device request at a time, so a wake-up at the computed moment may find it
// short of the window: the next wait is then a millisecond, until the request has come.
std::uint32_t Metronome::msUntilTickWork() {
    if (rebuild && !pending) return 0;
    if (!pending) return linked.msUntilWork();
    // Without a bar to read a position from, no window ever opens (switchIfPending agrees).
    if (oldBarLength < 1 || oldBarBeats < 1) return UINT32_MAX;
    double p = 0.0;
    {
        AudioEngine::Lock lock(audio);
        p = static_cast<double>(static_cast<std::int64_t>(audio.playPosition(0)) * oldBarBeats) /
            oldBarLength;
    }
    const double f = std::fmod(p, 1.0);
    if (f >= 0.5 && f <= 0.75) return 0;
    const double beatsToGo = f < 0.5 ? 0.5 - f : 1.5 - f;
    const double ms = beatsToGo * oldBarLength / oldBarBeats * 1000.0 / rate;
    return std::min(linked.msUntilWork(),
                    std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::ceil(ms))));
}

// The position in the new bar: the same beat when it still exists; one beat earlier when the
// bar lost its last beat; and when it lost more, the position modulo the new beat count, so
// that the beat grid runs on at the same phase instead of jumping to the top of the bar.
double Metronome::mappedPosition(double oldPosition) const {
    double p = oldPosition;
    if (p > barBeats) p -= 1.0;
    if (p >= barBeats) p = std::fmod(p, static_cast<double>(barBeats));
    return p;
}

// The sample of the new bar at beat position p. The beat position is a quotient of whole
// numbers and carries its rounding error: 7.6 beats is held as 7.59999..., and truncating
// would then start the new bar one sample early although the position lies on a whole sample.
// A millionth of a sample absorbs that error without moving any position that is truly
// fractional by a whole sample.
std::uint32_t Metronome::mappedSample(double p) const {
    const double sample = std::floor(static_cast<double>(barLength) * p / barBeats + 1e-6);
    if (!(sample >= 0.0) || sample >= barLength) return 0;
    return static_cast<std::uint32_t>(sample);
}

// The heard sample trails the mixer's by the output latency. For that long after a start the
// ear still hears what came before the bar: no beat yet.
double Metronome::beatPosition() {
    const int beatsNow = pending || queued ? oldBarBeats : barBeats;
    const int lengthNow = pending || queued ? oldBarLength : barLength;
    if (lengthNow < 1) return 0.0;
    if (linked.muted()) return -1.0;
    AudioEngine::Lock lock(audio);
    const std::uint64_t sinceStart = audio.mixedFrames() - startFrame;
    if (sinceStart < static_cast<std::uint64_t>(audio.outputLatency())) return -1.0;
    return static_cast<double>(static_cast<std::int64_t>(audio.heardPosition(0)) * beatsNow) /
           lengthNow;
}

// The ear is the output's latency behind the mixer, and so may still be in the bar before the
// one being mixed.
bool Metronome::heardBarSilent() {
    if (!running || (!silentBars && !barSilent && !oldBarSilent)) return false;
    AudioEngine::Lock lock(audio);
    const auto heard = static_cast<std::int64_t>(audio.mixedFrames()) - audio.outputLatency();
    if (pending) return oldBarSilent;
    if (queued) return heard < boundaryFrame ? oldBarSilent : barSilent;
    if (heard < segmentStart) return silentAt(segmentBar - 1);
    return barSilent;
}

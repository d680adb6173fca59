// Metronome: the model, its settings, and the synthesis of one bar of click track.
#include "engine/Metronome.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "audio/AudioEngine.h"
#include "base/Log_.h"
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
    beats = clampInt(beats, 0, 9);
    barBeats = beats == 0 ? 1 : beats;
    long double length = 60.0L / static_cast<long double>(bpm());
    length = length * static_cast<long double>(barBeats);
    length = length * static_cast<long double>(SampleRate);
    if (linked.barBpm() > 0.0)
        length = std::ceil(barBeats * 60.0L * SampleRate / linked.barBpm()) + 2;
    barLength = static_cast<int>(std::clamp(std::trunc(length), 1.0L, (long double)MaxBarLength));

    if (sound >= 2)
        std::memset(pcmBar, 0, sizeof(pcmBar[0]) * barLength);
    else
        std::memset(floatBar, 0, sizeof(floatBar[0]) * barLength);
    for (int i = 0; i < barBeats; i++) {
        const int start = linked.barBpm() > 0.0 ? linked.beatStart(i) : barLength * i / barBeats;
        const bool accented = i == 0 && beats != 0;
        if (sound == 2 || sound == 3) renderSampleBeat(start, 2 * barLength / barBeats, accented);
        if (sound == 0 || sound == 1) renderSynthBeat(start, accented);
    }
    if (sound < 2) toPcm();
    if (linked.barBpm() > 0.0) linked.measureQuiet();
}

// The samples are raw 16-bit mono bytes; one longer than a beat is cut at the beat's end.
void Metronome::renderSampleBeat(int start, int maxBytes, bool accented) {
    const Llist<unsigned char>& list = samples[(sound == 2 ? 0 : 2) + (accented ? 1 : 0)];
    const int count = std::min(list.top + 1, maxBytes);
    if (count <= 0 || list.items == nullptr) return;
    std::memcpy(reinterpret_cast<unsigned char*>(pcmBar) + 2 * start, list.items, count);
}

// Each click starts at phase 0. The products run in extended precision; the sine's argument
// is rounded to double and the values to float where they are stored.
void Metronome::renderSynthBeat(int start, bool accented) {
    const Click& click = clicks[sound];
    const int n = static_cast<int>(click.seconds * SampleRate);
    const double h = 1.0 / n;
    const double w = 2.0 * std::numbers::pi / SampleRate;
    const long double frequency = click.frequency * (accented ? 2 : 1);
    const double g = accented ? click.accentGain : click.normalGain;
    const int end = std::min(n, barLength - start);
    for (int j = 0; j < end; j++) {
        const double phase = static_cast<double>(static_cast<long double>(j) * w * frequency);
        const double s = std::sin(phase);
        const float x =
            static_cast<float>((click.fifthPower ? std::pow(s, 5.0) : s) * (long double)g);
        const long double e = 1.0L - static_cast<long double>(j) * h;
        floatBar[start + j] = static_cast<float>((e * click.envelope) * e * x);
    }
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
    if (!running) return;
    renderBar();
    audio.loadSound(pcmBar, barLength, 1);
    // Under the lock nothing is mixed between the two calls but the bar itself, from its top (an
    // output may take its first frames at once).
    linked.started();
    AudioEngine::Lock lock(audio);
    startFrame = audio.mixedFrames();
    audio.playSound(0, linked.muted() ? 0.0 : gain(), 0.0, 1.0, true);
}

void Metronome::tick() {
    tickAt(-1);
}

void Metronome::tickAt(std::int64_t hostMicros) {
    audio.service();
    linked.follow(hostMicros);
    rebuildIfRequested();
    switchIfPending();
    linked.align();
}

// Changes made while a switch is pending wait for it, and any number of them make one rebuild
// with the latest settings.
void Metronome::rebuildIfRequested() {
    if (!rebuild) return;
    rebuild = false;
    if (pending) {
        rebuild = true;
        return;
    }
    oldBarLength = barLength;
    oldBarBeats = barBeats;
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
    audio.playSound(1, 0.0, 0.0, 1.0, true);
    audio.setPlayPosition(1, 2u * (placed >= 0 ? static_cast<std::uint32_t>(placed)
                                               : mappedSample(mappedPosition(p))));
    audio.setSoundVolume(1, linked.muted() ? 0.0 : gain());
    audio.releaseSound(0);
    pending = false;
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
    const int beatsNow = pending ? oldBarBeats : barBeats;
    const int lengthNow = pending ? oldBarLength : barLength;
    if (lengthNow < 1) return 0.0;
    if (linked.muted()) return -1.0;
    AudioEngine::Lock lock(audio);
    const std::uint64_t sinceStart = audio.mixedFrames() - startFrame;
    if (sinceStart < static_cast<std::uint64_t>(audio.outputLatency())) return -1.0;
    return static_cast<double>(static_cast<std::int64_t>(audio.heardPosition(0)) * beatsNow) /
           lengthNow;
}

// Metronome: the model (tempo, beats, sound, volume, display options), bar synthesis and playback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/AnsiString.h"
#include "base/Llist.h"
#include "engine/Metronome_link.h"
#include "engine/SettingsPlace.h"
#include "engine/TextStream.h"

class AudioEngine;

// One whole bar of click track is rendered sample by sample and handed to the audio engine as a
// looping sound, so that the device's sample clock alone times every click. A change of tempo,
// beats or sound while playing renders a second bar, which is switched in during the third
// quarter of a beat at the same position in the beat grid.
//
// The object is large (two bars of MaxBarLength samples are members, so that nothing is allocated
// while rendering); keep it in static storage or on the heap, never on the stack.
//
// The settings are loaded when the object is built and saved when it is destroyed.
class Metronome : public TextStream {
  public:
    // The rate the click samples are made at, and the output's unless the device runs at another.
    static constexpr int SampleRate = 44100;
    // Room for the longest bar (9 beats at 40 BPM) at the highest device rate, 96000 Hz.
    static constexpr int MaxBarLength = 9 * 60 / 40 * 96000;
    // The click samples, in the order of the sample slots.
    static constexpr const char* sampleFileNames[4] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};
    // A longer file is no settings file: it is neither read nor written.
    static constexpr std::size_t maxSettingsBytes = 1 << 20;

    AnsiString header;                  // "Orvelle Settings", the settings file's tag
    AnsiString path;                    // full path of the settings file; empty for none
    float floatBar[MaxBarLength];       // the synthesised clicks, nominal range -1..1
    std::int16_t pcmBar[MaxBarLength];  // the finished bar; the first barLength samples count
    int rate;                           // the device's frames per second the bars are made for
    int barLength;                      // samples in the last rendered bar, 1..MaxBarLength
    int barBeats;                       // beats in the last rendered bar, 1..9
    int oldBarLength;                   // samples of the bar still sounding while one is pending
    int oldBarBeats;                    // beats of that bar
    Llist<unsigned char> samples[4];    // sample bytes: "1.wav", "1a.wav", "2.wav", "2a.wav"
    double tempo;                       // 0..1; beats per minute = bpm()
    double volume;                      // the gain applied is volume squared
    int beats;                          // beats per bar 0..9; 0 accents no beat
    int sound;                          // click sound 0..3
    bool running;                       // playing
    bool pending;                       // a rebuilt bar waits to be switched in
    bool rebuild;                       // the bar must be rendered again
    bool beatNumbers;
    bool fadingBeats;
    bool animateBeatChange;
    bool bubbles;
    bool white;
    // Practice patterns; every one is neutral by default and clamped where it is used.
    int subdivision;     // pulses a beat, 1..6
    AnsiString accents;  // a group of beat levels for each beat count 1..9, "3/32/.../322222222"
    bool trainer;        // the tempo steps by trainerStep every trainerBars up to trainerTarget
    int trainerStep;     // BPM -20..20, not 0
    int trainerBars;     // 1..64
    int trainerTarget;   // BPM 40..240
    bool silentBars;     // playBars played, then muteBars silent, over and over
    int playBars;        // 1..16
    int muteBars;        // 1..16

    int barPulses = 1;          // pulses a beat in the last rendered bar
    bool barSilent = false;     // the last rendered bar is a silent one
    bool oldBarSilent = false;  // the bar still sounding while one is pending or queued
    bool queued = false;        // a bar waits to start where the sounding one ends
    bool tempoStepped = false;  // the trainer moved the tempo; the window clears it once shown
    AnsiString trainerNote;     // why the trainer stopped, for where it is shown; empty if none

    // Beat levels, from silent to accented.
    static constexpr int levelSilent = 0, levelSoft = 1, levelNormal = 2, levelAccent = 3;
    // The amplitude factor of a soft beat and of a pulse between beats: -12.04 dB. A power of
    // two, so a soft click is the normal one scaled exactly.
    static constexpr float softGain = 0.25f;
    static constexpr const char* defaultAccents =
        "3/32/322/3222/32222/322222/3222222/32222222/322222222";
    bool midiClock;        // the device's clock output (JACK's MIDI clock) follows the bar
    bool followTransport;  // start, stop, tempo and bar follow the device's transport (JACK's)
    bool link;             // play in the local network's Link session
    Metronome_link linked{*this};

    // Reads the settings from their standard place.
    explicit Metronome(AudioEngine& audio);
    // Reads the settings from the given place (tests and tools name a file of their own).
    Metronome(AudioEngine& audio, const SettingsPlace& place);
    // Destruction saves the settings.
    ~Metronome() override;
    Metronome(const Metronome&) = delete;
    Metronome& operator=(const Metronome&) = delete;

    void setDefaults();
    // Beats per minute, 40..240; clamps `tempo` into 0..1 on the way.
    int bpm();
    // The beat count in use, 0..9, whatever the field holds (a hand-edited file may hold any
    // number); the field itself keeps its value until the user changes it.
    int shownBeats() const;
    // The linear gain of every volume call: the volume, clamped into 0..1, squared.
    double gain() const;
    // Renders the bar of the current tempo, beats and sound into pcmBar, at the audio engine's
    // rate.
    void renderBar();
    // Turns the first barLength entries of floatBar into pcmBar.
    void toPcm();

    // Applies `running`: stops everything, and when running starts a fresh bar at its top.
    void restart();
    // One pass of the main loop: follows a Link session, renders a requested bar, switches a
    // pending one in.
    void tick();
    // With followTransport: starts and stops with the device's transport, and takes a timebase
    // master's tempo and beats per bar (not while Link is on: the session leads). True when
    // running, tempo or beats changed.
    bool syncToTransport();
    // The same at a given host time of the session's clock (tests simulate the clock).
    void tickAt(std::int64_t hostMicros);
    void rebuildIfRequested();
    void switchIfPending();
    // Milliseconds until tick() has work: 0 for a requested bar that can be rendered now, the
    // time until the pending switch's window opens (read from the play position, at least 1
    // while it is not open), UINT32_MAX when there is none.
    std::uint32_t msUntilTickWork();
    // The position in beats within the sounding bar that is being heard now, 0 <= value < its
    // beats; -1 after a start until its first sample is heard. The output's latency lies
    // between the mixer and the ear, so this trails the bar switch's own position by it.
    double beatPosition();

    void exchange() override;

    // Sets the defaults and reads the settings file; a file that is missing leaves the defaults
    // (or takes the first values from the seed file). A file that exists but cannot be read or
    // is over maxSettingsBytes leaves the defaults too, is said so once on standard error and
    // in the log, and is then never written.
    void loadSettings();
    // Writes the settings file as one step; on failure the old file stays byte for byte and the
    // failure is said on standard error. False when nothing was written.
    bool saveSettings();
    // Whether saveSettings may write the file (false after a load found it unreadable).
    bool settingsWritable() const { return writable; }

    // Timing clocks per beat of the clock output, as MIDI clock counts them.
    static constexpr int clockPulsesPerBeat = 24;

    // A beat count brought into 0..9.
    static int clampBeats(int value);
    // The first sample of pulse `pulse` of `pulses` in a bar of `length` samples.
    static int pulseStart(int length, int pulse, int pulses);

    // Pulses a beat in use, 1..6.
    int pulsesPerBeat() const;
    // The level of beat `beat` (0-based) in a bar of `count` beats (1..9); a malformed group in
    // `accents` counts as that count's default.
    int beatLevel(int count, int beat) const;
    // Sets one beat's level, rewriting `accents` with every group valid.
    void setBeatLevel(int count, int beat, int level);
    // Accent -> normal -> soft -> silent -> accent for a beat of the shown count; false when the
    // count has no pattern (0 beats) or the beat is not in it.
    bool cycleBeatLevel(int beat);
    // Whether bar `bar` (counted from the start, 0 first) of the silent-bar cycle is silent.
    bool silentAt(std::int64_t bar) const;
    // The tempo the trainer moves to from `from` BPM in one step.
    int trainerNext(int from) const;
    // Ends the trainer because the user chose a tempo, saying so in trainerNote.
    void endTrainer();
    // Whether the bar being heard now is a silent one.
    bool heardBarSilent();

  private:
    friend class Metronome_link;
    AudioEngine& audio;
    AnsiString seedPath;
    bool writable = true;
    std::uint64_t startFrame = 0;  // the output frame at which the bar last started from its top
    // The bar count runs on the output's frames: bar `segmentBar` of the practice started (or
    // would have started, after a switch within a bar) at frame `segmentStart`.
    std::int64_t segmentStart = 0;
    std::int64_t segmentBar = 0;
    std::int64_t boundaryFrame = 0;  // where a queued bar starts
    std::int64_t stepBar = 0;        // the bar at which the trainer's present tempo began
    bool trainerCounting = false;    // stepBar counts for the trainer as it is on now
    double queuedTempo = 0.0;        // the tempo of the queued bar
    std::int64_t barOffSeen = 0;     // frames the bar was off the master's at the last look
    std::int64_t barOffSeenAt = 0;   // the mixer frame of that look
    // The normal and the accented click of the synthesised sound `wavesSound` at `wavesRate`.
    static constexpr int maxClickLength = 9600;  // 50 ms at up to 192 kHz
    float clickWaves[2][maxClickLength];
    int clickLength = 0;
    int wavesSound = -1;
    int wavesRate = 0;

    bool readSettingsFile(const AnsiString& file);
    int pulseLevel(int pulse) const;
    int pulseEdge(int pulse, int pulses) const;
    int pulseEnd(int pulse, int pulses) const;
    void renderPulse(int start, int end, int level);
    void renderSampleBeat(int start, int maxBytes, bool accented, bool soft);
    void renderSynthBeat(int start, int end, bool accented, bool soft);
    void prepareClickWaves();
    std::int64_t barAt(std::int64_t frame) const;
    void queueNextBar();
    bool queueBar(std::int64_t bar, double newTempo, bool silent);
    void takeQueuedBar();
    void markClock(int sound);
    void alignToTransport();
    void keepOnTransportBar();
    double mappedPosition(double oldPosition) const;
    std::uint32_t mappedSample(double position) const;
};

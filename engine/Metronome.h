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
    static constexpr int MaxBarLength = 600000;
    static constexpr int SampleRate = 44100;
    // The click samples, in the order of the sample slots.
    static constexpr const char* sampleFileNames[4] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};
    // A longer file is no settings file: it is neither read nor written.
    static constexpr std::size_t maxSettingsBytes = 1 << 20;

    AnsiString header;                  // "Orvelle Settings", the settings file's tag
    AnsiString path;                    // full path of the settings file; empty for none
    float floatBar[MaxBarLength];       // the synthesised clicks, nominal range -1..1
    std::int16_t pcmBar[MaxBarLength];  // the finished bar; the first barLength samples count
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
    bool link;  // play in the local network's Link session
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
    // Renders the bar of the current tempo, beats and sound into pcmBar.
    void renderBar();
    // Turns the first barLength entries of floatBar into pcmBar.
    void toPcm();

    // Applies `running`: stops everything, and when running starts a fresh bar at its top.
    void restart();
    // One pass of the main loop: follows a Link session, renders a requested bar, switches a
    // pending one in.
    void tick();
    // The same at a given host time of the session's clock (tests simulate the clock).
    void tickAt(std::int64_t hostMicros);
    void rebuildIfRequested();
    void switchIfPending();
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

    // A beat count brought into 0..9.
    static int clampBeats(int value);

  private:
    friend class Metronome_link;
    AudioEngine& audio;
    AnsiString seedPath;
    bool writable = true;
    std::uint64_t startFrame = 0;  // the output frame at which the bar last started from its top

    bool readSettingsFile(const AnsiString& file);
    void renderSampleBeat(int start, int maxBytes, bool accented);
    void renderSynthBeat(int start, bool accented);
    double mappedPosition(double oldPosition) const;
    std::uint32_t mappedSample(double position) const;
};

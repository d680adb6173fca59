// LinkSession: a tempo and a beat grid shared with other programs on the local network.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// A session of the Link protocol: peers on one network share a tempo, a beat grid and whether
// they play, with no master. Every call belongs to one thread (the window thread); none of them
// blocks. Times are microseconds of the session's host clock (hostMicros()).
//
// Nothing of the network is touched until the first enable(true): a session that is never
// enabled opens no socket and starts no thread. While disabled, the session is a private one
// whose timeline still answers every query, so that a caller may work the same either way.
class LinkSession {
  public:
    explicit LinkSession(double bpm);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Joins (true) or leaves (false) the network's session.
    void enable(bool on);
    bool enabled() const;
    // Other programs in the session; 0 while disabled or alone.
    int peers() const;
    // Whether starts and stops are shared with the peers that share them too.
    void enableStartStopSync(bool on);

    // The session's clock now.
    std::int64_t hostMicros() const;

    // Takes a consistent picture of the session; the queries below answer from it, so that the
    // answers of one pass belong together.
    void capture();
    double tempo() const;
    // The beat at a host time; its phase within `quantum` beats is the one every peer shares.
    double beatAt(std::int64_t micros, double quantum);
    // The host time of a beat: the inverse of beatAt at the captured tempo.
    std::int64_t timeAtBeat(double beat, double quantum);
    bool playing() const;

    // Changes of ours, sent to the peers at once; the picture is taken again.
    void setTempo(double bpm, std::int64_t atMicros);
    // Starts or stops the session's play at a host time; a start is moved to the next bar
    // boundary of `quantum` beats when peers are present.
    void setPlaying(bool playing, std::int64_t atMicros, double quantum);

  private:
    struct Impl;
    double initialBpm;
    std::unique_ptr<Impl> impl;

    Impl& session();
};

}  // namespace platform

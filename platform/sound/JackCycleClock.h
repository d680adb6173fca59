// JackCycleClock: which periods the JACK server skipped for a client, from the frame times it
// reads in its process callback.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// A JACK server's frame time advances at the start of each of its cycles, whether or not a client
// ran in the one before. A client that the server skipped (an xrun) reads a time more than one
// period on; but a client that runs late, after the server began its next cycle, reads that
// cycle's time too, and then reads the same time again in its next period. The two look alike
// until that next period, so a step is owed only once the period after it confirms it. A step
// of several periods followed by a repeated time is both: the late period read a time at least
// one period ahead of its own, and the server's cycles beyond that one were skipped all the same
// (a client woken late misses the wake-ups that came meanwhile). The class has no JACK header and
// no library: test clients and measuring tools use it as well.
class JackCycleClock {
  public:
    // Takes the server's frame time read in a period of `frames` frames. Returns the frames the
    // server is now known to have skipped before the previous period.
    std::uint32_t advance(std::uint32_t frameTime, std::uint32_t frames) {
        ahead = 0;
        if (!known) {
            known = true;
            last = frameTime;
            lastFrames = frames;
            return 0;
        }
        const std::uint32_t step = frameTime - last;
        std::uint32_t owed = 0;
        if (step == 0 && pending > 0) {
            // The previous period read this one's time, so it ran at least its own length late;
            // what its step had beyond that are cycles that ran without it. Where between the
            // two periods they lay cannot be told; a period ahead is the least it was.
            ahead = std::min(pending, lastFrames);
            owed = pending - ahead;
            pending = 0;
        } else if (step >= lastFrames && step < backwards) {
            owed = pending;
            pending = step - lastFrames;
        }
        last = frameTime;
        lastFrames = frames;
        return owed;
    }

    // The frames by which the time read in the previous period was ahead of that period, because
    // the client ran late (at least that much; one period where it read several ahead); 0 when
    // it was right.
    std::uint32_t previousAhead() const { return ahead; }

    // Frames of a step not yet confirmed: if it was real, the period now mixing is that much
    // later on the server's clock than it was mixed for; if the time was read late, the time
    // read is that much ahead. Either way the server's time read is as far ahead of what is
    // mixed.
    std::uint32_t unconfirmed() const { return pending; }

    // Starts again from the next period, as after an activation.
    void reset() { *this = JackCycleClock{}; }

  private:
    // Frame times wrap around; a step of half their range or more is one backwards.
    static constexpr std::uint32_t backwards = 0x80000000u;

    std::uint32_t last = 0;        // the time read in the previous period
    std::uint32_t lastFrames = 0;  // that period's length
    std::uint32_t pending = 0;     // frames of a step not yet confirmed by the period after it
    std::uint32_t ahead = 0;
    bool known = false;
};

}  // namespace platform

// Tests of the Link session: private until enabled, and shared with a peer once enabled.
#include "platform/system/LinkSession.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <unistd.h>

#include "../../support/PrivateNetwork.h"

namespace {

// The UDP sockets of the calling thread's network namespace.
int udpSockets() {
    std::ifstream in("/proc/thread-self/net/udp");
    std::string line;
    int count = -1;
    while (std::getline(in, line))
        count++;
    return count;
}

// Never enabled, the session opens nothing, yet its timeline answers: a tempo set is the tempo,
// and beat and time are each other's inverse.
TEST(LinkSession, NeverEnabledOpensNoSocketAndKeepsAPrivateTimeline) {
    const int before = udpSockets();
    platform::LinkSession session(120.0);
    const std::int64_t now = session.hostMicros();
    session.setTempo(133.5, now);
    session.capture();
    EXPECT_FALSE(session.enabled());
    EXPECT_EQ(session.peers(), 0);
    EXPECT_DOUBLE_EQ(session.tempo(), 133.5);
    const double beat = session.beatAt(now + 3000000, 4.0);
    // The library keeps beats in millionths.
    EXPECT_NEAR(beat - session.beatAt(now, 4.0), 3.0 * 133.5 / 60.0, 1e-5);
    EXPECT_NEAR(static_cast<double>(session.timeAtBeat(beat, 4.0)), now + 3000000.0, 1.0);
    EXPECT_EQ(udpSockets(), before);
}

// Two sessions in a private network namespace find each other; a tempo and a start set on one
// reach the other.
TEST(LinkSession, EnabledSessionsShareTempoAndStart) {
    testsupport::PrivateNetwork network;
    ASSERT_TRUE(network.ready()) << "cannot make a network namespace (root is needed)";
    ASSERT_TRUE(network.enter());
    {
        platform::LinkSession one(100.0), two(90.0);
        one.enableStartStopSync(true);
        two.enableStartStopSync(true);
        one.enable(true);
        two.enable(true);
        for (int i = 0; i < 100 && (one.peers() == 0 || two.peers() == 0); i++)
            usleep(50000);
        ASSERT_EQ(one.peers(), 1);
        EXPECT_GT(udpSockets(), 0);
        one.setTempo(133.5, one.hostMicros());
        one.setPlaying(true, one.hostMicros(), 4.0);
        for (int i = 0; i < 100; i++, usleep(50000)) {
            two.capture();
            if (std::abs(two.tempo() - 133.5) < 1e-3 && two.playing()) break;
        }
        EXPECT_NEAR(two.tempo(), 133.5, 1e-3);
        EXPECT_TRUE(two.playing());
    }
    network.leave();
}

}  // namespace

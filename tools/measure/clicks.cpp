// Lists the clicks in a recording of 16-bit little-endian stereo frames: start frame and pitch.
//
// A click begins after at least 600 silent frames; its start is one frame before its first
// non-zero sample, because every synthesised click begins at phase 0. The second column counts
// the sign changes in its first 200 frames, which tells the accented click from the plain one.
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: clicks <recording.raw>\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in) return 1;
    std::vector<short> left;
    unsigned char frame[4];
    while (std::fread(frame, 1, 4, in) == 4)
        left.push_back(static_cast<short>(frame[0] | (frame[1] << 8)));
    std::fclose(in);
    long silent = 600;
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i] == 0) {
            ++silent;
            continue;
        }
        if (silent >= 600) {
            int crossings = 0;
            for (size_t j = i + 1; j < left.size() && j < i + 200; ++j)
                if ((left[j] < 0) != (left[j - 1] < 0) && left[j] != 0) ++crossings;
            std::printf("%zu %d\n", i - 1, crossings);
        }
        silent = 0;
    }
    std::printf("# frames %zu\n", left.size());
    return 0;
}

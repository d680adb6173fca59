// AboutPictures: the about screen's pictures and the application icon, drawn by the program.
#include "about/AboutPictures.h"

#include <algorithm>
#include <cmath>

#include "about/PicturePainter.h"
#include "graphics/Limage.h"

namespace {

using P = PicturePainter;
using Pt = PicturePainter::Point;
using Col = PicturePainter::Colour;
using Shape = PicturePainter::Shape;

constexpr double pi = 3.14159265358979323846;

// Places drawings made on a unit grid: p(x, y) is (ox + x * s, oy + y * s).
struct Frame {
    double ox = 0;
    double oy = 0;
    double s = 1;
    Pt p(double x, double y) const { return {ox + x * s, oy + y * s}; }
    double d(double v) const { return v * s; }
};

Shape moved(const Frame& f, Shape shape) {
    for (auto& outline : shape)
        for (Pt& q : outline)
            q = f.p(q.x, q.y);
    return shape;
}

Shape rotated(Shape shape, Pt centre, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    for (auto& outline : shape) {
        for (Pt& q : outline) {
            double x = q.x - centre.x, y = q.y - centre.y;
            q = {centre.x + x * c - y * s, centre.y + x * s + y * c};
        }
    }
    return shape;
}

// The palette: warm wood and brass, the warm cream of the title, the cool blue of the link.
const Col woodLight{196, 118, 64};
const Col woodMid{150, 84, 44};
const Col woodDark{96, 52, 30};
const Col brassLight{246, 222, 150};
const Col brassDark{176, 128, 62};
const Col steelLight{238, 240, 244};
const Col steelDark{128, 136, 150};
const Col cream{240, 222, 172};
const Col gold{204, 160, 88};
const Col iceLight{214, 238, 248};
const Col iceDark{104, 150, 176};
const Col black{0, 0, 0};
const Col white{255, 255, 255};

// A soft pool of light behind a small picture, so it seems to glow on the dark screen.
void halo(P& painter, Pt centre, double radius, Col colour, double strength) {
    painter.fill(P::ellipse(centre.x, centre.y, radius, radius),
                 P::radialPaint(centre, radius, colour, strength, colour, 0));
}

// The classic pyramid metronome on its plinth, the pendulum swung out to the left, drawn on a
// 120 x 140 grid.
void drawMetronome(P& painter, const Frame& f) {
    // Plinth and shadow.
    painter.fill(moved(f, P::ellipse(60, 134, 50, 5)), P::solidPaint(black, 0.5));
    painter.fill(moved(f, P::roundedRectangle(14, 120, 106, 134, 4)),
                 P::linearPaint(f.p(0, 120), woodMid, f.p(0, 134), woodDark));
    painter.fill(moved(f, P::rectangle(16, 120.5, 104, 122)), P::solidPaint(woodLight, 0.6));
    // The case: dark bevels round a lighter front face, and the small pyramid cap.
    painter.fill(moved(f, P::polygon({{21, 121}, {43, 14}, {77, 14}, {99, 121}})),
                 P::linearPaint(f.p(21, 0), woodMid, f.p(99, 0), woodDark));
    painter.fill(moved(f, P::polygon({{43, 14.5}, {60, 3.5}, {77, 14.5}})),
                 P::linearPaint(f.p(43, 0), woodLight, f.p(77, 0), woodDark));
    painter.fill(moved(f, P::roundedRectangle(41.5, 13, 78.5, 17, 1.5)),
                 P::linearPaint(f.p(41, 0), woodLight, f.p(79, 0), woodMid));
    painter.fill(moved(f, P::polygon({{31, 118}, {49, 19}, {71, 19}, {89, 118}})),
                 P::linearPaint(f.p(35, 20), woodLight, f.p(85, 118), woodMid));
    // Faint grain, then a sheen down the left of the face, as on varnished wood.
    for (int i = 0; i < 5; i++) {
        double x = 40 + i * 9.5;
        double lean = (x - 60) * 0.17;
        painter.fill(moved(f, P::polygon({{x - lean * 5.5, 116},
                                          {x + 0.8 - lean * 5.5, 116},
                                          {x + 0.8 - lean * 0.4, 22},
                                          {x - lean * 0.4, 22}})),
                     P::solidPaint(woodDark, 0.12));
    }
    painter.fill(moved(f, P::polygon({{34, 116}, {50, 21}, {54, 21}, {40, 116}})),
                 P::solidPaint(white, 0.13));
    // The brass scale behind the pendulum, with its tempo marks.
    painter.fill(moved(f, P::polygon({{50, 98}, {55, 27}, {65, 27}, {70, 98}})),
                 P::linearPaint(f.p(50, 30), brassLight, f.p(70, 98), brassDark));
    for (int i = 0; i < 11; i++) {
        double y = 32 + i * 6.2;
        double half = 3 + (y - 27) * 5 / 71.0;
        double len = i % 2 == 0 ? half * 0.8 : half * 0.45;
        painter.fill(moved(f, P::rectangle(60 - len, y, 60 + len, y + 0.9)),
                     P::solidPaint(Col{110, 70, 30}, 0.9));
    }
    // The pendulum: a steel rod through the pivot, the sliding weight on it.
    Pt pivot = f.p(60, 104);
    double tilt = -0.25;
    Shape rod = P::stroke({60, 104}, {60, 6}, 2.4);
    painter.fill(moved(f, rotated(P::stroke({61, 104}, {61, 6}, 2.4), {60, 104}, tilt)),
                 P::solidPaint(black, 0.3));
    painter.fill(moved(f, rotated(rod, {60, 104}, tilt)),
                 P::linearPaint(f.p(40, 0), steelLight, f.p(66, 0), steelDark));
    Shape weight = P::polygon({{53, 50}, {67, 50}, {64.5, 62}, {55.5, 62}});
    painter.fill(moved(f, rotated(P::roundedRectangle(53, 49, 67, 63, 2), {60, 104}, tilt)),
                 P::solidPaint(black, 0.35));
    painter.fill(moved(f, rotated(weight, {60, 104}, tilt)),
                 P::linearPaint(f.p(38, 44), brassLight, f.p(58, 66), brassDark));
    painter.fill(moved(f, rotated(P::rectangle(54, 50, 66, 52), {60, 104}, tilt)),
                 P::solidPaint(white, 0.35));
    // The pivot and the cover of the works below it.
    painter.fill(moved(f, P::roundedRectangle(41, 101, 79, 116, 3)),
                 P::linearPaint(f.p(0, 101), woodMid, f.p(0, 116), woodDark));
    painter.fill(moved(f, P::rectangle(43, 101.5, 77, 102.5)), P::solidPaint(woodLight, 0.7));
    painter.fill(P::ellipse(pivot.x, pivot.y, f.d(3.6), f.d(3.6)),
                 P::radialPaint(f.p(59, 103), f.d(4), brassLight, 1, brassDark, 1));
}

// Two eighth notes joined by a beam, tilted a little as if in flight.
void drawNotes(P& painter, double size) {
    Frame f{0, 0, size / 64};
    halo(painter, f.p(32, 34), f.d(31), cream, 0.22);
    auto noteShapes = [&](double dx, double dy) {
        Shape all;
        for (Pt head : {Pt{18, 49}, Pt{44, 43}}) {
            Shape h = rotated(P::ellipse(head.x + dx, head.y + dy, 7.6, 5.4),
                              {head.x + dx, head.y + dy}, -0.38);
            all.push_back(h[0]);
        }
        all.push_back(P::rectangle(23.4 + dx, 14 + dy, 26.2 + dx, 48 + dy)[0]);
        all.push_back(P::rectangle(49.4 + dx, 8 + dy, 52.2 + dx, 42 + dy)[0]);
        all.push_back(P::polygon({{23.4 + dx, 13 + dy},
                                  {52.2 + dx, 7 + dy},
                                  {52.2 + dx, 14.5 + dy},
                                  {23.4 + dx, 20.5 + dy}})[0]);
        return moved(f, all);
    };
    painter.fill(noteShapes(1.5, 1.8), P::solidPaint(black, 0.45));
    painter.fill(noteShapes(0, 0), P::linearPaint(f.p(10, 8), cream, f.p(54, 56), gold));
    painter.fill(moved(f, rotated(P::ellipse(16.5, 47.5, 3.2, 1.6), {16.5, 47.5}, -0.38)),
                 P::solidPaint(white, 0.45));
    painter.fill(moved(f, rotated(P::ellipse(42.5, 41.5, 3.2, 1.6), {42.5, 41.5}, -0.38)),
                 P::solidPaint(white, 0.45));
}

// A loudspeaker sending out three waves of sound.
void drawSpeaker(P& painter, double size) {
    Frame f{0, 0, size / 96};
    halo(painter, f.p(44, 48), f.d(46), iceLight, 0.16);
    auto body = [&](double dx, double dy) {
        Shape s = P::roundedRectangle(12 + dx, 36 + dy, 30 + dx, 60 + dy, 2.5);
        s.push_back(P::polygon({{28 + dx, 36 + dy},
                                {50 + dx, 16 + dy},
                                {53 + dx, 16 + dy},
                                {53 + dx, 80 + dy},
                                {50 + dx, 80 + dy},
                                {28 + dx, 60 + dy}})[0]);
        return moved(f, s);
    };
    painter.fill(body(1.5, 2), P::solidPaint(black, 0.45));
    painter.fill(body(0, 0), P::linearPaint(f.p(12, 18), iceLight, f.p(53, 80), iceDark));
    painter.fill(moved(f, P::rectangle(14, 38, 28, 40)), P::solidPaint(white, 0.35));
    painter.fill(moved(f, P::polygon({{31, 38}, {50, 19}, {51, 19}, {51, 24}, {32, 41}})),
                 P::solidPaint(white, 0.3));
    const double reach[3] = {17, 28, 39};
    const double strength[3] = {1.0, 0.78, 0.55};
    for (int i = 0; i < 3; i++) {
        Shape wave = moved(f, P::arc(52, 48, reach[i], -0.72, 0.72, 4.6));
        painter.fill(moved(Frame{f.d(1.5), f.d(2), 1}, wave), P::solidPaint(black, 0.4));
        P::Paint paint = P::linearPaint(f.p(0, 20), iceLight, f.p(0, 76), iceDark);
        paint.opacity = strength[i];
        painter.fill(wave, paint);
    }
}

// A tuning fork, leaning, with the marks of its ring beside the prongs.
void drawFork(P& painter, double size) {
    Frame f{0, 0, size / 48};
    halo(painter, f.p(24, 24), f.d(23), steelLight, 0.14);
    Pt c{24, 24};
    auto fork = [&](double dx, double dy) {
        Shape s;
        s.push_back(P::stroke({17 + dx, 6 + dy}, {17 + dx, 26 + dy}, 3.6)[0]);
        s.push_back(P::stroke({31 + dx, 6 + dy}, {31 + dx, 26 + dy}, 3.6)[0]);
        s.push_back(P::arc(24 + dx, 26 + dy, 7, 0, pi, 3.6)[0]);
        s.push_back(P::stroke({24 + dx, 33 + dy}, {24 + dx, 43 + dy}, 4.2)[0]);
        s.push_back(P::ellipse(24 + dx, 43.5 + dy, 3.2, 2.4)[0]);
        return moved(f, rotated(s, c, 0.35));
    };
    painter.fill(fork(1.2, 1.5), P::solidPaint(black, 0.45));
    painter.fill(fork(0, 0), P::linearPaint(f.p(10, 6), steelLight, f.p(36, 44), steelDark));
    for (int side = -1; side <= 1; side += 2) {
        for (int i = 0; i < 2; i++) {
            double r = 5 + i * 4.5;
            Pt tip = side < 0 ? Pt{12, 9} : Pt{36, 9};
            double mid = side < 0 ? pi : 0;
            Shape mark = P::arc(tip.x, tip.y, r, mid - 0.55, mid + 0.55, 1.9);
            painter.fill(moved(f, rotated(mark, c, 0.35)),
                         P::solidPaint(steelLight, 0.75 - 0.3 * i));
        }
    }
}

bool smallPicture(Limage& picture, const Limage& backdrop, int cx, int cy, int size,
                  void (*draw)(P&, double)) {
    P painter(size, size);
    painter.loadBackdrop(backdrop, cx - size / 2, cy - size / 2);
    draw(painter, size);
    return painter.toImage(picture);
}

}  // namespace

bool AboutPictures::metronome(Limage& picture) {
    P painter(metronomeWidth, metronomeHeight);
    drawMetronome(painter, Frame{});
    return painter.toImage(picture);
}

bool AboutPictures::notes(Limage& picture, const Limage& backdrop, int cx, int cy) {
    return smallPicture(picture, backdrop, cx, cy, notesSize, drawNotes);
}

bool AboutPictures::speaker(Limage& picture, const Limage& backdrop, int cx, int cy) {
    return smallPicture(picture, backdrop, cx, cy, speakerSize, drawSpeaker);
}

bool AboutPictures::tuningFork(Limage& picture, const Limage& backdrop, int cx, int cy) {
    return smallPicture(picture, backdrop, cx, cy, forkSize, drawFork);
}

// A rounded tile in the about screen's evening colours with the metronome standing on it.
std::vector<unsigned char> AboutPictures::icon(int size) {
    P painter(size, size);
    double s = size / 128.0;
    Shape tile = P::roundedRectangle(4 * s, 4 * s, 124 * s, 124 * s, 22 * s);
    painter.fill(tile, P::linearPaint({0, 4 * s}, Col{78, 72, 56}, {0, 124 * s}, Col{40, 58, 68}));
    painter.fill(
        P::ellipse(64 * s, 70 * s, 58 * s, 58 * s),
        P::radialPaint({64 * s, 64 * s}, 58 * s, Col{232, 213, 167}, 0.28, Col{232, 213, 167}, 0));
    Shape rim = P::roundedRectangle(4 * s, 4 * s, 124 * s, 124 * s, 22 * s);
    Shape inner = P::roundedRectangle(5.5 * s, 5.5 * s, 122.5 * s, 122.5 * s, 20.5 * s);
    std::reverse(inner[0].begin(), inner[0].end());
    rim.push_back(inner[0]);
    painter.fill(rim,
                 P::linearPaint({0, 4 * s}, Col{170, 160, 130}, {0, 124 * s}, Col{30, 40, 48}));
    drawMetronome(painter, Frame{64 * s - 60 * 0.8 * s, 9 * s, 0.8 * s});
    return painter.toRgba();
}

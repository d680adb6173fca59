// PicturePainter: a small antialiased painter of filled shapes, for the about screen's pictures.
#pragma once

#include <vector>

class Limage;

// Paints into its own buffer of premultiplied red, green, blue and coverage (alpha) values, so
// that a picture can be laid over a backdrop (the place of the screen it will stand on) or over
// nothing (an icon with transparent surroundings). Shapes are closed outlines in pixel
// coordinates, filled by the non-zero rule and sampled 4 x 4 times a pixel. Everything is
// plain arithmetic on doubles, so a picture comes out the same on every run.
class PicturePainter {
  public:
    struct Point {
        double x;
        double y;
    };
    struct Colour {
        double red;
        double green;
        double blue;
    };
    // One or more closed outlines; holes wind the other way, or are cut with `clear`.
    using Shape = std::vector<std::vector<Point>>;

    // How a shape is coloured: one colour, a linear blend from `from` at `a` to `to` at `b`, or
    // a radial blend from `from` at centre `a` to `to` at distance `radius`.
    struct Paint {
        enum Kind { solid, linear, radial } kind = solid;
        Colour from{0, 0, 0};
        Colour to{0, 0, 0};
        Point a{0, 0};
        Point b{0, 0};
        double radius = 1;
        double opacity = 1;     // at `a` for radial paints
        double opacityTo = -1;  // radial and linear: the opacity at the far end; -1 keeps it
    };

    PicturePainter(int width, int height);

    int width() const { return w; }
    int height() const { return h; }

    // Takes the pixels of the image from (left, top) on as an opaque backdrop.
    void loadBackdrop(const Limage& image, int left, int top);
    void fill(const Shape& shape, const Paint& paint);
    // Takes away what is painted inside the shape, back to transparency.
    void clear(const Shape& shape);

    // The picture as opaque pixels: transparent parts come out black.
    bool toImage(Limage& image) const;
    // The picture as 8-bit red, green, blue, alpha rows (not premultiplied).
    std::vector<unsigned char> toRgba() const;

    static Paint solidPaint(Colour c, double opacity = 1);
    static Paint linearPaint(Point a, Colour from, Point b, Colour to);
    static Paint radialPaint(Point centre, double radius, Colour from, double opacityFrom,
                             Colour to, double opacityTo);

    // Outlines.
    static Shape rectangle(double x1, double y1, double x2, double y2);
    static Shape roundedRectangle(double x1, double y1, double x2, double y2, double r);
    static Shape ellipse(double cx, double cy, double rx, double ry);
    static Shape polygon(const std::vector<Point>& points);
    // A straight stroke of the given width with round ends.
    static Shape stroke(Point a, Point b, double width);
    // A stroke along a circular arc round (cx, cy), angles in radians (0 to the right, growing
    // clockwise on the screen), with round ends.
    static Shape arc(double cx, double cy, double radius, double from, double to, double width);
    // A ring between two radii.
    static Shape ring(double cx, double cy, double outer, double inner);

  private:
    int w;
    int h;
    std::vector<double> rgba;  // premultiplied, 0..1, four values a pixel

    std::vector<float> coverage(const Shape& shape, int& x0, int& y0, int& x1, int& y1) const;
    Colour colourAt(const Paint& paint, double x, double y, double& opacity) const;
};

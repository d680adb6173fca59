// Limage: creation, clip, fill, mirror and the four copy operations over the row pointers.
#include "graphics/Limage.h"

#include <algorithm>
#include <cstring>

#include "graphics/SpotLight.h"
#include "platform/draw/Bitmap.h"
#include "platform/draw/Canvas.h"

// The raster module's one static: its construction builds the table bank during start-up, before
// any window exists. Defining it here keeps it in every program that uses Limage.
SpotLight spotLight;

namespace {

constexpr int maxSide = 10000;

}  // namespace

Limage::Limage() {
    BlendBank::build();
}

Limage::Limage(const Limage& other) : Limage() {
    *this = other;
}

Limage::~Limage() = default;

// Copies pixels only: the clip is reset by create and `centred` stays this image's own.
Limage& Limage::operator=(const Limage& other) {
    if (this == &other) return *this;
    if (!other.isValid()) {
        release();
        return *this;
    }
    if (!create(other.width, other.height)) return *this;
    for (int y = 0; y < height; y++)
        std::memcpy(rows[y], other.rows[y], static_cast<size_t>(width) * 3);
    return *this;
}

bool Limage::create(int newWidth, int newHeight) {
    if (newWidth < 1 || newWidth > maxSide || newHeight < 1 || newHeight > maxSide) return false;
    release();
    auto made = std::make_unique<platform::Bitmap>();
    if (!made->create(newWidth, newHeight)) return false;
    bitmap = std::move(made);
    return adopt();
}

bool Limage::loadBitmap(const platform::Bitmap* source) {
    if (source == nullptr) return false;
    release();
    const int w = source->width(), h = source->height();
    if (w <= 0 || h <= 0 || w > maxSide || h > maxSide) return false;
    auto made = std::make_unique<platform::Bitmap>();
    if (!made->create(w, h)) return false;
    made->canvas().draw(0, 0, source->pixels());
    bitmap = std::move(made);
    return adopt();
}

// Takes the row pointers of a freshly made bitmap and finishes what create and loadBitmap share.
bool Limage::adopt() {
    const int w = bitmap->width(), h = bitmap->height();
    auto table = std::unique_ptr<unsigned char*[]>(new (std::nothrow) unsigned char*[h]);
    if (!table) {
        release();
        return false;
    }
    for (int y = 0; y < h; y++)
        table[y] = bitmap->row(y);
    rows = std::move(table);
    width = w;
    height = h;
    bitmap->canvas().font().name = "Tahoma";
    resetClip();
    return true;
}

void Limage::release() {
    rows.reset();
    bitmap.reset();
    width = 0;
    height = 0;
    resetClip();
}

void Limage::resetClip() {
    clipX1 = 0;
    clipX2 = width - 1;
    clipY1 = 0;
    clipY2 = height - 1;
}

void Limage::setClip(int x1, int y1, int x2, int y2) {
    clipX1 = std::clamp(x1, 0, std::max(width - 1, 0));
    clipX2 = std::clamp(x2, 0, std::max(width - 1, 0));
    clipY1 = std::clamp(y1, 0, std::max(height - 1, 0));
    clipY2 = std::clamp(y2, 0, std::max(height - 1, 0));
}

void Limage::fill(int colour) {
    if (!isValid()) return;
    const unsigned char pixel[3] = {static_cast<unsigned char>(colour >> 16),
                                    static_cast<unsigned char>(colour >> 8),
                                    static_cast<unsigned char>(colour)};
    unsigned char* first = rows[0];
    for (int x = 0; x < width; x++)
        std::memcpy(first + x * 3, pixel, 3);
    for (int y = 1; y < height; y++)
        std::memcpy(rows[y], first, static_cast<size_t>(width) * 3);
}

void Limage::mirror() {
    for (int y = 0; y < height; y++) {
        unsigned char* row = rows[y];
        for (int i = 0; i < width / 2; i++)
            std::swap_ranges(row + i * 3, row + i * 3 + 3, row + (width - 1 - i) * 3);
    }
}

platform::Canvas& Limage::canvas() {
    if (bitmap) return bitmap->canvas();
    // An empty image draws nowhere; it shares one canvas that has no pixels to draw on.
    static platform::Canvas nowhere;
    return nowhere;
}

// Where a copy lands: source columns from srcX, destination columns from dstX, count columns;
// source rows firstRow..lastRow-1 land on destination rows y + r.
struct Limage::Span {
    int srcX = 0;
    int dstX = 0;
    int count = 0;
    int firstRow = 0;
    int lastRow = 0;
    int y = 0;
};

namespace {

// A colour's three components in memory order (blue, green, red), each the signed remainder of
// its byte, so that -1 splits into -1, -1, -1 and never matches a stored byte.
struct Components {
    int c[3];
};

Components splitKey(int colour) {
    return {{(colour >> 16) % 256, (colour >> 8) % 256, colour % 256}};
}

// Table offsets of a tint colour's components. Only the low byte of each is used, so that no
// colour value can index outside a table.
Components tintOffsets(int colour) {
    return {{((colour >> 16) & 0xFF) * 256, ((colour >> 8) & 0xFF) * 256, (colour & 0xFF) * 256}};
}

bool isKey(const unsigned char* p, const Components& key) {
    return p[0] == key.c[0] && p[1] == key.c[1] && p[2] == key.c[2];
}

}  // namespace

bool Limage::place(const Limage& s, const Limage& d, int x, int y, Span& span) {
    if (!s.isValid() || !d.isValid() || s.width <= 0 || s.height <= 0) return false;
    if (d.width <= 0 || d.height <= 0) return false;
    // The clip fields are public; keep the effective clip inside the image whatever they hold.
    const int cx1 = std::max(d.clipX1, 0), cx2 = std::min(d.clipX2, d.width - 1);
    const int cy1 = std::max(d.clipY1, 0), cy2 = std::min(d.clipY2, d.height - 1);
    if (cx2 < cx1 || cy2 < cy1) return false;
    if (s.centred) {
        x -= s.width / 2;
        y -= s.height / 2;
    }
    if (cx2 < x || x + s.width - 1 < cx1) return false;
    if (cy2 < y || y + s.height - 1 < cy1) return false;
    int n = cx2 + 1 < s.width + x ? cx2 - x + 1 : s.width;
    int skipped = 0;
    if (x < cx1) {
        skipped = cx1 - x;
        x = cx1;
    }
    span = {skipped,
            x,
            n - skipped,
            y < cy1 ? cy1 - y : 0,
            cy2 + 1 < s.height + y ? cy2 - y + 1 : s.height,
            y};
    return span.count > 0 && span.firstRow < span.lastRow;
}

void Limage::drawKeyed(const Limage& source, Limage& destination, int x, int y, int key) {
    Span sp;
    if (!place(source, destination, x, y, sp)) return;
    const Components k = splitKey(key);
    for (int r = sp.firstRow; r < sp.lastRow; r++) {
        const unsigned char* s = source.rows[r] + sp.srcX * 3;
        unsigned char* d = destination.rows[sp.y + r] + sp.dstX * 3;
        if (key == -1) {
            std::memcpy(d, s, sp.count * 3);
            continue;
        }
        for (int i = 0; i < sp.count; i++, s += 3, d += 3)
            if (!isKey(s, k)) std::memcpy(d, s, 3);
    }
}

void Limage::drawTinted(const Limage& source, Limage& destination, int x, int y, int key, int tint,
                        BlendTable tintTable) {
    Span sp;
    if (!place(source, destination, x, y, sp)) return;
    const Components k = splitKey(key);
    const Components t = tintOffsets(tint);
    const unsigned char *tb = tintTable + t.c[0], *tg = tintTable + t.c[1],
                        *tr = tintTable + t.c[2];
    for (int r = sp.firstRow; r < sp.lastRow; r++) {
        const unsigned char* s = source.rows[r] + sp.srcX * 3;
        unsigned char* d = destination.rows[sp.y + r] + sp.dstX * 3;
        for (int i = 0; i < sp.count; i++, s += 3, d += 3) {
            if (isKey(s, k)) continue;
            d[0] = tb[s[0]];
            d[1] = tg[s[1]];
            d[2] = tr[s[2]];
        }
    }
}

void Limage::drawBlended(const Limage& source, Limage& destination, int x, int y,
                         BlendTable table) {
    Span sp;
    if (!place(source, destination, x, y, sp)) return;
    for (int r = sp.firstRow; r < sp.lastRow; r++) {
        const unsigned char* s = source.rows[r] + sp.srcX * 3;
        unsigned char* d = destination.rows[sp.y + r] + sp.dstX * 3;
        for (int i = 0; i < sp.count * 3; i++)
            d[i] = table[s[i] * 256 + d[i]];
    }
}

void Limage::drawTintBlended(const Limage& source, Limage& destination, int x, int y,
                             BlendTable blendTable, int tint, BlendTable tintTable) {
    Span sp;
    if (!place(source, destination, x, y, sp)) return;
    const Components t = tintOffsets(tint);
    const unsigned char* tints[3] = {tintTable + t.c[0], tintTable + t.c[1], tintTable + t.c[2]};
    for (int r = sp.firstRow; r < sp.lastRow; r++) {
        const unsigned char* s = source.rows[r] + sp.srcX * 3;
        unsigned char* d = destination.rows[sp.y + r] + sp.dstX * 3;
        for (int i = 0; i < sp.count * 3; i++)
            d[i] = blendTable[tints[i % 3][s[i]] * 256 + d[i]];
    }
}

// FormCanvas: pixel rows onto a window surface, converted to its format, one rectangle a time.
#include "platform/window/FormCanvas.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform {

namespace {

// One pixel in the surface's format. Four-byte formats, which every desktop uses, take the
// shift path; anything else goes through SDL's own mapping.
struct PixelPacker {
    explicit PixelPacker(const SDL_PixelFormat* format) : format(format) {
        fast = format->BytesPerPixel == 4 && format->Rloss == 0 && format->Gloss == 0 &&
               format->Bloss == 0;
    }
    std::uint32_t pack(unsigned char r, unsigned char g, unsigned char b) const {
        if (!fast) return SDL_MapRGB(format, r, g, b);
        return (std::uint32_t(r) << format->Rshift) | (std::uint32_t(g) << format->Gshift) |
               (std::uint32_t(b) << format->Bshift) | format->Amask;
    }
    void store(unsigned char* at, std::uint32_t value) const {
        switch (format->BytesPerPixel) {
            case 4:
                *reinterpret_cast<std::uint32_t*>(at) = value;
                break;
            case 2:
                *reinterpret_cast<std::uint16_t*>(at) = std::uint16_t(value);
                break;
            case 3:
                at[0] = value & 0xFF, at[1] = (value >> 8) & 0xFF, at[2] = (value >> 16) & 0xFF;
                break;
            default:
                *at = std::uint8_t(value);
                break;
        }
    }
    const SDL_PixelFormat* format;
    bool fast = false;
};

}  // namespace

void FormCanvas::setClip(const Rect& rect) {
    clip = rect;
    clipped = true;
}

// The part of (x, y, w, h) that lies on the surface and inside the clip, in designed pixels.
bool FormCanvas::area(int x, int y, int w, int h, Rect& out) const {
    SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
    if (!surface) return false;
    out = {std::max(x, 0), std::max(y, 0), std::min(x + w, surface->w / scale),
           std::min(y + h, surface->h / scale)};
    if (clipped) {
        out.Left = std::max(out.Left, clip.Left);
        out.Top = std::max(out.Top, clip.Top);
        out.Right = std::min(out.Right, clip.Right);
        out.Bottom = std::min(out.Bottom, clip.Bottom);
    }
    return out.Left < out.Right && out.Top < out.Bottom;
}

void FormCanvas::present(const Rect& touched) {
    shown = touched;
    ++shows;
    // Whatever drew here changed what the kept picture stood for.
    if (touched.Left < keptArea.Right && keptArea.Left < touched.Right &&
        touched.Top < keptArea.Bottom && keptArea.Top < touched.Bottom)
        keptArea = Rect{};
    const SDL_Rect shown{touched.Left * scale, touched.Top * scale,
                         (touched.Right - touched.Left) * scale,
                         (touched.Bottom - touched.Top) * scale};
    SDL_UpdateWindowSurfaceRects(window, &shown, 1);
}

// Each designed row is converted once into the first surface row of its block, every pixel
// repeated `scale` times, and that row is copied to the block's other rows.
void FormCanvas::draw(int x, int y, const PixelRows& picture) {
    Rect touched;
    if (!picture.valid() || !area(x, y, picture.width, picture.height, touched)) return;
    copy(x, y, picture, touched);
}

// The picture is compared with the one drawChanged put on the same rectangle last time, kept as
// it was given: comparing bytes costs far less than converting each pixel to compare it with
// the surface. Any other draw onto that rectangle, or a new surface, makes the next one whole.
void FormCanvas::drawChanged(int x, int y, const PixelRows& picture) {
    drawChanged(x, y, picture, Rect{0, 0, picture.width, picture.height});
}

// Outside `mayDiffer` the picture equals the kept one (the caller says so), and so does the part
// of it that compares equal: only the pixels that differ are copied, shown and kept again.
void FormCanvas::drawChanged(int x, int y, const PixelRows& picture, const Rect& mayDiffer) {
    Rect touched;
    if (!picture.valid() || !area(x, y, picture.width, picture.height, touched)) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    const bool comparable = surface == keptSurface && touched.Left == keptArea.Left &&
                            touched.Top == keptArea.Top && touched.Right == keptArea.Right &&
                            touched.Bottom == keptArea.Bottom;
    if (!comparable) {
        copy(x, y, picture, touched);
        keep(x, y, picture, touched, touched, surface);
        return;
    }
    Rect changed{std::max(touched.Left, x + mayDiffer.Left),
                 std::max(touched.Top, y + mayDiffer.Top),
                 std::min(touched.Right, x + mayDiffer.Right),
                 std::min(touched.Bottom, y + mayDiffer.Bottom)};
    if (changed.Left >= changed.Right || changed.Top >= changed.Bottom) return;
    if (!changedPart(x, y, picture, changed)) return;
    copy(x, y, picture, changed);
    keep(x, y, picture, touched, changed, surface);
}

// Cuts `part` (inside the kept rectangle) down to the rows and columns that differ from the
// kept picture; false when none does.
bool FormCanvas::changedPart(int x, int y, const PixelRows& picture, Rect& part) const {
    const std::size_t keptRowBytes = std::size_t(keptArea.Right - keptArea.Left) * 3;
    const std::size_t rowBytes = std::size_t(part.Right - part.Left) * 3;
    Rect changed{part.Right, part.Bottom, part.Left, part.Top};
    for (int row = part.Top; row < part.Bottom; ++row) {
        const unsigned char* now = picture.rows[row - y] + 3 * (part.Left - x);
        const unsigned char* before = kept.data() + std::size_t(row - keptArea.Top) * keptRowBytes +
                                      std::size_t(part.Left - keptArea.Left) * 3;
        if (std::memcmp(now, before, rowBytes) == 0) continue;
        std::size_t first = 0, last = rowBytes - 1;
        while (now[first] == before[first])
            ++first;
        while (now[last] == before[last])
            --last;
        changed.Left = std::min(changed.Left, part.Left + int(first / 3));
        changed.Right = std::max(changed.Right, part.Left + int(last / 3) + 1);
        changed.Top = std::min(changed.Top, row);
        changed.Bottom = row + 1;
    }
    if (changed.Left >= changed.Right) return false;
    part = changed;
    return true;
}

// Showing the part dropped the kept picture (see present); the rest of it is still what the
// surface holds, so only the part is copied in again.
void FormCanvas::keep(int x, int y, const PixelRows& picture, const Rect& touched, const Rect& part,
                      const void* surface) {
    const std::size_t keptRowBytes = std::size_t(touched.Right - touched.Left) * 3;
    const std::size_t rowBytes = std::size_t(part.Right - part.Left) * 3;
    kept.resize(keptRowBytes * std::size_t(touched.Bottom - touched.Top));
    for (int row = part.Top; row < part.Bottom; ++row)
        std::memcpy(kept.data() + std::size_t(row - touched.Top) * keptRowBytes +
                        std::size_t(part.Left - touched.Left) * 3,
                    picture.rows[row - y] + 3 * (part.Left - x), rowBytes);
    keptArea = touched;
    keptSurface = surface;
}

void FormCanvas::copy(int x, int y, const PixelRows& picture, const Rect& touched) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    const PixelPacker packer(surface->format);
    const int bpp = surface->format->BytesPerPixel;
    const std::size_t blockRowBytes = std::size_t(touched.Right - touched.Left) * scale * bpp;
    for (int row = touched.Top; row < touched.Bottom; ++row) {
        const unsigned char* from = picture.rows[row - y] + 3 * (touched.Left - x);
        auto* first = static_cast<unsigned char*>(surface->pixels) +
                      std::size_t(row) * scale * surface->pitch +
                      std::size_t(touched.Left) * scale * bpp;
        unsigned char* to = first;
        for (int column = touched.Left; column < touched.Right; ++column, from += 3) {
            const std::uint32_t value = packer.pack(from[2], from[1], from[0]);
            for (int copy = 0; copy < scale; ++copy, to += bpp)
                packer.store(to, value);
        }
        for (int copy = 1; copy < scale; ++copy)
            std::memcpy(first + std::size_t(copy) * surface->pitch, first, blockRowBytes);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    present(touched);
}

void FormCanvas::fill(int colour) {
    Rect touched;
    if (!area(0, 0, 1 << 20, 1 << 20, touched)) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    const SDL_Rect filled{touched.Left * scale, touched.Top * scale,
                          (touched.Right - touched.Left) * scale,
                          (touched.Bottom - touched.Top) * scale};
    SDL_FillRect(
        surface, &filled,
        SDL_MapRGB(surface->format, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    present(touched);
}

}  // namespace platform

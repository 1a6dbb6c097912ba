#include "scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace camsim {

namespace {

struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows; // 5 bits each, bit 4 = leftmost pixel
};

// A 5 x 7 font with the characters the labels use.
constexpr std::array kFont{
    Glyph{'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, Glyph{'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    Glyph{'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, Glyph{'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    Glyph{'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, Glyph{'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    Glyph{'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, Glyph{'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    Glyph{'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, Glyph{'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    Glyph{':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, Glyph{'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    Glyph{'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, Glyph{'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
    Glyph{' ', {0, 0, 0, 0, 0, 0, 0}},
    Glyph{'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, Glyph{'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    Glyph{'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, Glyph{'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    Glyph{'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, Glyph{'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    Glyph{'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, Glyph{'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    Glyph{'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}}, Glyph{'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    Glyph{'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}}, Glyph{'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    Glyph{'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, Glyph{'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    Glyph{'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, Glyph{'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    Glyph{'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, Glyph{'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    Glyph{'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}}, Glyph{'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    Glyph{'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}}, Glyph{'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
};

const Glyph *glyphFor(char c)
{
    for (const Glyph &g : kFont)
        if (g.c == c)
            return &g;
    return nullptr;
}

struct Yuv {
    std::uint8_t y, u, v;
};

// Palette per channel: sky, road, mark, car.
constexpr std::array<std::array<Yuv, 4>, 3> kPalette{{
    {{{150, 150, 110}, {80, 128, 128}, {220, 128, 128}, {90, 100, 200}}},
    {{{120, 160, 100}, {70, 128, 128}, {210, 100, 140}, {100, 200, 110}}},
    {{{170, 110, 140}, {90, 128, 128}, {230, 128, 110}, {60, 160, 60}}},
}};

void fillRect(Picture &p, int x0, int y0, int x1, int y1, Yuv c)
{
    x0 = std::clamp(x0 & ~1, 0, p.width);
    x1 = std::clamp((x1 + 1) & ~1, 0, p.width);
    y0 = std::clamp(y0 & ~1, 0, p.height);
    y1 = std::clamp((y1 + 1) & ~1, 0, p.height);
    if (x0 >= x1 || y0 >= y1)
        return;
    for (int y = y0; y < y1; ++y)
        std::fill_n(p.y.begin() + y * p.width + x0, x1 - x0, c.y);
    const int cw = p.width / 2;
    for (int y = y0 / 2; y < y1 / 2; ++y) {
        std::fill_n(p.u.begin() + y * cw + x0 / 2, (x1 - x0) / 2, c.u);
        std::fill_n(p.v.begin() + y * cw + x0 / 2, (x1 - x0) / 2, c.v);
    }
}

// Text in white on a black band; scale is the size of one font pixel in picture pixels.
void drawText(Picture &p, int x, int y, int scale, std::string_view text)
{
    const int advance = 6 * scale;
    fillRect(p, x - scale, y - scale, x + int(text.size()) * advance + scale, y + 8 * scale, {16, 128, 128});
    for (char c : text) {
        if (const Glyph *g = glyphFor(c)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[std::size_t(row)] & (0x10 >> col))
                        fillRect(p, x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale,
                                 {235, 128, 128});
        }
        x += advance;
    }
}

} // namespace

void drawScene(Picture &pic, const SceneParams &params, double mediaMs, const std::string &clock)
{
    const auto &pal = kPalette[std::size_t(std::clamp(params.channel, 0, 2))];
    const int w = pic.width;
    const int h = pic.height;
    const int horizon = h * 2 / 5;
    fillRect(pic, 0, 0, w, horizon, pal[0]);
    fillRect(pic, 0, horizon, w, h, pal[1]);

    // Lane marks stream towards the viewer at the car's speed: 1 km/h moves them
    // h / 400 pixels per second.
    const double seconds = mediaMs / 1000.0;
    const int period = std::max(8, h / 6);
    const int shift = int(std::fmod(seconds * std::max(params.speedKmh, 5.0) * h / 400.0, period));
    for (int y = horizon + shift - period; y < h; y += period) {
        const int depth = std::max(1, (y - horizon) * 40 / std::max(1, h - horizon));
        fillRect(pic, w / 2 - depth, y, w / 2 + depth, y + period / 2, pal[2]);
    }

    // A car crossing the road once every 4 s.
    const double phase = std::fmod(seconds, 4.0) / 4.0;
    const int carW = w / 8;
    const int carX = int(phase * (w + carW)) - carW;
    fillRect(pic, carX, horizon + h / 10, carX + carW, horizon + h / 10 + h / 10, pal[3]);

    const int scale = std::max(2, h / 120);
    drawText(pic, 2 * scale, 2 * scale, scale, params.label);
    drawText(pic, 2 * scale, h - 10 * scale, scale, clock);
}

} // namespace camsim

#include "burnedclock.h"

#include "scene.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <map>

namespace testsupport {

namespace {

constexpr char kClockChars[] = "0123456789-:. ";

// Where camsim draws the clock for a picture height: glyph pixels of `scale` picture pixels,
// characters 6 glyph pixels apart, the text 10 glyph pixels above the bottom.
struct Layout {
    int scale, x0, y0;
    explicit Layout(int height) : scale(std::max(2, height / 120)), x0(2 * scale), y0(height - 10 * scale) {}
    // Centre of glyph pixel (col, row) of character k.
    QPoint cell(int k, int col, int row) const
    {
        return {x0 + k * 6 * scale + col * scale + scale / 2, y0 + row * scale + scale / 2};
    }
};

// 5 x 7 bits, one per glyph pixel, of character k as lit pixels of a luma reader.
template<typename Luma>
std::uint64_t glyphBits(const Layout &l, int k, Luma luma)
{
    std::uint64_t bits = 0;
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            bits = (bits << 1) | (luma(l.cell(k, col, row)) > 128 ? 1u : 0u);
    return bits;
}

// The glyph patterns as camsim draws them at this height, from camsim's own drawing code.
const std::map<std::uint64_t, char> &templatesFor(int width, int height)
{
    static QHash<qint64, std::map<std::uint64_t, char>> cache;
    const qint64 key = (qint64(width) << 32) | height;
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    camsim::Picture pic(width, height);
    camsim::SceneParams params;
    camsim::drawScene(pic, params, 0, kClockChars);
    const Layout l(height);
    std::map<std::uint64_t, char> templates;
    for (int k = 0; kClockChars[k]; ++k)
        templates[glyphBits(l, k, [&](QPoint p) { return int(pic.y[std::size_t(p.y() * width + p.x())]); })] =
            kClockChars[k];
    return *cache.insert(key, templates);
}

} // namespace

QDateTime readBurnedClock(const QImage &picture)
{
    if (picture.isNull() || picture.height() < 40)
        return {};
    const auto &templates = templatesFor(picture.width(), picture.height());
    const Layout l(picture.height());
    auto luma = [&](QPoint p) {
        const QRgb c = picture.pixel(p);
        return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
    };
    QString text;
    for (int k = 0; k < 23; ++k) {
        const std::uint64_t bits = glyphBits(l, k, luma);
        // Nearest pattern: compression may blur a pixel or two at the glyphs' edges.
        int best = 64;
        char c = '?';
        for (const auto &[pattern, ch] : templates) {
            const int d = std::popcount(pattern ^ bits);
            if (d < best)
                best = d, c = ch;
        }
        text += best <= 3 ? QChar(c) : QChar('?');
    }
    return QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss.zzz");
}

} // namespace testsupport

// Draws the simulated camera picture (a road scene with burned-in labels) into I420 planes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camsim {

// One I420 picture; planes are tightly packed (stride = width, chroma width / 2).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y, u, v;
    Picture(int w, int h) : width(w), height(h), y(std::size_t(w * h)), u(std::size_t(w * h / 4)), v(y.size() / 4) {}
};

struct SceneParams {
    int channel = 0;          // 0 front, 1 second, 2 third: picks the colours
    std::string label;        // burned in at the top left
    double speedKmh = 0;      // moves the lane marks
};

// Draws the frame at mediaMs into pic; clock is the burned-in date and time text.
void drawScene(Picture &pic, const SceneParams &params, double mediaMs, const std::string &clock);

} // namespace camsim

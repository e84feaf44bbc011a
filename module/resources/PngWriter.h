// Encodes RGBA pictures as PNG files in memory (uncompressed deflate blocks:
// the pictures are small and the encoder needs no library).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zyr::module {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

// A picture of width x height pixels, row by row, transparent at start.
class Canvas {
public:
    Canvas(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgba& At(int x, int y) { return pixels_[static_cast<size_t>(y * width_ + x)]; }
    const Rgba& At(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }

    void FillRect(int x, int y, int w, int h, Rgba colour);
    void FrameRect(int x, int y, int w, int h, Rgba colour);
    void Disc(double cx, double cy, double radius, Rgba colour);
    // The ring between the two radii, upper half only when upperHalf is set.
    void Ring(double cx, double cy, double inner, double outer, Rgba colour, bool upperHalf);
    void Line(double x0, double y0, double x1, double y1, double width, Rgba colour);
    // Copies another canvas at (x, y).
    void Blit(const Canvas& source, int x, int y);
    // Half the size, each pixel the average of four.
    Canvas Halved() const;

private:
    void Plot(int x, int y, Rgba colour);
    int width_;
    int height_;
    std::vector<Rgba> pixels_;
};

std::vector<unsigned char> EncodePng(const Canvas& canvas);

} // namespace zyr::module

#include "module/resources/PngWriter.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zyr::module {
namespace {

std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

uint32_t Crc(const unsigned char* data, size_t size, uint32_t crc = 0xFFFFFFFFu)
{
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

void PutBig32(std::vector<unsigned char>& out, uint32_t value)
{
    out.push_back(static_cast<unsigned char>(value >> 24));
    out.push_back(static_cast<unsigned char>(value >> 16));
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value));
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

Rgba Blend(Rgba under, Rgba over)
{
    if (over.a == 255 || under.a == 0) {
        return over;
    }
    double a = over.a / 255.0;
    auto mix = [a](uint8_t u, uint8_t o) { return static_cast<uint8_t>(std::lround(o * a + u * (1 - a))); };
    return {mix(under.r, over.r), mix(under.g, over.g), mix(under.b, over.b),
            static_cast<uint8_t>(std::max<int>(under.a, over.a))};
}

double SegmentDistance(double px, double py, double x0, double y0, double x1, double y1)
{
    double dx = x1 - x0;
    double dy = y1 - y0;
    double length = dx * dx + dy * dy;
    double t = length == 0 ? 0 : std::clamp(((px - x0) * dx + (py - y0) * dy) / length, 0.0, 1.0);
    double qx = x0 + t * dx - px;
    double qy = y0 + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

} // namespace

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width * height))
{
}

void Canvas::Plot(int x, int y, Rgba colour)
{
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
        At(x, y) = Blend(At(x, y), colour);
    }
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba colour)
{
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) {
            Plot(i, j, colour);
        }
    }
}

void Canvas::FrameRect(int x, int y, int w, int h, Rgba colour)
{
    FillRect(x, y, w, 1, colour);
    FillRect(x, y + h - 1, w, 1, colour);
    FillRect(x, y, 1, h, colour);
    FillRect(x + w - 1, y, 1, h, colour);
}

void Canvas::Disc(double cx, double cy, double radius, Rgba colour)
{
    Ring(cx, cy, -1, radius, colour, false);
}

void Canvas::Ring(double cx, double cy, double inner, double outer, Rgba colour, bool upperHalf)
{
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            double px = x + 0.5 - cx;
            double py = y + 0.5 - cy;
            double d = std::sqrt(px * px + py * py);
            if (d <= outer && d > inner && (!upperHalf || py <= 0)) {
                Plot(x, y, colour);
            }
        }
    }
}

void Canvas::Line(double x0, double y0, double x1, double y1, double width, Rgba colour)
{
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (SegmentDistance(x + 0.5, y + 0.5, x0, y0, x1, y1) <= width / 2) {
                Plot(x, y, colour);
            }
        }
    }
}

void Canvas::Blit(const Canvas& source, int x, int y)
{
    for (int j = 0; j < source.height_; ++j) {
        for (int i = 0; i < source.width_; ++i) {
            if (x + i < width_ && y + j < height_) {
                At(x + i, y + j) = source.At(i, j);
            }
        }
    }
}

Canvas Canvas::Halved() const
{
    Canvas half(width_ / 2, height_ / 2);
    for (int y = 0; y < half.height_; ++y) {
        for (int x = 0; x < half.width_; ++x) {
            int r = 0, g = 0, b = 0, a = 0;
            for (int j = 0; j < 2; ++j) {
                for (int i = 0; i < 2; ++i) {
                    const Rgba& p = At(2 * x + i, 2 * y + j);
                    r += p.r * p.a;
                    g += p.g * p.a;
                    b += p.b * p.a;
                    a += p.a;
                }
            }
            if (a > 0) {
                half.At(x, y) = {static_cast<uint8_t>(r / a), static_cast<uint8_t>(g / a),
                                 static_cast<uint8_t>(b / a), static_cast<uint8_t>(a / 4)};
            }
        }
    }
    return half;
}

std::vector<unsigned char> EncodePng(const Canvas& canvas)
{
    static const unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> out(std::begin(kSignature), std::end(kSignature));

    std::vector<unsigned char> header;
    PutBig32(header, static_cast<uint32_t>(canvas.Width()));
    PutBig32(header, static_cast<uint32_t>(canvas.Height()));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter, no interlace
    PutChunk(out, "IHDR", header);

    std::vector<unsigned char> raw;
    for (int y = 0; y < canvas.Height(); ++y) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < canvas.Width(); ++x) {
            const Rgba& p = canvas.At(x, y);
            raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
        }
    }
    std::vector<unsigned char> zlib = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t length = std::min<size_t>(raw.size() - offset, 65535);
        bool last = offset + length == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<unsigned char>(length));
        zlib.push_back(static_cast<unsigned char>(length >> 8));
        zlib.push_back(static_cast<unsigned char>(~length));
        zlib.push_back(static_cast<unsigned char>(~length >> 8));
        zlib.insert(zlib.end(), raw.begin() + static_cast<long>(offset),
                    raw.begin() + static_cast<long>(offset + length));
        offset += length;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(zlib, (b << 16) | a);
    PutChunk(out, "IDAT", zlib);
    PutChunk(out, "IEND", {});
    return out;
}

} // namespace zyr::module

#include "module/resources/NodeImages.h"

namespace zyr::module {
namespace {

constexpr Rgba kOutline{40, 40, 40, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kPaper{250, 250, 240, 255};
constexpr Rgba kRed{210, 40, 40, 255};
constexpr Rgba kGreen{40, 160, 60, 255};
constexpr Rgba kBlue{50, 90, 210, 255};
constexpr Rgba kYellow{235, 190, 60, 255};
constexpr Rgba kBrown{150, 100, 50, 255};
constexpr Rgba kGold{200, 160, 40, 255};
constexpr Rgba kGrey{150, 150, 160, 255};
constexpr Rgba kSkin{240, 200, 160, 255};

Rgba Shade(Rgba c, double f)
{
    auto s = [f](uint8_t v) { return static_cast<uint8_t>(v * f > 255 ? 255 : v * f); };
    return {s(c.r), s(c.g), s(c.b), c.a};
}

// A cube seen from the front and a little above: a face, a top and a side.
void Cube(Canvas& c, int x, int y, int size, Rgba colour)
{
    int depth = size / 3;
    for (int i = 0; i < depth; ++i) {
        c.FillRect(x + depth - i, y + i, size, 1, Shade(colour, 1.3));
        c.FillRect(x + size + depth - i, y + i, 1, size, Shade(colour, 0.7));
    }
    c.FillRect(x, y + depth, size, size, colour);
    c.FrameRect(x, y + depth, size, size, kOutline);
}

void Page(Canvas& c, int x, int y, int w, int h)
{
    c.FillRect(x, y, w, h, kPaper);
    c.FrameRect(x, y, w, h, kOutline);
    c.Line(x + w - 7, y + 0.5, x + w - 0.5, y + 7, 1.5, kOutline);
}

void Person(Canvas& c, double cx, double top, double scale, Rgba shirt)
{
    c.Disc(cx, top + 5 * scale, 4.5 * scale, kSkin);
    c.Ring(cx, top + 5 * scale, 4 * scale, 5 * scale, kOutline, false);
    c.Ring(cx, top + 19 * scale, -1, 9 * scale, shirt, true);
}

void Padlock(Canvas& c, int x, int y, int w)
{
    double cx = x + w / 2.0;
    c.Ring(cx, y + w * 0.45, w * 0.22, w * 0.36, kGrey, true);
    c.FillRect(x, y + static_cast<int>(w * 0.45), w, static_cast<int>(w * 0.6), kGold);
    c.FrameRect(x, y + static_cast<int>(w * 0.45), w, static_cast<int>(w * 0.6), kOutline);
    c.Disc(cx, y + w * 0.72, w * 0.08, kOutline);
}

Canvas StackOfCubes()
{
    Canvas c(32, 32);
    Cube(c, 1, 13, 12, kRed);
    Cube(c, 15, 13, 12, kGreen);
    Cube(c, 8, 1, 12, kBlue);
    return c;
}

Canvas BlueCube()
{
    Canvas c(32, 32);
    Cube(c, 3, 4, 20, kBlue);
    return c;
}

Canvas Clipboard()
{
    Canvas c(32, 32);
    c.FillRect(5, 3, 22, 28, kBrown);
    c.FrameRect(5, 3, 22, 28, kOutline);
    c.FillRect(8, 7, 16, 21, kWhite);
    for (int line = 11; line < 27; line += 4) {
        c.FillRect(10, line, 12, 1, kGrey);
    }
    c.FillRect(11, 1, 10, 5, kGrey);
    c.FrameRect(11, 1, 10, 5, kOutline);
    return c;
}

Canvas CheckMark()
{
    Canvas c(32, 32);
    c.Line(5, 17, 13, 25, 5, kGreen);
    c.Line(13, 25, 27, 7, 5, kGreen);
    return c;
}

Canvas DocumentWithPerson()
{
    Canvas c(32, 32);
    Page(c, 4, 1, 22, 30);
    Person(c, 15, 8, 0.8, kBlue);
    return c;
}

Canvas RedCross()
{
    Canvas c(32, 32);
    c.Line(7, 7, 25, 25, 5, kRed);
    c.Line(25, 7, 7, 25, 5, kRed);
    return c;
}

Canvas PersonPicture()
{
    Canvas c(32, 32);
    Person(c, 16, 2, 1.3, kGreen);
    return c;
}

Canvas KeyAndPadlockOnPage()
{
    Canvas c(32, 32);
    Page(c, 2, 1, 22, 30);
    Padlock(c, 14, 12, 14);
    c.Ring(9, 10, 1.5, 3.5, kGold, false);
    c.Line(9, 13, 9, 24, 2, kGold);
    c.Line(9, 20, 12, 20, 2, kGold);
    c.Line(9, 23, 12, 23, 2, kGold);
    return c;
}

Canvas FolderWithPadlock()
{
    Canvas c(32, 32);
    c.FillRect(2, 6, 12, 4, kYellow);
    c.FillRect(2, 9, 27, 19, kYellow);
    c.FrameRect(2, 9, 27, 19, kOutline);
    Padlock(c, 16, 12, 14);
    return c;
}

// A page of entries under a magnifying glass: the audit trail.
Canvas PageUnderMagnifier()
{
    Canvas c(32, 32);
    Page(c, 3, 1, 20, 26);
    for (int line = 7; line < 24; line += 4) {
        c.FillRect(6, line, 13, 1, kGrey);
    }
    c.Disc(20, 18, 6.5, Rgba{200, 225, 250, 255});
    c.Ring(20, 18, 6, 8, kOutline, false);
    c.Line(25.5, 23.5, 30, 29, 3.5, kBrown);
    return c;
}

Canvas Arrow(bool left)
{
    Canvas c(16, 16);
    double tip = left ? 4 : 12;
    double back = left ? 11 : 5;
    c.Line(back, 3, tip, 8, 2.5, kBlue);
    c.Line(tip, 8, back, 13, 2.5, kBlue);
    return c;
}

} // namespace

std::vector<Canvas> DrawNodeImages()
{
    return {StackOfCubes(),       BlueCube(),          Clipboard(),     CheckMark(),
            DocumentWithPerson(), RedCross(),          PersonPicture(), KeyAndPadlockOnPage(),
            FolderWithPadlock(),  PageUnderMagnifier()};
}

std::vector<Canvas> DrawToolbarImages()
{
    return {Arrow(true), Arrow(false)};
}

Canvas DrawSnapinIcon()
{
    Canvas c(32, 32);
    c.Ring(16, 16, -1, 15, Rgba{30, 70, 140, 255}, false);
    Padlock(c, 8, 4, 16);
    return c;
}

Canvas DrawStaticFolder()
{
    Canvas c(30, 30);
    c.FillRect(1, 5, 12, 4, kYellow);
    c.FillRect(1, 8, 28, 20, kYellow);
    c.FrameRect(1, 8, 28, 20, kOutline);
    Padlock(c, 15, 11, 12);
    return c.Halved();
}

Canvas Strip(const std::vector<Canvas>& pictures)
{
    if (pictures.empty()) {
        return Canvas(0, 0);
    }
    int w = pictures.front().Width();
    Canvas strip(w * static_cast<int>(pictures.size()), pictures.front().Height());
    for (size_t i = 0; i < pictures.size(); ++i) {
        strip.Blit(pictures[i], w * static_cast<int>(i), 0);
    }
    return strip;
}

} // namespace zyr::module

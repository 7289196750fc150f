// Draws the palette's two icon strips as BMP files:
//   method_icons.bmp  128 x 32, 16 colours: hand, mound, pit, levelling vehicle on yellow
//                     (255, 255, 0), which the palette masks out;
//   preset_icons.bmp  480 x 32, 256 colours: five soft discs growing, five drops growing,
//                     five forms from a sharp cone to a flat disc, brown on light grey
//                     (237, 237, 237), with no black pixel (black is the mask colour).
// Usage: draw_icons [output folder]. Shapes are signed distance functions sampled at
// pixel centres; the 16-colour strip is drawn without blending so every pixel is a
// palette colour, the 256-colour strip is blended and then matched to its palette.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kIcon = 32;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// An image of doubles, 0..255 per channel.
struct Canvas {
    int width, height;
    std::vector<Rgb> pixels;
    Canvas(int w, int h, Rgb ground) : width(w), height(h), pixels(static_cast<size_t>(w) * h, ground) {}
    Rgb& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Signed distances in pixels: negative inside.
double Circle(double x, double y, double cx, double cy, double r) { return std::hypot(x - cx, y - cy) - r; }

double Box(double x, double y, double x0, double y0, double x1, double y1) {
    double dx = std::max(x0 - x, x - x1);
    double dy = std::max(y0 - y, y - y1);
    if (dx <= 0 && dy <= 0) return std::max(dx, dy);
    return std::hypot(std::max(dx, 0.0), std::max(dy, 0.0));
}

double Capsule(double x, double y, double ax, double ay, double bx, double by, double r) {
    double px = x - ax, py = y - ay, vx = bx - ax, vy = by - ay;
    double t = std::clamp((px * vx + py * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(px - vx * t, py - vy * t) - r;
}

// Distance to the line through a and b, negative on the inner side of a clockwise edge.
double Side(double x, double y, double ax, double ay, double bx, double by) {
    double nx = by - ay, ny = ax - bx;
    double len = std::hypot(nx, ny);
    return ((x - ax) * nx + (y - ay) * ny) / len;
}

// Convex polygon, corners clockwise on screen (y down).
double Polygon(double x, double y, const std::vector<double>& pts) {
    double d = -1e9;
    size_t n = pts.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        size_t j = (i + 1) % n;
        d = std::max(d, Side(x, y, pts[2 * i], pts[2 * i + 1], pts[2 * j], pts[2 * j + 1]));
    }
    return d;
}

// Shapes are designed on the whole 32 x 32 cell and drawn shrunk about its centre by
// this factor, because the palette's buttons show only the middle of each icon.
double g_scale = 1.0;

double Unscaled(int pixel) { return 16 + (pixel + 0.5 - 16) / g_scale; }

template <typename Shape>
// Fills a shape with a dark outline; `blend` softens the edge by one pixel.
void Paint(Canvas& c, int ox, Shape shape, Rgb fill, Rgb outline, bool blend) {
    for (int y = 0; y < kIcon; ++y) {
        for (int x = 0; x < kIcon; ++x) {
            double d = shape(Unscaled(x), Unscaled(y)) * g_scale;
            Rgb& p = c.At(ox + x, y);
            if (!blend) {
                if (d < -1.0) p = fill;
                else if (d < 0.0) p = outline;
                continue;
            }
            if (d < -1.0) p = fill;
            else if (d < 0.0) p = Mix(outline, fill, -d);
            else if (d < 1.0) p = Mix(outline, p, d);
        }
    }
}

// ---- Method icons (16 colours) ----

const Rgb kYellow{255, 255, 0};
const Rgb kOutline{32, 32, 32};
const Rgb kSkin{250, 200, 160};
const Rgb kEarth{150, 90, 40};
const Rgb kGrass{40, 150, 40};
const Rgb kDeep{90, 50, 20};
const Rgb kArrow{200, 30, 30};
const Rgb kBody{240, 150, 0};
const Rgb kTrack{80, 80, 80};
const Rgb kGlass{130, 200, 240};
const Rgb kSteel{180, 180, 180};

const Rgb kMethodPalette[16] = {kYellow, kOutline, kSkin,  kEarth, kGrass,           kDeep,
                                kArrow,  kBody,    kTrack, kGlass, kSteel,           {255, 255, 255},
                                {0, 0, 128}, {0, 100, 0}, {128, 0, 128}, {200, 120, 80}};

void DrawHand(Canvas& c, int ox) {
    auto palm = [](double x, double y) { return Box(x, y, 9, 14, 23, 28) - 1.5; };
    Paint(c, ox, palm, kSkin, kOutline, false);
    const double tips[4][2] = {{10.5, 4}, {14.5, 2.5}, {18.5, 3}, {22, 6}};
    for (const auto& tip : tips) {
        double tx = tip[0], ty = tip[1];
        Paint(c, ox, [tx, ty](double x, double y) { return Capsule(x, y, tx, ty, tx, 17, 2.2); },
              kSkin, kOutline, false);
    }
    Paint(c, ox, [](double x, double y) { return Capsule(x, y, 4, 14, 9.5, 22, 2.2); }, kSkin, kOutline, false);
    Paint(c, ox, palm, kSkin, kOutline, false);
    // Palm again without its outline across the finger roots.
    Paint(c, ox, [](double x, double y) { return Box(x, y, 9.5, 15, 22.5, 27) - 1.0; }, kSkin, kSkin, false);
}

void DrawArrow(Canvas& c, int ox, bool up) {
    double tipY = up ? 2 : 14, baseY = up ? 8 : 8;
    double shaftA = up ? 8 : 2, shaftB = up ? 13 : 9;
    Paint(c, ox, [=](double x, double y) { return Box(x, y, 14.5, shaftA, 17.5, shaftB); }, kArrow, kArrow, false);
    std::vector<double> head = up ? std::vector<double>{16, tipY, 22, baseY, 10, baseY}
                                  : std::vector<double>{10, baseY, 22, baseY, 16, tipY};
    Paint(c, ox, [head](double x, double y) { return Polygon(x, y, head); }, kArrow, kArrow, false);
}

void DrawMound(Canvas& c, int ox) {
    Paint(c, ox, [](double x, double y) { return Box(x, y, 0, 27, 32, 32); }, kEarth, kEarth, false);
    auto hill = [](double x, double y) {
        double e = std::hypot((x - 16) / 14.0, (y - 28) / 13.0) - 1.0;
        return std::max(e * 12.0, y - 28);
    };
    Paint(c, ox, hill, kEarth, kOutline, false);
    // Grass on the upper part of the hill, inside its outline.
    Paint(c, ox, [hill](double x, double y) { return std::max(hill(x, y) + 1.0, y - 20); }, kGrass, kGrass, false);
    DrawArrow(c, ox, true);
}

void DrawPit(Canvas& c, int ox) {
    Paint(c, ox, [](double x, double y) { return Box(x, y, -2, 17, 34, 34); }, kEarth, kOutline, false);
    auto hole = [](double x, double y) {
        double e = std::hypot((x - 16) / 12.0, (y - 17) / 11.0) - 1.0;
        return std::max(e * 11.0, 17 - y);
    };
    Paint(c, ox, hole, kDeep, kOutline, false);
    DrawArrow(c, ox, false);
}

void DrawVehicle(Canvas& c, int ox) {
    Paint(c, ox, [](double x, double y) { return Box(x, y, 6, 21, 25, 29) - 2.0; }, kTrack, kOutline, false);
    for (double wx : {9.0, 15.5, 22.0}) {
        Paint(c, ox, [wx](double x, double y) { return Circle(x, y, wx, 25, 2.2); }, kSteel, kOutline, false);
    }
    Paint(c, ox, [](double x, double y) { return Box(x, y, 7, 13, 25, 19.5); }, kBody, kOutline, false);
    Paint(c, ox, [](double x, double y) { return Box(x, y, 14, 4, 24, 13.5); }, kBody, kOutline, false);
    Paint(c, ox, [](double x, double y) { return Box(x, y, 16, 6, 22, 11); }, kGlass, kGlass, false);
    // Arm and blade at the front (left).
    Paint(c, ox, [](double x, double y) { return Capsule(x, y, 5, 20, 9, 16, 1.2); }, kOutline, kOutline, false);
    Paint(c, ox, [](double x, double y) { return Box(x, y, 1, 13, 4.5, 29.5); }, kSteel, kOutline, false);
}

// ---- Preset icons (256 colours) ----

const Rgb kGrey{237, 237, 237};
const Rgb kBrown{150, 85, 35};
const Rgb kDarkBrown{90, 45, 15};

void DrawSoftDisc(Canvas& c, int ox, double radius) {
    for (int y = 0; y < kIcon; ++y) {
        for (int x = 0; x < kIcon; ++x) {
            double r = std::hypot(Unscaled(x) - 16, Unscaled(y) - 16) / radius;
            if (r >= 1.0) continue;
            double t = std::clamp(1.25 * (1.0 - r * r), 0.0, 1.0);
            c.At(ox + x, y) = Mix(kGrey, kBrown, t);
        }
    }
}

void DrawDrop(Canvas& c, int ox, double height) {
    double r = std::max(2.5, height * 0.32);
    double cy = 29 - r;
    double top = 29 - height;
    auto drop = [=](double x, double y) {
        double round = Circle(x, y, 16, cy, r);
        if (y >= cy) return round;
        // Sides from the tip to the tangent of the round part.
        double w = r * (y - top) / (cy - top);
        double side = std::fabs(x - 16) - w;
        return std::max(side, top - y);
    };
    Paint(c, ox, drop, kBrown, kDarkBrown, true);
}

void DrawForm(Canvas& c, int ox, double topHalf, double height) {
    double base = 27, half = 14;
    std::vector<double> pts = {16 - half, base, 16 - topHalf, base - height, 16 + topHalf, base - height,
                               16 + half, base};
    if (topHalf < 0.5) pts = {16 - half, base, 16, base - height, 16 + half, base};
    Paint(c, ox, [pts](double x, double y) { return Polygon(x, y, pts); }, kBrown, kDarkBrown, true);
}

// ---- BMP writing ----

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, unsigned v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

int Nearest(const std::vector<Rgb>& palette, Rgb p) {
    int best = 0;
    double bestDistance = 1e18;
    for (size_t i = 0; i < palette.size(); ++i) {
        double d = std::pow(palette[i].r - p.r, 2) + std::pow(palette[i].g - p.g, 2) + std::pow(palette[i].b - p.b, 2);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// Writes a bottom-up palette BMP with 4 or 8 bits per pixel.
bool WriteBmp(const std::string& path, Canvas& c, const std::vector<Rgb>& palette, int bits) {
    int rowBytes = ((c.width * bits + 31) / 32) * 4;
    unsigned colours = 1u << bits;
    unsigned offset = 14 + 40 + 4 * colours;
    std::string out;
    out += "BM";
    Put32(out, offset + static_cast<unsigned>(rowBytes * c.height));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<unsigned>(c.width));
    Put32(out, static_cast<unsigned>(c.height));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, 0);
    Put32(out, static_cast<unsigned>(rowBytes * c.height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, colours);
    Put32(out, 0);
    for (unsigned i = 0; i < colours; ++i) {
        Rgb p = i < palette.size() ? palette[i] : palette[0];
        out += static_cast<char>(std::lround(p.b));
        out += static_cast<char>(std::lround(p.g));
        out += static_cast<char>(std::lround(p.r));
        out += '\0';
    }
    for (int y = c.height - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(rowBytes), '\0');
        for (int x = 0; x < c.width; ++x) {
            int index = Nearest(palette, c.At(x, y));
            if (bits == 8) {
                row[static_cast<size_t>(x)] = static_cast<char>(index);
            } else {
                row[static_cast<size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? index << 4 : index);
            }
        }
        out += row;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

// Light grey, then a ramp to brown and on to dark brown; nothing reaches black.
std::vector<Rgb> PresetPalette() {
    std::vector<Rgb> palette;
    for (int i = 0; i < 160; ++i) palette.push_back(Mix(kGrey, kBrown, i / 159.0));
    for (int i = 0; i < 96; ++i) palette.push_back(Mix(kBrown, kDarkBrown, (i + 1) / 96.0));
    return palette;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? std::string(argv[1]) + "/" : std::string();

    // Method buttons show about 24 x 21 pixels of their icon, preset buttons about 20 x 20.
    g_scale = 0.7;
    Canvas methods(4 * kIcon, kIcon, kYellow);
    DrawHand(methods, 0);
    DrawMound(methods, kIcon);
    DrawPit(methods, 2 * kIcon);
    DrawVehicle(methods, 3 * kIcon);
    std::vector<Rgb> methodPalette(kMethodPalette, kMethodPalette + 16);

    g_scale = 0.6;
    Canvas presets(15 * kIcon, kIcon, kGrey);
    const double discRadii[5] = {3, 5.5, 8.5, 11.5, 15};
    const double dropHeights[5] = {8, 13, 18, 23, 28};
    const double formTops[5] = {0, 3.5, 7, 10.5, 14};
    const double formHeights[5] = {22, 18, 14, 10, 5};
    for (int i = 0; i < 5; ++i) {
        DrawSoftDisc(presets, i * kIcon, discRadii[i]);
        DrawDrop(presets, (5 + i) * kIcon, dropHeights[i]);
        DrawForm(presets, (10 + i) * kIcon, formTops[i], formHeights[i]);
    }

    bool ok = WriteBmp(folder + "method_icons.bmp", methods, methodPalette, 4);
    ok = WriteBmp(folder + "preset_icons.bmp", presets, PresetPalette(), 8) && ok;
    if (!ok) std::fprintf(stderr, "draw_icons: cannot write the bitmaps\n");
    return ok ? 0 : 1;
}

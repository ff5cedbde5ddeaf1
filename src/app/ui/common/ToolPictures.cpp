#include "ToolPictures.h"

#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/pen.h>
#include <wx/graphics.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The toolbars' bitmaps by id.
constexpr int kToolsBarBitmap = 146;
constexpr int kSoundBarBitmap = 164;
constexpr int kAutoExposureBitmap = 253;
constexpr int kAutoAtCaptureBitmap = 254;

constexpr double kPi = 3.14159265358979323846;

const wxColour kInk(36, 38, 46);
const wxColour kWhite(255, 255, 255);

double Radians(double degrees) { return degrees * kPi / 180.0; }

// A transparent canvas of w x h logical units at a whole scale, drawn in
// logical units with smooth edges.
class Sketch {
public:
    Sketch(int w, int h, int scale) : image_(w * scale, h * scale) {
        image_.SetAlpha();
        std::memset(image_.GetData(), 0, static_cast<size_t>(w) * h * scale * scale * 3);
        std::memset(image_.GetAlpha(), 0, static_cast<size_t>(w) * h * scale * scale);
        gc_.reset(wxGraphicsContext::Create(image_));
        gc_->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        gc_->Scale(scale, scale);
    }

    // The finished picture (the context writes into the image when it ends).
    wxImage Finish() {
        gc_.reset();
        return image_;
    }

    wxGraphicsContext& Gc() { return *gc_; }
    wxGraphicsPath Path() { return gc_->CreatePath(); }

    void Fill(const wxGraphicsPath& path, const wxColour& colour) {
        gc_->SetBrush(gc_->CreateBrush(wxBrush(colour)));
        gc_->FillPath(path);
    }
    // A fill that runs from c1 at (x1, y1) to c2 at (x2, y2).
    void Fill(const wxGraphicsPath& path, double x1, double y1, const wxColour& c1, double x2, double y2,
              const wxColour& c2) {
        gc_->SetBrush(gc_->CreateLinearGradientBrush(x1, y1, x2, y2, c1, c2));
        gc_->FillPath(path);
    }
    void Stroke(const wxGraphicsPath& path, const wxColour& colour, double width) {
        gc_->SetPen(gc_->CreatePen(wxGraphicsPenInfo(colour).Width(width).Join(wxJOIN_ROUND).Cap(wxCAP_ROUND)));
        gc_->StrokePath(path);
    }
    void Line(double x1, double y1, double x2, double y2, const wxColour& colour, double width) {
        wxGraphicsPath path = Path();
        path.MoveToPoint(x1, y1);
        path.AddLineToPoint(x2, y2);
        Stroke(path, colour, width);
    }
    void Polygon(wxGraphicsPath& path, std::initializer_list<std::pair<double, double>> points) {
        bool first = true;
        for (const auto& [x, y] : points) {
            if (first) path.MoveToPoint(x, y);
            else path.AddLineToPoint(x, y);
            first = false;
        }
        path.CloseSubpath();
    }

private:
    wxImage image_;
    std::unique_ptr<wxGraphicsContext> gc_;
};

wxGraphicsPath Circle(Sketch& s, double x, double y, double r) {
    wxGraphicsPath path = s.Path();
    path.AddCircle(x, y, r);
    return path;
}

wxGraphicsPath RoundRect(Sketch& s, double x, double y, double w, double h, double r) {
    wxGraphicsPath path = s.Path();
    path.AddRoundedRectangle(x, y, w, h, r);
    return path;
}

// A four-pointed sparkle: the mark of the automatic commands.
void Sparkle(Sketch& s, double cx, double cy, double r, const wxColour& outline, double width) {
    const double k = r * 0.28;
    wxGraphicsPath path = s.Path();
    s.Polygon(path, {{cx, cy - r}, {cx + k, cy - k}, {cx + r, cy}, {cx + k, cy + k}, {cx, cy + r}, {cx - k, cy + k},
                     {cx - r, cy}, {cx - k, cy - k}});
    s.Stroke(path, outline, width);
    s.Fill(path, cx, cy - r, wxColour(255, 236, 120), cx, cy + r, wxColour(240, 170, 20));
}

// --- The main toolbar (16 x 16) --------------------------------------------

void DrawOpen(Sketch& s) {
    wxGraphicsPath back = s.Path();
    s.Polygon(back, {{1.5, 3}, {6, 3}, {7.5, 4.5}, {13.5, 4.5}, {13.5, 13.5}, {1.5, 13.5}});
    s.Fill(back, wxColour(196, 148, 58));
    s.Stroke(back, kInk, 1);
    // A sheet of paper inside the folder.
    wxGraphicsPath sheet = s.Path();
    s.Polygon(sheet, {{3.5, 6}, {12, 6}, {12, 11}, {3.5, 11}});
    s.Fill(sheet, kWhite);
    s.Stroke(sheet, wxColour(120, 120, 120), 0.8);
    wxGraphicsPath front = s.Path();
    s.Polygon(front, {{1.5, 13.5}, {4, 7.5}, {15.5, 7.5}, {13.5, 13.5}});
    s.Fill(front, 4, 7.5, wxColour(252, 218, 120), 12, 13.5, wxColour(226, 170, 60));
    s.Stroke(front, kInk, 1);
}

void DrawPreferences(Sketch& s) {
    const double rows[] = {3.5, 8, 12.5};
    const double knobs[] = {5, 11, 7.5};
    const wxColour knobColours[] = {{70, 130, 210}, {230, 140, 40}, {80, 170, 90}};
    for (int i = 0; i < 3; ++i) {
        s.Line(1.5, rows[i], 14.5, rows[i], wxColour(100, 100, 108), 1.4);
        wxGraphicsPath knob = RoundRect(s, knobs[i] - 1.8, rows[i] - 2.3, 3.6, 4.6, 1);
        s.Fill(knob, knobColours[i]);
        s.Stroke(knob, kInk, 0.9);
    }
}

void DrawAbout(Sketch& s) {
    wxGraphicsPath disc = Circle(s, 8, 8, 6.8);
    s.Fill(disc, 4, 2, wxColour(96, 150, 230), 12, 14, wxColour(28, 70, 160));
    s.Stroke(disc, wxColour(20, 44, 110), 1);
    s.Fill(Circle(s, 8, 4.6, 1.25), kWhite);
    wxGraphicsPath stem = s.Path();
    s.Polygon(stem, {{6.4, 6.6}, {9, 6.6}, {9, 11.4}, {10, 11.4}, {10, 12.6}, {6.2, 12.6}, {6.2, 11.4}, {7.2, 11.4},
                     {7.2, 7.8}, {6.4, 7.8}});
    s.Fill(stem, kWhite);
}

// --- The tools bar (16 x 15) -----------------------------------------------

void DrawSelection(Sketch& s) {
    wxGraphicsPath arrow = s.Path();
    s.Polygon(arrow, {{4, 1.2}, {4, 12.6}, {6.7, 10}, {8.6, 14}, {10.4, 13.2}, {8.6, 9.4}, {12.2, 9.4}});
    s.Fill(arrow, kWhite);
    s.Stroke(arrow, kInk, 1);
}

void DrawCrop(Sketch& s) {
    wxGraphicsPath first = s.Path();
    first.MoveToPoint(4.5, 0.8);
    first.AddLineToPoint(4.5, 11);
    first.AddLineToPoint(14.8, 11);
    s.Stroke(first, kInk, 2);
    wxGraphicsPath second = s.Path();
    second.MoveToPoint(1.2, 4);
    second.AddLineToPoint(11.5, 4);
    second.AddLineToPoint(11.5, 14.2);
    s.Stroke(second, wxColour(60, 110, 190), 2);
}

// An eyedropper from its bulb at the top right to its tip at the bottom
// left, in a box of the given size.
void Eyedropper(Sketch& s, double size, bool halo) {
    const double k = size / 16.0;
    if (halo) s.Line(3 * k, 13 * k, 12 * k, 4 * k, kWhite, 5.2 * k);
    s.Line(3 * k, 13 * k, 11 * k, 5 * k, kInk, 3 * k);
    s.Line(3.6 * k, 12.4 * k, 10.4 * k, 5.6 * k, wxColour(190, 214, 236), 1.3 * k);
    wxGraphicsPath bulb = Circle(s, 12 * k, 4 * k, 2.7 * k);
    if (halo) s.Stroke(bulb, kWhite, 2.2 * k);
    s.Fill(bulb, wxColour(70, 72, 80));
    s.Stroke(bulb, kInk, 0.8 * k);
    wxGraphicsPath drop = Circle(s, 2.3 * k, 13.7 * k, 1.3 * k);
    s.Fill(drop, wxColour(128, 128, 128));
    s.Stroke(drop, halo ? kWhite : kInk, 0.6 * k);
}

void DrawClickBalance(Sketch& s) { Eyedropper(s, 15, false); }

// A magnifier with its lens at (cx, cy) and its handle to the bottom right.
void Magnifier(Sketch& s, double cx, double cy, double r, double k, bool halo, bool plus) {
    const double hx = cx + r * 0.72, hy = cy + r * 0.72;
    if (halo) {
        s.Line(hx, hy, hx + 5 * k, hy + 5 * k, kWhite, 4.6 * k);
        s.Stroke(Circle(s, cx, cy, r), kWhite, 3.6 * k);
    }
    s.Line(hx, hy, hx + 5 * k, hy + 5 * k, wxColour(120, 70, 30), 2.6 * k);
    wxGraphicsPath lens = Circle(s, cx, cy, r);
    s.Fill(lens, cx - r, cy - r, wxColour(236, 246, 255), cx + r, cy + r, wxColour(150, 196, 236));
    s.Stroke(lens, kInk, 1.5 * k);
    if (plus) {
        s.Line(cx - r * 0.5, cy, cx + r * 0.5, cy, kInk, 1.2 * k);
        s.Line(cx, cy - r * 0.5, cx, cy + r * 0.5, kInk, 1.2 * k);
    }
}

void DrawCloseUp(Sketch& s) { Magnifier(s, 6.5, 6, 4.4, 1, false, false); }

// An open hand in a box of 16 units scaled by k, offset by (x, y).
void OpenHand(Sketch& s, double x, double y, double k, double outline, const wxColour& ink = kInk) {
    const wxColour skin(248, 218, 184), skinDark(226, 178, 136);
    auto at = [&](double v, double o) { return o + v * k; };
    wxGraphicsPath palm = RoundRect(s, at(3.6, x), at(6.6, y), 8.6 * k, 7.6 * k, 2.6 * k);
    s.Fill(palm, skin);
    s.Stroke(palm, ink, outline);
    // Four fingers and the thumb, each reaching into the palm.
    const double fingers[][2] = {{3.9, 2.6}, {6.0, 1.2}, {8.1, 1.6}, {10.2, 3.2}};
    for (const auto& f : fingers) {
        wxGraphicsPath finger = RoundRect(s, at(f[0], x), at(f[1], y), 1.9 * k, (9 - f[1]) * k, 0.95 * k);
        s.Fill(finger, at(0, x), at(f[1], y), skin, at(0, x), at(9, y), skinDark);
        s.Stroke(finger, ink, outline);
    }
    wxGraphicsPath thumb = s.Path();
    s.Polygon(thumb, {{at(3.9, x), at(9.6, y)}, {at(1.2, x), at(7.6, y)}, {at(0.8, x), at(8.8, y)},
                      {at(3.8, x), at(12.2, y)}});
    s.Fill(thumb, skin);
    s.Stroke(thumb, ink, outline);
    // The palm again over the fingers' roots, without its outline.
    s.Fill(RoundRect(s, at(3.6, x) + outline * 0.6, at(7.4, y), 8.6 * k - outline * 1.2, 6.8 * k - outline * 0.6,
                     2.2 * k),
           skin);
}

void DrawHand(Sketch& s) { OpenHand(s, 0, 0, 0.95, 0.8); }

// A luggage label pointing left, with its eyelet.
void Label(Sketch& s, const wxColour& top, const wxColour& bottom) {
    wxGraphicsPath tag = s.Path();
    s.Polygon(tag, {{1.2, 7.5}, {5, 3.2}, {14.6, 3.2}, {14.6, 11.8}, {5, 11.8}});
    s.Fill(tag, 0, 3.2, top, 0, 11.8, bottom);
    s.Stroke(tag, kInk, 1);
    wxGraphicsPath eyelet = Circle(s, 5.2, 7.5, 1.2);
    s.Fill(eyelet, kWhite);
    s.Stroke(eyelet, kInk, 0.8);
}

void DrawTag(Sketch& s) {
    Label(s, wxColour(255, 196, 80), wxColour(226, 128, 24));
    s.Line(8, 6, 12.6, 6, wxColour(150, 80, 10), 0.9);
    s.Line(8, 9, 12.6, 9, wxColour(150, 80, 10), 0.9);
}

void DrawUntag(Sketch& s) {
    Label(s, wxColour(236, 236, 236), wxColour(186, 186, 190));
    s.Line(2.2, 13.8, 13.8, 1.2, kWhite, 3.2);
    s.Line(2.2, 13.8, 13.8, 1.2, wxColour(200, 30, 30), 1.9);
}

// A small picture turned by a quarter clockwise around it; the counter-
// clockwise picture is its mirror image.
void DrawRotate(Sketch& s, bool clockwise) {
    wxGraphicsContext& gc = s.Gc();
    gc.PushState();
    if (!clockwise) {
        gc.Translate(16, 0);
        gc.Scale(-1, 1);
    }
    wxGraphicsPath photo = s.Path();
    s.Polygon(photo, {{5.6, 5.4}, {10.4, 5.4}, {10.4, 9.6}, {5.6, 9.6}});
    s.Fill(photo, 0, 5.4, wxColour(140, 196, 246), 0, 9.6, wxColour(90, 160, 80));
    s.Stroke(photo, kInk, 0.8);
    const double cx = 8, cy = 7.5, r = 5.6;
    const double from = 160, to = 410;
    wxGraphicsPath arc = s.Path();
    arc.AddArc(cx, cy, r, Radians(from), Radians(to - 18), true);
    s.Stroke(arc, wxColour(30, 96, 190), 1.9);
    // The head at the end of the arc, pointing along it.
    const double a = Radians(to), ex = cx + r * std::cos(a), ey = cy + r * std::sin(a);
    const double tx = -std::sin(a), ty = std::cos(a);  // the direction of travel
    const double nx = std::cos(a), ny = std::sin(a);
    wxGraphicsPath head = s.Path();
    s.Polygon(head, {{ex + tx * 1.6, ey + ty * 1.6},
                     {ex - tx * 2.6 + nx * 2.6, ey - ty * 2.6 + ny * 2.6},
                     {ex - tx * 2.6 - nx * 2.6, ey - ty * 2.6 - ny * 2.6}});
    s.Fill(head, wxColour(30, 96, 190));
    gc.PopState();
}

// --- The sound bar (16 x 15) -----------------------------------------------

void DrawPlay(Sketch& s) {
    wxGraphicsPath play = s.Path();
    s.Polygon(play, {{4, 1.8}, {13.4, 7.5}, {4, 13.2}});
    s.Fill(play, 4, 1.8, wxColour(110, 210, 110), 10, 13, wxColour(30, 130, 50));
    s.Stroke(play, wxColour(20, 80, 30), 1);
}

void DrawStop(Sketch& s) {
    wxGraphicsPath stop = RoundRect(s, 3.5, 3, 9, 9, 1.6);
    s.Fill(stop, 3.5, 3, wxColour(240, 110, 100), 12.5, 12, wxColour(160, 24, 24));
    s.Stroke(stop, wxColour(100, 14, 14), 1);
}

// --- The automatic exposure bar (16 x 15) ----------------------------------

void DrawAutoExposure(Sketch& s) {
    const double cx = 7, cy = 8.2, r = 5.8;
    wxGraphicsPath disc = Circle(s, cx, cy, r);
    s.Fill(disc, kWhite);
    wxGraphicsPath dark = s.Path();
    dark.AddArc(cx, cy, r, Radians(-45), Radians(135), true);
    dark.CloseSubpath();
    s.Fill(dark, wxColour(60, 62, 70));
    s.Stroke(disc, kInk, 1);
    s.Line(cx - 3.2, cy - 1.6, cx - 0.8, cy - 1.6, kInk, 1);
    s.Line(cx + 0.8, cy + 1.8, cx + 3.2, cy + 1.8, kWhite, 1);
    s.Line(cx + 2, cy + 0.6, cx + 2, cy + 3, kWhite, 1);
    Sparkle(s, 13, 3.2, 3, wxColour(150, 100, 0), 0.7);
}

// --- The automatic-settings bar (32 x 32) ----------------------------------

void DrawAutoScene(Sketch& s) {
    wxGraphicsPath frame = s.Path();
    s.Polygon(frame, {{2, 7}, {26, 7}, {26, 27}, {2, 27}});
    s.Fill(frame, 0, 7, wxColour(110, 170, 240), 0, 27, wxColour(200, 230, 255));
    s.Fill(Circle(s, 19, 13, 3.2), wxColour(255, 214, 70));
    wxGraphicsPath hills = s.Path();
    hills.MoveToPoint(2, 22);
    hills.AddCurveToPoint(8, 15, 12, 16, 16, 20);
    hills.AddCurveToPoint(19, 17, 23, 17, 26, 19);
    hills.AddLineToPoint(26, 27);
    hills.AddLineToPoint(2, 27);
    hills.CloseSubpath();
    s.Fill(hills, 0, 15, wxColour(110, 190, 80), 0, 27, wxColour(40, 110, 40));
    s.Stroke(frame, kInk, 1.4);
    Sparkle(s, 25.5, 6.5, 5.8, wxColour(140, 90, 0), 1);
}

void DrawCamera(Sketch& s) {
    wxGraphicsPath top = RoundRect(s, 10, 5.5, 11, 6, 1.5);
    s.Fill(top, wxColour(70, 72, 80));
    s.Stroke(top, kInk, 1);
    wxGraphicsPath shutter = RoundRect(s, 4.5, 7.5, 4, 3, 1);
    s.Fill(shutter, wxColour(210, 50, 40));
    s.Stroke(shutter, kInk, 0.8);
    wxGraphicsPath body = RoundRect(s, 2.5, 10, 27, 17, 3);
    s.Fill(body, 0, 10, wxColour(110, 112, 122), 0, 27, wxColour(44, 46, 54));
    s.Stroke(body, kInk, 1.2);
    wxGraphicsPath ring = Circle(s, 16, 18.5, 6.6);
    s.Fill(ring, wxColour(30, 30, 34));
    s.Stroke(ring, wxColour(190, 190, 196), 1.4);
    wxGraphicsPath glass = Circle(s, 16, 18.5, 3.8);
    s.Fill(glass, 13, 15.5, wxColour(140, 180, 240), 19, 21.5, wxColour(20, 40, 110));
    s.Fill(Circle(s, 14.8, 17.2, 1.1), wxColour(230, 240, 255));
    wxGraphicsPath flash = RoundRect(s, 23, 12.5, 4, 2.6, 0.6);
    s.Fill(flash, wxColour(250, 250, 230));
}

using Drawing = std::function<void(Sketch&)>;

struct ToolBarArt {
    wxSize size;
    std::vector<Drawing> pictures;  // by image index
};

const std::map<int, ToolBarArt>& Art() {
    static const std::map<int, ToolBarArt> art = {
        {kMainToolBarBitmap, {{16, 16}, {DrawOpen, DrawPreferences, DrawAbout}}},
        {kToolsBarBitmap,
         {{16, 15},
          {DrawSelection, DrawCrop, DrawClickBalance, DrawCloseUp, DrawHand, DrawTag, DrawUntag,
           [](Sketch& s) { DrawRotate(s, true); }, [](Sketch& s) { DrawRotate(s, false); }}}},
        {kSoundBarBitmap, {{16, 15}, {DrawPlay, DrawStop}}},
        {kAutoExposureBitmap, {{16, 15}, {DrawAutoExposure}}},
        {kAutoAtCaptureBitmap, {{32, 32}, {DrawAutoScene, DrawCamera}}},
    };
    return art;
}

// --- Cursors (32 x 32) -----------------------------------------------------

// A double-headed arrow through (16, 16) at the angle, black with a white
// rim so that it shows on any picture.
void SizeArrow(Sketch& s, double degrees) {
    const double a = Radians(degrees), dx = std::cos(a), dy = std::sin(a);
    const double nx = -dy, ny = dx;
    const double len = 10, head = 4.2, half = 1.1, wing = 4;
    wxGraphicsPath path = s.Path();
    s.Polygon(path, {{16 + dx * len, 16 + dy * len},
                     {16 + dx * (len - head) + nx * wing, 16 + dy * (len - head) + ny * wing},
                     {16 + dx * (len - head) + nx * half, 16 + dy * (len - head) + ny * half},
                     {16 - dx * (len - head) + nx * half, 16 - dy * (len - head) + ny * half},
                     {16 - dx * (len - head) + nx * wing, 16 - dy * (len - head) + ny * wing},
                     {16 - dx * len, 16 - dy * len},
                     {16 - dx * (len - head) - nx * wing, 16 - dy * (len - head) - ny * wing},
                     {16 - dx * (len - head) - nx * half, 16 - dy * (len - head) - ny * half},
                     {16 + dx * (len - head) - nx * half, 16 + dy * (len - head) - ny * half},
                     {16 + dx * (len - head) - nx * wing, 16 + dy * (len - head) - ny * wing}});
    s.Stroke(path, kWhite, 2.2);
    s.Fill(path, wxColour(0, 0, 0));
}

// The cross of a new crop rectangle with the crop marks at its corner.
void CropCross(Sketch& s) {
    for (const auto& [x1, y1, x2, y2] : {std::tuple{16.0, 3.0, 16.0, 29.0}, std::tuple{3.0, 16.0, 29.0, 16.0}}) {
        s.Line(x1, y1, x2, y2, kWhite, 3);
        s.Line(x1, y1, x2, y2, wxColour(0, 0, 0), 1);
    }
    wxGraphicsPath marks = s.Path();
    marks.MoveToPoint(19, 19);
    marks.AddLineToPoint(23, 19);
    marks.MoveToPoint(19, 19);
    marks.AddLineToPoint(19, 23);
    s.Stroke(marks, kWhite, 3.4);
    s.Stroke(marks, wxColour(0, 0, 0), 1.4);
}

// The badge of the crop mode in the bottom-right corner: a fixed ratio
// shows a frame with its diagonal, the kept aspect two nested frames of the
// same shape.
void CropBadge(Sketch& s, bool keepAspect) {
    wxGraphicsPath outer = s.Path();
    s.Polygon(outer, {{21.5, 23.5}, {30.5, 23.5}, {30.5, 30.5}, {21.5, 30.5}});
    s.Stroke(outer, kWhite, 3);
    s.Fill(outer, wxColour(255, 230, 130));
    s.Stroke(outer, wxColour(0, 0, 0), 1);
    if (keepAspect) {
        wxGraphicsPath inner = s.Path();
        s.Polygon(inner, {{21.5, 23.5}, {26, 23.5}, {26, 27}, {21.5, 27}});
        s.Fill(inner, wxColour(90, 150, 220));
        s.Stroke(inner, wxColour(0, 0, 0), 1);
    } else {
        s.Line(21.5, 30.5, 30.5, 23.5, wxColour(200, 40, 30), 1.3);
    }
}

void ClosedHand(Sketch& s) {
    const wxColour skin(248, 218, 184);
    wxGraphicsPath palm = RoundRect(s, 8, 11, 17, 14, 5);
    s.Stroke(palm, kWhite, 3);
    // The knuckles of the bent fingers along the top.
    for (int i = 0; i < 4; ++i) {
        wxGraphicsPath knuckle = Circle(s, 10.5 + i * 4, 11.5, 2.3);
        s.Stroke(knuckle, kWhite, 3);
    }
    s.Fill(palm, skin);
    s.Stroke(palm, kInk, 1.4);
    for (int i = 0; i < 4; ++i) {
        wxGraphicsPath knuckle = Circle(s, 10.5 + i * 4, 11.5, 2.3);
        s.Fill(knuckle, skin);
        s.Stroke(knuckle, kInk, 1.2);
    }
    s.Fill(RoundRect(s, 8.8, 12.4, 15.4, 11.8, 4.4), skin);
    s.Line(10.5, 15, 10.5, 17, kInk, 1);
    s.Line(22.5, 15, 22.5, 17, kInk, 1);
}

struct CursorArt {
    int hotX, hotY;
    Drawing drawing;
};

const std::map<int, CursorArt>& Cursors() {
    auto crop = [](double angle, bool keep) {
        return [angle, keep](Sketch& s) {
            SizeArrow(s, angle);
            CropBadge(s, keep);
        };
    };
    auto newRect = [](bool keep) {
        return [keep](Sketch& s) {
            CropCross(s);
            CropBadge(s, keep);
        };
    };
    static const std::map<int, CursorArt> cursors = {
        {kCursorClickBalance, {2, 29, [](Sketch& s) { Eyedropper(s, 32, true); }}},
        {kCursorHand,
         {16, 15,
          [](Sketch& s) {
              // A white rim first, then the hand.
              wxGraphicsContext& gc = s.Gc();
              gc.PushState();
              gc.Translate(2, 1);
              OpenHand(s, 0, 0, 1.75, 3.4, kWhite);
              gc.PopState();
              gc.PushState();
              gc.Translate(2, 1);
              OpenHand(s, 0, 0, 1.75, 1.2);
              gc.PopState();
          }}},
        {kCursorHandGrab, {16, 17, ClosedHand}},
        {kCursorCropFixedNeSw, {16, 16, crop(135, false)}},
        {kCursorCropFixedNs, {16, 16, crop(90, false)}},
        {kCursorCropFixedNwSe, {16, 16, crop(45, false)}},
        {kCursorCropFixedWe, {16, 16, crop(0, false)}},
        {kCursorCropFixedNew, {16, 16, newRect(false)}},
        {kCursorCloseUp, {11, 11, [](Sketch& s) { Magnifier(s, 11, 11, 8, 2, true, true); }}},
        {kCursorCropKeepWe, {16, 16, crop(0, true)}},
        {kCursorCropKeepNwSe, {16, 16, crop(45, true)}},
        {kCursorCropKeepNs, {16, 16, crop(90, true)}},
        {kCursorCropKeepNeSw, {16, 16, crop(135, true)}},
        {kCursorCropKeepNew, {16, 16, newRect(true)}},
    };
    return cursors;
}

} // namespace

wxSize ToolPictureSize(int bitmapId) {
    const auto found = Art().find(bitmapId);
    return found == Art().end() ? wxSize(0, 0) : found->second.size;
}

wxImage DrawToolPicture(int bitmapId, int image, int scale) {
    const auto found = Art().find(bitmapId);
    if (found == Art().end() || image < 0 || image >= static_cast<int>(found->second.pictures.size()) || scale < 1)
        return wxImage();
    Sketch sketch(found->second.size.x, found->second.size.y, scale);
    found->second.pictures[image](sketch);
    return sketch.Finish();
}

wxBitmapBundle ToolPictureBundle(int bitmapId, int image) {
    const wxImage one = DrawToolPicture(bitmapId, image, 1);
    if (!one.IsOk()) return wxBitmapBundle();
    return wxBitmapBundle::FromBitmaps(wxBitmap(one), wxBitmap(DrawToolPicture(bitmapId, image, 2)));
}

wxImage DrawToolCursor(int cursorId, int scale) {
    const auto found = Cursors().find(cursorId);
    if (found == Cursors().end() || scale < 1) return wxImage();
    Sketch sketch(kToolCursorSize, kToolCursorSize, scale);
    found->second.drawing(sketch);
    wxImage image = sketch.Finish();
    image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_X, found->second.hotX * scale);
    image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_Y, found->second.hotY * scale);
    return image;
}

wxCursor LoadToolCursor(int cursorId, double contentScale) {
    const wxImage image = DrawToolCursor(cursorId, contentScale >= 1.5 ? 2 : 1);
    return image.IsOk() ? wxCursor(image) : wxNullCursor;
}

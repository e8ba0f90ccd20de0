// players.cpp: the four team sheets (walking in three facings, cheering, dying) and the scoreboard's player icons.
//
// A figure is designed once on a 16 x 26 logical grid and rasterised into each picture at that picture's own width
// (15 to 18 texels), so it keeps its size on screen whichever picture the game stretches over a cell. Facing +x has
// no pictures of its own: the game mirrors the facing -x ones, so those face left here. Depends on canvas.h and the
// sprite layout only.
#include "sheets.h"

#include <algorithm>
#include <initializer_list>

namespace art {

namespace {

// [SECTION] Palette

constexpr float LOGICAL_WIDTH = 16.0f;
constexpr Rgba OUTLINE = rgb(26, 20, 34);
constexpr Rgba EYE = rgb(24, 18, 36);
constexpr Rgba SOOT = rgb(48, 42, 44);
const Ramp SKIN = rampOf(rgb(252, 204, 158));
const Ramp BOOT = rampOf(rgb(92, 64, 54));
const Ramp LEATHER = rampOf(rgb(120, 82, 50));
const Ramp PACK = rampOf(rgb(156, 112, 64));
const Ramp ASH = rampOf(rgb(104, 98, 100));
const Ramp SMOKE = rampOf(rgb(178, 176, 184));
constexpr Rgba WICK = rgb(70, 58, 48);
constexpr Rgba FLAME_CORE = rgb(255, 240, 140);
constexpr Rgba FLAME_EDGE = rgb(250, 140, 40);
constexpr Rgba BUCKLE = rgb(250, 214, 90);

}  // namespace

TeamColours teamColours(int team) {
    switch (team) {
    case 0: return {rgb(234, 236, 244), rgb(92, 104, 136)};   // white suit, steel trim
    case 1: return {rgb(64, 66, 78), rgb(196, 198, 210)};     // charcoal suit, silver trim
    case 2: return {rgb(40, 92, 226), rgb(246, 244, 236)};    // blue suit, white trim
    default: return {rgb(218, 42, 38), rgb(252, 214, 84)};    // red suit, gold trim
    }
}

namespace {

// [SECTION] Figure description

enum class Facing { Down, Left, Up };

// What one picture shows.
struct Look {
    Facing facing = Facing::Down;
    int step = 0;           // 0 standing, 1 and 2 the two strides
    bool cheer = false;     // both arms up (spare pictures)
    bool wave = false;      // one arm up (spare pictures)
    float soot = 0;         // 0 clean to 1 charred
    float squash = 1;       // vertical scale, anchored at the feet
    bool shocked = false;   // white eyes on a sooty face
    int smoke = 0;          // 0 none, 1 a wisp, 2 a cloud above the figure
};

struct Ramps {
    Ramp suit;
    Ramp pants;
    Ramp trim;
};

Ramps rampsOf(int team) {
    const TeamColours c = teamColours(team);
    return {rampOf(c.suit), rampOf(mix(c.suit, rgb(36, 34, 56), 0.28f)), rampOf(c.trim)};
}

// Paints shapes given in logical coordinates into one picture.
class Painter {
public:
    Painter(Image& image, Frame frame) : image_(image), frame_(frame) {}

    Mask mask(const Shape& s) const { return Mask(image_.width(), image_.height(), s, frame_); }
    void lit(const Shape& s, const Ramp& r) const { fillLit(image_, mask(s), r); }
    void solid(const Shape& s, Rgba c) const { fill(image_, mask(s), c); }
    void ball(const Shape& s, const Ramp& r, float cx, float cy, float rx, float ry) const {
        fillBall(image_, mask(s), r, frame_, cx, cy, rx, ry);
    }
    void pixel(float x, float y, Rgba c) const { dot(image_, frame_, x, y, c); }
    void stroke(float ax, float ay, float bx, float by, Rgba c) const { line(image_, frame_, ax, ay, bx, by, c); }
    // Mirrors a logical x about the figure's middle line.
    static float mirror(float x) { return LOGICAL_WIDTH - x; }

private:
    Image& image_;
    Frame frame_;
};

// [SECTION] Figure parts

// The wick on top of every helmet, with its small flame while the player is well.
void drawWick(const Painter& p, float x, float top, bool lit) {
    p.stroke(x, top + 0.2f, x + 0.9f, top - 1.6f, WICK);
    if (lit) {
        p.pixel(x + 1.6f, top - 2.4f, FLAME_EDGE);
        p.pixel(x + 1.6f, top - 1.6f, FLAME_CORE);
    }
}

void drawLegsFront(const Painter& p, const Ramps& r, int step) {
    for (int side = 0; side < 2; ++side) {
        // The leg that swings forward shows a raised foot.
        const bool raised = step != 0 && (step == 1) == (side == 0);
        const float lift = raised ? 2.4f : 0.0f;
        const float hx = side == 0 ? 6.3f : Painter::mirror(6.3f);
        const float bx0 = side == 0 ? 4.1f : Painter::mirror(8.0f);
        const float bx1 = side == 0 ? 8.0f : Painter::mirror(4.1f);
        p.lit(capsule(hx, 19.6f, hx, 23.4f - lift, 1.45f), r.pants);
        p.lit(roundBox(bx0, 23.0f - lift, bx1, 26.0f - lift, 1.3f), BOOT);
    }
}

void drawArmFront(const Painter& p, const Ramps& r, int side, float hand_x, float hand_y) {
    const float sx = side == 0 ? 4.4f : Painter::mirror(4.4f);
    const float hx = side == 0 ? hand_x : Painter::mirror(hand_x);
    p.lit(capsule(sx, 14.5f, hx, hand_y - 0.6f, 1.3f), r.suit);
    p.lit(ellipse(hx, hand_y, 1.45f, 1.35f), r.trim);
}

// Arms swing against the legs: the arm opposite the raised foot comes forward, up and in front of the body.
bool armForward(const Look& look, int side) { return look.step != 0 && (look.step == 1) == (side == 1); }

// The arms that hang or swing back, drawn before the body.
void drawBackArmsFront(const Painter& p, const Ramps& r, const Look& look) {
    for (int side = 0; side < 2; ++side) {
        if (look.cheer || (look.wave && side == 1) || armForward(look, side)) continue;
        drawArmFront(p, r, side, look.step != 0 ? 3.0f : 3.3f, look.step != 0 ? 19.8f : 19.1f);
    }
}

// The raised and forward-swinging arms, drawn over the body.
void drawFrontArmsFront(const Painter& p, const Ramps& r, const Look& look) {
    for (int side = 0; side < 2; ++side) {
        if (look.cheer || (look.wave && side == 1)) drawArmFront(p, r, side, 2.2f, 9.6f);
        else if (armForward(look, side)) drawArmFront(p, r, side, 4.8f, 17.4f);
    }
}

void drawHeadFront(const Painter& p, const Ramps& r, bool face_visible, bool shocked) {
    const float cx = 8.0f;
    const float cy = 8.2f;
    const Shape head = ellipse(cx, cy, 6.1f, 5.6f);
    p.ball(head, r.suit, cx, cy, 6.1f, 5.6f);
    if (face_visible) {
        const Shape face = intersect(head, ellipse(cx, 10.4f, 4.4f, 3.5f));
        p.ball(face, SKIN, cx, cy + 1.0f, 6.1f, 5.6f);
        // The visor rim of the helmet above the face.
        p.solid(intersect(head, subtract(ellipse(cx, 10.4f, 4.9f, 4.0f), ellipse(cx, 10.4f, 4.4f, 3.5f))),
                r.trim.shadow);
        const Rgba eye = shocked ? rgb(255, 255, 255) : EYE;
        for (float ex : {5.5f, Painter::mirror(5.5f)}) {
            p.pixel(ex, 9.6f, eye);
            p.pixel(ex, 10.6f, eye);
        }
    } else {
        // From behind: the helmet band and the neck guard.
        p.solid(intersect(head, box(0, 8.8f, 16, 10.2f)), r.trim.base);
        p.solid(intersect(head, box(0, 10.2f, 16, 11.0f)), r.trim.shadow);
    }
}

void drawFront(const Painter& p, const Ramps& r, const Look& look, bool from_behind) {
    drawLegsFront(p, r, look.cheer ? 0 : look.step);
    drawBackArmsFront(p, r, look);
    p.lit(roundBox(4.6f, 13.0f, 11.4f, 20.2f, 1.6f), r.suit);
    p.lit(box(4.6f, 18.0f, 11.4f, 19.3f), LEATHER);
    if (from_behind) {
        p.lit(roundBox(4.9f, 12.8f, 11.1f, 18.6f, 1.4f), PACK);
        p.solid(box(5.4f, 14.6f, 10.6f, 15.4f), PACK.shadow);
    } else {
        p.pixel(7.5f, 18.5f, BUCKLE);
        p.pixel(8.5f, 18.5f, BUCKLE);
    }
    drawFrontArmsFront(p, r, look);
    drawHeadFront(p, r, !from_behind, look.shocked);
    drawWick(p, 8.0f, 2.6f, look.soot == 0);
}

void drawSide(const Painter& p, const Ramps& r, const Look& look) {
    // Near and far legs: the near one forward on stride 1, the far one on stride 2; the far side is in shade.
    struct Leg {
        float hip_x;
        float foot_x;
        float foot_y;
        float boot_x0;
        float boot_x1;
        float boot_y;
    };
    const Leg standing{8.6f, 8.5f, 23.4f, 5.4f, 10.2f, 23.0f};
    const Leg ahead{8.2f, 6.0f, 23.4f, 3.2f, 7.8f, 23.0f};
    const Leg behind{9.0f, 11.0f, 22.4f, 9.0f, 13.4f, 21.8f};
    const Leg far_leg = look.step == 1 ? behind : look.step == 2 ? ahead : standing;
    const Leg near_leg = look.step == 1 ? ahead : look.step == 2 ? behind : standing;
    const Ramp far_pants = rampOf(r.pants.shadow);
    const Ramp far_boot = rampOf(BOOT.shadow);
    for (int i = 0; i < 2; ++i) {
        const Leg& l = i == 0 ? far_leg : near_leg;
        p.lit(capsule(l.hip_x, 19.6f, l.foot_x, l.foot_y, 1.45f), i == 0 ? far_pants : r.pants);
        p.lit(roundBox(l.boot_x0, l.boot_y, l.boot_x1, l.boot_y + 3.0f, 1.3f), i == 0 ? far_boot : BOOT);
    }

    // The far arm swings against the near one; only its glove shows, ahead of the body.
    if (look.step == 1) p.lit(ellipse(5.2f, 18.0f, 1.4f, 1.3f), rampOf(r.trim.shadow));
    p.lit(roundBox(10.0f, 13.4f, 13.8f, 19.2f, 1.2f), PACK);
    p.lit(roundBox(5.6f, 13.0f, 11.0f, 20.2f, 1.5f), r.suit);
    p.lit(box(5.6f, 18.0f, 11.0f, 19.3f), LEATHER);
    p.pixel(6.0f, 18.5f, BUCKLE);

    float hand_x = 8.0f;
    float hand_y = 19.2f;
    if (look.step == 1) {
        hand_x = 10.8f;
        hand_y = 18.4f;
    } else if (look.step == 2) {
        hand_x = 5.0f;
        hand_y = 18.2f;
    }
    p.lit(capsule(8.4f, 14.5f, hand_x, hand_y - 0.7f, 1.3f), r.suit);
    p.lit(ellipse(hand_x, hand_y, 1.45f, 1.35f), r.trim);

    const float cx = 8.5f;
    const float cy = 8.2f;
    const Shape head = ellipse(cx, cy, 6.0f, 5.6f);
    p.ball(head, r.suit, cx, cy, 6.0f, 5.6f);
    const Shape face = unite(intersect(head, ellipse(5.4f, 10.2f, 3.6f, 3.4f)), ellipse(2.6f, 10.6f, 1.1f, 1.0f));
    p.ball(face, SKIN, cx - 1.0f, cy + 1.0f, 6.0f, 5.6f);
    p.solid(intersect(head, subtract(ellipse(5.4f, 10.2f, 4.1f, 3.9f), ellipse(5.4f, 10.2f, 3.6f, 3.4f))),
            r.trim.shadow);
    const Rgba eye = look.shocked ? rgb(255, 255, 255) : EYE;
    p.pixel(4.5f, 9.6f, eye);
    p.pixel(4.5f, 10.6f, eye);
    drawWick(p, 8.8f, 2.6f, look.soot == 0);
}

// A puff of smoke: a circle in logical coordinates.
struct Puff {
    float x;
    float y;
    float r;
};

// Soft grey smoke over a picture: overlapping puffs merged into one cloud with a grey rim instead of the black
// outline, so it reads as vapour rather than as solid things.
void drawSmoke(Image& pic, const Frame& frame, std::initializer_list<Puff> puffs) {
    Image layer(pic.width(), pic.height());
    const Painter p(layer, frame);
    for (const Puff& f : puffs) p.ball(ellipse(f.x, f.y, f.r, f.r * 0.9f), SMOKE, f.x, f.y, f.r, f.r * 0.9f);
    outline(layer, rgb(104, 100, 114));
    pic.blit(layer, 0, 0);
}

// Darkens a picture toward soot, keeping its light and shade.
void applySoot(Image& image, float amount) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Rgba c = image.get(x, y);
            if (c.a == 0) continue;
            const float lum = (c.r * 0.3f + c.g * 0.59f + c.b * 0.11f) / 255.0f;
            image.set(x, y, mix(c, scale(SOOT, 0.6f + 0.9f * lum), amount));
        }
    }
}

// Puts white eyes back on a sooted face (they were drawn white, then sooted with the rest).
void whitenEyes(Image& image, const Image& before) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (before.get(x, y) == rgb(255, 255, 255)) image.set(x, y, rgb(255, 255, 255));
}

Image drawFigure(int width, int team, const Look& look) {
    Image pic(width, TEAM_SHEET_HEIGHT);
    const float sx = static_cast<float>(width) / LOGICAL_WIDTH;
    const bool bob = look.step != 0 && !look.cheer && look.facing != Facing::Left;
    const bool side_bob = look.step != 0 && look.facing == Facing::Left;
    const float oy = TEAM_SHEET_HEIGHT * (1.0f - look.squash) + ((bob || side_bob) ? 1.0f : 0.0f);
    const Painter p(pic, Frame{0, oy, sx, look.squash});
    const Ramps r = rampsOf(team);
    if (look.facing == Facing::Left) {
        drawSide(p, r, look);
    } else {
        drawFront(p, r, look, look.facing == Facing::Up);
    }
    if (look.soot > 0) {
        const Image before = pic;
        applySoot(pic, look.soot);
        whitenEyes(pic, before);
    }
    outline(pic, OUTLINE);
    if (look.smoke == 1) drawSmoke(pic, Frame{0, 0, sx, 1}, {{11.8f, 3.2f, 1.8f}, {13.2f, 1.6f, 1.3f}});
    if (look.smoke == 2) drawSmoke(pic, Frame{0, 0, sx, 1}, {{6.8f, 4.6f, 2.3f}, {9.6f, 3.6f, 2.1f}, {8.2f, 1.8f, 1.6f}});
    return pic;
}

// The last two dying pictures: a heap of ash under the helmet with smoke rising, then the helmet alone on a little
// ash in a last wisp.
Image drawRemains(int width, int team, bool last) {
    Image pic(width, TEAM_SHEET_HEIGHT);
    const Frame frame{0, 0, static_cast<float>(width) / LOGICAL_WIDTH, 1};
    const Painter p(pic, frame);
    const Ramps r = rampsOf(team);
    const float heap_r = last ? 5.4f : 7.0f;
    const float heap_h = last ? 2.6f : 4.6f;
    p.ball(ellipse(8.0f, 26.0f, heap_r, heap_h), ASH, 8.0f, 26.0f, heap_r, heap_h);
    const float top = last ? 24.4f : 22.4f;
    const float hr = last ? 3.8f : 4.4f;
    p.ball(intersect(ellipse(8.4f, top, hr, hr * 0.9f), box(0, 0, 16, top)), r.suit, 8.4f, top, hr, hr * 0.9f);
    p.solid(box(8.4f - hr, top - 0.8f, 8.4f + hr, top + 0.4f), r.trim.shadow);
    if (!last) {
        p.pixel(6.2f, 24.0f, rgb(255, 255, 255));
        p.pixel(10.2f, 24.0f, rgb(255, 255, 255));
    }
    outline(pic, OUTLINE);
    if (last) drawSmoke(pic, frame, {{8.6f, 12.0f, 1.6f}, {7.4f, 9.4f, 1.3f}, {8.4f, 7.0f, 1.0f}});
    else drawSmoke(pic, frame, {{7.0f, 15.0f, 2.4f}, {8.8f, 12.2f, 2.2f}, {9.6f, 8.8f, 1.9f}, {8.2f, 5.8f, 1.6f}});
    return pic;
}

// The picture of `pose` at `width` texels.
Image pictureFor(uint32_t pose, int width, int team) {
    Look look;
    if (isWalkingPose(pose)) {
        look.step = static_cast<int>(pose % POSES_PER_FACING);
        switch (facingOf(pose)) {
        case FACING_SMALLER_X: look.facing = Facing::Left; break;  // the game mirrors these for facing larger x
        case FACING_SMALLER_Y: look.facing = Facing::Up; break;
        default: look.facing = Facing::Down; break;
        }
    } else if (isDyingPose(pose)) {
        switch (pose - POSE_DYING) {
        case 0: look.soot = 0.55f, look.shocked = true, look.smoke = 1; break;
        case 1: look.soot = 0.8f, look.shocked = true, look.squash = 0.8f, look.smoke = 2; break;
        case 2: return drawRemains(width, team, false);
        default: return drawRemains(width, team, true);
        }
    } else {
        switch (pose - WALKING_POSES) {  // the spare pictures
        case 0: look.cheer = true; break;
        case 1: look.cheer = true, look.step = 1; break;
        case 2: look.wave = true; break;
        default: look.wave = true, look.step = 2; break;
        }
    }
    return drawFigure(width, team, look);
}

}  // namespace

// [SECTION] Sheets and icons

Image teamSheet(int team) {
    Image sheet(TEAM_SHEET_WIDTH, TEAM_SHEET_HEIGHT);
    for (uint32_t pose = 0; pose < layout::POSE_COLUMNS.size(); ++pose) {
        const layout::PoseColumns c = layout::POSE_COLUMNS[pose];
        if (!c.mirrored()) sheet.blit(pictureFor(pose, c.width(), team), c.first(), 0);
    }
    return sheet;
}

Image playerIcon(int team, bool dead, int height) {
    constexpr int WIDTH = 15;
    Image pic(WIDTH, height);
    const float sy = static_cast<float>(height) / 15.0f;
    const Painter p(pic, Frame{0, 0, 1, sy});
    const Ramps r = rampsOf(team);
    const float cx = 7.5f;
    const float cy = 8.0f;
    const Shape head = ellipse(cx, cy, 6.3f, 5.9f);
    p.ball(head, r.suit, cx, cy, 6.3f, 5.9f);
    const Shape face = intersect(head, ellipse(cx, 10.2f, 4.5f, 3.7f));
    p.ball(face, SKIN, cx, cy + 1.0f, 6.3f, 5.9f);
    p.solid(intersect(head, subtract(ellipse(cx, 10.2f, 5.0f, 4.2f), ellipse(cx, 10.2f, 4.5f, 3.7f))), r.trim.shadow);
    if (dead) {
        applySoot(pic, 0.62f);
        // Crossed-out eyes.
        for (float ex : {5.0f, 10.0f}) {
            for (int d = -1; d <= 1; ++d) {
                p.pixel(ex + d, 9.5f + d, rgb(250, 250, 250));
                p.pixel(ex + d, 9.5f - d, rgb(250, 250, 250));
            }
        }
    } else {
        for (float ex : {5.0f, 10.0f}) {
            p.pixel(ex, 9.2f, EYE);
            p.pixel(ex, 10.2f, EYE);
        }
        p.pixel(6.5f, 12.2f, SKIN.shadow);
        p.pixel(7.5f, 12.6f, SKIN.shadow);
        p.pixel(8.5f, 12.2f, SKIN.shadow);
        line(pic, Frame{0, 0, 1, sy}, 7.5f, 2.6f, 8.4f, 0.6f, WICK);
        p.pixel(9.2f, 0.2f, FLAME_CORE);
    }
    outline(pic, OUTLINE);
    return pic;
}

}  // namespace art

#!/usr/bin/python3
"""Draws every bitmap and icon of setup.exe from shapes and text.

    make_bitmaps.py <output folder>
    make_bitmaps.py --list          the file names it writes, one a line

Writes one .bmp or .ico per resource (names in ARTWORK and ICON_DRAWINGS below); the
resource script includes them by name. Bitmaps are 8-bit palettized and run-length encoded
where that is smaller: the artwork is built from vertical gradients and flat areas, so most
rows are a handful of runs, and the whole set takes about 150 KB of the program instead of
the 950 KB it would take unencoded. Text and round shapes cost the most; keep them few.

Needs Pillow (python3-pil) and the Liberation Sans fonts (fonts-liberation2), which have
the metrics of the fonts the program's texts use.
"""

import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

SS = 4  # shapes are drawn at four times the size and scaled down: smooth edges

FONT_DIR = "/usr/share/fonts/truetype/liberation2"

# The product's colours. The surface is the dialogs' own background (settings 2021, 2027,
# 2090): every button strip is drawn on it, so its corners melt into any surface it sits on.
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
SURFACE = (200, 224, 240)
ICE = (222, 241, 250)
SKY = (98, 186, 227)
NAVY = (0, 48, 96)
INK = (1, 60, 89)
BLUE = (40, 120, 255)
LINK = (61, 109, 162)
STEEL = (90, 114, 138)
MIST = (204, 226, 240)
LEAF = (78, 174, 4)
AMBER = (255, 176, 32)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def shade(c, f):
    return tuple(max(0, min(255, round(x * f))) for x in c)


def font(size, bold=True):
    name = "LiberationSans-Bold.ttf" if bold else "LiberationSans-Regular.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


# ---------------------------------------------------------------------------------------
# Drawing helpers. Shapes take coordinates in final pixels; they draw on a supersampled
# layer, which down() brings back to size.
# ---------------------------------------------------------------------------------------


def gradient(w, h, stops):
    """A vertical gradient through (position 0..1, colour) stops, w x h pixels."""
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        t = y / max(1, h - 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                c = mix(c0, c1, 0 if p1 == p0 else (t - p0) / (p1 - p0))
                break
        for x in range(w):
            px[x, y] = c
    return img


class Layer:
    """A supersampled RGB drawing surface of w x h final pixels."""

    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.img = Image.new("RGB", (w * SS, h * SS), bg)

    def mask(self):
        return Image.new("L", self.img.size, 0)

    @staticmethod
    def box(x0, y0, x1, y1):
        return [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]

    def fill(self, shape_mask, paint):
        """Paints a colour or a final-size image through a supersampled mask."""
        if isinstance(paint, tuple):
            self.img.paste(paint, (0, 0), shape_mask)
        else:
            self.img.paste(paint.resize(self.img.size, Image.Resampling.NEAREST), (0, 0), shape_mask)

    def rounded(self, x0, y0, x1, y1, r, paint):
        m = self.mask()
        ImageDraw.Draw(m).rounded_rectangle(self.box(x0, y0, x1, y1), r * SS, fill=255)
        self.fill(m, paint)

    def ellipse(self, x0, y0, x1, y1, paint):
        m = self.mask()
        ImageDraw.Draw(m).ellipse(self.box(x0, y0, x1, y1), fill=255)
        self.fill(m, paint)

    def polygon(self, points, paint):
        m = self.mask()
        ImageDraw.Draw(m).polygon([(x * SS, y * SS) for x, y in points], fill=255)
        self.fill(m, paint)

    def ring(self, cx, cy, r_out, r_in, paint, start=None, end=None):
        m = self.mask()
        d = ImageDraw.Draw(m)
        outer = [(cx - r_out) * SS, (cy - r_out) * SS, (cx + r_out) * SS, (cy + r_out) * SS]
        inner = [(cx - r_in) * SS, (cy - r_in) * SS, (cx + r_in) * SS, (cy + r_in) * SS]
        if start is None:
            d.ellipse(outer, fill=255)
        else:
            d.pieslice(outer, start, end, fill=255)
        d.ellipse(inner, fill=0)
        self.fill(m, paint)

    def line(self, points, width, paint):
        m = self.mask()
        pts = [(x * SS, y * SS) for x, y in points]
        ImageDraw.Draw(m).line(pts, fill=255, width=round(width * SS), joint="curve")
        for x, y in pts[:1] + pts[-1:]:
            r = width * SS / 2
            ImageDraw.Draw(m).ellipse([x - r, y - r, x + r, y + r], fill=255)
        self.fill(m, paint)

    def down(self):
        return self.img.resize((self.w, self.h), Image.Resampling.BOX)

    def coverage(self):
        """What was drawn in white on a black layer, as a mask at final size."""
        return self.down().convert("L")


def text(img, xy, s, fnt, colour, anchor="la", shadow=None):
    """Draws text at final size, where hinting keeps small captions crisp."""
    d = ImageDraw.Draw(img)
    if shadow:
        d.text((xy[0], xy[1] + 1), s, font=fnt, fill=shadow, anchor=anchor)
    d.text(xy, s, font=fnt, fill=colour, anchor=anchor)


def chevron(layer, cx, cy, size, width, paint, left=False):
    k = -1 if left else 1
    layer.line([(cx - k * size / 2, cy - size), (cx + k * size / 2, cy), (cx - k * size / 2, cy + size)], width,
               paint)


# ---------------------------------------------------------------------------------------
# Buttons
# ---------------------------------------------------------------------------------------

# Face colours per scheme: the gradient's top, middle (where the gloss ends) and bottom, the
# border, the caption and its shadow (or None).
SCHEMES = {
    "blue": dict(top=(118, 190, 246), mid=(52, 140, 226), bottom=(20, 94, 196), border=(12, 62, 140),
                 caption=WHITE, shadow=(12, 62, 140)),
    "green": dict(top=(176, 232, 120), mid=(108, 196, 44), bottom=LEAF, border=(46, 116, 0), caption=WHITE,
                  shadow=(46, 116, 0)),
    "light": dict(top=WHITE, mid=(236, 244, 250), bottom=MIST, border=STEEL, caption=INK, shadow=None),
}
DISABLED = dict(top=(246, 246, 246), mid=(232, 232, 232), bottom=(214, 214, 214), border=(168, 168, 168),
                caption=(150, 150, 150), shadow=None)

# The frames of a strip, in the order the bitmap buttons pick them.
STATES = ["normal", "pressed", "focused", "focused pressed", "disabled"]


def face_colours(scheme, state):
    s = DISABLED if state == "disabled" else SCHEMES[scheme]
    if "pressed" in state:
        # A pressed face is lit from below: the same colours, darker, turned upside down.
        s = dict(s, top=shade(s["bottom"], 0.92), mid=shade(s["mid"], 0.92), bottom=shade(s["mid"], 1.0))
    return s


def button_frame(w, h, scheme, state, margin, radius, draw_label):
    """One frame of a button strip: a rounded, glossy face on the surface colour.

    draw_label(img, dx, dy, colours) adds the caption and glyphs at final size; dx, dy is the
    pressed offset.
    """
    c = face_colours(scheme, state)
    lay = Layer(w, h, SURFACE)
    x0, y0, x1, y1 = margin, margin, w - margin, h - margin
    focused = "focused" in state
    if focused and margin >= 2:
        # A soft blue halo in the margin marks keyboard focus.
        lay.rounded(x0 - 2, y0 - 2, x1 + 2, y1 + 2, radius + 2, mix(SURFACE, BLUE, 0.35))
        lay.rounded(x0 - 1, y0 - 1, x1 + 1, y1 + 1, radius + 1, mix(SURFACE, BLUE, 0.75))
    border = NAVY if focused else c["border"]
    lay.rounded(x0, y0, x1, y1, radius, border)
    # Gloss: the upper half of the face is lighter, with a clear edge at the middle.
    split = y0 + 1 + (y1 - y0 - 2) * 0.48
    stops = [(0, c["top"]), (split / h, mix(c["top"], c["mid"], 0.55)), (split / h + 0.001, c["mid"]),
             (1, c["bottom"])]
    face = gradient(w, h, stops)
    lay.rounded(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(1, radius - 1), face)
    if focused:
        # A light inner line just inside the border: visible even without a margin.
        m = lay.mask()
        d = ImageDraw.Draw(m)
        d.rounded_rectangle(lay.box(x0 + 1, y0 + 1, x1 - 1, y1 - 1), (radius - 1) * SS, fill=255)
        d.rounded_rectangle(lay.box(x0 + 2, y0 + 2, x1 - 2, y1 - 2), max(1, radius - 2) * SS, fill=0)
        lay.fill(m, mix(c["top"], WHITE, 0.6))
    img = lay.down()
    off = 1 if "pressed" in state else 0
    draw_label(img, off, off, c)
    return img


def strip(w, h, frames, make_frame):
    """Puts the frames of a strip side by side; each is w // frames wide."""
    fw = w // frames
    out = Image.new("RGB", (w, h), SURFACE)
    for i in range(frames):
        out.paste(make_frame(fw, STATES[i] if i < 4 else "disabled"), (i * fw, 0))
    return out


def caption_button(w, h, frames, scheme, caption, size, margin, radius, glyph=None, bold=True):
    """A strip whose frames show a centred caption, optionally with a chevron."""
    fnt = font(size, bold)

    def label(img, dx, dy, c):
        fw, fh = img.size
        tw = ImageDraw.Draw(img).textlength(caption, font=fnt)
        gw = size * 0.5 + 6 if glyph else 0
        x = (fw - tw - gw) / 2 + (gw if glyph == "back" else 0)
        cy = fh / 2 + dy
        text(img, (x + dx, cy), caption, fnt, c["caption"], "lm", c["shadow"])
        if glyph:
            lay = Layer(fw, fh, BLACK)
            gx = x + tw + 6 + size * 0.25 if glyph == "next" else x - 6 - size * 0.25
            chevron(lay, gx + dx, cy, size * 0.3, max(1.6, size * 0.13), WHITE, left=(glyph == "back"))
            m = lay.coverage()
            img.paste(c["caption"], (0, 0), m)

    return strip(w, h, frames, lambda fw, st: button_frame(fw, h, scheme, st, margin, radius, label))


def person(lay, cx, cy, s, paint):
    """A head and shoulders, s pixels high, centred on (cx, cy)."""
    lay.ellipse(cx - s * 0.2, cy - s * 0.5, cx + s * 0.2, cy - s * 0.1, paint)
    m = lay.mask()
    ImageDraw.Draw(m).pieslice(Layer.box(cx - s * 0.38, cy - s * 0.02, cx + s * 0.38, cy + s * 0.74), 180, 360,
                               fill=255)
    lay.fill(m, paint)


def welcome_button(w, h, scheme, title, subtitle, glyph):
    """The big welcome buttons: a glyph in a white disc, a two-line caption, a chevron."""
    big, small = font(19), font(12, bold=False)

    def label(img, dx, dy, c):
        fw, fh = img.size
        cx, cy, r = 30 + dx, fh / 2 + dy, 16
        disc = Layer(fw, fh, BLACK)
        disc.ellipse(cx - r, cy - r, cx + r, cy + r, WHITE)
        img.paste(WHITE, (0, 0), disc.coverage())
        mark = Layer(fw, fh, BLACK)
        glyph(mark, cx, cy)
        img.paste(c["border"], (0, 0), mark.coverage())
        chev = Layer(fw, fh, BLACK)
        chevron(chev, fw - 24 + dx, cy, 6, 2.4, WHITE)
        img.paste(c["caption"], (0, 0), chev.coverage())
        text(img, (58 + dx, fh / 2 - 9 + dy), title, big, c["caption"], "lm", c["shadow"])
        text(img, (59 + dx, fh / 2 + 11 + dy), subtitle, small, c["caption"], "lm")

    return strip(w, h, 4, lambda fw, st: button_frame(fw, h, scheme, st, 3, 10, label))


def new_member_glyph(lay, cx, cy):
    person(lay, cx - 3, cy + 1, 22, WHITE)
    lay.rounded(cx + 5, cy - 8, cx + 15, cy - 5, 1, WHITE)
    lay.rounded(cx + 8.5, cy - 11.5, cx + 11.5, cy - 1.5, 1, WHITE)


def current_member_glyph(lay, cx, cy):
    person(lay, cx - 3, cy + 1, 22, WHITE)
    lay.line([(cx + 4, cy - 6), (cx + 8, cy - 2), (cx + 15, cy - 10)], 2.6, WHITE)


def screen_name_button(w, h):
    """The screen-name button: a light face that the program writes the screen name on (in
    the page text colour, inset by settings 2084-2087), with a chevron in the 18 pixels it
    leaves free at the right and, well left of any centred name, the member glyph in a blue
    disc with a star: the name just registered."""

    def label(img, dx, dy, c):
        fw, fh = img.size
        cx, cy, r = 30 + dx, fh / 2 + dy, 16
        disc = Layer(fw, fh, BLACK)
        disc.ellipse(cx - r, cy - r, cx + r, cy + r, WHITE)
        img.paste(BLUE, (0, 0), disc.coverage())
        mark = Layer(fw, fh, BLACK)
        person(mark, cx - 3, cy + 1, 22, WHITE)
        sparkle(mark, cx + 9, cy - 7, 6, WHITE)
        img.paste(WHITE, (0, 0), mark.coverage())
        chev = Layer(fw, fh, BLACK)
        chevron(chev, fw - 11 + dx, cy, 6, 2.4, WHITE)
        img.paste(BLUE, (0, 0), chev.coverage())

    return strip(w, h, 4, lambda fw, st: button_frame(fw, h, "light", st, 3, 10, label))


def link_strip(w, h, caption):
    """The change-directories link: a folder glyph and underlined text on the surface."""
    fnt = font(12)

    def frame(fw, state):
        img = Image.new("RGB", (fw, h), SURFACE)
        off = 1 if "pressed" in state else 0
        colour = NAVY if "pressed" in state else (BLUE if "focused" in state else LINK)
        lay = Layer(fw, h, BLACK)
        # Folder: tab and body.
        lay.rounded(2 + off, 3 + off, 8 + off, 6 + off, 1, WHITE)
        lay.rounded(2 + off, 4.5 + off, 15 + off, 14 + off, 1.5, WHITE)
        img.paste(AMBER, (0, 0), lay.coverage())
        d = ImageDraw.Draw(img)
        d.text((20 + off, h / 2 + off), caption, font=fnt, fill=colour, anchor="lm")
        tw = d.textlength(caption, font=fnt)
        d.line([(20 + off, h - 2 + off), (20 + off + tw, h - 2 + off)], fill=colour)
        if "focused" in state:
            d.rectangle([0, 0, fw - 1, h - 1], outline=mix(SURFACE, BLUE, 0.6))
        return img

    out = Image.new("RGB", (w, h), SURFACE)
    fw = w // 4
    for i in range(4):
        out.paste(frame(fw, STATES[i]), (i * fw, 0))
    return out


# ---------------------------------------------------------------------------------------
# Emblem, backgrounds
# ---------------------------------------------------------------------------------------


def emblem(lay, cx, cy, r):
    """The product's mark: a blue disc with a white orbit and a bright node."""
    lay.ellipse(cx - r, cy - r, cx + r, cy + r, NAVY)
    lay.ellipse(cx - r + 1.5, cy - r + 1.5, cx + r - 1.5, cy + r - 1.5,
                gradient(lay.w, lay.h, [(0, BLUE), ((cy - r) / lay.h, BLUE), ((cy + r) / lay.h, NAVY), (1, NAVY)]))
    # Orbit: a tilted ellipse ring, drawn as the difference of two ellipses.
    m = lay.mask()
    orbit = Image.new("L", m.size, 0)
    d = ImageDraw.Draw(orbit)
    d.ellipse(Layer.box(cx - r * 0.95, cy - r * 0.42, cx + r * 0.95, cy + r * 0.42), fill=255)
    d.ellipse(Layer.box(cx - r * 0.80, cy - r * 0.28, cx + r * 0.80, cy + r * 0.28), fill=0)
    orbit = orbit.rotate(-25, center=(cx * SS, cy * SS), resample=Image.Resampling.BILINEAR)
    lay.fill(orbit, WHITE)
    a = math.radians(-25)
    nx, ny = cx + r * 0.86 * math.cos(a), cy + r * 0.86 * math.sin(a) * 0.45 - 2
    lay.ellipse(nx - r * 0.16, ny - r * 0.16, nx + r * 0.16, ny + r * 0.16, AMBER)


def wordmark(img, x, y, size, colour=NAVY, accent=BLUE):
    """ "ZOV" and "9.0 VR", baseline at y."""
    big, small = font(size), font(round(size * 0.55))
    d = ImageDraw.Draw(img)
    d.text((x, y), "ZOV", font=big, fill=colour, anchor="ls")
    tw = d.textlength("ZOV", font=big)
    d.text((x + tw + size * 0.18, y), "9.0 VR", font=small, fill=accent, anchor="ls")
    return x + tw + size * 0.18 + d.textlength("9.0 VR", font=small)


def bubbles(lay, spots, base):
    for cx, cy, r, t in spots:
        lay.ellipse(cx - r, cy - r, cx + r, cy + r, mix(base, WHITE, t))


def page_background(w, h, header=64, mark_in_header=True):
    """Wizard pages: a light header with the mark over the surface, a navy rule at the foot.

    The body is flat so that the button strips, drawn on the same colour, sit on it seamlessly
    wherever a page places them. The directory and cleanup dialogs share the look: their
    header is the band behind the prompt, which runs the full width, so their mark sits in
    the lower left corner, the one place their controls leave free."""
    lay = Layer(w, h, SURFACE)
    lay.fill(Image.new("L", lay.img.size, 255),
             gradient(w, h, [(0, WHITE), (header / h, mix(WHITE, SURFACE, 0.55)), (header / h, SURFACE),
                             (1, SURFACE)]))
    # Soft circles in the header's right-hand corner.
    lay.ellipse(w - 160, -120, w + 60, header - 8, mix(WHITE, SURFACE, 0.18))
    lay.ellipse(w - 96, -60, w + 40, header - 20, mix(WHITE, SURFACE, 0.32))
    if mark_in_header:
        emblem(lay, w - 24, header / 2, 14)
    else:
        emblem(lay, 30, h - 30, 14)
    # Accent bar along the top edge.
    lay.rounded(0, 0, w, 5, 0, gradient(w, h, [(0, BLUE), (5 / h, NAVY), (1, NAVY)]))
    img = lay.down()
    d = ImageDraw.Draw(img)
    d.line([(0, header), (w, header)], fill=mix(SURFACE, STEEL, 0.35))
    d.line([(0, header + 1), (w, header + 1)], fill=mix(SURFACE, WHITE, 0.6))
    d.line([(0, h - 3), (w, h - 3)], fill=mix(SURFACE, NAVY, 0.25))
    d.rectangle([0, h - 2, w, h], fill=NAVY)
    return img


def frame_background(w, h):
    """The frame during the wizard, drawn at (10, 10) on its white background: the mark
    and the product's name."""
    lay = Layer(w, h, WHITE)
    emblem(lay, 40, 44, 32)
    img = lay.down()
    end = wordmark(img, 84, 56, 40)
    text(img, (86, 80), "Installation", font(15, bold=False), STEEL, "ls")
    d = ImageDraw.Draw(img)
    d.line([(86, 86), (end, 86)], fill=SURFACE, width=2)
    return img


def frame_progress_background(w, h):
    """The frame once the engine has started: a tall panel at the left of the feature text."""
    lay = Layer(w, h, WHITE)
    panel = gradient(w, h, [(0, (24, 104, 214)), (0.55, NAVY), (1, (0, 30, 64))])
    lay.rounded(0, 0, w, h, 14, panel)
    bubbles(lay, [(w - 10, h - 40, 70, 0.06), (30, h - 10, 50, 0.05)], NAVY)
    lay.ellipse(w / 2 - 46, 28, w / 2 + 46, 120, mix(NAVY, WHITE, 0.08))
    emblem(lay, w / 2, 74, 38)
    img = lay.down()
    d = ImageDraw.Draw(img)
    f, fs = font(30), font(17)
    d.text((w / 2, 160), "ZOV", font=f, fill=WHITE, anchor="ms")
    d.text((w / 2, 184), "9.0 VR", font=fs, fill=SKY, anchor="ms")
    for i, line in enumerate(["Faster.", "Simpler.", "Safer."]):
        d.text((w / 2, 250 + i * 26), line, font=font(16, bold=False), fill=ICE, anchor="ms")
    return img


def busy_background(w, h, kind):
    """Busy dialog: the surface, the animation at the top left and the text to its right;
    soft circles and the mark fill the corner under the animation. The features kind adds
    a spray of sparkles between them."""
    lay = Layer(w, h, SURFACE)
    lay.ellipse(-120, h - 100, 110, h + 130, mix(SURFACE, WHITE, 0.22))
    lay.ellipse(-60, h - 60, 70, h + 70, mix(SURFACE, WHITE, 0.4))
    emblem(lay, 32, h - 30, 18)
    if kind == "features":
        for sx, sy, r in ((26, 84, 8), (42, 100, 5), (20, 110, 4)):
            sparkle(lay, sx, sy, r, AMBER)
    lay.rounded(0, 0, w, 3, 0, gradient(w, h, [(0, BLUE), (3 / h, NAVY), (1, NAVY)]))
    return lay.down()


def sparkle(lay, x, y, r, paint):
    k = 0.28
    lay.polygon([(x, y - r), (x + r * k, y - r * k), (x + r, y), (x + r * k, y + r * k), (x, y + r),
                 (x - r * k, y + r * k), (x - r, y), (x - r * k, y - r * k)], paint)


def progress_background(w, h):
    """The progress dialog over the movie: the busy dialog's surface and watermark, framed."""
    lay = Layer(w, h, SURFACE)
    lay.ellipse(w - 130, h - 96, w + 80, h + 110, mix(SURFACE, WHITE, 0.22))
    emblem(lay, w - 28, h - 26, 14)
    img = lay.down()
    ImageDraw.Draw(img).rectangle([0, 0, w - 1, h - 1], outline=NAVY)
    return img


# ---------------------------------------------------------------------------------------
# Animations
# ---------------------------------------------------------------------------------------


def busy_animation(frames, size):
    """A ring of twelve dots; a bright head with a fading tail goes round once per cycle."""
    out = Image.new("RGB", (frames * size, size), SURFACE)
    dots = 12
    for f in range(frames):
        lay = Layer(size, size, SURFACE)
        head = f * dots / frames
        c = size / 2
        for i in range(dots):
            behind = (head - i) % dots
            t = max(0.0, 1 - behind / 7)
            a = 2 * math.pi * i / dots - math.pi / 2
            x, y = c + math.cos(a) * size * 0.36, c + math.sin(a) * size * 0.36
            r = size * (0.055 + 0.04 * t)
            lay.ellipse(x - r, y - r, x + r, y + r, mix(mix(SURFACE, STEEL, 0.35), BLUE, t))
        out.paste(lay.down(), (f * size, 0))
    return out


def progress_animation(frames, size):
    """A disc turning: a coloured sheen moves round it one eighth of a turn per frame."""
    out = Image.new("RGB", (frames * size, size), SURFACE)
    c = size / 2
    for f in range(frames):
        lay = Layer(size, size, SURFACE)
        lay.ellipse(1, 1, size - 1, size - 1, STEEL)
        lay.ellipse(2, 2, size - 2, size - 2, (236, 240, 246))
        start = f * 360 / frames - 90
        for k, colour in enumerate([(150, 200, 255), (190, 160, 250), (250, 200, 150)]):
            lay.ring(c, c, c - 2, 5, mix((236, 240, 246), colour, 0.75), start + k * 16, start + k * 16 + 20)
            lay.ring(c, c, c - 2, 5, mix((236, 240, 246), colour, 0.55), start + 180 + k * 16,
                     start + 180 + k * 16 + 20)
        lay.ellipse(c - 5, c - 5, c + 5, c + 5, mix(SURFACE, STEEL, 0.5))
        lay.ellipse(c - 2.5, c - 2.5, c + 2.5, c + 2.5, SURFACE)
        out.paste(lay.down(), (f * size, 0))
    return out


def folder_images():
    """The directory tree's images, 16 x 16 on cyan: an open and a closed folder."""
    out = Image.new("RGB", (32, 16), (0, 255, 255))
    for i, opened in enumerate((True, False)):
        lay = Layer(16, 16, (0, 255, 255))
        lay.rounded(1, 3, 7, 6, 1, (196, 140, 20))
        lay.rounded(1, 4, 15, 14, 1, (196, 140, 20))
        lay.rounded(2, 5, 14, 13, 0.5, (255, 206, 84))
        if opened:
            lay.polygon([(3, 8), (16, 8), (14, 14), (1, 14)], (196, 140, 20))
            lay.polygon([(4, 9), (14.6, 9), (13.2, 13), (2.2, 13)], (255, 226, 140))
        out.paste(lay.down(), (i * 16, 0))
    # Cyan must stay exact where nothing is drawn: snap almost-cyan edge pixels back.
    px = out.load()
    for y in range(16):
        for x in range(32):
            r, g, b = px[x, y]
            if g > 240 and b > 240 and r < 60:
                px[x, y] = (0, 255, 255)
    return out


# ---------------------------------------------------------------------------------------
# Icons
# ---------------------------------------------------------------------------------------


def icon_bin(size, bg, full):
    lay = Layer(size, size, bg)
    s = size / 32
    body = gradient(size, size, [(0, (236, 244, 250)), (1, (150, 180, 205))])
    lay.polygon([(7 * s, 9 * s), (25 * s, 9 * s), (23 * s, 30 * s), (9 * s, 30 * s)], STEEL)
    lay.polygon([(8.2 * s, 10 * s), (23.8 * s, 10 * s), (22 * s, 29 * s), (10 * s, 29 * s)], body)
    for x in (12.5, 16, 19.5):
        lay.line([(x * s, 13 * s), (x * s, 26 * s)], 1.2 * s, mix(STEEL, WHITE, 0.3))
    lay.rounded(5 * s, 6 * s, 27 * s, 9.5 * s, 1.2 * s, STEEL)
    lay.rounded(13 * s, 3.5 * s, 19 * s, 6.5 * s, 1 * s, STEEL)
    if full:
        lay.polygon([(9 * s, 9 * s), (13 * s, 1.5 * s), (18 * s, 4 * s), (15 * s, 9 * s)], WHITE)
        lay.polygon([(16 * s, 9 * s), (21 * s, 2 * s), (25 * s, 5 * s), (22 * s, 9 * s)], (255, 236, 170))
        lay.line([(10.5 * s, 8 * s), (13.5 * s, 3 * s)], 0.8 * s, STEEL)
    return lay


def icon_explorer(size, bg):
    lay = Layer(size, size, bg)
    s = size / 32
    lay.rounded(2 * s, 6 * s, 14 * s, 11 * s, 1.5 * s, (196, 140, 20))
    lay.rounded(2 * s, 8 * s, 28 * s, 27 * s, 2 * s, (196, 140, 20))
    lay.rounded(3 * s, 9.5 * s, 27 * s, 26 * s, 1.5 * s,
                gradient(size, size, [(0, (255, 226, 140)), (1, (240, 180, 40))]))
    lay.ring(20 * s, 19 * s, 7.5 * s, 5 * s, NAVY)
    lay.ellipse(15 * s, 14 * s, 25 * s, 24 * s, (200, 230, 255))
    lay.ring(20 * s, 19 * s, 7.5 * s, 5.2 * s, NAVY)
    lay.line([(25.5 * s, 24.5 * s), (30 * s, 29 * s)], 3.2 * s, NAVY)
    return lay


def icon_temp(size, bg):
    lay = Layer(size, size, bg)
    s = size / 32
    lay.polygon([(5 * s, 2 * s), (19 * s, 2 * s), (25 * s, 8 * s), (25 * s, 29 * s), (5 * s, 29 * s)], STEEL)
    lay.polygon([(6 * s, 3 * s), (18.5 * s, 3 * s), (24 * s, 8.5 * s), (24 * s, 28 * s), (6 * s, 28 * s)], WHITE)
    lay.polygon([(18.5 * s, 3 * s), (24 * s, 8.5 * s), (18.5 * s, 8.5 * s)], MIST)
    for y in (12, 15, 18):
        lay.line([(9 * s, y * s), (17 * s, y * s)], 1.2 * s, mix(STEEL, WHITE, 0.4))
    lay.ellipse(14 * s, 15 * s, 31 * s, 32 * s, NAVY)
    lay.ellipse(15.5 * s, 16.5 * s, 29.5 * s, 30.5 * s, WHITE)
    lay.line([(22.5 * s, 19 * s), (22.5 * s, 23.5 * s), (26 * s, 25.5 * s)], 1.6 * s, NAVY)
    return lay


def icon_mark(size, bg):
    lay = Layer(size, size, bg)
    emblem(lay, size / 2, size / 2, size / 2 - 0.5)
    return lay


# File name, drawing, sizes, matte. Icons have a 1-bit mask: their half-covered edge pixels
# are mixed onto the matte, the colour they will mostly be seen on (the dialogs' surface),
# or for the program's own icon, shown on light and dark bars alike, its rim colour.
ICON_DRAWINGS = {
    "zov.ico": (icon_mark, (48, 32, 16), NAVY),
    "explorer.ico": (icon_explorer, (32, 16), SURFACE),
    "bin_full.ico": (lambda n, bg: icon_bin(n, bg, True), (32, 16), SURFACE),
    "bin_empty.ico": (lambda n, bg: icon_bin(n, bg, False), (32, 16), SURFACE),
    "temp_files.ico": (icon_temp, (32, 16), SURFACE),
}


def render_icon(draw, size):
    """Returns (RGB image, coverage mask) for one icon size. The drawing is done twice, over
    black and over white: where the two differ, the background shows through."""
    black, white = draw(size, BLACK).down(), draw(size, WHITE).down()
    alpha = Image.new("L", black.size)
    colour = Image.new("RGB", black.size)
    bp, wp, ap, cp = black.load(), white.load(), alpha.load(), colour.load()
    for y in range(size):
        for x in range(size):
            a = 255 - max(wp[x, y][i] - bp[x, y][i] for i in range(3))
            ap[x, y] = a
            cp[x, y] = tuple(min(255, round(bp[x, y][i] * 255 / a)) if a else 0 for i in range(3))
    return colour, alpha


# ---------------------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------------------


def palettize(img, colours):
    """Quantizes without dithering (dithering would break the runs) and drops unused
    entries, so the colour table is no longer than it needs to be."""
    q = img.quantize(colors=colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    used = sorted(set(q.getdata()))
    remap = {old: new for new, old in enumerate(used)}
    pal = q.getpalette()
    out = q.point(lambda v: remap.get(v, 0))
    out.putpalette([c for old in used for c in pal[old * 3:old * 3 + 3]])
    return out, len(used)


def rle8(rows):
    """BI_RLE8 encoding of 8-bit rows given bottom-up."""
    out = bytearray()
    for row in rows:
        i, n = 0, len(row)
        while i < n:
            run = 1
            while i + run < n and run < 255 and row[i + run] == row[i]:
                run += 1
            if run >= 3 or n - i < 3:
                out += bytes((run, row[i]))
                i += run
                continue
            # Literal stretch: up to the next run of three or more.
            j = i
            while j < n and j - i < 255:
                if j + 2 < n and row[j] == row[j + 1] == row[j + 2]:
                    break
                j += 1
            lit = row[i:j]
            if len(lit) >= 3:
                out += bytes((0, len(lit))) + bytes(lit)
                if len(lit) % 2:
                    out.append(0)
            else:
                for v in lit:
                    out += bytes((1, v))
            i = j
        out += b"\x00\x00"
    out[-2:] = b"\x00\x01"
    return bytes(out)


def bmp_bytes(img, colours=256):
    """An 8-bit BMP file; run-length encoded when that is smaller."""
    p, used = palettize(img, colours)
    w, h = p.size
    data = p.tobytes()
    rows = [data[y * w:(y + 1) * w] for y in reversed(range(h))]
    stride = (w + 3) & ~3
    raw = b"".join(r + b"\0" * (stride - w) for r in rows)
    packed = rle8(rows)
    compression, bits = (1, packed) if len(packed) < len(raw) else (0, raw)
    pal = p.getpalette()[:used * 3]
    table = b"".join(bytes((pal[i + 2], pal[i + 1], pal[i], 0)) for i in range(0, len(pal), 3))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, compression, len(bits), 2835, 2835, used, used)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + table + bits


def ico_bytes(draw, sizes, matte):
    """An icon file with one 8-bit image per size; the AND mask comes from the coverage."""
    entries = []
    for size in sizes:
        colour, alpha = render_icon(draw, size)
        flat = Image.composite(colour, Image.new("RGB", colour.size, matte), alpha)
        opaque = alpha.point(lambda a: 255 if a >= 96 else 0)
        # Masked pixels are black: the screen shows through them unchanged (AND, then XOR).
        flat = Image.composite(flat, Image.new("RGB", colour.size, BLACK), opaque)
        p, used = palettize(flat, 64)
        pal = p.getpalette()[:used * 3]
        table = b"".join(bytes((pal[i + 2], pal[i + 1], pal[i], 0)) for i in range(0, len(pal), 3))
        xor = b"".join(p.tobytes()[y * size:(y + 1) * size] for y in reversed(range(size)))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        op = opaque.load()
        for y in reversed(range(size)):
            row = bytearray(mask_stride)
            for x in range(size):
                if not op[x, y]:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, used, used)
        entries.append((size, used, info + table + xor + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, used, blob in entries:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blob for _, _, blob in entries)


# ---------------------------------------------------------------------------------------
# The set
# ---------------------------------------------------------------------------------------


def small(w, frames, caption):
    return caption_button(w, 21, frames, "light", caption, 10, 1, 5, bold=False)


# File name, drawing, colour budget. The names are those setup.rc includes.
ARTWORK = [
    ("next.bmp", lambda: caption_button(364, 48, 4, "blue", "Next", 16, 6, 8, glyph="next"), 96),
    ("back.bmp", lambda: caption_button(260, 32, 4, "light", "Back", 13, 3, 7, glyph="back"), 64),
    ("done.bmp", lambda: caption_button(364, 48, 4, "blue", "Done", 16, 6, 8), 96),
    ("continue.bmp", lambda: caption_button(344, 43, 4, "blue", "Continue", 15, 5, 8), 96),
    ("cancel.bmp", lambda: small(228, 4, "Cancel"), 48),
    ("disk_cleanup.bmp", lambda: small(388, 4, "Disk Cleanup"), 48),
    ("launch_explorer.bmp", lambda: small(388, 4, "Launch Explorer"), 48),
    ("empty_bin.bmp", lambda: small(485, 5, "Empty Recycle Bin"), 48),
    ("delete_temp.bmp", lambda: small(485, 5, "Delete Temp Files"), 48),
    ("change_drive.bmp", lambda: small(388, 4, "Change Drive"), 48),
    ("scan_drives.bmp", lambda: small(388, 4, "Scan Hard Drives"), 48),
    ("change_dir.bmp", lambda: link_strip(1180, 16, "click here to change directories"), 48),
    ("new_member.bmp",
     lambda: welcome_button(1728, 53, "green", "New Member", "Create a new ZOV account", new_member_glyph), 128),
    ("current_member.bmp",
     lambda: welcome_button(1728, 53, "blue", "Current Member", "Use my existing ZOV account",
                            current_member_glyph), 128),
    ("screen_name.bmp", lambda: screen_name_button(1728, 53), 64),
    ("page.bmp", lambda: page_background(478, 340), 96),
    # Templates 170, 1037 and the cleanup dialog at 96 dpi; the header ends above the first
    # control under the prompt (the path box, the recycle-bin line). 72 colours are the
    # fewest that keep the mark's amber node.
    ("select_dir.bmp", lambda: page_background(496, 333, 46, False), 72),
    ("select_drive.bmp", lambda: page_background(604, 359, 59, False), 72),
    ("cleanup_dialog.bmp", lambda: page_background(505, 393, 62, False), 72),
    ("frame.bmp", lambda: frame_background(340, 96), 96),
    ("frame_progress.bmp", lambda: frame_progress_background(196, 440), 128),
    ("busy_features.bmp", lambda: busy_background(399, 184, "features"), 64),
    ("busy.bmp", lambda: busy_background(399, 184, "search"), 64),
    ("progress.bmp", lambda: progress_background(313, 189), 64),
    ("busy_animation.bmp", lambda: busy_animation(25, 32), 64),
    ("progress_animation.bmp", lambda: progress_animation(8, 32), 96),
    ("folders.bmp", folder_images, 32),
]


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        print("\n".join([name for name, _, _ in ARTWORK] + list(ICON_DRAWINGS)))
        return 0
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    if not os.path.isdir(FONT_DIR):
        sys.stderr.write(f"make_bitmaps: no fonts in {FONT_DIR} (package fonts-liberation2)\n")
        return 1
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, draw, colours in ARTWORK:
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(bmp_bytes(draw(), colours))
    for name, (draw, sizes, matte) in ICON_DRAWINGS.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(ico_bytes(draw, sizes, matte))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

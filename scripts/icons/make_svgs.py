#!/usr/bin/env python3
"""Writes the SVG sources of the module's and the host's images.

Every SVG is drawn in the units of the widget that shows it (a 22 x 22 button
is a 22 x 22 SVG), on the pixel grid.  scripts/render-icons.sh renders each one
twice: NAME.png at the widget's size and NAME@2x.png at twice that size, which
Qt picks on its own on a 200 % screen.

Usage: make_svgs.py [ROOT]   (ROOT defaults to the repository root)
"""

import math
import os
import sys

# Palette of the module's dark theme.
LINE = "#b4c2d6"  # normal state: light grey-blue line art
HOVER = "#3f95ea"  # hover: a brighter variant of the accent, readable on #0b121e
ACCENT = "#266baf"  # pressed / checked fill
ACCENT_DARK = "#1c5088"
WHITE = "#ffffff"
MUTED = "#858fa2"
TRACK = "#2a3a55"
OK = "#3fb27f"
OK_LIGHT = "#7fd9b0"
WARN = "#f0a63a"
ERROR = "#e5534b"


# ---------------------------------------------------------------- primitives


def fmt(v):
    if isinstance(v, float):
        s = ("%.3f" % v).rstrip("0").rstrip(".")
        return s if s not in ("-0", "") else "0"
    return str(v)


def attrs(**kw):
    out = []
    for key, value in kw.items():
        if value is None:
            continue
        out.append('%s="%s"' % (key.rstrip("_").replace("_", "-"), fmt(value)))
    return " ".join(out)


def rect(x, y, w, h, rx=0, fill="none", stroke=None, sw=1, **kw):
    return "<rect %s/>" % attrs(
        x=x, y=y, width=w, height=h, rx=rx or None, fill=fill, stroke=stroke,
        stroke_width=sw if stroke else None, **kw)


def circle(cx, cy, r, fill="none", stroke=None, sw=1, **kw):
    return "<circle %s/>" % attrs(
        cx=cx, cy=cy, r=r, fill=fill, stroke=stroke, stroke_width=sw if stroke else None, **kw)


def path(d, fill="none", stroke=None, sw=1, **kw):
    if stroke:
        kw.setdefault("stroke_linecap", "round")
        kw.setdefault("stroke_linejoin", "round")
    return "<path %s/>" % attrs(d=d, fill=fill, stroke=stroke, stroke_width=sw if stroke else None, **kw)


def line(x1, y1, x2, y2, stroke, sw=1, cap="round"):
    return "<line %s/>" % attrs(x1=x1, y1=y1, x2=x2, y2=y2, stroke=stroke, stroke_width=sw,
                                stroke_linecap=cap)


def polyline(points, stroke, sw=1, fill="none"):
    pts = " ".join("%s,%s" % (fmt(float(x)), fmt(float(y))) for x, y in points)
    return "<polyline %s/>" % attrs(points=pts, fill=fill, stroke=stroke, stroke_width=sw,
                                    stroke_linecap="round", stroke_linejoin="round")


def group(body, **kw):
    return "<g %s>%s</g>" % (attrs(**kw), "".join(body))


def masked(mask_id, body):
    return group(body, mask="url(#%s)" % mask_id)


def cut_mask(mask_id, w, h, holes):
    """A mask that keeps everything but the given shapes (drawn in black)."""
    return '<mask id="%s" maskUnits="userSpaceOnUse" x="0" y="0" width="%s" height="%s">%s%s</mask>' % (
        mask_id, fmt(w), fmt(h), rect(0, 0, w, h, fill="#ffffff"), "".join(holes))


def arc_path(cx, cy, r, a0, a1):
    """Arc from angle a0 to a1 (degrees, clockwise on screen, 0 = east)."""
    x0 = cx + r * math.cos(math.radians(a0))
    y0 = cy + r * math.sin(math.radians(a0))
    x1 = cx + r * math.cos(math.radians(a1))
    y1 = cy + r * math.sin(math.radians(a1))
    sweep = 1 if a1 > a0 else 0
    large = 1 if abs(a1 - a0) > 180 else 0
    return "M%s %s A%s %s 0 %d %d %s %s" % (fmt(x0), fmt(y0), fmt(r), fmt(r), large, sweep, fmt(x1), fmt(y1))


def arrow_head(x, y, angle, size, colour):
    """A filled triangular head whose tip is at (x, y) pointing along angle (degrees)."""
    a = math.radians(angle)
    back = (x - size * math.cos(a), y - size * math.sin(a))
    n = (-math.sin(a), math.cos(a))
    half = size * 0.62
    p1 = (back[0] + n[0] * half, back[1] + n[1] * half)
    p2 = (back[0] - n[0] * half, back[1] - n[1] * half)
    return path("M%s %s L%s %s L%s %s Z" % (fmt(x), fmt(y), fmt(p1[0]), fmt(p1[1]), fmt(p2[0]), fmt(p2[1])),
                fill=colour, stroke=colour, sw=0.6)


def arc_arrow(cx, cy, r, a0, a1, colour, sw, head):
    """An arc from a0 to a1 (degrees; increasing is clockwise on screen) ending in an arrow head."""
    tangent = a1 + 90 if a1 > a0 else a1 - 90
    # The head starts where the arc ends and its tip runs ahead along the tangent.
    ex = cx + r * math.cos(math.radians(a1))
    ey = cy + r * math.sin(math.radians(a1))
    reach = head * 0.75
    tip = (ex + reach * math.cos(math.radians(tangent)), ey + reach * math.sin(math.radians(tangent)))
    return [path(arc_path(cx, cy, r, a0, a1), stroke=colour, sw=sw, stroke_linecap="butt"),
            arrow_head(tip[0], tip[1], tangent, head, colour)]


def gear(cx, cy, r_out, r_in, teeth, hole, colour):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        for da, r in ((-0.30, r_in), (-0.19, r_out), (0.19, r_out), (0.30, r_in)):
            ang = a + da * step * 1.6
            pts.append((cx + r * math.cos(ang), cy + r * math.sin(ang)))
    d = "M" + " L".join("%s %s" % (fmt(x), fmt(y)) for x, y in pts) + " Z"
    d += " M%s %s a%s %s 0 1 0 %s 0 a%s %s 0 1 0 %s 0 Z" % (
        fmt(cx - hole), fmt(cy), fmt(hole), fmt(hole), fmt(2 * hole), fmt(hole), fmt(hole), fmt(-2 * hole))
    return path(d, fill=colour, fill_rule="evenodd")


def svg(w, h, body, defs=""):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%s" height="%s" viewBox="0 0 %s %s">\n'
            '%s%s\n</svg>\n') % (fmt(w), fmt(h), fmt(w), fmt(h),
                                 "<defs>%s</defs>\n" % defs if defs else "", body)


# Pixel helpers. Coordinates are in widget units; one unit is one pixel in NAME.png and
# two pixels in NAME@2x.png, so shapes that follow these helpers are crisp at both scales.


def px(x0, y0, x1, y1, colour, **kw):
    """A solid block covering the pixels x0..x1, y0..y1 (inclusive)."""
    return rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1, fill=colour, **kw)


def hl(x0, x1, y, colour):
    return px(x0, y, x1, y, colour)


def vl(x, y0, y1, colour):
    return px(x, y0, x, y1, colour)


def frame(x0, y0, x1, y1, colour, rx=0, fill="none"):
    """A one-pixel outline whose outer edge covers the pixels x0..x1, y0..y1."""
    return rect(x0 + 0.5, y0 + 0.5, x1 - x0, y1 - y0, rx=rx, fill=fill, stroke=colour, sw=1)


def pressed_tile(size, colour=ACCENT):
    return rect(0, 0, size, size, rx=3, fill=colour)


# ---------------------------------------------------------------- module glyphs

# Cell sizes (pixels) of the split buttons, chosen so that every divider falls on a
# pixel and the cells of one grid are equal.
SPLIT_CELLS = {(2, 2): (8, 6), (2, 3): (5, 6), (3, 3): (5, 4), (3, 4): (4, 4)}


def split_grid(rows, cols, colour, size=22):
    cw, ch = SPLIT_CELLS[(rows, cols)]
    w, h = cols * (cw + 1) + 1, rows * (ch + 1) + 1
    x0, y0 = (size - w + 1) // 2, (size - h + 1) // 2
    parts = [frame(x0, y0, x0 + w - 1, y0 + h - 1, colour, rx=1.5)]
    for c in range(1, cols):
        parts.append(vl(x0 + c * (cw + 1), y0 + 1, y0 + h - 2, colour))
    for r in range(1, rows):
        parts.append(hl(x0 + 1, x0 + w - 2, y0 + r * (ch + 1), colour))
    return parts


def pencil_outline(half, length):
    return "M0 0 L3 %s H%s V%s H3 Z" % (fmt(-half), fmt(length), fmt(half))


def pencil(tip_x, tip_y, length, half, colour):
    """A pencil whose tip is at (tip_x, tip_y), pointing down-left at 45 degrees."""
    transform = "translate(%s %s) rotate(-45)" % (fmt(tip_x), fmt(tip_y))
    # Tip and body are parted by a transparent gap so the pencil reads on any background.
    tip = "M0 0 L2.4 %s V%s Z" % (fmt(-half), fmt(half))
    body = rect(3.3, -half, length - 3.3, 2 * half, rx=0.5, fill=colour)
    return group([path(tip, fill=colour), body], transform=transform)


def pencil_cut(tip_x, tip_y, length, half, margin):
    transform = "translate(%s %s) rotate(-45)" % (fmt(tip_x), fmt(tip_y))
    return path(pencil_outline(half, length), fill="#000000", stroke="#000000", sw=2 * margin,
                transform=transform)


def split_icon(rows, cols, state, custom=False):
    colour = {"n": LINE, "h": HOVER, "p": WHITE}[state]
    defs = ""
    grid = split_grid(rows, cols, colour)
    if custom:
        pen = (12, 21.2, 12.2, 2.1)
        defs = cut_mask("cut", 22, 22, [pencil_cut(*pen, 1.3)])
        grid = [masked("cut", grid), pencil(*pen, colour)]
    body = ([pressed_tile(22)] if state == "p" else []) + grid
    return svg(22, 22, "".join(body), defs)


def decoder_management(state):
    colour = LINE if state == "n" else HOVER
    box = [frame(1, 3, 16, 12, colour, rx=1.5), px(3, 7, 4, 8, OK), px(6, 7, 7, 8, colour),
           hl(10, 13, 6, colour)]
    defs = cut_mask("cut", 20, 20, [circle(14.5, 14.5, 6.4, fill="#000000")])
    body = [masked("cut", box), gear(14.5, 14.5, 5.2, 3.7, 8, 1.6, colour)]
    return svg(20, 20, "".join(body), defs)


def monitor16(colour, fill=None):
    """A screen on a stand: screen pixels 1..13 x 2..10, centred on the pixel column 7."""
    parts = [frame(1, 2, 13, 10, colour, rx=1, fill=fill or "none"), vl(7, 11, 12, colour),
             hl(4, 10, 13, colour)]
    return parts


def badge_minus(cx, cy, r, fill, mark):
    """A round badge with a bar: (cx, cy) is the centre of a pixel so the bar stays crisp."""
    x, y = int(cx), int(cy)
    return [circle(cx, cy, r, fill=fill), hl(x - 2, x + 2, y, mark)]


def unbind_icon(all_screens, state):
    # Menu entries use the "_p" image while highlighted, and the menu's highlight is the accent
    # blue, so the pressed variant is drawn white rather than blue.
    colour = LINE if state == "n" else WHITE
    if all_screens:
        glyph = [frame(1, 2, 13, 12, colour, rx=1), vl(7, 3, 11, colour), hl(2, 12, 7, colour)]
    else:
        glyph = monitor16(colour)
    defs = cut_mask("cut", 16, 16, [circle(12.5, 12.5, 4.5, fill="#000000")])
    body = [masked("cut", glyph)] + badge_minus(12.5, 12.5, 3.5, ERROR, WHITE)
    return svg(16, 16, "".join(body), defs)


def target(cx, cy, colour):
    return [circle(cx, cy, 2.5, stroke=colour, sw=1), circle(cx, cy, 0.9, fill=colour)]


def check_screen(kind):
    if kind == "open_n":
        body = monitor16(LINE) + target(7.5, 6.5, LINE)
    elif kind == "open_p":
        body = monitor16(HOVER, fill=ACCENT) + target(7.5, 6.5, WHITE)
    elif kind == "runing":
        # Checking in progress: a lit screen sending waves to both sides of the target.
        body = monitor16(OK_LIGHT, fill=OK) + target(7.5, 6.5, WHITE)
        body += [path(arc_path(7.5, 6.5, 4.3, -50, 50), stroke=WHITE, sw=0.9, opacity=0.8),
                 path(arc_path(7.5, 6.5, 4.3, 130, 230), stroke=WHITE, sw=0.9, opacity=0.8)]
    else:  # off_p: stop checking
        body = monitor16(HOVER, fill=ACCENT) + target(7.5, 6.5, WHITE)
        body += [line(3.8, 9.6, 11.2, 3.4, ACCENT, 2.8), line(3.8, 9.6, 11.2, 3.4, ERROR, 1.2)]
    return svg(16, 16, "".join(body))


def plug(connected, colour):
    """A plug and a socket along the diagonal, the usual picture of a connection; apart when not
    connected."""
    gap = 0 if connected else 1.8
    plug_part = [line(-1 - gap, 8, 3.6 - gap, 8, colour, 1.4, cap="butt"),
                 rect(3.4 - gap, 4.8, 3.8, 6.4, rx=1.2, fill=colour),
                 line(7 - gap, 6.4, 9.6 - gap, 6.4, colour, 1.1, cap="butt"),
                 line(7 - gap, 9.6, 9.6 - gap, 9.6, colour, 1.1, cap="butt")]
    socket = [rect(9.4 + gap, 4.8, 3.6, 6.4, rx=1.2, fill=colour),
              line(12.8 + gap, 8, 17 + gap, 8, colour, 1.4, cap="butt")]
    return group(plug_part + socket, transform="rotate(-45 8 8)")


def connect_icon(kind):
    if kind == "connect_n":
        return svg(16, 16, plug(True, OK))
    colour = LINE if kind == "unconnect_n" else HOVER
    return svg(16, 16, plug(False, colour))


def wall_grid(x, y, w, h, rows, cols, gap, colour, rx=0.6):
    parts = []
    cw = (w - gap * (cols - 1)) / cols
    ch = (h - gap * (rows - 1)) / rows
    for r in range(rows):
        for c in range(cols):
            parts.append(rect(x + c * (cw + gap), y + r * (ch + gap), cw, ch, rx=rx, fill=colour))
    return parts


def tree_wall(state):
    colour = LINE if state == "n" else HOVER
    # Three 4-pixel columns and two 4-pixel rows with 1-pixel gaps, on legs.
    body = wall_grid(1, 2, 14, 9, 2, 3, 1, colour, rx=0.5)
    body += [vl(4, 11, 12, colour), vl(11, 11, 12, colour), hl(2, 13, 13, colour)]
    return svg(16, 16, "".join(body))


def tree_wall_changed():
    """A wall whose decoder holds another version than this desk saw: the wall with a warning badge."""
    defs = cut_mask("cut", 16, 16, [circle(12, 11.5, 4.6, fill="#000000")])
    body = [masked("cut", wall_grid(1, 2, 14, 9, 2, 3, 1, LINE, rx=0.5) +
                   [vl(4, 11, 12, LINE), hl(2, 9, 13, LINE)]),
            circle(12, 11.5, 3.8, fill=WARN), rect(11.3, 9, 1.4, 3.2, rx=0.5, fill="#0b121e"),
            circle(12, 13.7, 0.8, fill="#0b121e")]
    return svg(16, 16, "".join(body), defs)


def tree_output(state):
    if state == "n":
        body = monitor16(LINE) + [px(2, 3, 12, 9, LINE, opacity=0.16)]
    elif state == "h":
        # Bound to a screen: lit in the accent with a check mark.
        body = monitor16(HOVER, fill=ACCENT)
        body += [polyline([(4.6, 6.6), (6.6, 8.5), (10.4, 4.6)], WHITE, 1.4)]
    else:
        body = monitor16(WHITE, fill=ACCENT_DARK)
    return svg(16, 16, "".join(body))


def star_path(cx, cy, r_out, r_in):
    pts = []
    for i in range(10):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(-90 + i * 36)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return "M" + " L".join("%s %s" % (fmt(x), fmt(y)) for x, y in pts) + " Z"


def main_decoder():
    box = [frame(1, 5, 13, 12, LINE, rx=1), px(3, 8, 4, 9, OK), px(6, 8, 7, 9, LINE), hl(9, 11, 8, LINE)]
    defs = cut_mask("cut", 16, 16, [path(star_path(12.3, 4.3, 4.4, 2.1), fill="#000000", stroke="#000000",
                                         sw=1.6)])
    body = [masked("cut", box), path(star_path(12.3, 4.3, 3.9, 1.7), fill=WARN)]
    return svg(16, 16, "".join(body), defs)


def chevron_right(colour):
    return svg(16, 16, polyline([(6, 3.5), (10.5, 8), (6, 12.5)], colour, 1.5))


def refresh_icon():
    body = arc_arrow(8, 8, 5.5, -165, -40, LINE, 1.3, 3.4) + arc_arrow(8, 8, 5.5, 15, 140, LINE, 1.3, 3.4)
    return svg(16, 16, "".join(body))


def watching_icon():
    """A decoder being watched after a change: a clock, in the colour of things still open."""
    body = [circle(8, 8, 6, stroke=WARN, sw=1.4),
            polyline([(8, 4.6), (8, 8), (10.6, 9.6)], WARN, 1.4)]
    return svg(16, 16, "".join(body))


def active_icon():
    shield = "M8 1.5 L13.5 3.5 V7.6 C13.5 11 11.2 13.3 8 14.6 C4.8 13.3 2.5 11 2.5 7.6 V3.5 Z"
    body = [path(shield, stroke=LINE, sw=1), polyline([(5.3, 8), (7.3, 10), (10.9, 6.1)], OK, 1.6)]
    return svg(16, 16, "".join(body))


def tray(colour):
    return path("M1.5 9.5 V13.5 H13.5 V9.5", stroke=colour, sw=1, stroke_linecap="butt",
                stroke_linejoin="miter")


def menu_glyph(name, colour):
    if name == "ico_show_log":
        return [path("M3.5 1.5 H9.5 L12.5 4.5 V14.5 H3.5 Z", stroke=colour, sw=1),
                path("M9.5 1.5 V4.5 H12.5", stroke=colour, sw=1),
                hl(5, 10, 7, colour), hl(5, 10, 9, colour), hl(5, 8, 11, colour)]
    if name == "netsetting":
        return [frame(5, 1, 9, 4, colour), frame(1, 11, 5, 14, colour), frame(9, 11, 13, 14, colour),
                vl(7, 5, 7, colour), hl(3, 11, 8, colour), vl(3, 9, 10, colour), vl(11, 9, 10, colour)]
    if name == "ico_download":
        return [tray(colour), vl(7, 1, 9, colour),
                polyline([(4.3, 6.8), (7.5, 10), (10.7, 6.8)], colour, 1.1)]
    if name == "ico_export":
        return [tray(colour), vl(7, 3, 11, colour),
                polyline([(4.3, 5.2), (7.5, 2), (10.7, 5.2)], colour, 1.1)]
    if name == "update":
        return [circle(7.5, 7.5, 6, stroke=colour, sw=1), vl(7, 5, 11, colour),
                polyline([(5, 7.5), (7.5, 5), (10, 7.5)], colour, 1.1)]
    if name == "resolution":
        corners = [hl(3, 5, 4, colour), vl(3, 5, 5, colour), hl(9, 11, 4, colour), vl(11, 5, 5, colour),
                   hl(3, 5, 8, colour), vl(3, 7, 7, colour), hl(9, 11, 8, colour), vl(11, 7, 7, colour)]
        return monitor16(colour) + corners
    if name == "recover":
        return arc_arrow(7.5, 8, 5.6, 60, -165, colour, 1.2, 3.3) + [px(6, 7, 8, 9, colour)]
    raise ValueError(name)


def menu_icon(name, state):
    return svg(16, 16, "".join(menu_glyph(name, LINE if state == "n" else HOVER)))


def rule_mark(met):
    if met:
        body = [circle(8, 8, 7, fill=OK), polyline([(4.6, 8.2), (7, 10.5), (11.4, 5.8)], WHITE, 1.6)]
    else:
        body = [circle(8, 8, 6.5, stroke=MUTED, sw=1)]
    return svg(16, 16, "".join(body))


def switch_icon(on):
    if on:
        body = [rect(0, 0, 32, 16, rx=8, fill=ACCENT), circle(24, 8, 6, fill=WHITE)]
    else:
        body = [rect(0.5, 0.5, 31, 15, rx=7.5, fill=TRACK, stroke="#3a4a66", sw=1), circle(8, 8, 6, fill=MUTED)]
    return svg(32, 16, "".join(body))


def window_icon(state):
    colour = LINE if state == "n" else HOVER
    defs = cut_mask("cut", 20, 20, [px(4, 4, 5, 5, "#000000"), px(7, 4, 8, 5, "#000000")])
    body = [frame(2, 3, 17, 16, colour, rx=1.5),
            masked("cut", [rect(2, 3, 16, 4, rx=1.5, fill=colour), px(2, 5, 17, 6, colour)]),
            px(4, 9, 9, 14, colour, opacity=0.4), hl(11, 15, 9, colour), hl(11, 15, 11, colour),
            hl(11, 13, 13, colour)]
    return svg(20, 20, "".join(body), defs)


def password_icon():
    defs = cut_mask("cut", 20, 20, [circle(10, 12.6, 1.5, fill="#000000"), px(9, 13, 10, 15, "#000000")])
    body = [path("M7 9 V6.5 A3 3 0 0 1 13 6.5 V9", stroke=LINE, sw=2, stroke_linecap="butt"),
            masked("cut", [rect(4, 9, 12, 9, rx=1.5, fill=LINE)])]
    return svg(20, 20, "".join(body), defs)


def home_icon(hover):
    tile_fill = ACCENT if hover else "#1a2940"
    tile_stroke = HOVER if hover else TRACK
    colour = WHITE if hover else LINE
    body = [rect(1, 1, 46, 46, rx=8, fill=tile_fill, stroke=tile_stroke, sw=1.5)]
    body += wall_grid(8, 9, 32, 19, 2, 3, 1, colour, rx=1)
    body += [px(14, 29, 15, 33, colour), px(32, 29, 33, 33, colour), rect(10, 34, 28, 2, rx=1, fill=colour)]
    return svg(48, 48, "".join(body))


def step_banner(current):
    """Three numbered steps joined by lines; the current one lit, the done ones in the accent."""
    w, h = 540, 32
    centres = [90, 270, 450]
    body = []
    for i in range(2):
        done = i < current
        body.append(px(centres[i] + 17, 15, centres[i + 1] - 18, 16, ACCENT if done else TRACK))
    for i, cx in enumerate(centres):
        if i == current:
            body.append(circle(cx, 16, 14.5, stroke=ACCENT, sw=1.5, opacity=0.55))
            body.append(circle(cx, 16, 11.5, fill=ACCENT))
            colour = WHITE
        elif i < current:
            body.append(circle(cx, 16, 11, fill="#13324f", stroke=ACCENT, sw=1.5))
            colour = HOVER
        else:
            body.append(circle(cx, 16, 11, fill="#111a28", stroke="#3a4a66", sw=1.5))
            colour = MUTED
        body.append('<text x="%d" y="20.6" fill="%s" font-family="DejaVu Sans" font-weight="bold" '
                    'font-size="13" text-anchor="middle">%d</text>' % (cx, colour, i + 1))
    return svg(w, h, "".join(body))


# ---------------------------------------------------------------- host glyphs


def host_glyph(kind, colour):
    """Glyphs of the 20 x 20 header buttons, centred on x = 10 (two-pixel stems)."""
    if kind == "add":
        return [px(9, 4, 10, 15, colour), px(4, 9, 15, 10, colour)], ""
    if kind == "edit":
        pen = (4.2, 15.8, 14.2, 2.3)
        defs = cut_mask("cut", 20, 20, [pencil_cut(*pen, 1.2)])
        return [masked("cut", [hl(9, 16, 16, colour)]), pencil(*pen, colour)], defs
    if kind == "delete":
        return [px(3, 4, 16, 5, colour), frame(7, 2, 12, 4, colour), frame(5, 6, 14, 17, colour, rx=1.5),
                vl(8, 9, 14, colour), vl(11, 9, 14, colour)], ""
    if kind == "arrow_up":
        return [px(9, 5, 10, 16, colour), polyline([(5, 9.5), (10, 4.5), (15, 9.5)], colour, 2)], ""
    return [px(9, 3, 10, 14, colour), polyline([(5, 10.5), (10, 15.5), (15, 10.5)], colour, 2)], ""


def host_button(kind, state):
    body, defs = host_glyph(kind, LINE if state == "n" else HOVER)
    return svg(20, 20, "".join(body), defs)


def close_icon(hover):
    if hover:
        body = [rect(0, 0, 16, 16, rx=2.5, fill=ERROR), line(4.5, 4.5, 11.5, 11.5, WHITE, 1.5),
                line(4.5, 11.5, 11.5, 4.5, WHITE, 1.5)]
    else:
        body = [line(4, 4, 12, 12, LINE, 1.5), line(4, 12, 12, 4, LINE, 1.5)]
    return svg(16, 16, "".join(body))


def check_box(on):
    if on:
        body = [rect(1, 1, 14, 14, rx=2.5, fill=ACCENT), polyline([(4.2, 8.2), (6.8, 10.8), (11.8, 5.4)], WHITE, 1.7)]
    else:
        body = [frame(1, 1, 14, 14, MUTED, rx=2, fill="#0b121e")]
    return svg(16, 16, "".join(body))


def combo_arrow():
    return svg(10, 6, polyline([(1.2, 1.2), (5, 4.8), (8.8, 1.2)], LINE, 1.4))


def calendar_icon():
    body = [frame(1, 3, 14, 14, LINE, rx=1.5), rect(1, 3, 14, 3, rx=1.5, fill=LINE), px(1, 5, 14, 6, LINE),
            px(4, 1, 4, 3, LINE), px(11, 1, 11, 3, LINE)]
    for r in (8, 11):
        for c in (3, 7, 11):
            body.append(px(c, r, c + 1, r + 1, LINE))
    return svg(16, 16, "".join(body))


def folder_icon():
    body = [path("M1.5 4 C1.5 3 2 2.5 3 2.5 H6 L7.5 4.5 H13 C14 4.5 14.5 5 14.5 6 V12.5 C14.5 13.5 14 14 13 14 "
                 "H3 C2 14 1.5 13.5 1.5 12.5 Z", stroke=LINE, sw=1),
            hl(2, 13, 6, LINE)]
    return svg(16, 16, "".join(body))


# ---------------------------------------------------------------- catalogue


def module_images():
    images = {}
    for name, rows, cols in (("4", 2, 2), ("6", 2, 3), ("9", 3, 3), ("12", 3, 4)):
        for state in "nhp":
            images["%s_%s" % (name, state)] = split_icon(rows, cols, state)
    for state in "nhp":
        images["mn_" + state] = split_icon(3, 3, state, custom=True)
    for state in "nh":
        images["decoder_management_" + state] = decoder_management(state)
    for state in "np":
        images["off_" + state] = unbind_icon(False, state)
        images["off_all_" + state] = unbind_icon(True, state)
    images["cs_open_n"] = check_screen("open_n")
    images["cs_open_p"] = check_screen("open_p")
    images["cs_runing"] = check_screen("runing")
    images["cs_off_p"] = check_screen("off_p")
    images["connect_n"] = connect_icon("connect_n")
    images["unconnect_n"] = connect_icon("unconnect_n")
    images["unconnect_h"] = connect_icon("unconnect_h")
    images["jmq_n"] = tree_wall("n")
    images["jmq_p"] = tree_wall("p")
    images["jmq_changed"] = tree_wall_changed()
    images["ip_n"] = tree_output("n")
    images["ip_h"] = tree_output("h")
    images["ip_p"] = tree_output("p")
    images["ip_main_decoder"] = main_decoder()
    images["ip_list_right_pic"] = chevron_right(MUTED)
    images["refresh"] = refresh_icon()
    images["active"] = active_icon()
    images["watching"] = watching_icon()
    for name in ("ico_show_log", "netsetting", "ico_download", "ico_export", "update", "resolution", "recover"):
        for state in "nh":
            images["%s_%s" % (name, state)] = menu_icon(name, state)
    for i, name in enumerate(("first", "second", "third")):
        images["add_matrix_%s_page" % name] = step_banner(i)
    images["selected"] = rule_mark(True)
    images["unselected"] = rule_mark(False)
    images["switch_on"] = switch_icon(True)
    images["switch_off"] = switch_icon(False)
    images["window_n"] = window_icon("n")
    images["window_h"] = window_icon("h")
    images["password_n"] = password_icon()
    images["bg_homicon_n"] = home_icon(False)
    images["bg_homicon_hover"] = home_icon(True)
    return images


def host_images():
    images = {}
    for kind in ("add", "edit", "delete", "arrow_up", "arrow_down"):
        for state in "nh":
            images["%s_%s" % (kind, state)] = host_button(kind, state)
    images["close_n"] = close_icon(False)
    images["close_h"] = close_icon(True)
    images["check_on"] = check_box(True)
    images["check_off"] = check_box(False)
    images["combo_arrow"] = combo_arrow()
    images["calendar"] = calendar_icon()
    images["folder"] = folder_icon()
    return images


def write_all(directory, images):
    os.makedirs(directory, exist_ok=True)
    for old in os.listdir(directory):
        if old.endswith(".svg") and old[:-4] not in images:
            os.remove(os.path.join(directory, old))
    for name, text in sorted(images.items()):
        with open(os.path.join(directory, name + ".svg"), "w", encoding="utf-8") as f:
            f.write(text)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    module = module_images()
    if len(module) != 65:
        sys.exit("expected 65 module images, made %d" % len(module))
    write_all(os.path.join(root, "matrix_config", "resources", "svg"), module)
    write_all(os.path.join(root, "platform", "host_framework", "resources", "svg"), host_images())


if __name__ == "__main__":
    main()

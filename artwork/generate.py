#!/usr/bin/env python3
"""Writes the SVG sources of the artwork: the image-list slots and the icons.

Every main-window picture is an opaque tile that sits on the background at a
fixed place, so each tile is drawn as the background seen through a window
at that place with the control on top: the tiles join the background without
a seam. Run it after a change and commit its output with it.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SLOTS = os.path.join(HERE, "imglst")
ICONS = os.path.join(HERE, "icons")

# palette
CHASSIS_TOP, CHASSIS_BOTTOM = "#222d3c", "#0d1219"
PANEL_TOP, PANEL_BOTTOM = "#2b3749", "#182130"
GROOVE = "#070a0f"
ICON = "#b9c6d8"
ICON_HOVER = "#f2fbff"
TEAL, TEAL_DEEP = "#2fd6c4", "#0f8f86"
RED, RED_DEEP, RED_DIM = "#ff3b30", "#b3150d", "#5c1a17"
GREY = "#6c7a8e"
SILVER = "#c7ced8"

# places of the controls in the main window's client area (left, top, size)
LOGO = (0, 0, 480, 80)
BUTTONS = {"settings": (670, 50), "shutdown-files": (674, 170), "event-log": (633, 291), "about": (627, 410)}
CLOCK = (464, 405)
BATTERY = (551, 152)
MAINS = (490, 267)
LINK = (31, 364)
DISPLAY = (160, 107, 254, 163)


def centre(place, size=100):
    return place[0] + size / 2, place[1] + size / 2


def svg(width, height, body, view=None):
    vb = view or (0, 0, width, height)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{width}" height="{height}" viewBox="{vb[0]} {vb[1]} {vb[2]} {vb[3]}">\n{body}</svg>\n')


def lin(id_, stops, x1=0, y1=0, x2=0, y2=1, user=False):
    units = ' gradientUnits="userSpaceOnUse"' if user else ""
    s = "".join(f'<stop offset="{o}" stop-color="{c}" stop-opacity="{a}"/>' for o, c, a in stops)
    return f'<linearGradient id="{id_}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}"{units}>{s}</linearGradient>\n'


def rad(id_, stops, cx, cy, r, user=True):
    units = ' gradientUnits="userSpaceOnUse"' if user else ""
    s = "".join(f'<stop offset="{o}" stop-color="{c}" stop-opacity="{a}"/>' for o, c, a in stops)
    return f'<radialGradient id="{id_}" cx="{cx}" cy="{cy}" r="{r}"{units}>{s}</radialGradient>\n'


def glow(id_, cx, cy, r, colour, strength):
    """A soft halo: a radial gradient fading out to nothing."""
    return (rad(id_, [(0, colour, strength), (0.55, colour, strength * 0.45), (1, colour, 0)], cx, cy, r) +
            f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#{id_})"/>\n')


# ---------------------------------------------------------------- background

def socket(cx, cy, r):
    """A round recess in the chassis that a control sits in."""
    return (f'<circle cx="{cx}" cy="{cy}" r="{r + 3}" fill="#3a4860" fill-opacity="0.55"/>\n'
            f'<circle cx="{cx}" cy="{cy}" r="{r + 1}" fill="{GROOVE}"/>\n'
            f'<circle cx="{cx}" cy="{cy}" r="{r - 2}" fill="url(#socket)"/>\n')


def background_body():
    d = "<defs>\n"
    d += lin("chassis", [(0, CHASSIS_TOP, 1), (1, CHASSIS_BOTTOM, 1)], 0, 0, 0, 538, user=True)
    d += lin("header", [(0, "#324157", 1), (1, "#1b2431", 1)], 0, 0, 0, 80, user=True)
    d += lin("rail", [(0, PANEL_TOP, 1), (1, PANEL_BOTTOM, 1)], 0, 40, 0, 520, user=True)
    d += lin("socket", [(0, "#05080c", 1), (1, "#1a2330", 1)])
    d += lin("bezel", [(0, "#4a5a72", 1), (0.5, "#27323f", 1), (1, "#151b24", 1)])
    d += rad("sheen", [(0, "#3b5270", 0.45), (1, "#3b5270", 0)], 300, 260, 420)
    d += "</defs>\n"
    b = d
    b += '<rect width="784" height="538" fill="url(#chassis)"/>\n'
    b += '<rect width="784" height="538" fill="url(#sheen)"/>\n'
    # header band behind the logo, with a teal rule under it
    b += '<rect width="784" height="80" fill="url(#header)"/>\n'
    b += '<rect y="80" width="784" height="2" fill="#070a0f"/>\n'
    b += f'<rect y="82" width="784" height="1" fill="{TEAL}" fill-opacity="0.55"/>\n'
    # fine vertical ribs on the right of the header, where no logo is drawn
    for x in range(500, 780, 6):
        b += f'<rect x="{x}" y="14" width="2" height="52" rx="1" fill="#0d131b" fill-opacity="0.55"/>\n'
    # the curved rail that carries the four buttons
    (sx, sy), (fx, fy), (lx, ly), (ax, ay) = (centre(p) for p in BUTTONS.values())
    rail = (f"M{sx},{sy} C{sx + 8},{sy + 40} {fx + 6},{fy - 40} {fx},{fy} "
            f"C{fx - 6},{fy + 42} {lx + 6},{ly - 45} {lx},{ly} C{lx - 4},{ly + 40} {ax},{ay - 40} {ax},{ay}")
    b += f'<path d="{rail}" fill="none" stroke="{GROOVE}" stroke-width="124" stroke-linecap="round"/>\n'
    b += f'<path d="{rail}" fill="none" stroke="#3a4860" stroke-width="120" stroke-linecap="round"/>\n'
    b += f'<path d="{rail}" fill="none" stroke="url(#rail)" stroke-width="116" stroke-linecap="round"/>\n'
    # power-flow traces: mains to battery, battery to the display, link to the display
    bx, by = centre(BATTERY)
    mx, my = centre(MAINS)
    kx, ky = centre(LINK, 136)
    cx, cy = centre(CLOCK)
    dx, dy, dw, dh = DISPLAY
    traces = [f"M{mx},{my} L{bx},{by}", f"M{bx},{by} L{bx - 70},{by} L{dx + dw + 20},{dy + 40}",
              f"M{kx},{ky} L{kx},{dy + dh + 60} L{dx + 30},{dy + dh + 60} L{dx + 30},{dy + dh}",
              f"M{mx},{my} L{cx},{cy}"]
    for t in traces:
        b += f'<path d="{t}" fill="none" stroke="{GROOVE}" stroke-width="7" stroke-linejoin="round"/>\n'
        b += (f'<path d="{t}" fill="none" stroke="{TEAL}" stroke-opacity="0.35" stroke-width="1.5" '
              f'stroke-linejoin="round"/>\n')
    # the frame of the text display (the program paints the black display inside)
    b += f'<rect x="{dx - 14}" y="{dy - 14}" width="{dw + 28}" height="{dh + 42}" rx="12" fill="{GROOVE}"/>\n'
    b += f'<rect x="{dx - 12}" y="{dy - 12}" width="{dw + 24}" height="{dh + 38}" rx="10" fill="url(#bezel)"/>\n'
    b += f'<rect x="{dx - 4}" y="{dy - 4}" width="{dw + 8}" height="{dh + 8}" rx="3" fill="{GROOVE}"/>\n'
    b += f'<rect x="{dx}" y="{dy}" width="{dw}" height="{dh}" fill="#000000"/>\n'
    # recess for the small indicator label at 400,275
    b += '<rect x="398" y="273" width="17" height="17" rx="3" fill="#070a0f"/>\n'
    # sockets
    for p in BUTTONS.values():
        b += socket(*centre(p), 47)
    b += socket(*centre(BATTERY), 47)
    b += socket(*centre(MAINS), 47)
    b += socket(*centre(CLOCK), 47)
    b += socket(*centre(LINK, 136), 64)
    # a thin footer rule
    b += f'<rect x="0" y="524" width="784" height="1" fill="{TEAL}" fill-opacity="0.25"/>\n'
    return b


BACKGROUND = background_body()


def tile(left, top, size, content):
    """A control picture: the background seen at its place, with the control on top."""
    return svg(size, size, BACKGROUND + content, view=(left, top, size, size))


# ------------------------------------------------------------------ controls

def gear(cx, cy, colour):
    """An eight-toothed gear with a hole, as one even-odd path."""
    pts = []
    teeth, r_out, r_in = 8, 21, 15
    for i in range(teeth):
        a = 2 * math.pi * i / teeth
        for da, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out), (0.30, r_in)):
            pts.append((cx + r * math.cos(a + da), cy + r * math.sin(a + da)))
    outline = "M" + " L".join(f"{x:.2f},{y:.2f}" for x, y in pts) + " Z"
    hole = f"M{cx + 7},{cy} A7,7 0 1,0 {cx - 7},{cy} A7,7 0 1,0 {cx + 7},{cy} Z"
    return f'<path d="{outline} {hole}" fill="{colour}" fill-rule="evenodd"/>\n'


def power_symbol(cx, cy, r, colour, width):
    x0, y0 = cx + r * math.sin(math.radians(40)), cy - r * math.cos(math.radians(40))
    x1 = cx - r * math.sin(math.radians(40))
    return (f'<path d="M{x0:.2f},{y0:.2f} A{r},{r} 0 1,1 {x1:.2f},{y0:.2f}" fill="none" stroke="{colour}" '
            f'stroke-width="{width}" stroke-linecap="round"/>\n'
            f'<path d="M{cx},{cy - r - 2} L{cx},{cy - 1}" stroke="{colour}" stroke-width="{width}" '
            f'stroke-linecap="round"/>\n')


def button_icon(name, cx, cy, c):
    s = f'stroke="{c}" stroke-width="4" stroke-linecap="round" stroke-linejoin="round" fill="none"'
    if name == "settings":
        return gear(cx, cy, c)
    if name == "shutdown-files":
        x, y = cx - 14, cy - 19
        return (f'<path d="M{x},{y} L{x + 19},{y} L{x + 28},{y + 9} L{x + 28},{y + 38} L{x},{y + 38} Z" {s}/>\n'
                f'<path d="M{x + 19},{y} L{x + 19},{y + 9} L{x + 28},{y + 9}" {s}/>\n' +
                power_symbol(cx, cy + 6, 7.5, c, 3.2))
    if name == "event-log":
        out = f'<rect x="{cx - 18}" y="{cy - 20}" width="36" height="40" rx="5" {s}/>\n'
        for i in range(3):
            y = cy - 9 + i * 10
            out += f'<circle cx="{cx - 9}" cy="{y}" r="2.6" fill="{c}"/>\n'
            out += f'<path d="M{cx - 3},{y} L{cx + 10},{y}" stroke="{c}" stroke-width="3.2" stroke-linecap="round"/>\n'
        return out
    # about: a ring with the information mark
    return (f'<circle cx="{cx}" cy="{cy}" r="19" {s}/>\n'
            f'<circle cx="{cx}" cy="{cy - 9}" r="3" fill="{c}"/>\n'
            f'<path d="M{cx},{cy - 1} L{cx},{cy + 11}" stroke="{c}" stroke-width="5" stroke-linecap="round"/>\n')


def keycap(cx, cy, hover, uid):
    top, bottom = ("#405673", "#1f2c3d") if hover else ("#33445b", "#19222e")
    d = "<defs>" + lin(f"cap{uid}", [(0, top, 1), (1, bottom, 1)]) + "</defs>\n"
    out = d
    if hover:
        out += glow(f"halo{uid}", cx, cy, 50, TEAL, 0.35)
    out += f'<circle cx="{cx}" cy="{cy + 2}" r="41" fill="#000000" fill-opacity="0.45"/>\n'
    out += f'<circle cx="{cx}" cy="{cy}" r="40" fill="url(#cap{uid})"/>\n'
    out += f'<circle cx="{cx}" cy="{cy}" r="39.3" fill="none" stroke="#ffffff" stroke-opacity="0.12" stroke-width="1.4"/>\n'
    if hover:
        out += f'<circle cx="{cx}" cy="{cy}" r="42.5" fill="none" stroke="{TEAL}" stroke-width="3"/>\n'
    return out


def button(name, hover):
    left, top = BUTTONS[name]
    cx, cy = centre(BUTTONS[name])
    uid = f"{name}{int(hover)}"
    return tile(left, top, 100, keycap(cx, cy, hover, uid) + button_icon(name, cx, cy, ICON_HOVER if hover else ICON))


def lens(cx, cy, r, ring, uid, halo=None, glass=("#1a2433", "#0a0e15")):
    """The glass of a state picture; halo = (colour, strength) lights it from behind."""
    stops = [(0, glass[0], 1), (1, glass[1], 1)]
    out = "<defs>" + rad(f"glass{uid}", stops, cx, cy - r * 0.3, r * 1.2) + "</defs>\n"
    out += f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#glass{uid})"/>\n'
    if halo:
        out += glow(f"light{uid}", cx, cy, r - 2, halo[0], halo[1])
    out += f'<circle cx="{cx}" cy="{cy}" r="{r - 1.5}" fill="none" stroke="{ring}" stroke-width="3"/>\n'
    # a highlight across the top of the glass
    out += (f'<path d="M{cx - r * 0.62:.1f},{cy - r * 0.55:.1f} A{r * 0.85:.1f},{r * 0.85:.1f} 0 0,1 '
            f'{cx + r * 0.62:.1f},{cy - r * 0.55:.1f}" fill="none" stroke="#ffffff" stroke-opacity="0.10" '
            f'stroke-width="5" stroke-linecap="round"/>\n')
    return out


# state looks: ring colour, symbol colour, halo, glass; an alarm lights the whole glass red
DARK_GLASS = ("#1a2433", "#0a0e15")
UNKNOWN = ("#3d4a5c", GREY, None, DARK_GLASS)
NORMAL = (TEAL_DEEP, TEAL, (TEAL, 0.30), DARK_GLASS)
ALARM_ON = (RED, "#fff1ef", (RED, 0.55), ("#e0281d", "#6a0c08"))
ALARM_OFF = (RED_DIM, "#8a2a24", None, ("#2a0c0b", "#120607"))


def battery(look, bars):
    left, top = BATTERY
    cx, cy = centre(BATTERY)
    ring, colour, halo, glass = look
    uid = f"bat{bars}{ring[1:]}"
    out = lens(cx, cy, 44, ring, uid, halo, glass)
    x, y, w, h = cx - 24, cy - 13, 44, 26
    out += f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="4" fill="none" stroke="{colour}" stroke-width="4"/>\n'
    out += f'<rect x="{x + w + 1}" y="{cy - 6}" width="5" height="12" rx="1.5" fill="{colour}"/>\n'
    if bars is None:  # unknown: three quiet dots in place of the charge
        for i in range(3):
            out += f'<circle cx="{cx - 10 + i * 9}" cy="{cy}" r="2.4" fill="{colour}"/>\n'
    for i in range(bars or 0):
        out += f'<rect x="{x + 5 + i * 9.2:.1f}" y="{y + 5}" width="6.6" height="{h - 10}" rx="1.2" fill="{colour}"/>\n'
    return tile(left, top, 100, out)


def mains(look, slashed):
    left, top = MAINS
    cx, cy = centre(MAINS)
    ring, colour, halo, glass = look
    uid = f"ac{int(slashed)}{ring[1:]}"
    out = lens(cx, cy, 44, ring, uid, halo, glass)
    bolt = (f"M{cx + 5},{cy - 27} L{cx - 14},{cy + 4} L{cx - 1},{cy + 4} L{cx - 6},{cy + 27} "
            f"L{cx + 14},{cy - 5} L{cx + 1},{cy - 5} Z")
    # unknown shows the bolt as an outline only: no power known to be there
    fill = "none" if look is UNKNOWN else colour
    out += f'<path d="{bolt}" fill="{fill}" stroke="{colour}" stroke-width="{3 if look is UNKNOWN else 2}" stroke-linejoin="round"/>\n'
    if slashed:
        out += (f'<path d="M{cx - 24},{cy - 24} L{cx + 24},{cy + 24}" stroke="{glass[1]}" stroke-width="10" '
                f'stroke-linecap="round"/>\n'
                f'<path d="M{cx - 24},{cy - 24} L{cx + 24},{cy + 24}" stroke="{colour}" stroke-width="5" '
                f'stroke-linecap="round"/>\n')
    return tile(left, top, 100, out)


def clock():
    left, top = CLOCK
    cx, cy = centre(CLOCK)
    ccy = cy - 9  # the dial sits above the readout plate
    out = lens(cx, ccy, 38, "#3d4a5c", "clock")
    for i in range(12):
        a = 2 * math.pi * i / 12
        r0 = 27 if i % 3 == 0 else 30
        out += (f'<path d="M{cx + r0 * math.sin(a):.2f},{ccy - r0 * math.cos(a):.2f} '
                f'L{cx + 33 * math.sin(a):.2f},{ccy - 33 * math.cos(a):.2f}" stroke="{ICON}" '
                f'stroke-width="{3 if i % 3 == 0 else 1.6}" stroke-linecap="round"/>\n')
    out += (f'<path d="M{cx},{ccy} L{cx - 11},{ccy - 8}" stroke="{ICON}" stroke-width="4" stroke-linecap="round"/>\n'
            f'<path d="M{cx},{ccy} L{cx + 12},{ccy - 16}" stroke="{ICON}" stroke-width="3" stroke-linecap="round"/>\n'
            f'<circle cx="{cx}" cy="{ccy}" r="3.5" fill="{TEAL}"/>\n')
    # readout plate for the clock text the program writes at 0,81 (100 x 17)
    out += "<defs>" + lin("plate", [(0, "#f1f5f3", 1), (1, "#cdd6d2", 1)]) + "</defs>\n"
    out += f'<rect x="{left + 3}" y="{top + 78}" width="94" height="20" rx="5" fill="{GROOVE}"/>\n'
    out += f'<rect x="{left + 4}" y="{top + 79}" width="92" height="18" rx="4" fill="url(#plate)"/>\n'
    return tile(left, top, 100, out)


def link(frame):
    """Link picture; frame None is the lost/unknown look, 0-7 the connected animation."""
    left, top = LINK
    cx, cy = centre(LINK, 136)
    if frame is None:
        out = lens(cx, cy, 60, "#3d4a5c", "linkdown")
        colour = GREY
    else:
        out = lens(cx, cy, 60, TEAL_DEEP, f"link{frame}", (TEAL, 0.16 + 0.10 * math.cos(math.pi * frame / 4)))
        colour = TEAL
    # signal arcs on both sides of the node; in the animation a wave runs outwards
    for k, r in enumerate((17, 29, 41)):
        if frame is None:
            opacity = 0.75
        else:
            d = (frame / 2.0 - k) % 4  # 0 where the wave is, growing behind it
            opacity = max(0.18, 1.0 - 0.42 * min(d, 4 - d) * 1.6)
        for side in (-1, 1):
            a0, a1 = math.radians(-40), math.radians(40)
            x0, y0 = cx + side * r * math.cos(a0), cy + r * math.sin(a0)
            x1, y1 = cx + side * r * math.cos(a1), cy + r * math.sin(a1)
            sweep = 1 if side > 0 else 0
            out += (f'<path d="M{x0:.2f},{y0:.2f} A{r},{r} 0 0,{sweep} {x1:.2f},{y1:.2f}" fill="none" '
                    f'stroke="{colour}" stroke-opacity="{opacity:.2f}" stroke-width="5" stroke-linecap="round"/>\n')
    node_r = 8 if frame is None else 7.5 + 1.5 * math.cos(math.pi * frame / 4)
    out += f'<circle cx="{cx}" cy="{cy}" r="{node_r:.2f}" fill="{colour}"/>\n'
    if frame is None:
        out += (f'<path d="M{cx - 30},{cy + 30} L{cx + 30},{cy - 30}" stroke="#0a0e15" stroke-width="11" '
                f'stroke-linecap="round"/>\n'
                f'<path d="M{cx - 30},{cy + 30} L{cx + 30},{cy - 30}" stroke="{RED}" stroke-width="5" '
                f'stroke-linecap="round"/>\n')
    else:
        # a bright bead running round the ring, one eighth of a turn per frame
        a = 2 * math.pi * frame / 8 - math.pi / 2
        bx, by = cx + 58.5 * math.cos(a), cy + 58.5 * math.sin(a)
        out += glow(f"bead{frame}", round(bx, 2), round(by, 2), 8, "#bffaf2", 0.9)
        out += f'<circle cx="{bx:.2f}" cy="{by:.2f}" r="3.6" fill="#e8fffb"/>\n'
    return tile(left, top, 136, out)


def neutral(size):
    """A quiet picture for slots the main window never shows."""
    c = size / 2
    return svg(size, size, f'<rect width="{size}" height="{size}" fill="#141b25"/>\n'
               f'<circle cx="{c}" cy="{c}" r="{c - 8}" fill="none" stroke="#263244" stroke-width="2"/>\n')


# ---------------------------------------------------------------------- logo

def wordmark(x, b):
    """"Kestrava" in round-ended strokes; x is the left edge, b the baseline."""
    strokes, gap = [], 9

    def add(width, *paths):
        nonlocal x
        strokes.extend(p.format(x=x, b=b, **{f"x{n}": x + n for n in range(0, 40)},
                                **{f"b{n}": b - n for n in range(0, 40)}) for p in paths)
        x += width + gap

    add(22, "M{x0},{b34} L{x0},{b0}", "M{x21},{b34} L{x3},{b15}", "M{x9},{b20} L{x22},{b0}")
    add(22, "M{x0},{b12} L{x22},{b12} A11,12 0 1,0 {x19},{b4}")
    add(18, "M{x17},{b20} C{x14},{b25} {x1},{b25} {x1},{b18} C{x1},{b11} {x17},{b13} {x17},{b6} "
            "C{x17},{b0} {x4},{b0} {x0},{b4}")
    add(14, "M{x5},{b31} L{x5},{b7} C{x5},{b1} {x9},{b0} {x14},{b0}", "M{x0},{b23} L{x13},{b23}")
    add(15, "M{x1},{b24} L{x1},{b0}", "M{x1},{b13} C{x1},{b21} {x7},{b24} {x15},{b24}")
    add(23, "M{x22},{b12} A11,12 0 1,0 {x0},{b12} A11,12 0 1,0 {x22},{b12}", "M{x22},{b24} L{x22},{b0}")
    add(22, "M{x0},{b24} L{x11},{b0} L{x22},{b24}")
    add(23, "M{x22},{b12} A11,12 0 1,0 {x0},{b12} A11,12 0 1,0 {x22},{b12}", "M{x22},{b24} L{x22},{b0}")
    d = " ".join(strokes)
    common = 'fill="none" stroke-width="6.5" stroke-linecap="round" stroke-linejoin="round"'
    return (f'<path d="{d}" {common} stroke="#05080c" stroke-opacity="0.6" transform="translate(1.5,2)"/>\n'
            f'<path d="{d}" {common} stroke="#eef3f9"/>\n'), x


def brand_mark(cx, cy, r, uid, down=False):
    """The product mark: a bolt in a lit ring (grey and crossed out when the link is down)."""
    body, rim = ("#5d6878", "#8a96a8") if down else (TEAL_DEEP, TEAL)
    out = "<defs>" + rad(f"mark{uid}", [(0, rim, 1), (1, body, 1)], cx - r * 0.3, cy - r * 0.4, r * 1.6) + "</defs>\n"
    out += f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#mark{uid})"/>\n'
    out += f'<circle cx="{cx}" cy="{cy}" r="{r * 0.80:.2f}" fill="#0d141d"/>\n'
    k = r / 26
    bolt = [(5, -17), (-9, 3), (-1, 3), (-5, 17), (9, -3), (1, -3)]
    pts = " L".join(f"{cx + px * k:.2f},{cy + py * k:.2f}" for px, py in bolt)
    colour = "#aab4c2" if down else "#7ff3e6"
    out += f'<path d="M{pts} Z" fill="{colour}" stroke="{colour}" stroke-width="{1.5 * k:.2f}" stroke-linejoin="round"/>\n'
    return out


def logo():
    mark = brand_mark(44, 40, 26, "logo")
    text, end = wordmark(92, 55)
    accent = f'<rect x="92" y="64" width="{end - 92 - 9}" height="2" rx="1" fill="{TEAL}" fill-opacity="0.8"/>\n'
    return svg(480, 80, BACKGROUND + mark + text + accent, view=LOGO)


# --------------------------------------------------------- warning window faces

def face(countdown):
    d = "<defs>\n"
    d += lin("sky", [(0, "#0b2c66", 1), (1, "#1c5fb5", 1)], 0, 0, 1, 0)
    d += lin("shine", [(0, "#ffffff", 0.16), (1, "#ffffff", 0)])
    d += lin("silver", [(0, "#fbfcfd", 1), (0.5, "#d3d9e0", 1), (1, "#a9b2bd", 1)])
    d += lin("orange", [(0, "#ffd08a", 1), (0.5, "#f7a23e", 1), (1, "#dd7b12", 1)])
    d += rad("disc", [(0, "#ff7b6e", 1), (0.7, "#e0261b", 1), (1, "#a80f08", 1)], 30, 26, 34)
    d += "</defs>\n"
    b = d + '<rect width="320" height="122" fill="url(#sky)"/>\n'
    b += '<rect width="320" height="40" fill="url(#shine)"/>\n'
    b += '<rect y="0" width="320" height="2" fill="#6fa6ec" fill-opacity="0.7"/>\n'
    # the strip that carries the plates
    b += '<rect y="80" width="320" height="42" fill="#061a3d" fill-opacity="0.35"/>\n'
    b += '<rect y="80" width="320" height="1" fill="#8ab8f0" fill-opacity="0.35"/>\n'
    # red disc with the exclamation mark
    b += '<circle cx="38" cy="41" r="27" fill="#04122b" fill-opacity="0.45"/>\n'
    b += '<circle cx="38" cy="39" r="26" fill="url(#disc)"/>\n'
    b += '<circle cx="38" cy="39" r="24.5" fill="none" stroke="#ffffff" stroke-opacity="0.45" stroke-width="1.5"/>\n'
    b += '<path d="M34.2,24 L41.8,24 L40,45 L36,45 Z" fill="#ffffff" stroke="#ffffff" stroke-width="2" stroke-linejoin="round"/>\n'
    b += '<circle cx="38" cy="52.5" r="4" fill="#ffffff"/>\n'

    def plate(left, fill, edge):
        return (f'<rect x="{left - 1}" y="87" width="97" height="20" rx="10" fill="{edge}"/>\n'
                f'<rect x="{left}" y="88" width="95" height="18" rx="9" fill="url(#{fill})"/>\n'
                f'<rect x="{left + 8}" y="89" width="79" height="1" fill="#ffffff" fill-opacity="0.7"/>\n')

    if countdown:
        b += plate(75, "orange", "#7a3e05") + plate(188, "silver", "#4b5563")
    else:
        b += plate(112, "silver", "#4b5563")
    return svg(320, 122, b)


# ----------------------------------------------------------------------- icons

def icon(down):
    d = "<defs>" + lin("tile", [(0, "#2b3a50", 1), (1, "#111821", 1)]) + "</defs>\n"
    b = d + '<rect x="8" y="8" width="240" height="240" rx="52" fill="url(#tile)"/>\n'
    b += '<rect x="9.5" y="9.5" width="237" height="237" rx="50.5" fill="none" stroke="#ffffff" stroke-opacity="0.12" stroke-width="3"/>\n'
    b += brand_mark(128, 128, 92, "icon", down)
    if down:
        b += '<circle cx="190" cy="190" r="52" fill="#111821"/>\n'
        b += f'<circle cx="190" cy="190" r="44" fill="{RED}"/>\n'
        b += '<path d="M170,170 L210,210 M210,170 L170,210" stroke="#ffffff" stroke-width="15" stroke-linecap="round"/>\n'
    return svg(256, 256, b)


# ---------------------------------------------------------------------- output

def slots():
    s = [("logo", logo()), ("background", svg(784, 538, BACKGROUND))]
    for name in BUTTONS:
        s += [(name, button(name, False)), (f"{name}-hover", button(name, True))]
    s += [("clock", clock()), ("unused", neutral(100))]
    s += [("battery-unknown", battery(UNKNOWN, None)), ("battery-normal", battery(NORMAL, 4)),
          ("battery-low-1", battery(ALARM_ON, 1)), ("battery-low-2", battery(ALARM_OFF, 0))]
    s += [("mains-unknown", mains(UNKNOWN, False)), ("mains-normal", mains(NORMAL, False)),
          ("mains-failed-1", mains(ALARM_ON, True)), ("mains-failed-2", mains(ALARM_OFF, True))]
    s += [("link-down", link(None))] + [("unused", neutral(136))] * 3
    s += [(f"link-{i + 1}", link(i)) for i in range(8)]
    s += [("warning-face", face(False)), ("warning-face-countdown", face(True))]
    return s


def main():
    os.makedirs(SLOTS, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    for old in os.listdir(SLOTS):
        if old.endswith(".svg"):
            os.remove(os.path.join(SLOTS, old))
    for index, (name, text) in enumerate(slots()):
        with open(os.path.join(SLOTS, f"{index:02d}-{name}.svg"), "w", encoding="utf-8") as f:
            f.write(text)
    for name, down in (("kestrava", False), ("kestrava-link-down", True)):
        with open(os.path.join(ICONS, f"{name}.svg"), "w", encoding="utf-8") as f:
            f.write(icon(down))


if __name__ == "__main__":
    main()

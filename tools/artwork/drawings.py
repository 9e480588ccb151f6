"""Our own line drawings for subjects OpenMoji lacks, on its 72 x 72 grid and in its style, plus the
composed scenes. Each function returns SVG content for clipart.render."""

import math

from .clipart import draw, use


def _fmt(points):
    return " ".join(f"{x:.2f} {y:.2f}" for x, y in points)


def smooth(points, closed=True, tension=1.0):
    """An SVG path through the points with smooth joins (Catmull-Rom turned into cubic curves)."""
    pts = list(points)
    n = len(pts)
    out = [f"M{pts[0][0]:.2f} {pts[0][1]:.2f}"]
    last = n if closed else n - 1
    for i in range(last):
        p0 = pts[(i - 1) % n] if closed or i > 0 else pts[0]
        p1, p2 = pts[i], pts[(i + 1) % n]
        p3 = pts[(i + 2) % n] if closed or i + 2 < n else pts[-1]
        c1 = (p1[0] + (p2[0] - p0[0]) * tension / 6, p1[1] + (p2[1] - p0[1]) * tension / 6)
        c2 = (p2[0] - (p3[0] - p1[0]) * tension / 6, p2[1] - (p3[1] - p1[1]) * tension / 6)
        out.append(f"C{c1[0]:.2f} {c1[1]:.2f} {c2[0]:.2f} {c2[1]:.2f} {p2[0]:.2f} {p2[1]:.2f}")
    return " ".join(out) + (" Z" if closed else "")


def _lobed_leaf(base, tip, width, lobes=4):
    """A long leaf with wavy lobed edges from `base` to `tip`, and its midrib."""
    bx, by = base
    tx, ty = tip
    dx, dy = tx - bx, ty - by
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    nx, ny = -uy, ux
    left, right = [], []
    steps = lobes * 2
    for i in range(1, steps):
        t = i / steps
        w = width * math.sin(math.pi * t) ** 0.8 * (1.0 if i % 2 else 0.72)
        px, py = bx + dx * t, by + dy * t
        left.append((px + nx * w, py + ny * w))
        right.append((px - nx * w, py - ny * w))
    outline = [base] + left + [tip] + list(reversed(right))
    rib = f'<path d="M{bx} {by} L{bx + dx * 0.85:.2f} {by + dy * 0.85:.2f}" fill="none"/>'
    return f'<path d="{smooth(outline, tension=0.9)}"/>' + rib


def daikon():
    """A white radish: a long, plump root, slightly bent, with a short tail and a tuft of long leaves."""
    root = smooth([(27, 27), (36.5, 24.5), (46, 27), (47.5, 38), (46, 50), (42.5, 60), (38.5, 65.5),
                   (35.5, 65.5), (31.5, 60), (27.5, 49), (26, 38)])
    leaves = (_lobed_leaf((34, 26), (14, 8), 4.2) + _lobed_leaf((39, 26), (58, 8), 4.2) +
              _lobed_leaf((36.5, 25), (37, 2), 4.0))
    body = (
        f'<path d="{root}"/>'
        '<path d="M28.5 32 C33 33.5 40 33.5 45.5 32" fill="none"/>'
        '<path d="M29 40 L32 40.6 M45 44 L42 44.5 M30.5 51 L33.2 51.3 M43.5 53 L41 53.5 M33.5 59 L35.5 59.2" '
        'fill="none"/>'
        '<path d="M37 65.5 C37.5 68 38.5 70 40.5 71.5" fill="none"/>'
    )
    return draw(leaves + body)


def iris():
    """An iris: three falls hanging down, three standards upright, on a stem between sword leaves."""
    leaves = (
        '<path d="M33 68 C28 54 25 44 20 34 C27 42 32 52 36 66 Z"/>'
        '<path d="M38 68 C41 56 45 46 52 38 C48 48 44 58 41 68 Z"/>'
        '<path d="M35.5 68 L36 44" fill="none"/>'
    )
    flower = (
        # the two side falls
        '<path d="M34 33 C27 27 17 27 13 32 C16 40 26 41 34 36 Z"/>'
        '<path d="M38 33 C45 27 55 27 59 32 C56 40 46 41 38 36 Z"/>'
        # the front fall, hanging down
        '<path d="M33.5 35 C31 40 31.5 46 36 49.5 C40.5 46 41 40 38.5 35 Z"/>'
        # the standards, upright
        '<path d="M33 31 C27 25 26 16 29 11 C33 15 35 22 35.5 30 Z"/>'
        '<path d="M39 31 C45 25 46 16 43 11 C39 15 37 22 36.5 30 Z"/>'
        '<path d="M34 31 C32 22 33 13 36 7 C39 13 40 22 38 31 Z"/>'
        # the yellow signal marks on the falls
        '<path d="M31 33 L22 32.5 M41 33 L50 32.5 M36 38 L36 45" fill="none"/>'
        '<path d="M33 35 C34 33 38 33 39 35 C38 37 34 37 33 35 Z"/>'
    )
    return draw(leaves + flower)


def _rosette(cx, cy, r0, r1, lobes, phase=0.0, n=120):
    pts = []
    for i in range(n):
        a = 2 * math.pi * i / n
        r = r0 + (r1 - r0) * (0.5 + 0.5 * math.cos(lobes * a + phase))
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return f'<path d="M{_fmt(pts)} Z"/>'


def hyacinth():
    """A hyacinth growing from its bulb: a spike of small star florets, strap leaves, the bulb and its
    roots."""
    parts = []
    # leaves first, behind the stem and flowers
    parts.append('<path d="M34 46 C27 40 23 32 22 24 C27 30 31 36 36 42 Z"/>')
    parts.append('<path d="M38 46 C45 40 49 32 50 24 C45 30 41 36 36 42 Z"/>')
    parts.append('<path d="M36 44 L36 30" fill="none"/>')
    florets = [(36, 8), (32, 12.5), (40, 12.5), (29.5, 18), (36, 17.5), (42.5, 18), (31.5, 23.5),
               (38.5, 23.5), (44, 24.5), (28, 24.5), (35, 29), (40.5, 29.5), (30.5, 30)]
    for i, (x, y) in enumerate(florets):
        parts.append(_rosette(x, y, 2.0, 4.0, 6, phase=0.5 * i))
        parts.append(f'<circle cx="{x}" cy="{y}" r="0.5" fill="#000" stroke="none"/>')
    # the bulb: an onion shape with its tunic lines
    parts.append('<path d="M36 42 C32 45 25 48 24.5 54 C24 60 29 63 36 63 C43 63 48 60 47.5 54 '
                 'C47 48 40 45 36 42 Z"/>')
    parts.append('<path d="M36 44 C31 49 30 56 32 62.5 M36 44 C41 49 42 56 40 62.5" fill="none"/>')
    for x0, dx in ((30, -3), (34, -1), (38, 1.5), (42, 3.5)):
        parts.append(f'<path d="M{x0} 63 C{x0 + dx / 2} 65.5 {x0 + dx - 1} 67 {x0 + dx} 70" fill="none"/>')
    return draw("".join(parts))


def firefly():
    """A firefly seen from above, its tail lantern glowing inside a ring of light."""
    glow = (
        '<circle cx="36" cy="54" r="9" fill="#ececec" stroke="none"/>'
        '<circle cx="36" cy="54" r="11.5" fill="none" stroke-dasharray="3 3.2"/>'
    )
    rays = ""
    for k in range(10):
        a = math.radians(36 * k + 18)
        x0, y0 = 36 + 14.5 * math.cos(a), 54 + 14.5 * math.sin(a)
        x1, y1 = 36 + 18.5 * math.cos(a), 54 + 18.5 * math.sin(a)
        if y1 < 44:  # the body covers the rays above the lantern
            continue
        rays += f'<path d="M{x0:.2f} {y0:.2f} L{x1:.2f} {y1:.2f}" fill="none"/>'
    body = (
        '<path d="M34.5 11.5 C32 7 29 5 25 5 M37.5 11.5 C40 7 43 5 47 5" fill="none"/>'
        '<path d="M29.5 22 L24 19.5 L21 22 M29.2 27 L23 28.5 L20.5 32.5 M30.5 32 L26 36.5 L24.5 41.5 '
        'M42.5 22 L48 19.5 L51 22 M42.8 27 L49 28.5 L51.5 32.5 M41.5 32 L46 36.5 L47.5 41.5" fill="none"/>'
        '<ellipse cx="36" cy="54" rx="5.2" ry="4.6"/>'
        '<path d="M36 24 C30 24 28.5 28 28.5 34 C28.5 42 31 48 36 50 Z"/>'
        '<path d="M36 24 C42 24 43.5 28 43.5 34 C43.5 42 41 48 36 50 Z"/>'
        '<ellipse cx="36" cy="20.5" rx="7" ry="4.5"/>'
        '<circle cx="36" cy="14" r="3.4"/>'
        '<path d="M36 24.5 L36 49" fill="none"/>'
    )
    return draw(f'<g transform="rotate(-28 36 40)">{glow}{rays}{body}</g>')


def _child(cx, cy, girl, wave_left):
    """A child's head looking over the basket rim, with one hand waving."""
    hair = (f'<path d="M{cx - 4.6} {cy - 0.5} C{cx - 5} {cy - 6} {cx + 5} {cy - 6} {cx + 4.6} {cy - 0.5} '
            f'C{cx + 2} {cy - 3} {cx - 1} {cy - 3.5} {cx - 4.6} {cy - 0.5} Z" fill="#000"/>')
    if girl:
        hair += (f'<path d="M{cx + 4.5} {cy - 1} C{cx + 7} {cy - 1} {cx + 7.5} {cy + 2} {cx + 6.5} {cy + 3}" '
                 f'fill="none"/><circle cx="{cx - 4.4}" cy="{cy - 2.4}" r="1.3" fill="#000" stroke="none"/>')
    face = (f'<circle cx="{cx}" cy="{cy}" r="4.8"/>'
            f'<circle cx="{cx - 1.7}" cy="{cy + 0.3}" r="0.6" fill="#000" stroke="none"/>'
            f'<circle cx="{cx + 1.7}" cy="{cy + 0.3}" r="0.6" fill="#000" stroke="none"/>'
            f'<path d="M{cx - 1.6} {cy + 2} C{cx - 0.6} {cy + 3.2} {cx + 0.6} {cy + 3.2} {cx + 1.6} {cy + 2}" '
            f'fill="none"/>')
    s = -1 if wave_left else 1
    hand = (f'<path d="M{cx + s * 4} {cy + 6} L{cx + s * 8} {cy - 2}" fill="none"/>'
            f'<circle cx="{cx + s * 8.6}" cy="{cy - 3.6}" r="1.7"/>')
    return hand + face + hair


def balloon():
    """A hot-air balloon with two children waving from its basket."""
    envelope = (
        '<path d="M36 2 C19 2 12 15 14.5 26 C16.5 34 24 39 28.5 45 L43.5 45 C48 39 55.5 34 57.5 26 '
        'C60 15 53 2 36 2 Z"/>'
        '<path d="M36 2 C28 9 27 33 31.5 45 M36 2 C44 9 45 33 40.5 45 M36 2 L36 45" fill="none"/>'
        '<path d="M15.5 30 C22 33 29 34 36 34 C43 34 50 33 56.5 30" fill="none"/>'
        '<path d="M28.5 45 L43.5 45 L42.5 48 L29.5 48 Z"/>'
    )
    ropes = '<path d="M29.5 48 L22.5 60 M42.5 48 L49.5 60" fill="none"/>'
    kids = _child(30, 54.5, girl=False, wave_left=True) + _child(42, 54.5, girl=True, wave_left=False)
    basket = (
        '<path d="M21 60 L51 60 L49 70.5 L23 70.5 Z"/>'
        '<path d="M21.8 64 L50.2 64 M22.5 67.3 L49.5 67.3 M28 60 L28.7 70.5 M36 60 L36 70.5 M44 60 L43.3 70.5" '
        'fill="none"/>'
    )
    return draw(envelope + ropes + kids + basket)


def chrysanthemum():
    """A chrysanthemum: two rings of long narrow petals on a stem with a lobed leaf."""
    cx, cy = 36, 27
    parts = ['<path d="M36 45 C35 52 34.5 60 36 69" fill="none"/>',
             '<path d="M35.5 58 C30 52 23 51 17 54 C20 55 19 58 21 59 C24 60 24 63 27 62 C30 61.5 32 61 35.5 59 Z"/>',
             '<path d="M35.5 58.5 C30 56 25 56 20 56.5" fill="none"/>',
             '<path d="M36.3 53 C41 48 48 47 53 50 C50 51 51 54 49 55 C46 56 45 58 42 57 C40 56 38 55 36.3 54 Z"/>']
    for ring, (count, inner, outer, width, phase) in enumerate(((22, 7, 21.5, 2.6, 0.0), (16, 5, 14.5, 2.5, 0.5))):
        for k in range(count):
            a = 360 * (k + phase) / count
            mid = (inner + outer) / 2
            half = (outer - inner) / 2
            parts.append(f'<ellipse cx="{mid:.2f}" cy="0" rx="{half:.2f}" ry="{width}" '
                         f'transform="translate({cx} {cy}) rotate({a:.2f})"/>')
    parts.append(f'<circle cx="{cx}" cy="{cy}" r="5.5"/>')
    for dx, dy in ((-2, -1.5), (1.5, -2), (2.2, 1.2), (-1.2, 2.2), (0, 0)):
        parts.append(f'<circle cx="{cx + dx}" cy="{cy + dy}" r="0.6" fill="#000" stroke="none"/>')
    return draw("".join(parts))


def eraser():
    """A school eraser in its paper sleeve, with a few crumbs."""
    return draw(
        '<path d="M10 36 L42 20 L62 30 L30 46 Z"/>'
        '<path d="M10 36 L30 46 L30 56 L10 46 Z"/>'
        '<path d="M30 46 L62 30 L62 40 L30 56 Z"/>'
        # the sleeve: a band round the right-hand part
        '<path d="M22 30 L42 40 L42 50 M29 26.5 L49 36.5 L49 46.5" fill="none"/>'
        '<path d="M44 38.5 L47 37 M44 42 L47 40.5" fill="none"/>'
        # crumbs and a rubbed-out trail
        '<path d="M9 56 C11 55 12 57 13 56 M16 60 C17.5 59 18.5 61 20 60 M6 62 C7 61 8 63 9 62" fill="none"/>'
        '<path d="M34 64 C42 62 52 62 64 60" fill="none" stroke-dasharray="2.5 3"/>'
    )


def fox():
    """A fox running to the left, legs stretched fore and aft, brush streaming behind."""
    far_legs = (
        f'<path d="{smooth([(28, 37), (25, 45), (22.5, 51), (19, 53), (19.5, 50.8), (21, 45), (23.5, 37)])}"/>'
        f'<path d="{smooth([(50, 36), (52.5, 44), (51, 50.5), (47.5, 52.5), (47.5, 50.2), (48.5, 44.5), (45.5, 37.5)])}"/>'
    )
    tail = smooth([(52, 28.5), (58, 22), (65, 17.5), (70.5, 17.5), (72, 21.5), (68.5, 27), (62, 31.5),
                   (55.5, 34)], tension=0.9)
    tail_tip = '<path d="M66 17.6 C64.8 20.5 65.5 24.5 67.8 27.6" fill="none"/>'
    body = smooth([(5, 29.3), (10, 26.5), (15, 24), (17.5, 14), (21.5, 21.2), (23.5, 21.5), (27, 14.5),
                   (28.5, 22.8), (31.5, 24.8), (40, 25.8), (49, 26.2), (55, 28.8), (57.5, 33.5), (61, 38.5),
                   (65, 42.5), (70, 45.5), (69.2, 48), (62.5, 46.8), (55.5, 42), (50, 38.8), (44, 40),
                   (36, 40), (28.5, 38.8), (21, 43), (13.5, 46.6), (8, 47.8), (7.8, 45.4), (12.5, 43.3),
                   (18, 39.3), (20.5, 35), (17.5, 33.5), (12, 31.8), (7, 31.2)], tension=0.75)
    details = (
        '<circle cx="14.2" cy="26.8" r="1.1" fill="#000" stroke="none"/>'
        '<circle cx="5.4" cy="29.6" r="1.3" fill="#000" stroke="none"/>'
        '<path d="M16 30 C17.5 32.3 19.5 33.5 22 34" fill="none"/>'
        '<path d="M19.3 21.5 L18.6 18 M26.3 22 L27 18.5" fill="none"/>'
        '<path d="M53 36 C55 35.5 56.5 34.5 57.5 33.5" fill="none"/>'
    )
    return draw(f'<path d="{tail}"/>' + tail_tip + far_legs + f'<path d="{body}"/>' + details)


def speed_lines():
    return draw('<path d="M6 44 L16 44 M3 50 L14 50 M8 56 L17 56" fill="none"/>')


# ---------------------------------------------------------------------------------------------------
# composed scenes


def open_book_pencil():
    return use("open-book", y=-6) + use("pencil", x=17, y=14, scale=0.6, rotate=12)


def school_tree():
    return use("school", x=-9, scale=0.9) + use("deciduous-tree", x=25, y=8, scale=0.6)


def monkey_book():
    return (use("closed-book") +
            '<g fill="#fff" stroke="#000" stroke-linecap="round"><rect x="17" y="21" width="33" height="36" '
            'rx="2"/></g>' +
            use("monkey-face", x=-2.5, y=3, scale=0.44))


def t_shirt():
    slogan = ('<text x="36" y="44" font-family="Klee One" font-weight="600" font-size="9.5" '
              'text-anchor="middle" fill="#000" stroke="none">げんき</text>'
              '<path d="M27.5 47 C31 48 40 48 44.5 47" fill="none" stroke="#000" stroke-linecap="round"/>')
    return use("t-shirt") + slogan


def _nigiri(x, y, topping):
    """One piece of nigiri: a rice block under a draped slice (striped salmon or egg with a nori band)."""
    rice = (f'<path d="{smooth([(x - 11, y + 1), (x, y - 1), (x + 11, y + 1), (x + 12, y + 7), (x, y + 9), (x - 12, y + 7)])}"/>')
    slice_ = f'<path d="{smooth([(x - 15, y + 2.5), (x - 8, y - 6), (x + 3, y - 8), (x + 14, y - 4), (x + 15.5, y + 2), (x + 3, y - 1), (x - 8, y)])}"/>'
    if topping == "salmon":
        marks = (f'<path d="M{x - 7} {y - 4} L{x - 3} {y - 1} M{x - 1} {y - 6} L{x + 3} {y - 1.8} '
                 f'M{x + 5} {y - 6} L{x + 9} {y - 2}" fill="none"/>')
    else:
        marks = (f'<path d="M{x - 3} {y - 7.5} L{x - 3} {y + 8.5} L{x + 3} {y + 8.5} L{x + 3} {y - 7.8} Z" '
                 f'fill="#000"/>')
    return rice + slice_ + marks


def sushi_pair():
    """Two pieces of nigiri on a wooden stand."""
    board = ('<path d="M5 49 L67 49 L67 55 L5 55 Z"/>'
             '<path d="M12 55 L12 61 L19 61 L19 55 M53 55 L53 61 L60 61 L60 55" fill="none"/>')
    return draw(board + _nigiri(21, 38, "salmon") + _nigiri(51, 38, "egg"))


def girl_v():
    """A girl smiling with her hand up in a V sign."""
    arm = draw('<path d="M44 60 L53.5 38 L61.5 39.5 L52 62 Z"/>')
    return arm + use("girl", x=-8) + use("victory-hand", x=21, y=-13, scale=0.46)


def leaping_rabbit():
    return use("rabbit", rotate=-14, y=-3) + speed_lines()




def leaf():
    """A leaf fluttering in the wind, with its midrib and veins drawn in."""
    veins = draw('<path d="M22.5 45.5 C30 39.5 40 31.5 48.5 24.5 M29 40 L29.8 34.5 M29 40 L34.5 40.8 '
                 'M35.6 34.6 L36.8 29.2 M35.6 34.6 L41 35.2 M42 29.6 L43.2 25.6 M42 29.6 L46.2 30" fill="none"/>')
    return use("leaf-fluttering-in-wind") + veins


def _strawberry(x, y):
    return (f'<path d="M{x - 4} {y - 2} C{x - 4.2} {y + 3} {x - 1.2} {y + 6} {x} {y + 7} C{x + 1.2} {y + 6} '
            f'{x + 4.2} {y + 3} {x + 4} {y - 2} C{x + 2} {y - 3.6} {x - 2} {y - 3.6} {x - 4} {y - 2} Z"/>'
            f'<path d="M{x - 3.4} {y - 2.4} L{x - 1.6} {y - 4.6} L{x} {y - 2.8} L{x + 1.6} {y - 4.6} '
            f'L{x + 3.4} {y - 2.4}" fill="none"/>'
            + "".join(f'<circle cx="{x + dx}" cy="{y + dy}" r="0.45" fill="#000" stroke="none"/>'
                      for dx, dy in ((-1.8, 0.6), (1.6, 0.4), (0, 2.6), (-0.8, 4.4), (1, 4.3), (0.1, -0.6))))


def layered_cake():
    """A two-tier cake with a cherry and strawberries on top."""
    return use("birthday-cake") + draw(_strawberry(23, 11.5) + _strawberry(49, 11.5))


def _spiral(cx, cy, r, turns=1.6, flip=False):
    pts = []
    n = 24
    for i in range(n + 1):
        t = i / n
        a = 2 * math.pi * turns * t * (-1 if flip else 1)
        rr = r * (1 - t) + 0.6
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return f'<path d="{smooth(pts, closed=False)}" fill="none"/>'


def lion_dance():
    """The lion-dance head: the lion's face above the swirl-patterned cloth that the dancer hides under."""
    cloth = smooth([(14, 36), (36, 40), (58, 36), (66, 52), (69, 68), (52, 66), (36, 69), (20, 66),
                    (3, 68), (6, 52)], tension=0.7)
    swirls = (_spiral(20, 55, 5) + _spiral(36, 59, 5, flip=True) + _spiral(52, 55, 5) +
              _spiral(11, 64, 3, flip=True) + _spiral(61, 64, 3))
    return draw(f'<path d="{cloth}"/>' + swirls) + use("lion", y=-12, scale=0.72)

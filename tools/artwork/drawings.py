"""Our own line drawings for subjects OpenMoji lacks, on its 72 x 72 grid and in its style, plus the
composed scenes. Each function returns SVG content for clipart.render."""

import math

from .clipart import draw, use


def _fmt(points):
    return " ".join(f"{x:.2f} {y:.2f}" for x, y in points)


def daikon():
    """A white radish: a long, slightly bent root with its tuft of leaves."""
    leaves = (
        '<path d="M35 22 C30 14 24 9 19 10 C18 16 25 20 34 23 Z"/>'
        '<path d="M36 22 C35 13 37 6 41 3 C45 8 43 15 38 22 Z"/>'
        '<path d="M38 23 C44 15 51 12 56 13 C56 19 49 22 39 24 Z"/>'
        '<path d="M34 22 C29 17 25 14 21 12 M37 21 C38 13 39 9 41 5 M39 23 C45 18 50 15 54 14" fill="none"/>'
    )
    body = (
        '<path d="M29 24 C33 21.5 41 21.5 45 24 C46 36 44 50 39.5 62 C38.5 65 36.5 65 35.5 62 '
        'C31 50 28 36 29 24 Z"/>'
        '<path d="M30.5 33 L33 33.5 M44 38 L41.5 38.6 M31.5 45 L34 45.3 M42 51 L40 51.4 M35 58 L37 58.2" '
        'fill="none"/>'
        '<path d="M37.5 64 C38 66.5 39.5 68 41 68.5" fill="none"/>'
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
        '<circle cx="36" cy="14" r="3.4" fill="#000"/>'
        '<path d="M33 54 L39 54 M33.8 56.5 L38.2 56.5" fill="none"/>'
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
        '<path d="M36 3 C18 3 11 17 14 29 C16.5 38 25 43 29 49 L43 49 C47 43 55.5 38 58 29 '
        'C61 17 54 3 36 3 Z"/>'
        '<path d="M36 3 C28 10 27 36 32 49 M36 3 C44 10 45 36 40 49 M36 3 L36 49" fill="none"/>'
        '<path d="M15.5 33 C22 36 29 37 36 37 C43 37 50 36 56.5 33" fill="none"/>'
        '<path d="M29 49 L43 49 L42 52 L30 52 Z"/>'
    )
    ropes = '<path d="M30 52 L25.5 59 M42 52 L46.5 59" fill="none"/>'
    kids = _child(31, 57.5, girl=False, wave_left=True) + _child(41.5, 57.5, girl=True, wave_left=False)
    basket = (
        '<path d="M23.5 60 L48.5 60 L46.5 70 L25.5 70 Z"/>'
        '<path d="M23.5 60 L48.5 60" fill="none"/>'
        '<path d="M24.3 64 L47.7 64 M25 67 L47 67 M30 60 L30.5 70 M36 60 L36 70 M42 60 L41.5 70" fill="none"/>'
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
    """A fox running to the left, brush held out behind."""
    return draw(
        # tail
        '<path d="M44 34 C54 26 64 26 68 30 C70 34 66 38 60 38 C55 38 50 38 46 40 Z"/>'
        '<path d="M62 29.5 C65 31 66 33 66 35.5 C64 36.5 62 37 60 37.5" fill="#000"/>'
        # hind legs
        '<path d="M44 42 C46 46 50 50 55 52 L57 50.5 M40 44 C40 49 38 53 36 56 L38 57" fill="none"/>'
        # fore legs, stretched
        '<path d="M25 42 C22 46 17 48 12 48 L11 46 M28 43 C27 48 27 52 29 56 L27 57.5" fill="none"/>'
        # body
        '<path d="M22 32 C26 28 38 28 45 32 C48 35 47 41 43 43 C37 46 28 45 24 42 C21 40 20 35 22 32 Z"/>'
        '<path d="M24 41 C28 43 33 43.5 37 43" fill="none"/>'
        # head with pointed ears and snout
        '<path d="M24 31 C22 26 18 24 14 26 C11 27 7 28 4 29 C7 32 11 33 15 33.5 C18 34 22 34 24 31 Z"/>'
        '<path d="M16 26 L17 18 L21.5 25 Z M20 25.5 L23 19 L24.5 27.5 Z"/>'
        '<circle cx="4.6" cy="29.2" r="1.2" fill="#000" stroke="none"/>'
        '<path d="M12.5 28.8 C13.5 28 14.5 28 15.5 28.8" fill="none"/>'
        '<path d="M8 31.5 C11 32.5 14 32.5 17 31.5" fill="none"/>'
    )


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
            f'<g fill="#fff" stroke="#000" stroke-linecap="round"><rect x="17" y="21" width="33" height="36" '
            f'rx="2"/></g>' +
            use("monkey-face", x=-2.5, y=3, scale=0.44))


def t_shirt():
    slogan = ('<text x="36" y="44" font-family="Klee One" font-weight="600" font-size="9.5" '
              'text-anchor="middle" fill="#000" stroke="none">げんき</text>'
              '<path d="M27.5 47 C31 48 40 48 44.5 47" fill="none" stroke="#000" stroke-linecap="round"/>')
    return use("t-shirt") + slogan


def sushi_pair():
    board = draw('<path d="M6 50 L66 50 L66 56 L6 56 Z"/><path d="M14 56 L14 62 L20 62 L20 56 M52 56 L52 62 '
                 'L58 62 L58 56" fill="none"/>')
    return (board + use("sushi", x=-14, y=-2, scale=0.62) + use("sushi", x=14, y=-2, scale=0.62) +
            draw('<path d="M20 34 L24 32 M46 34 L50 32" fill="none"/>'))


def girl_v():
    arm = draw('<path d="M50 62 L50 52 C51 48 53 42 54.5 37 L61 38 C60 43 59 49 57.5 54 L57 62 Z"/>')
    return use("girl", x=-8) + arm + use("victory-hand", x=22, y=-14, scale=0.42)


def leaping_rabbit():
    return use("rabbit", rotate=-14, y=-3) + speed_lines()


def steaming_mug():
    return use("hot-beverage")


def cakes_slice():
    return use("shortcake")

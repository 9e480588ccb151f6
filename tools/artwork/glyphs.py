"""The hand-written pictures: digits, signs, box, circle, remainder mark, parentheses and words.

Each function returns a finished greyscale picture ('L', dark ink on white) of its stored size."""

import math
import random

from PIL import Image, ImageDraw

from . import hand
from .hand import Stroke

CELL = (101, 142)  # every digit and sign cell


def digit(d, seed):
    """A digit written by hand in the 101 x 142 cell: ink over rows ~14..130, strokes ~8 px."""
    rng = random.Random(seed)
    canvas = hand.blank(CELL)
    if d == 1:
        # a teacher's 1 is one straight downstroke, pressed at the top and lifted at the bottom
        lean = rng.uniform(-2.5, 1.0)
        top = (50.5 + lean / 2 + rng.uniform(-0.5, 0.5), 18.5)
        bottom = (49.5 - lean / 2, 126.5)
        mid = ((top[0] + bottom[0]) / 2 + rng.uniform(-0.8, 0.8), 72)
        ink = hand.draw_strokes(CELL, [Stroke([top, mid, bottom], 9.0, wobble=0.6, start=0.95, end=0.7)],
                                rng.randrange(1 << 30))
        canvas = hand.place(canvas, ink.crop(ink.getbbox()),
                            center=((top[0] + bottom[0]) / 2, 72 + rng.uniform(-0.5, 0.5)))
    else:
        height = rng.uniform(113, 117)
        mask = hand.hand_glyph(str(d), height, rng.randrange(1 << 30), thin_px=0.7, rotate=2.0, shift=1.1)
        canvas = hand.place(canvas, mask, center=(50 + rng.uniform(-1.5, 1.5), 72 + rng.uniform(-1, 1)))
    canvas = hand.pencil(canvas, rng.randrange(1 << 30))
    return hand.to_picture(canvas, CELL)


def _line(points, width):
    """A sign's stroke: steady, a little firmer where the pen lands than where it lifts."""
    return Stroke(points, width, wobble=0.35, start=0.8, end=0.62, press=0.03)


def _sign(strokes, seed, size=CELL, dots=()):
    rng = random.Random(seed)
    ink = hand.draw_strokes(size, strokes, rng.randrange(1 << 30))
    if dots:
        draw = ImageDraw.Draw(ink)
        for (x, y, r) in dots:
            # a dot is a tiny pressed stroke: a little egg rather than a perfect disc
            rx, ry = r * rng.uniform(1.0, 1.15), r * rng.uniform(0.85, 1.0)
            draw.ellipse(((x - rx) * hand.SS, (y - ry) * hand.SS, (x + rx) * hand.SS, (y + ry) * hand.SS),
                         fill=250)
    ink = hand.pencil(ink, rng.randrange(1 << 30))
    return hand.to_picture(ink, size)


def _j(rng, a=0.8):
    return rng.uniform(-a, a)


def equals(seed):
    rng = random.Random(seed)
    w = 7.6
    return _sign([
        _line([(16 + _j(rng), 66 + _j(rng, 0.3)), (86 + _j(rng), 65.8)], w),
        _line([(14 + _j(rng), 80 + _j(rng, 0.3)), (88 + _j(rng), 80.2)], w),
    ], seed + 1)


def plus(seed):
    rng = random.Random(seed)
    w = 8.0
    return _sign([
        _line([(14, 71 + _j(rng, 0.5)), (50, 70.5 + _j(rng, 0.6)), (84.5, 71 + _j(rng, 0.5))], w),
        _line([(49.5 + _j(rng, 0.5), 37), (49.5 + _j(rng), 72), (49 + _j(rng, 0.5), 105.5)], w),
    ], seed + 1)


def minus(seed):
    rng = random.Random(seed)
    return _sign([_line([(15, 69.5 + _j(rng, 0.3)), (50, 69 + _j(rng, 0.4)), (86, 69.5)], 7.0)], seed + 1)


def times(seed):
    rng = random.Random(seed)
    w = 8.0
    return _sign([
        _line([(23 + _j(rng), 45 + _j(rng)), (48.5, 70), (74.5 + _j(rng), 95 + _j(rng))], w),
        _line([(74.5 + _j(rng), 45 + _j(rng)), (49.5, 70.5), (23 + _j(rng), 95 + _j(rng))], w),
    ], seed + 1)


def divide(seed):
    rng = random.Random(seed)
    return _sign([_line([(14, 71 + _j(rng, 0.4)), (50, 70.5 + _j(rng, 0.5)), (87, 71.2)], 8.0)], seed + 1,
                 dots=[(50 + _j(rng, 1.2), 44 + _j(rng, 0.8), 6.5), (50 + _j(rng, 1.2), 98 + _j(rng, 0.8), 6.5)])


BOX_LINE = 1.5


def box(seed):
    """The empty answer box, 60 x 76, its lines touching the picture's edges: drawn in three strokes
    like the kanji 口 (left side, top and right side in one turn, then the bottom)."""
    rng = random.Random(seed)
    # Thin enough that, stretched to the largest fill-in box (3.8 times), the top and bottom lines stay
    # within the 10 pixels above and below the answer digit's cell, which would otherwise cut them.
    w = BOX_LINE
    e = w / 2 - 0.2  # centre of a line that touches the edge
    W, H = 60, 76
    # each side bows inward a little, as a ruler-less hand does; the corners stay on the edges
    bow = [rng.uniform(0.2, 0.6), rng.uniform(0.0, 0.1), rng.uniform(0.2, 0.6), rng.uniform(0.0, 0.1)]
    left = Stroke([(e, -1.5), (e + bow[0], H / 2 + _j(rng, 6)), (e, H + 1.5)], w, wobble=0.2, start=1.0,
                  end=0.85)
    turn = Stroke([(-1.5, e), (W / 2 + _j(rng, 4), e + bow[1]), (W - e - 0.8, e), (W - e, e + 2.5),
                   (W - e - bow[2], H / 2 + _j(rng, 6)), (W - e, H + 1.5)], w, wobble=0.2, start=1.0,
                  end=0.85)
    bottom = Stroke([(-1.5, H - e), (W / 2 + _j(rng, 4), H - e - bow[3]), (W + 1.5, H - e)], w,
                    wobble=0.2, start=1.0, end=0.9)
    ink = hand.draw_strokes((W, H), [left, turn, bottom], rng.randrange(1 << 30))
    ink = hand.pencil(ink, rng.randrange(1 << 30), low=0.88, grain=0.08)
    return hand.to_picture(ink, (W, H))


def circle(seed):
    """The empty circle, 100 x 100: one thin even line round the edge, started at the top left and
    closed with a small overlap."""
    rng = random.Random(seed)
    w = 3.0
    r_max = 50 - w / 2 + 0.1
    wob = hand.Wave(rng, 0.8, 40, 120)
    start = rng.uniform(200, 230)
    pts = []
    n = 90
    for i in range(n + 1):
        a = start + (360 + 14) * i / n
        r = r_max - abs(wob(a)) - (0.8 * (i / n) ** 3)  # the closing end comes in a touch
        pts.append((50 + r * math.cos(math.radians(a)), 50 + r * math.sin(math.radians(a))))
    ink = hand.draw_strokes((100, 100), [Stroke(pts, w, smooth=False, wobble=0.0, even=True)],
                            rng.randrange(1 << 30))
    ink = hand.pencil(ink, rng.randrange(1 << 30), low=0.9, grain=0.06)
    return hand.to_picture(ink, (100, 100))


def remainder_mark(seed):
    """Three short slanting strokes in a row at mid-height of a half-width cell (61 x 142)."""
    rng = random.Random(seed)
    strokes = []
    for x in (13, 30, 47):
        x += _j(rng, 0.8)
        y = 72 + _j(rng, 1.0)
        strokes.append(Stroke([(x - 3.2, y - 6), (x + 3.4 + _j(rng, 0.4), y + 6)], 6.5, wobble=0.2,
                              start=1.0, end=0.55))
    ink = hand.draw_strokes((61, 142), strokes, rng.randrange(1 << 30))
    ink = hand.pencil(ink, rng.randrange(1 << 30))
    return hand.to_picture(ink, (61, 142))


def paren(right, seed):
    """A tall parenthesis, 35 x 113."""
    rng = random.Random(seed)
    size = (35, 113)
    canvas = hand.blank(size)
    mask = hand.hand_glyph(")" if right else "(", 105, rng.randrange(1 << 30), width=19, thin_px=-0.6,
                           rotate=1.0, shift=0.8)
    canvas = hand.place(canvas, mask, center=(17.5 + (-1.5 if right else 1.5), 56.5))
    canvas = hand.pencil(canvas, rng.randrange(1 << 30))
    return hand.to_picture(canvas, size)


def word(text, size, height, seed, sizes=None, center=None, gap=0.06, thin_px=0.0):
    """A word written by hand, fitted into a picture of `size`."""
    rng = random.Random(seed)
    canvas = hand.blank(size)
    mask = hand.hand_line(text, height, rng.randrange(1 << 30), sizes=sizes, gap=gap, thin_px=thin_px)
    max_w = (size[0] - 8) * hand.SS
    if mask.size[0] > max_w:
        mask = mask.resize((max_w, int(mask.size[1] * max_w / mask.size[0])), Image.LANCZOS)
    canvas = hand.place(canvas, mask, center=center or (size[0] / 2, size[1] / 2))
    canvas = hand.pencil(canvas, rng.randrange(1 << 30))
    return hand.to_picture(canvas, size)

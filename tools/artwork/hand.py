"""Hand-made strokes: pen lines drawn point by point and font glyphs roughened into pencil writing.

Everything is drawn as an ink mask ('L', 255 = full ink) at SS times the final size and reduced at the
end, so wobble and tapering survive as smooth edges. All chance comes from random.Random(seed), so the
same seed always gives the same picture.
"""

import contextlib
import math
import random

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

BASE_SS = 4  # ink-mask pixels per stored pixel
SCALE = 1  # stored pixels per pixel of the catalogue size (see scaled())
SS = BASE_SS * SCALE  # ink-mask pixels per catalogue pixel: the unit every drawing is laid out in


@contextlib.contextmanager
def scaled(k):
    """Within the block, pictures are stored at k times their catalogue size: the same drawing, laid
    out in catalogue pixels, with k times the detail, so it still prints sharp when stretched k times
    larger."""
    global SCALE, SS
    SCALE, SS = k, BASE_SS * k
    try:
        yield
    finally:
        SCALE, SS = 1, BASE_SS

KLEE_REGULAR = "/usr/share/fonts/truetype/klee/KleeOne-Regular.ttf"
KLEE_SEMIBOLD = "/usr/share/fonts/truetype/klee/KleeOne-SemiBold.ttf"


class Wave:
    """A smooth random function of one variable: a few sines of random phase."""

    def __init__(self, rng, amplitude, shortest, longest, terms=3):
        self.terms = []
        for _ in range(terms):
            wavelength = rng.uniform(shortest, longest)
            self.terms.append((2 * math.pi / wavelength, rng.uniform(0, 2 * math.pi), rng.uniform(0.5, 1.0)))
        total = sum(w for _, _, w in self.terms)
        self.scale = amplitude / total

    def __call__(self, x):
        return self.scale * sum(w * math.sin(k * x + p) for k, p, w in self.terms)


class Field:
    """A smooth random function of two variables."""

    def __init__(self, rng, amplitude, shortest, longest, terms=4):
        self.terms = []
        for _ in range(terms):
            wavelength = rng.uniform(shortest, longest)
            angle = rng.uniform(0, math.pi)
            k = 2 * math.pi / wavelength
            self.terms.append((k * math.cos(angle), k * math.sin(angle), rng.uniform(0, 2 * math.pi)))
        self.scale = amplitude / len(self.terms) * 1.6

    def __call__(self, x, y):
        return self.scale * sum(math.sin(kx * x + ky * y + p) for kx, ky, p in self.terms)


# ---------------------------------------------------------------------------------------------------
# paths


def catmull_rom(points, samples_per_segment=24):
    """A smooth curve through the control points (end points repeated)."""
    if len(points) < 3:
        (x0, y0), (x1, y1) = points
        n = samples_per_segment * 2
        return [(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n) for i in range(n + 1)]
    pts = [points[0]] + list(points) + [points[-1]]
    out = []
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for s in range(samples_per_segment):
            t = s / samples_per_segment
            t2, t3 = t * t, t * t * t
            out.append(tuple(
                0.5 * (2 * p1[j] + (-p0[j] + p2[j]) * t + (2 * p0[j] - 5 * p1[j] + 4 * p2[j] - p3[j]) * t2 +
                       (-p0[j] + 3 * p1[j] - 3 * p2[j] + p3[j]) * t3) for j in range(2)))
    out.append(points[-1])
    return out


def resample(path, step):
    """Points spaced `step` apart along the path."""
    out = [path[0]]
    carry = 0.0
    for (x0, y0), (x1, y1) in zip(path, path[1:]):
        seg = math.hypot(x1 - x0, y1 - y0)
        if seg == 0:
            continue
        d = step - carry
        while d <= seg:
            out.append((x0 + (x1 - x0) * d / seg, y0 + (y1 - y0) * d / seg))
            d += step
        carry = seg - (d - step)
    if out[-1] != path[-1]:
        out.append(path[-1])
    return out


# ---------------------------------------------------------------------------------------------------
# pen strokes


class Stroke:
    """One pen stroke: a path in final-pixel coordinates with its width and character."""

    def __init__(self, points, width, smooth=True, wobble=0.5, start=0.7, end=0.45, even=False,
                 darkness=1.0, press=0.05, rise=0.08, fall=0.15):
        self.points = points
        self.press = press  # how much the pressure swells and eases along the stroke
        self.rise = rise  # share of the stroke over which the pen settles
        self.fall = fall  # share of the stroke over which it lifts
        self.width = width
        self.smooth = smooth
        self.wobble = wobble  # sideways drift in final pixels
        self.start = start  # width at the start, as a share of the full width
        self.end = end  # width at the lift-off
        self.even = even  # a thin even line: hardly any swelling
        self.darkness = darkness


def width_profile(t, stroke):
    if stroke.even:
        return stroke.width * (0.8 + 0.2 * min(1.0, t / 0.03) * min(1.0, (1 - t) / 0.03))
    rise = min(1.0, t / stroke.rise)
    fall = min(1.0, (1 - t) / stroke.fall)
    head = stroke.start + (1 - stroke.start) * math.sin(rise * math.pi / 2)
    tail = stroke.end + (1 - stroke.end) * math.sin(fall * math.pi / 2)
    return stroke.width * min(head, tail)


def draw_strokes(size, strokes, seed):
    """Ink mask at SS times `size` holding the strokes, each laid down as a run of round stamps."""
    rng = random.Random(seed)
    w, h = size
    ink = Image.new("L", (w * SS, h * SS), 0)
    for stroke in strokes:
        path = catmull_rom(stroke.points) if stroke.smooth else stroke.points
        path = resample(path, 0.25)
        length = max(1e-6, 0.25 * (len(path) - 1))
        drift = Wave(rng, stroke.wobble, 18, 60)
        press = Wave(rng, stroke.press, 14, 40)
        layer = Image.new("L", ink.size, 0)
        draw = ImageDraw.Draw(layer)
        n = len(path)
        for i, (x, y) in enumerate(path):
            t = i / (n - 1)
            # sideways drift: perpendicular to the local direction
            j0, j1 = max(0, i - 2), min(n - 1, i + 2)
            dx, dy = path[j1][0] - path[j0][0], path[j1][1] - path[j0][1]
            norm = math.hypot(dx, dy) or 1.0
            off = drift(t * length)
            px, py = x - dy / norm * off, y + dx / norm * off
            r = max(0.35, width_profile(t, stroke) * (1 + press(t * length)) / 2) * SS
            level = stroke.darkness * (0.90 + 0.10 * math.sin(math.pi * t) + press(t * length) * 0.5)
            level = max(0.0, min(1.0, level))
            cx, cy = px * SS, py * SS
            draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=int(round(255 * level)))
        ink = ImageChops.lighter(ink, layer)
    return ink


# ---------------------------------------------------------------------------------------------------
# writing with the font


def glyph_mask(text, font_path, px_size):
    """The ink of `text` in the font, cropped to its ink."""
    font = ImageFont.truetype(font_path, px_size)
    left, top, right, bottom = font.getbbox(text)
    pad = px_size // 4
    img = Image.new("L", (right - left + 2 * pad, bottom - top + 2 * pad), 0)
    ImageDraw.Draw(img).text((pad - left, pad - top), text, font=font, fill=255)
    return img.crop(img.getbbox())


def warp(mask, seed, rotate_deg, shift, wavelength):
    """Rotate a little and push the ink around by a smooth field (`shift` pixels at the mask's scale)."""
    rng = random.Random(seed)
    w, h = mask.size
    pad = int(abs(shift) * 3 + max(w, h) * 0.06) + 2
    src = Image.new("L", (w + 2 * pad, h + 2 * pad), 0)
    src.paste(mask, (pad, pad))
    W, H = src.size
    fx = Field(rng, shift, wavelength, wavelength * 2.5)
    fy = Field(rng, shift, wavelength, wavelength * 2.5)
    a = math.radians(rotate_deg)
    ca, sa = math.cos(a), math.sin(a)
    cx, cy = W / 2, H / 2
    step = max(4, int(wavelength / 6))

    def source(x, y):
        rx, ry = x - cx, y - cy
        sx = ca * rx + sa * ry + cx + fx(x, y)
        sy = -sa * rx + ca * ry + cy + fy(x, y)
        return sx, sy

    mesh = []
    for y0 in range(0, H, step):
        for x0 in range(0, W, step):
            x1, y1 = min(W, x0 + step), min(H, y0 + step)
            quad = source(x0, y0) + source(x0, y1) + source(x1, y1) + source(x1, y0)
            mesh.append(((x0, y0, x1, y1), quad))
    out = src.transform(src.size, Image.MESH, mesh, resample=Image.BICUBIC)
    return out.crop(out.getbbox())


def thin(mask, amount):
    """Shave `amount` pixels (at the mask's scale) off each side of every stroke; negative thickens."""
    filt = ImageFilter.MinFilter if amount > 0 else ImageFilter.MaxFilter
    left = abs(int(round(amount)))
    while left > 0:
        k = 5 if left >= 2 else 3
        mask = mask.filter(filt(k))
        left -= (k - 1) // 2
    return mask


def hand_glyph(text, height, seed, font_path=KLEE_REGULAR, thin_px=0.0, rotate=2.0, shift=1.2,
               width=None):
    """`text` written by hand: an ink mask at SS scale whose ink is `height` final pixels tall
    (and `width` wide when given: the writing is then squeezed or stretched to it)."""
    rng = random.Random(seed)
    probe = glyph_mask(text, font_path, 200)
    size = int(round(200 * height * SS / probe.size[1]))
    mask = glyph_mask(text, font_path, size)
    if thin_px:
        mask = thin(mask, thin_px * SS)
    mask = warp(mask, rng.randrange(1 << 30), rng.uniform(-rotate, rotate), shift * SS, 40 * SS)
    target_h = int(round(height * SS))
    target_w = int(round(width * SS)) if width else int(round(mask.size[0] * target_h / mask.size[1]))
    return mask.resize((target_w, target_h), Image.LANCZOS)


def hand_line(text, height, seed, font_path=KLEE_REGULAR, thin_px=0.0, gap=0.08, rotate=3.0, shift=1.0,
              sizes=None):
    """A word written by hand, letter by letter: each letter its own tilt, size and baseline.

    `sizes` gives each letter's height as a share of `height` (small kana are smaller)."""
    rng = random.Random(seed)
    probe_font = ImageFont.truetype(font_path, 200)
    letters = []
    for i, ch in enumerate(text):
        share = sizes[i] if sizes else 1.0
        font_px = int(round(200 * height * SS / (probe_font.size * 0.88)))
        font_px = int(round(font_px * share))
        font = ImageFont.truetype(font_path, font_px)
        left, top, right, bottom = font.getbbox(ch)
        ascent, descent = font.getmetrics()
        pad = font_px // 3
        img = Image.new("L", (right - left + 2 * pad, ascent + descent + 2 * pad), 0)
        ImageDraw.Draw(img).text((pad - left, pad), ch, font=font, fill=255)
        if thin_px:
            img = thin(img, thin_px * SS)
        img = warp(img, rng.randrange(1 << 30), rng.uniform(-rotate, rotate), shift * SS, 30 * SS)
        letters.append((img, font_px, rng.uniform(-0.03, 0.03) * height * SS, rng.uniform(-0.02, 0.05)))
    # letters keep their own ink extents; lay them on a common line by their middles
    total_w = sum(im.size[0] for im, _, _, _ in letters) + int(gap * height * SS) * (len(letters) - 1)
    top_h = max(im.size[1] for im, _, _, _ in letters)
    canvas = Image.new("L", (total_w + 8 * SS, int(top_h * 1.4) + 8 * SS), 0)
    x = 4 * SS
    base = canvas.size[1] // 2
    for (im, font_px, dy, extra), share in zip(letters, sizes or [1.0] * len(letters)):
        y = int(base - im.size[1] / 2 + dy + (1 - share) * height * SS * 0.38)
        canvas.paste(ImageChops.lighter(canvas.crop((x, y, x + im.size[0], y + im.size[1])), im), (x, y))
        x += im.size[0] + int((gap + extra) * height * SS)
    return canvas.crop(canvas.getbbox())


# ---------------------------------------------------------------------------------------------------
# pencil finish and placement


def pencil(mask, seed, low=0.80, grain=0.12):
    """Ink that darkens and lightens slowly across the picture, with a fine pencil grain."""
    rng = random.Random(seed)
    w, h = mask.size
    gw, gh = max(2, w // (28 * SS) + 2), max(2, h // (28 * SS) + 2)
    coarse = Image.new("L", (gw, gh))
    coarse.putdata([int(255 * rng.uniform(low, 1.0)) for _ in range(gw * gh)])
    field = coarse.resize((w, h), Image.BICUBIC)
    out = ImageChops.multiply(mask, field)
    if grain:
        # the grain keeps its size against the strokes: two mask pixels of an unscaled picture
        fw, fh = max(2, w // (2 * SCALE)), max(2, h // (2 * SCALE))
        fine = Image.new("L", (fw, fh))
        fine.putdata([int(255 * (1 - grain * rng.random())) for _ in range(fw * fh)])
        out = ImageChops.multiply(out, fine.resize((w, h), Image.BILINEAR))
    return out


def place(canvas, mask, center):
    """Lay an ink mask onto an SS-scale canvas mask by its middle (final-pixel coordinates)."""
    w, h = mask.size
    x, y = int(round(center[0] * SS - w / 2)), int(round(center[1] * SS - h / 2))
    region = canvas.crop((x, y, x + w, y + h))
    canvas.paste(ImageChops.lighter(region, mask), (x, y))
    return canvas


def blank(size):
    return Image.new("L", (size[0] * SS, size[1] * SS), 0)


def to_picture(mask, size):
    """Reduce an SS-scale ink mask to the stored size (`size` in catalogue pixels times SCALE): dark ink
    on white ('L')."""
    small = mask.resize((size[0] * SCALE, size[1] * SCALE), Image.LANCZOS)
    # the filter rings a little; clean near-white specks so the paper stays pure white
    return small.point(lambda v: 255 - v if v > 6 else 255)

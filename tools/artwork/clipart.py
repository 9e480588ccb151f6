"""Clip-art line drawings from OpenMoji (CC BY-SA 4.0), turned into black lines on white.

An OpenMoji icon is coloured areas under black outlines on a 72 x 72 grid. We whiten the areas, keep
the outlines black and thinner, put several icons together where one subject needs them, add a few
drawings of our own in the same style, crop to the drawing and render with rsvg-convert."""

import json
import os
import re
import subprocess
import tempfile

from PIL import Image, ImageChops

HERE = os.path.dirname(os.path.abspath(__file__))
ICONS = os.path.join(HERE, "..", "node_modules", "@iconify-json", "openmoji", "icons.json")

_icons = None


def icon_body(name):
    global _icons
    if _icons is None:
        with open(ICONS, encoding="utf-8") as f:
            _icons = json.load(f)["icons"]
    return _icons[name]["body"]


def _luma(hex_colour):
    h = hex_colour.lstrip("#")
    if len(h) == 3:
        h = "".join(c * 2 for c in h)
    r, g, b = (int(h[i:i + 2], 16) for i in (0, 2, 4))
    return (0.299 * r + 0.587 * g + 0.114 * b) / 255


def line_art(body, dark_fill=0.18, shade=None):
    """Outlines black, areas white. Areas darker than `dark_fill` (pupils, nostrils) stay black.
    `shade` maps an area colour to a light grey instead of white, for the few pictures whose shapes
    need a tone to read (a dark ear, a patch)."""

    def fill(m):
        colour = m.group(2)
        if colour.lower() in ("none", "transparent") or colour.startswith("url"):
            return m.group(0)
        if not colour.startswith("#"):
            return m.group(0)
        lum = _luma(colour)
        if lum < dark_fill:
            new = "#000"
        elif shade:
            new = shade(lum)
        else:
            new = "#fff"
        return f'{m.group(1)}"{new}"'

    def stroke(m):
        colour = m.group(2)
        if colour.lower() == "none":
            return m.group(0)
        return f'{m.group(1)}"#000"'

    body = re.sub(r'(fill=)"([^"]*)"', fill, body)
    body = re.sub(r'(stroke=)"([^"]*)"', stroke, body)
    # stroke widths are set for the whole picture by the caller
    body = re.sub(r'stroke-width="[^"]*"', "", body)
    return body


def use(name, x=0.0, y=0.0, scale=1.0, rotate=0.0, flip=False, **kw):
    """An OpenMoji icon placed on the 72 grid: scaled about its middle, then moved by (x, y)."""
    body = line_art(icon_body(name), **kw)
    t = f"translate({36 + x} {36 + y}) rotate({rotate}) scale({-scale if flip else scale} {scale}) translate(-36 -36)"
    # lines keep one weight whatever the scale: the renderer fills in the width for this scale
    return f'<g transform="{t}" stroke-width="@@{1 / scale:.6f}@@">{body}</g>'


def draw(svg_elements):
    """Our own drawing in the same style: black round strokes, white areas."""
    return f'<g fill="#fff" stroke="#000" stroke-linecap="round" stroke-linejoin="round">{svg_elements}</g>'


def _render(svg, px):
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.svg")
        dst = os.path.join(tmp, "out.png")
        with open(src, "w", encoding="utf-8") as f:
            f.write(svg)
        subprocess.run(["rsvg-convert", "-b", "white", "-o", dst, src], check=True)
        with Image.open(dst) as im:
            return im.convert("L").copy()


def _svg(content, view, px, stroke_width):
    x, y, s = view
    content = re.sub(r"@@([0-9.]+)@@", lambda m: f"{float(m.group(1)) * stroke_width:.4f}", content)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{px}" height="{px}" viewBox="{x} {y} {s} {s}">'
            f'<rect x="{x - s}" y="{y - s}" width="{3 * s}" height="{3 * s}" fill="#fff"/>'
            f'<g stroke-width="{stroke_width}">{content}</g></svg>')


def ink_box(content):
    """The extent of a drawing on the 72 grid: (x0, y0, x1, y1)."""
    probe_px = 720
    probe = _render(_svg(content, (-36, -36, 144), probe_px, 1.6), probe_px)
    box = ImageChops.invert(probe).point(lambda v: 255 if v > 24 else 0).getbbox()
    unit = probe_px / 144
    return tuple(v / unit - 36 for v in box)


def grey_shade(strength=0.45):
    """Areas keep a light grey of their colour's lightness instead of turning white."""
    def shade(lum):
        v = int(round(255 - (255 - 255 * lum) * strength))
        return f"#{v:02x}{v:02x}{v:02x}"
    return shade


def render(content, size=120, line=2.4, margin=5.0, oversample=4, scale=1):
    """The drawing cropped to its ink, centred in a square of `size` pixels with `margin` pixels free,
    its lines `line` pixels wide; stored at `scale` times that size, with as much more detail."""
    # first pass: where is the ink, on the 72 grid (lines drawn at their final weight, roughly)
    x0, y0, x1, y1 = ink_box(content)
    side = max(x1 - x0, y1 - y0)
    view_side = side * size / (size - 2 * margin)
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    view = (cx - view_side / 2, cy - view_side / 2, view_side)
    big = size * scale * oversample
    stroke_user = line * view_side / size
    img = _render(_svg(content, view, big, stroke_user), big)
    img = img.resize((size * scale, size * scale), Image.LANCZOS)
    return img.point(lambda v: 255 if v > 248 else v)

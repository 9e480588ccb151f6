"""A contact sheet of the pictures: each at its own pixel size on a grey ground (so white margins and
edge-to-edge lines show), halved while wider than 300 pixels, its file name under it, grouped as the
program uses them."""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

GROUPS = [
    ("Digits and signs (glyph codes 0-16)",
     ["TForm2.Image20.bmp"] + [f"TForm2.Image{n}.bmp" for n in range(11, 20)] +
     ["TForm2.Image31.bmp", "TForm2.Image32.bmp", "TForm2.Image33.bmp", "TForm2.Image34.bmp",
      "TForm2.Image35.jpg", "TForm2.Image52.bmp", "TForm2.Image51.bmp"]),
    ("Name header, time field, remainder mark, start picture",
     ["TForm2.Image41.bmp", "TForm2.Image42.bmp", "TForm2.Image43.bmp", "TForm1.Image7.jpg",
      "TForm1.Image8.jpg", "TForm1.Image6.jpg", "TForm1.Image.jpg"]),
    ("Clip-art 1-32",
     [f"TForm2.Image{n}.jpg" for n in list(range(1, 11)) + list(range(21, 31)) + list(range(36, 41)) +
      list(range(44, 51))]),
    ("Main window: rabbit slot, icon (32 and 16), printer button, home-page banner",
     ["TForm1.Image5.jpg", "TForm1.Image4.ico", "TForm1.BitBtn25.bmp", "TForm1.BitBtn128.bmp"]),
]

WIDTH = 1320
GROUND = (214, 214, 214)


def _font(size):
    for path in ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                 "/usr/share/fonts/truetype/klee/KleeOne-SemiBold.ttf"):
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def _load(path):
    with Image.open(path) as im:
        if path.endswith(".ico"):
            sizes = sorted(im.info.get("sizes", {im.size}), reverse=True)
            frames = []
            for s in sizes:
                im.size = s
                frames.append(im.convert("RGBA").copy())
            return frames
        return [im.convert("RGB").copy()]


def _tile(path, label_font):
    frames = _load(path)
    if len(frames) > 1:  # an icon: its images side by side, enlarged 2x so the pixels show
        frames = [f.resize((f.size[0] * 2, f.size[1] * 2), Image.NEAREST) for f in frames]
        w = sum(f.size[0] for f in frames) + 6 * (len(frames) - 1)
        h = max(f.size[1] for f in frames)
        pic = Image.new("RGBA", (w, h), GROUND + (255,))
        x = 0
        for f in frames:
            pic.alpha_composite(f, (x, 0))
            x += f.size[0] + 6
        pic = pic.convert("RGB")
    else:
        pic = frames[0]
    while max(pic.size) > 300:  # the large clip-art and words, so the sheet stays a sheet
        pic = pic.resize((pic.size[0] // 2, pic.size[1] // 2), Image.LANCZOS)
    name = os.path.basename(path)
    label_w = int(label_font.getlength(name)) + 4
    w = max(pic.size[0], label_w)
    h = pic.size[1] + 18
    tile = Image.new("RGB", (w, h), GROUND)
    tile.paste(pic, ((w - pic.size[0]) // 2, 0))
    ImageDraw.Draw(tile).text((w // 2, pic.size[1] + 3), name, fill=(0, 0, 0), font=label_font, anchor="ma")
    return tile


def make(assets, out):
    label_font = _font(11)
    head_font = _font(16)
    rows = []  # (heading or None, [tiles])
    for heading, names in GROUPS:
        tiles = [_tile(os.path.join(assets, n), label_font) for n in names]
        line, x = [], 0
        rows.append((heading, []))
        for t in tiles:
            if line and x + t.size[0] > WIDTH - 20:
                rows.append((None, line))
                line, x = [], 0
            line.append(t)
            x += t.size[0] + 12
        rows.append((None, line))
    height = 16 + sum((30 if h else max(t.size[1] for t in ts) + 14) for h, ts in rows if h or ts)
    sheet = Image.new("RGB", (WIDTH, height), GROUND)
    draw = ImageDraw.Draw(sheet)
    y = 10
    for heading, tiles in rows:
        if heading:
            draw.text((12, y + 6), heading, fill=(0, 0, 0), font=head_font)
            y += 30
            continue
        if not tiles:
            continue
        x = 12
        for t in tiles:
            sheet.paste(t, (x, y))
            x += t.size[0] + 12
        y += max(t.size[1] for t in tiles) + 14
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    sheet.save(out, optimize=True)


if __name__ == "__main__":
    make(sys.argv[1], sys.argv[2])

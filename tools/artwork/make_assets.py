"""Writes every picture of the program into the assets folder (see tools/make-assets)."""

import os
import subprocess
import sys
import tempfile

from PIL import Image

from . import clipart, drawings, files, glyphs, hand
from .clipart import use

# Clip-art: picture name -> (what it shows, how it is made, OpenMoji icons it derives from)
CLIP_ART = [
    ("TForm2.Image1", "a pig", lambda: use("pig"), ["pig"]),
    ("TForm2.Image2", "an iris flower", drawings.iris, []),
    ("TForm2.Image3", "a white radish", drawings.daikon, []),
    ("TForm2.Image4", "an open book with a pencil", drawings.open_book_pencil, ["open-book", "pencil"]),
    ("TForm2.Image5", "a school building with a tree", drawings.school_tree, ["school", "deciduous-tree"]),
    ("TForm2.Image6", "a leaf", drawings.leaf, ["leaf-fluttering-in-wind"]),
    ("TForm2.Image7", "a hyacinth on its bulb", drawings.hyacinth, []),
    ("TForm2.Image8", "a chick", lambda: use("front-facing-baby-chick"), ["front-facing-baby-chick"]),
    ("TForm2.Image9", "a picture book with a monkey's face on the cover", drawings.monkey_book,
     ["closed-book", "monkey-face"]),
    ("TForm2.Image10", "a firefly with its ring of light", drawings.firefly, []),
    ("TForm2.Image21", "ears of rice", lambda: use("sheaf-of-rice"), ["sheaf-of-rice"]),
    ("TForm2.Image22", "a wooden chair", lambda: use("chair"), ["chair"]),
    ("TForm2.Image23", "a snail", lambda: use("snail"), ["snail"]),
    ("TForm2.Image24", "a slice of cake", lambda: use("shortcake"), ["shortcake"]),
    ("TForm2.Image25", "a layered cake with fruit", drawings.layered_cake, ["birthday-cake"]),
    ("TForm2.Image26", "an eraser", drawings.eraser, []),
    ("TForm2.Image27", "a chrysanthemum", drawings.chrysanthemum, []),
    ("TForm2.Image28", "a hot-air balloon with two children in its basket", drawings.balloon, []),
    ("TForm2.Image29", "a running fox", drawings.fox, []),
    ("TForm2.Image30", "a T-shirt with a slogan written on it", drawings.t_shirt, ["t-shirt"]),
    ("TForm2.Image36", "a mandarin orange", lambda: use("tangerine"), ["tangerine"]),
    ("TForm2.Image37", "a steaming mug", lambda: use("hot-beverage"), ["hot-beverage"]),
    ("TForm2.Image38", "an apple", lambda: use("red-apple"), ["red-apple"]),
    ("TForm2.Image39", "a fish", lambda: use("fish"), ["fish"]),
    ("TForm2.Image40", "a cherry blossom", lambda: use("cherry-blossom"), ["cherry-blossom"]),
    ("TForm2.Image44", "a lion-dance mask", drawings.lion_dance, ["lion"]),
    ("TForm2.Image45", "sushi", drawings.sushi_pair, ["sushi"]),
    ("TForm2.Image46", "a taxi", lambda: use("taxi"), ["taxi"]),
    ("TForm2.Image47", "a girl making a V sign", drawings.girl_v, ["girl", "victory-hand"]),
    ("TForm2.Image48", "a rabbit's face", lambda: use("rabbit-face"), ["rabbit-face"]),
    ("TForm2.Image49", "a leaping rabbit", drawings.leaping_rabbit, ["rabbit"]),
    ("TForm2.Image50", "a cow's face", lambda: use("cow-face"), ["cow-face"]),
]

DIGIT_PICTURES = {1: "TForm2.Image11", 2: "TForm2.Image12", 3: "TForm2.Image13", 4: "TForm2.Image14",
                  5: "TForm2.Image15", 6: "TForm2.Image16", 7: "TForm2.Image17", 8: "TForm2.Image18",
                  9: "TForm2.Image19", 0: "TForm2.Image20"}


def program_icon(size):
    """The hand holding a pencil, in OpenMoji's own colours, as RGBA for the icon file."""
    line = {32: 2.4, 16: 3.4}[size]  # thicker at 16 px, or the outline breaks up
    body = clipart.icon_body("writing-hand").replace('stroke-width="2"', f'stroke-width="{line}"')
    x0, y0, x1, y1 = clipart.ink_box(body)
    side = max(x1 - x0, y1 - y0) + 1
    view = f"{(x0 + x1 - side) / 2:.3f} {(y0 + y1 - side) / 2:.3f} {side:.3f} {side:.3f}"
    svg_px = size * 8
    svg = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{svg_px}" height="{svg_px}" '
           f'viewBox="{view}">{body}</svg>')
    with tempfile.TemporaryDirectory() as tmp:
        src, dst = os.path.join(tmp, "i.svg"), os.path.join(tmp, "i.png")
        with open(src, "w", encoding="utf-8") as f:
            f.write(svg)
        subprocess.run(["rsvg-convert", "-o", dst, src], check=True)
        with Image.open(dst) as im:
            big = im.convert("RGBA").copy()
    return big.resize((size, size), Image.LANCZOS)


def printer_picture():
    """The printer on the printer set-up button: 27 x 24, lines on white."""
    pic = clipart.render(use("printer", shade=clipart.grey_shade(0.5)), size=24, line=1.25, margin=0.5,
                         oversample=8)
    out = Image.new("L", (27, 24), 255)
    out.paste(pic, (1, 0))
    return out


def home_banner():
    """The home-page button: a little house and "HomePage" in hand-writing, 120 x 36."""
    house = clipart.render(use("house"), size=32, line=1.6, margin=1.0)
    text = glyphs.word("HomePage", (88, 36), 24, 801, gap=0.02)
    banner = Image.new("RGB", (120, 36), (255, 255, 255))
    banner.paste(Image.merge("RGB", [house] * 3), (2, 2))
    # the writing in a deep blue, as with a ball-point pen
    ink = Image.eval(text, lambda v: 255 - v)
    blue = Image.new("RGB", text.size, (24, 52, 140))
    banner.paste(blue, (32, 0), ink)
    return banner


def build(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    written = []

    def put(name, data):
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(data)
        written.append(name)

    # Each picture is stored at an integer multiple of its catalogue size: enough pixels that it prints
    # at 300 pixels per inch or more at the largest size any preset draws it on A4 at 600 dpi.
    # glyphs: cells up to 200 x 292 device pixels (decomposition sheets); box 224 x 289; circle 497 x 473
    with hand.scaled(2):
        for d, name in DIGIT_PICTURES.items():
            pic = glyphs.digit(d, 1000 + 17 * d)
            put(name + ".bmp", files.bmp_rgb(pic) if d == 3 else files.bmp_palette(pic))
        put("TForm2.Image31.bmp", files.bmp_palette(glyphs.equals(2010)))
        put("TForm2.Image32.bmp", files.bmp_palette(glyphs.plus(2020)))
        put("TForm2.Image33.bmp", files.bmp_palette(glyphs.minus(2030)))
        put("TForm2.Image34.bmp", files.bmp_palette(glyphs.times(2040)))
        put("TForm2.Image35.jpg", files.jpeg(glyphs.divide(2050), quality=90))
        put("TForm2.Image51.bmp", files.bmp_grey(glyphs.box(2060)))
        put("TForm1.Image.jpg", files.jpeg(glyphs.digit(0, 3000), quality=90))
    with hand.scaled(3):
        put("TForm2.Image52.bmp", files.bmp_grey(glyphs.circle(2070)))

    # name header: up to 876 x 292 (なまえ) and 66 x 292 (parentheses)
    with hand.scaled(2):
        put("TForm2.Image41.bmp", files.bmp_palette(glyphs.word("なまえ", (300, 100), 80, 2080, gap=0.16)))
        put("TForm2.Image42.bmp", files.bmp_grey(glyphs.paren(False, 2090)))
        put("TForm2.Image43.bmp", files.bmp_grey(glyphs.paren(True, 2091)))

    # clip-art: squares up to 876 device pixels
    for name, _, make, _ in CLIP_ART:
        put(name + ".jpg", files.jpeg(clipart.render(make(), scale=4)))

    # main window pictures; the clip-art copy of Image5 is never printed
    put("TForm1.Image5.jpg", files.jpeg(clipart.render(use("rabbit-face"))))
    # remainder mark up to 95 x 269 and 分 up to 200 x 194: enough as they are; びょう up to 400 x 194
    put("TForm1.Image6.jpg", files.jpeg(glyphs.remainder_mark(3010), quality=90))
    put("TForm1.Image7.jpg", files.jpeg(glyphs.word("分", (133, 122), 104, 3020), quality=90))
    with hand.scaled(2):
        put("TForm1.Image8.jpg", files.jpeg(glyphs.word("びょう", (178, 86), 64, 3030, sizes=[1.0, 0.62, 1.0],
                                                        gap=0.04), quality=90))
    # black, olive, silver, grey, yellow, white: the colours of a yellow hand with a grey pencil
    put("TForm1.Image4.ico", files.ico_4bit([program_icon(32), program_icon(16)], allowed=(0, 3, 7, 8, 11, 15)))
    put("TForm1.BitBtn25.bmp", files.bmp_palette(printer_picture(), levels=16))
    put("TForm1.BitBtn128.bmp", files.bmp_rgb(home_banner()))
    put("CREDITS", credits().encode("utf-8"))
    return written


def credits():
    lines = [
        "Pictures of Kirune: sources and licences",
        "========================================",
        "",
        "All pictures here are generated by tools/make-assets; do not edit them by hand.",
        "",
        "Hand-writing (digits, signs, なまえ, parentheses, 分, びょう, the home-page banner's text)",
        "  Letter shapes from the font Klee One by Fontworks Inc., SIL Open Font License 1.1",
        "  (https://github.com/fontworks-fonts/Klee, Debian package fonts-klee), roughened into pencil",
        "  writing by the tool. The digit 1, the signs = + - × ÷, the box, the circle and the remainder",
        "  mark are pen strokes drawn by the tool itself.",
        "",
        "Clip-art, the rabbit of TForm1.Image5, the program icon, the printer and the house",
        "  Derived from OpenMoji (https://openmoji.org/), the open-source emoji and icon project,",
        "  licensed under CC BY-SA 4.0 (https://creativecommons.org/licenses/by-sa/4.0/), as packaged",
        "  in the npm package @iconify-json/openmoji (version pinned in tools/package-lock.json).",
        "  Changes: colours removed (areas white, lines black and thinner), icons cropped, combined",
        "  and supplemented with drawings of our own. These derived pictures are likewise licensed",
        "  under CC BY-SA 4.0.",
        "",
        "Picture by picture",
        "------------------",
    ]
    for name, shows, _, sources in CLIP_ART:
        src = ("OpenMoji " + ", ".join(f'"{s}"' for s in sources) + " (CC BY-SA 4.0)"
               + (" with additions of our own" if name in ADDITIONS else "")) if sources else \
            "drawn by the tool in the OpenMoji line style (CC BY-SA 4.0)"
        lines.append(f"  {name}.jpg  {shows}: {src}")
    lines += [
        '  TForm1.Image5.jpg  the rabbit\'s face (copy of TForm2.Image48): OpenMoji "rabbit-face" (CC BY-SA 4.0)',
        '  TForm1.Image4.ico  program icon, a hand holding a pencil: OpenMoji "writing-hand" (CC BY-SA 4.0)',
        '  TForm1.BitBtn25.bmp  printer: OpenMoji "printer" (CC BY-SA 4.0)',
        '  TForm1.BitBtn128.bmp  home-page banner: OpenMoji "house" (CC BY-SA 4.0), "HomePage" in Klee One',
        "  TForm2.Image11-20, 31-35, 41-43, 51, 52, TForm1.Image, Image6, Image7, Image8: hand-writing",
        "    and pen strokes as above (Klee One, SIL OFL 1.1; strokes of our own).",
        "",
    ]
    return "\n".join(lines)


# scenes that add drawings of our own to OpenMoji icons
ADDITIONS = {"TForm2.Image44", "TForm2.Image6", "TForm2.Image25", "TForm2.Image9", "TForm2.Image30", "TForm2.Image45", "TForm2.Image47", "TForm2.Image49"}


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else "assets"
    for name in build(out_dir):
        print(name)


if __name__ == "__main__":
    main(sys.argv)

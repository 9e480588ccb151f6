"""The stored forms of the pictures, written byte by byte so that the files are exactly what we say:
classic Windows bitmaps (BITMAPINFOHEADER, bottom-up, rows padded to 4 bytes, BI_RGB), baseline JPEG
through Pillow, and icons with 4-bit images and an AND mask."""

import io
import struct

from PIL import Image


def _bmp(width, height, bpp, palette, rows):
    """rows: top-down list of bytes, each row unpadded."""
    stride = (width * bpp // 8 + 3) & ~3
    body = b"".join(row + b"\0" * (stride - len(row)) for row in reversed(rows))
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(body), 3780, 3780,
                       len(palette), len(palette))
    head = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return head + info + pal + body


def bmp_grey(img):
    """8 bits per pixel with the full grey ramp: index = grey level (0 black, 255 white)."""
    img = img.convert("L")
    w, h = img.size
    data = img.tobytes()
    rows = [data[y * w:(y + 1) * w] for y in range(h)]
    return _bmp(w, h, 8, [(v, v, v) for v in range(256)], rows)


def bmp_palette(img, levels=32):
    """8 bits per pixel with a palette of only the colours used: grey quantised to `levels` steps,
    palette ordered from white to black (so white is index 0)."""
    img = img.convert("L")
    w, h = img.size
    step = 255 / (levels - 1)
    q = [int(round(round(v / step) * step)) for v in img.tobytes()]
    used = sorted(set(q), reverse=True)
    index = {v: i for i, v in enumerate(used)}
    idx = bytes(index[v] for v in q)
    rows = [idx[y * w:(y + 1) * w] for y in range(h)]
    return _bmp(w, h, 8, [(v, v, v) for v in used], rows)


def bmp_palette_rgb(img):
    """8 bits per pixel for a colour picture with few colours (at most 256)."""
    img = img.convert("RGB")
    w, h = img.size
    px = list(img.getdata())
    used = sorted(set(px), key=lambda c: (-sum(c), c))
    if len(used) > 256:
        raise ValueError("too many colours for an 8-bit palette")
    index = {c: i for i, c in enumerate(used)}
    idx = bytes(index[c] for c in px)
    rows = [idx[y * w:(y + 1) * w] for y in range(h)]
    return _bmp(w, h, 8, used, rows)


def bmp_rgb(img):
    """24 bits per pixel, blue-green-red."""
    img = img.convert("RGB")
    w, h = img.size
    r, g, b = img.split()
    bgr = Image.merge("RGB", (b, g, r)).tobytes()
    rows = [bgr[y * w * 3:(y + 1) * w * 3] for y in range(h)]
    return _bmp(w, h, 24, [], rows)


def jpeg(img, quality=88):
    """Baseline JPEG: greyscale pictures as one channel, colour ones with 4:2:0 chroma."""
    out = io.BytesIO()
    if img.mode == "L":
        img.save(out, "JPEG", quality=quality, optimize=True)
    else:
        img.convert("RGB").save(out, "JPEG", quality=quality, subsampling="4:2:0", optimize=True)
    return out.getvalue()


# the 16 colours of the classic Windows icon palette
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def _nearest(c, palette, allowed):
    return min(allowed, key=lambda i: sum((a - b) ** 2 for a, b in zip(c, palette[i])))


def ico_4bit(images, allowed=range(16)):
    """An icon file of RGBA images (no dithering: each pixel takes the nearest of the `allowed` colours
    of the 16, so soft edges do not turn into stray specks; a pixel less than half opaque becomes
    transparent through the AND mask)."""
    entries = []
    blobs = []
    for img in images:
        img = img.convert("RGBA")
        w, h = img.size
        px = list(img.getdata())
        xor_rows, and_rows = [], []
        for y in range(h):
            row = px[y * w:(y + 1) * w]
            idx = [_nearest(p[:3], VGA16, allowed) if p[3] >= 128 else 0 for p in row]
            packed = bytes((idx[x] << 4) | (idx[x + 1] if x + 1 < w else 0) for x in range(0, w, 2))
            xor_rows.append(packed + b"\0" * ((-len(packed)) % 4))
            bits = 0
            mask = bytearray()
            for x, p in enumerate(row):
                bits = (bits << 1) | (1 if p[3] < 128 else 0)
                if x % 8 == 7:
                    mask.append(bits)
                    bits = 0
            if w % 8:
                mask.append(bits << (8 - w % 8))
            and_rows.append(bytes(mask) + b"\0" * ((-len(mask)) % 4))
        xor = b"".join(reversed(xor_rows))
        andm = b"".join(reversed(and_rows))
        # the height in an icon's header counts the XOR and AND images together
        info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0, len(xor) + len(andm), 0, 0, 16, 0)
        pal = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA16)
        blob = info + pal + xor + andm
        blobs.append(blob)
        entries.append((w, h))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (w, h), blob in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)

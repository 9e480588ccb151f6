#!/usr/bin/python3
"""Writes the seed corpora of the fuzzers (fuzz/corpus/*/seed-*): small valid inputs of every kind each
reader accepts, so that fuzzing starts from deep inside the code. Inputs that once crashed a fuzzer are
added beside them by hand (crash-*) and are never rewritten here. Run from anywhere; deterministic."""
import io
import os
import shutil
import struct

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.join(HERE, "..", "assets")


def write(corpus, name, data):
    folder = os.path.join(HERE, "corpus", corpus)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def picture(mode, size=(5, 3)):
    img = Image.new("RGB", size)
    img.putdata([((x * 60) % 256, (y * 90) % 256, (x * y * 40) % 256)
                 for y in range(size[1]) for x in range(size[0])])
    return img.convert(mode) if mode != "RGB" else img


def bmp(img):
    out = io.BytesIO()
    img.save(out, "BMP")
    return out.getvalue()


def top_down(data):
    # The same file with its rows stored top-down: a negative height in the header.
    height = struct.unpack_from("<i", data, 22)[0]
    rows = data[struct.unpack_from("<I", data, 10)[0]:]
    stride = len(rows) // height
    flipped = b"".join(rows[i * stride:(i + 1) * stride] for i in reversed(range(height)))
    head = bytearray(data[:len(data) - len(rows)])
    struct.pack_into("<i", head, 22, -height)
    return bytes(head) + flipped


def icon(bits, size=8, mask_rows=True):
    """An icon of one `size` x `size` image of `bits` per pixel, with its AND mask."""
    colours = 1 << bits if bits <= 8 else 0
    palette = b"".join(struct.pack("<BBBB", (i * 37) % 256, (i * 91) % 256, (i * 13) % 256, 0)
                       for i in range(colours))
    stride = (size * bits + 31) // 32 * 4
    pixels = bytearray()
    for y in range(size):
        row = bytearray(stride)
        for x in range(size):
            if bits == 32:
                row[4 * x:4 * x + 4] = bytes((x * 30 % 256, y * 30 % 256, 99, 255 if (x + y) % 3 else 0))
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes((x * 30 % 256, y * 30 % 256, 99))
            else:
                index = (x + y) % colours
                bit = x * bits
                row[bit // 8] |= index << (8 - bits - bit % 8)
        pixels += row
    mask_stride = (size + 31) // 32 * 4
    mask = b"".join(bytes([0x81 if y % 2 else 0]) + bytes(mask_stride - 1) for y in range(size))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0, 0, 0)
    image = header + palette + bytes(pixels) + (mask if mask_rows else b"")
    entry = struct.pack("<BBBBHHII", size, size, colours % 256, 0, 1, bits, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def jpeg(img, **options):
    out = io.BytesIO()
    img.save(out, "JPEG", quality=80, **options)
    return out.getvalue()


def main():
    # Pictures: BMPs of each stored format, icons of each depth, JPEGs grey, colour and progressive,
    # and one real picture of each kind from assets/.
    write("bmp_reader_fuzzer", "palette8.bmp", bmp(picture("P")))
    write("bmp_reader_fuzzer", "grey8.bmp", bmp(picture("L")))
    write("bmp_reader_fuzzer", "rgb24.bmp", bmp(picture("RGB")))
    write("bmp_reader_fuzzer", "rgb24-topdown.bmp", top_down(bmp(picture("RGB"))))
    for bits in (1, 4, 8, 24, 32):
        write("bmp_reader_fuzzer", "icon%d.ico" % bits, icon(bits))
    write("bmp_reader_fuzzer", "icon32-nomask.ico", icon(32, mask_rows=False))
    for asset in ("TForm1.BitBtn25.bmp", "TForm1.Image4.ico"):
        with open(os.path.join(ASSETS, asset), "rb") as f:
            write("bmp_reader_fuzzer", asset, f.read())

    write("jpeg_reader_fuzzer", "grey.jpg", jpeg(picture("L", (9, 7))))
    write("jpeg_reader_fuzzer", "rgb.jpg", jpeg(picture("RGB", (9, 7))))
    write("jpeg_reader_fuzzer", "rgb-progressive.jpg", jpeg(picture("RGB", (17, 9)), progressive=True))
    write("jpeg_reader_fuzzer", "rgb-420.jpg", jpeg(picture("RGB", (17, 9)), subsampling=2))
    with open(os.path.join(ASSETS, "TForm1.Image6.jpg"), "rb") as f:
        write("jpeg_reader_fuzzer", "TForm1.Image6.jpg", f.read())

    # Query strings after percent-decoding, as kirune-serve's routes hand them over.
    for i, query in enumerate([
            "preset=BitBtn13",
            "preset=BitBtn13&sheets=3&seed=7",
            "preset=BitBtn1&answers=1&name=0&time=1&clipart=1&clipart_fixed=5",
            "preset=BitBtn100&rows=2,3,7&seed=18446744073709551615",
            "preset=BitBtn136&numbers=5,10&zero_add=0&zero_sub10=1&tile_rows=2",
            "sheets=0&preset=BitBtn13",
            "preset=BitBtn13&preset=BitBtn13",
            "preset=BitBtn13&rows=none&numbers=none&print=0",
    ]):
        write("sheet_request_fuzzer", "query%d" % i, query.encode())

    # Raw requests as they come over a connection: good ones of every route, pipelined ones, chunked
    # bodies with trailers, and the attempts the server refuses (two framings, smuggled second
    # requests, oversize headers and targets, a print from another site).
    host = "Host: 127.0.0.1:8080\r\n"
    page = "Origin: http://127.0.0.1:8080\r\nSec-Fetch-Site: same-origin\r\nX-Kirune-Page: 1\r\n"
    form = "preset=BitBtn13&sheets=2"
    for name, request in [
            ("get-page", "GET / HTTP/1.1\r\n" + host + "\r\n"),
            ("get-sheets", "GET /sheets.pdf?preset=BitBtn13&sheets=3&seed=7 HTTP/1.1\r\n" + host + "\r\n"),
            ("head-sheets", "HEAD /sheets.pdf?preset=BitBtn1&answers=1 HTTP/1.1\r\n" + host + "\r\n"),
            ("http10", "GET /healthz HTTP/1.0\r\n\r\n"),
            ("pipelined", "GET /api/presets HTTP/1.1\r\n" + host + "\r\n"
                          "GET /kirune.css HTTP/1.1\r\n" + host + "\r\n"
                          "GET /kirune.js HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n"),
            ("post-print", "POST /print HTTP/1.1\r\n" + host + page +
                           "Content-Type: application/x-www-form-urlencoded\r\n"
                           "Content-Length: %d\r\n\r\n%s" % (len(form), form)),
            ("post-print-chunked", "POST /print HTTP/1.1\r\n" + host + page +
                                   "Transfer-Encoding: chunked\r\n\r\n"
                                   "7\r\npreset=\r\n11;ext=1\r\nBitBtn13&sheets=2\r\n0\r\nX-Trailer: 1\r\n\r\n"),
            ("post-print-other-site", "POST /print HTTP/1.1\r\n" + host + "Origin: http://evil.example\r\n"
                                      "X-Kirune-Page: 1\r\nContent-Length: %d\r\n\r\n%s" % (len(form), form)),
            ("post-expect-continue", "POST /print HTTP/1.1\r\n" + host + page + "Expect: 100-continue\r\n"
                                     "Content-Length: %d\r\n\r\n%s" % (len(form), form)),
            ("smuggle-cl-te", "POST /print HTTP/1.1\r\n" + host + "Content-Length: 4\r\n"
                              "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\nGET /healthz HTTP/1.1\r\n" + host + "\r\n"),
            ("smuggle-two-lengths", "POST /print HTTP/1.1\r\n" + host + "Content-Length: 0\r\n"
                                    "Content-Length: 44\r\n\r\nGET /healthz HTTP/1.1\r\n" + host + "\r\n"),
            ("smuggle-te-identity", "POST /print HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked, identity\r\n\r\n"
                                    "0\r\n\r\n"),
            ("get-with-body", "GET /sheets.pdf?preset=BitBtn13 HTTP/1.1\r\n" + host + "Content-Length: 5\r\n\r\n"
                              "GET /"),
            ("no-host", "GET / HTTP/1.1\r\n\r\n"),
            ("two-hosts", "GET / HTTP/1.1\r\n" + host + host + "\r\n"),
            ("post-no-length", "POST /print HTTP/1.1\r\n" + host + page + "\r\n"),
            ("bad-method", "PUT /print HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n"),
            ("absolute-target", "GET http://127.0.0.1:8080/ HTTP/1.1\r\n" + host + "\r\n"),
            ("bad-escape", "GET /sheets.pdf?preset=%zz&sheets=%e3%81 HTTP/1.1\r\n" + host + "\r\n"),
            ("long-target", "GET /sheets.pdf?preset=BitBtn13&x=" + "a" * 9000 + " HTTP/1.1\r\n" + host + "\r\n"),
            ("many-headers", "GET / HTTP/1.1\r\n" + host + "X-A: 1\r\n" * 120 + "\r\n"),
            ("oversize-header", "GET / HTTP/1.1\r\n" + host + "X-Big: " + "b" * 17000 + "\r\n\r\n"),
            ("oversize-body", "POST /print HTTP/1.1\r\n" + host + page + "Content-Length: 20000\r\n\r\n" + "a" * 20000),
    ]:
        write("http_request_fuzzer", name, request.encode())

    # kirune-print's command lines, arguments separated by NUL.
    for i, args in enumerate([
            ["BitBtn13", "--pdf", "out.pdf"],
            ["BitBtn13", "--set", "SpinEdit1=3", "--seed", "7", "--trace", "-"],
            ["--sheets", "2", "--answers", "1", "BitBtn1", "--paper", "letter", "--png", "dir"],
            ["BitBtn100", "--rows", "2,3", "--page", "4958x7017", "--trace", "t"],
            ["BitBtn13", "--printer", "default", "--set", "CheckBox15=1", "--set", "z1=0"],
            ["--list-presets"],
            ["--help"],
    ]):
        write("cli_options_fuzzer", "args%d" % i, "\0".join(args).encode())


if __name__ == "__main__":
    main()

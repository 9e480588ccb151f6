#!/usr/bin/python3
"""The floor of a text-only drill-sheet generator, for comparison with kirune-print.

Writes SHEETS sheets of 100 mixed divisions (with and without remainder) as plain text with ReportLab:
each sheet a problem page and an answer page, 5 columns of 20 rows on A4, like Kirune's 100-problem
layout. No pictures, no fonts beyond the PDF base fonts: the least a text generator has to do.

    reference_plain_text.py OUT.pdf [SHEETS]   (SHEETS defaults to 100, i.e. 200 pages)
"""
import random
import sys

from reportlab.lib.pagesizes import A4
from reportlab.pdfgen import canvas

PROBLEMS = 100
ROWS, COLUMNS = 20, 5


def division_pool():
    """Every division a / b with divisor 1..9, quotient 1..9 and remainder 0..b-1."""
    return [(b * q + r, b, q, r) for b in range(1, 10) for q in range(1, 10) for r in range(b)]


def draw_sheet(pdf, problems, answers):
    width, height = A4
    pitch = height / (ROWS + 4)
    column = (width - 60) / COLUMNS
    pdf.setFont("Helvetica", 11)
    pdf.drawString(width / 4, height - pitch, "Name (                                        )")
    for k, (a, b, q, r) in enumerate(problems):
        x = 30 + column * (k // ROWS)
        y = height - pitch * (3 + k % ROWS)
        text = f"{a} \u00f7 {b} ="
        if answers:
            text += f" {q}" + (f" R {r}" if r else "")
        pdf.drawString(x, y, text)
    pdf.showPage()


def main():
    out = sys.argv[1]
    sheets = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    rng = random.Random(1)
    pool = division_pool()
    pdf = canvas.Canvas(out, pagesize=A4)
    for _ in range(sheets):
        rng.shuffle(pool)
        problems = [pool[k % len(pool)] for k in range(PROBLEMS)]
        draw_sheet(pdf, problems, answers=False)
        draw_sheet(pdf, problems, answers=True)
    pdf.save()


if __name__ == "__main__":
    main()

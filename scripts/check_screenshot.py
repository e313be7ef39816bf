#!/usr/bin/env python3
"""Checks a screenshot of the report window against the report it must show.

Reads the pixels of the window's rectangle and finds, tolerant of fonts but strict about
presence and order:
  - the title line and the column header row, whose distance gives the line height;
  - the etched separator below them, across the whole width;
  - one line of text in the file column for every line of the report that the window draws
    there (file rows, headings, the install folder message and the PATH block's lines), each
    at its place in the grid of line heights below the separator, and nothing where the window
    draws only blanks (the spacer lines) or draws nothing (below the report);
  - the five column names of the header row in their order, at x positions in the proportions
    0.4, 0.5, 0.65 and 0.85 of the window's width.

The expected lines come from the report text (the copied text, CR-separated), which is what
the window draws in the same order. Exits 0 when every check passes, 1 otherwise, and says
which check failed.
"""
import argparse
import subprocess
import sys

# Layout of the drawn report, in lines below the separator (see the report window's run):
# the 19 file rows with a spacer line before rows 15 and 16, three spacers, the first heading,
# a spacer, the install folder message, two spacers, the second heading, a spacer, then the
# PATH block drawn from that line on (its first line is empty).
FILE_ROWS = 19


def file_row_slot(row):  # row 1..19
    return row - 1 + (1 if row >= 15 else 0) + (1 if row >= 16 else 0)


def expected_slots(report_text):
    """(slot, has_text) for every line the window draws below the separator."""
    lines = report_text.split("\r")
    # 0 title, 1 "", 2 section title, 3 "", 4 CSV header, 5.. file rows, then the message.
    rows = lines[5:5 + FILE_ROWS]
    message = lines[5 + FILE_ROWS]
    block = lines[6 + FILE_ROWS:]
    slots = {}
    for index, row in enumerate(rows, start=1):
        slots[file_row_slot(index)] = bool(row.strip())
    last_row = file_row_slot(FILE_ROWS)
    for spacer in (last_row + 1, last_row + 2, last_row + 3, 15 - 1, 16):
        slots[spacer] = False
    heading1 = last_row + 4
    slots[heading1] = True
    slots[heading1 + 1] = False
    slots[heading1 + 2] = bool(message.strip())
    slots[heading1 + 3] = False
    slots[heading1 + 4] = False
    slots[heading1 + 5] = True
    slots[heading1 + 6] = False
    first_block = heading1 + 7
    for index, line in enumerate(block):
        slots[first_block + index] = bool(line.strip())
    return slots


class Image:
    def __init__(self, png, left, top, width, height):
        ppm = subprocess.run(["convert", png, "-crop", f"{width}x{height}+{left}+{top}",
                              "+repage", "ppm:-"], capture_output=True, check=True).stdout
        magic, size, maxval, pixels = ppm.split(b"\n", 3)
        if magic != b"P6" or maxval != b"255":
            raise ValueError("unexpected image format")
        self.width, self.height = map(int, size.split())
        self.pixels = pixels

    def ink(self, x, y):
        i = (y * self.width + x) * 3
        r, g, b = self.pixels[i], self.pixels[i + 1], self.pixels[i + 2]
        return r + g + b < 330  # dark text on a light face colour

    def colour(self, x, y):
        i = (y * self.width + x) * 3
        return bytes(self.pixels[i:i + 3])

    def row_has_ink(self, y, x0, x1):
        return any(self.ink(x, y) for x in range(x0, x1))


def ink_rows(image, x0, x1):
    return [y for y in range(image.height) if image.row_has_ink(y, x0, x1)]


def clusters(xs, gap):
    groups = []
    for x in xs:
        if groups and x - groups[-1][-1] <= gap:
            groups[-1].append(x)
        else:
            groups.append([x])
    return [(g[0], g[-1]) for g in groups]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--png", required=True)
    parser.add_argument("--window", required=True, help="left,top,width,height in pixels")
    parser.add_argument("--report", required=True, help="the report text (CR-separated)")
    parser.add_argument("--bottom-margin", type=int, default=60,
                        help="pixels above the window's bottom that the buttons take")
    args = parser.parse_args()
    left, top, width, height = map(int, args.window.split(","))
    image = Image(args.png, left, top, width, height)
    report = open(args.report, encoding="utf-8", newline="").read()
    failures = []

    def fail(message):
        failures.append(message)

    # Keep clear of a frame the window system may draw along the edges.
    x0, x1 = 3, max(4, int(width * 0.4) - 4)
    rows = ink_rows(image, x0, x1)
    if not rows:
        print("FAIL: nothing is drawn in the file column")
        return 1
    title_top = rows[0]
    header_top = next((y for y in rows if y > title_top and y - 1 not in rows), None)
    if header_top is None:
        print("FAIL: no column header row below the title")
        return 1
    line = (header_top - title_top) / 2
    if not 8 <= line <= 48:
        print(f"FAIL: title and header are {header_top - title_top} px apart, not two lines")
        return 1

    # The separator: a row of one colour (not the face colour) across the whole width.
    face = image.colour(width // 2, title_top + int(line * 1.5))
    separator = None
    for y in range(header_top, min(height, header_top + int(3 * line))):
        colours = {image.colour(x, y) for x in range(x0, width - 3)}
        if len(colours) == 1 and face not in colours:
            separator = y
            break
    if separator is None:
        fail("no etched separator below the column header row")
        separator = header_top + round(2 * line)
    title_slot_top = separator - 4 * line
    cap_offset = title_top - title_slot_top
    if not 0 <= cap_offset < line:
        fail(f"the separator is not four lines below the title (offset {cap_offset:.1f} px)")
    body_top = separator + 5  # one pixel to the second line, four below it

    # Every drawn line in the grid below the separator.
    limit = height - args.bottom_margin
    slots = expected_slots(report)
    zone = max(2, int(line / 2))
    seen = 0
    for slot in range(0, 400):
        slot_top = body_top + slot * line + cap_offset
        if slot_top + zone >= limit:
            break
        y_from, y_to = int(round(slot_top)) + 1, int(round(slot_top)) + zone
        drawn = any(image.row_has_ink(y, x0, x1) for y in range(y_from, y_to))
        expected = slots.get(slot, False)
        if expected and not drawn:
            fail(f"line {slot} below the separator should hold text (y {y_from}-{y_to})")
        elif drawn and not expected:
            fail(f"line {slot} below the separator should be empty (y {y_from}-{y_to})")
        seen += expected and drawn
    visible_expected = sum(1 for slot, text in slots.items()
                           if text and body_top + slot * line + cap_offset + zone < limit)
    # Nothing at all between the grid lines' text: each line of ink lies in its own line.
    for y in ink_rows(image, x0, x1):
        if y < body_top or y >= limit:
            continue
        position = (y - body_top - cap_offset) / line
        if position - int(position) > 0.95:
            fail(f"text at y {y} lies between two lines of the grid")
            break

    # The header row: five names in order, in the proportions of the window's width.
    header_xs = sorted({x for y in range(header_top, header_top + zone)
                        for x in range(x0, width - 3) if image.ink(x, y)})
    names = clusters(header_xs, gap=int(line * 2))
    if len(names) != 5:
        fail(f"the header row shows {len(names)} groups of text, not five column names")
    else:
        x_date, x_size = names[2][0], names[3][0]
        outer = (x_size - x_date) / 0.15
        origin = x_date - 0.5 * outer
        if not (width - 2 <= outer <= width + 120 and -2 <= origin <= 12):
            fail(f"Date and Size do not start at 0.5 and 0.65 of the width "
                 f"(width {outer:.0f} px, origin {origin:.0f} px)")
        for name, (start, _), fraction, blank in (("File", names[0], 0.0, True),
                                                 ("Reg_Info", names[1], 0.4, True),
                                                 ("Version", names[4], 0.85, True)):
            column = origin + fraction * outer
            if not column - 2 <= start <= column + (8 if blank else 3):
                fail(f"{name} starts at x {start}, its column is at x {column:.0f}")

    print(f"screenshot: line height {line:.1f} px, separator at y {separator}, "
          f"{seen} of {visible_expected} visible lines of text found in place")
    for message in failures:
        print(f"FAIL: {message}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

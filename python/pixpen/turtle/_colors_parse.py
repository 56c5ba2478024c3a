"""Colour strings as a Tk canvas reads them, turned into RGB triples."""

from ._colors import NAMES

_HEX_DIGITS = frozenset("0123456789abcdefABCDEF")


def parse_color_string(text):
    """(r, g, b) for an X11 colour name (any case, spaces ignored) or a
    '#rgb', '#rrggbb', '#rrrgggbbb' or '#rrrrggggbbbb' string; None if the
    string names no colour. Short hex forms keep the high bits, as X does:
    '#f00' is (240, 0, 0)."""
    if text.startswith("#"):
        digits = text[1:]
        if len(digits) not in (3, 6, 9, 12) or not set(digits) <= _HEX_DIGITS:
            return None
        width = len(digits) // 3
        channels = (int(digits[i * width:(i + 1) * width], 16) for i in range(3))
        # Each channel is a fraction with `width` hex digits; keep its top byte.
        return tuple((c << 8) >> (4 * width) for c in channels)
    return NAMES.get(text.lower().replace(" ", ""))

#!/usr/bin/python3
"""Draws every picture of the skin with cairo (Debian package python3-cairo).

Re-skinning: edit PALETTE and SIZES below and run this script from anywhere.
It redraws the pictures under skin/ and carries colour changes into the
layouts: every layout colour is a palette colour, so a changed palette entry
is replaced in skin/*.xml by its new value (the values of the last run are
kept in scripts/skin_palette.json). The generated pictures are committed, so
building the installer never needs this script.
"""
import json
import math
import os
import re
import struct
import sys

import cairo

# ---------------------------------------------------------------- the theme --
# Colours as AARRGGBB, the form the layouts use.
PALETTE = {
    "accent": "FF2563EB",          # primary buttons, links, selection, progress
    "accent_hover": "FF1D4ED8",
    "accent_pressed": "FF1E40AF",
    "accent_disabled": "FFA8BFF5",
    "accent_tint": "FFEFF4FF",     # hover fills, banner backgrounds
    "accent_tint_strong": "FFDCE6FD",
    "surface": "FFFFFFFF",         # window and panel background
    "frame": "FFD9DEE5",           # window border and separators
    "border": "FFD1D5DB",          # inputs and secondary buttons
    "border_strong": "FF9CA3AF",   # hovered inputs, unchecked box outline
    "text": "FF1F2937",            # body text
    "text_muted": "FF4B5563",      # secondary text, licence text
    "text_faint": "FF6B7280",      # window glyphs, captions
    "text_disabled": "FFA1A8B3",   # disabled text
    "neutral_hover": "FFF1F3F5",   # hover fill of neutral buttons
    "neutral_pressed": "FFE4E7EB",
    "rail": "FFE5E7EB",            # progress rail, spinner track
    "thumb": "FFC5CBD3",           # scroll bar thumb
    "thumb_hover": "FFA3ABB6",
    "thumb_pressed": "FF7D8794",
    "danger": "FFDC2626",          # failure headline, close button hover
    "danger_pressed": "FFB91C1C",
    "warning": "FFF59E0B",         # exclamation and warning icons
    "message_border": "FFE6E6E6",  # message box border
    "message_text": "FF3D3D3D",    # message box text
    "message_no_text": "FF000000", # text of the message box "No" button
    "splash_text": "FF333333",     # splash version text
    "on_accent": "FFFEFEFE",       # text and glyphs on accent fills
}

# Sizes in pixels; the layouts place the pictures at exactly these sizes.
SIZES = {
    "window": (650, 360),          # upper block of the wizard
    "banner": (650, 300),          # built-in banners
    "banner_count": 5,
    "message": (500, 190),
    "splash": (320, 320),
    "splash_frames": 21,
    "splash_ring_center": (160, 128),
    "splash_ring_radius": 50,
    "logo": 64,
    "window_button": 32,           # minimise and close
    "button_large_h": 48,          # install / start
    "button_h": 32,                # browse, combo
    "button_small_h": 28,          # settings, hide
    "message_button": (160, 28),
    "radius": 8,
    "radius_small": 6,
    "checkbox": 16,
    "dot": 10,
    "progress": (600, 6),
    "scrollbar_width": 10,
    "message_icon": 40,
    "warning_icon": 16,
}

# ------------------------------------------------------------------ helpers --
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SKIN = os.path.join(ROOT, "skin")
PICTURES = os.path.join(SKIN, "skin")
PALETTE_RECORD = os.path.join(ROOT, "scripts", "skin_palette.json")


def rgba(role, alpha=1.0):
    value = PALETTE[role]
    a = int(value[0:2], 16) / 255.0
    return (int(value[2:4], 16) / 255.0, int(value[4:6], 16) / 255.0, int(value[6:8], 16) / 255.0, a * alpha)


def mix(role_a, role_b, t):
    a, b = rgba(role_a), rgba(role_b)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def surface(width, height):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, width, height)
    ctx = cairo.Context(s)
    ctx.set_antialias(cairo.ANTIALIAS_BEST)
    return s, ctx


def save(s, name):
    path = os.path.join(PICTURES, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    s.write_to_png(path)


def rounded(ctx, x, y, w, h, r):
    r = min(r, w / 2, h / 2)
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def fill_rounded(ctx, x, y, w, h, r, colour):
    rounded(ctx, x, y, w, h, r)
    ctx.set_source_rgba(*colour)
    ctx.fill()


def framed_rounded(ctx, w, h, r, fill, border):
    """A rounded box with a crisp one-pixel border inside w x h."""
    fill_rounded(ctx, 0, 0, w, h, r, border)
    fill_rounded(ctx, 1, 1, w - 2, h - 2, r - 1, fill)


def stroke_path(ctx, points, width, colour, cap=cairo.LINE_CAP_ROUND):
    ctx.move_to(*points[0])
    for p in points[1:]:
        ctx.line_to(*p)
    ctx.set_line_width(width)
    ctx.set_line_cap(cap)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.set_source_rgba(*colour)
    ctx.stroke()


def circle(ctx, cx, cy, r, colour):
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.set_source_rgba(*colour)
    ctx.fill()


# --------------------------------------------------------------- pictures --
def draw_logo_mark(ctx, x, y, size):
    """The product mark: a Z on a rounded accent square."""
    grad = cairo.LinearGradient(x, y, x + size, y + size)
    grad.add_color_stop_rgba(0, *rgba("accent"))
    grad.add_color_stop_rgba(1, *rgba("accent_pressed"))
    rounded(ctx, x, y, size, size, size * 0.25)
    ctx.set_source(grad)
    ctx.fill()
    u = size / 64.0
    stroke_path(ctx, [(x + 20 * u, y + 21 * u), (x + 44 * u, y + 21 * u), (x + 20 * u, y + 43 * u),
                      (x + 44 * u, y + 43 * u)], 6 * u, rgba("on_accent"), cairo.LINE_CAP_SQUARE)


def logos():
    n = SIZES["logo"]
    for name in ("logo.png", "logo_running.png"):
        s, ctx = surface(n, n)
        draw_logo_mark(ctx, 0, 0, n)
        save(s, name)


def soft_blob(ctx, cx, cy, r, role, alpha):
    grad = cairo.RadialGradient(cx, cy, 0, cx, cy, r)
    grad.add_color_stop_rgba(0, *rgba(role, alpha))
    grad.add_color_stop_rgba(1, *rgba(role, 0))
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.set_source(grad)
    ctx.fill()


def window_backgrounds():
    w, h = SIZES["window"]
    for name, variant in (("backgroud.png", 0), ("backgroud_complete.png", 1)):
        s, ctx = surface(w, h)
        ctx.set_source_rgba(*rgba("surface"))
        ctx.paint()
        grad = cairo.LinearGradient(0, 0, w, 0)
        grad.add_color_stop_rgba(0.35, *rgba("accent_tint", 0))
        grad.add_color_stop_rgba(1, *rgba("accent_tint", 1))
        ctx.rectangle(0, 0, w, h)
        ctx.set_source(grad)
        ctx.fill()
        if variant == 0:
            soft_blob(ctx, 560, 90, 170, "accent", 0.16)
            soft_blob(ctx, 470, 300, 120, "accent", 0.09)
            rings = [(560, 90, 110), (560, 90, 150)]
        else:
            soft_blob(ctx, 540, 250, 180, "accent", 0.14)
            soft_blob(ctx, 600, 60, 90, "accent", 0.10)
            rings = [(540, 250, 120), (540, 250, 165)]
        for cx, cy, r in rings:
            ctx.arc(cx, cy, r, 0, 2 * math.pi)
            ctx.set_line_width(1)
            ctx.set_source_rgba(*rgba("accent", 0.10))
            ctx.stroke()
        # Window frame, one crisp pixel on every side.
        ctx.rectangle(0.5, 0.5, w - 1, h - 1)
        ctx.set_line_width(1)
        ctx.set_source_rgba(*rgba("frame"))
        ctx.stroke()
        save(s, name)


def window_buttons():
    n = SIZES["window_button"]
    r = SIZES["radius_small"]
    states = {
        "normal": (None, rgba("text_faint"), rgba("text_faint")),
        "hot": (rgba("neutral_hover"), rgba("text"), rgba("on_accent")),
        "pushed": (rgba("neutral_pressed"), rgba("text"), rgba("on_accent")),
    }
    close_fill = {"normal": None, "hot": rgba("danger"), "pushed": rgba("danger_pressed")}
    c = n / 2.0
    for state, (fill, glyph, glyph_on_danger) in states.items():
        s, ctx = surface(n, n)
        if fill:
            fill_rounded(ctx, 4, 4, n - 8, n - 8, r, fill)
        ctx.rectangle(c - 5, c, 10, 1)  # a pixel-aligned bar
        ctx.set_source_rgba(*glyph)
        ctx.fill()
        save(s, "btn_min_%s.png" % state)

        s, ctx = surface(n, n)
        if close_fill[state]:
            fill_rounded(ctx, 4, 4, n - 8, n - 8, r, close_fill[state])
        colour = glyph_on_danger if close_fill[state] else glyph
        stroke_path(ctx, [(c - 4.5, c - 4.5), (c + 4.5, c + 4.5)], 1.5, colour, cairo.LINE_CAP_BUTT)
        stroke_path(ctx, [(c + 4.5, c - 4.5), (c - 4.5, c + 4.5)], 1.5, colour, cairo.LINE_CAP_BUTT)
        save(s, "btn_close_%s.png" % state)


def filled_button(name, w, h, r, fill):
    s, ctx = surface(w, h)
    fill_rounded(ctx, 0, 0, w, h, r, fill)
    save(s, name)


def outlined_button(name, w, h, r, fill, border):
    s, ctx = surface(w, h)
    framed_rounded(ctx, w, h, r, fill, border)
    save(s, name)


def buttons():
    big, mid, small = SIZES["button_large_h"], SIZES["button_h"], SIZES["button_small_h"]
    r, rs = SIZES["radius"], SIZES["radius_small"]
    # Nine-grid pictures: square, stretched by the layouts' corner values.
    for state, role in (("normal", "accent"), ("hot", "accent_hover"), ("pushed", "accent_pressed"),
                        ("disabled", "accent_disabled")):
        filled_button("btn_primary_%s.png" % state, big, big, r, rgba(role))
    for state, fill, border in (("normal", "surface", "border"), ("hot", "neutral_hover", "border_strong"),
                                ("pushed", "neutral_pressed", "border_strong"), ("disabled", "surface", "rail")):
        outlined_button("btn_secondary_%s.png" % state, mid, mid, rs, rgba(fill), rgba(border))
    for state, role in (("hot", "accent_tint"), ("pushed", "accent_tint_strong")):
        filled_button("btn_ghost_%s.png" % state, small, small, rs, rgba(role))
    # Message box buttons at their exact size.
    mw, mh = SIZES["message_button"]
    for suffix, role in (("", "accent"), ("_hot", "accent_hover"), ("_pushed", "accent_pressed")):
        filled_button("btn_yes%s.png" % suffix, mw, mh, rs, rgba(role))
    for suffix, fill, border in (("", "surface", "border"), ("_hot", "neutral_hover", "border_strong"),
                                 ("_pushed", "neutral_pressed", "border_strong")):
        outlined_button("btn_no%s.png" % suffix, mw, mh, rs, rgba(fill), rgba(border))


def checkboxes():
    n = SIZES["checkbox"]
    tick = [(4.0, 8.2), (6.8, 11.0), (12.0, 5.4)]
    for state, checked, role in (("normal", False, "border_strong"), ("hot", False, "accent"),
                                 ("checked", True, "accent"), ("checked_hot", True, "accent_hover"),
                                 ("disabled", False, "rail")):
        s, ctx = surface(n, n)
        if checked:
            fill_rounded(ctx, 0, 0, n, n, 4, rgba(role))
            stroke_path(ctx, tick, 2, rgba("on_accent"))
        else:
            framed_rounded(ctx, n, n, 4, rgba("surface"), rgba(role))
        save(s, "checkbox_%s.png" % state)


def chevron(ctx, cx, cy, colour):
    stroke_path(ctx, [(cx - 4, cy - 2), (cx, cy + 2), (cx + 4, cy - 2)], 1.5, colour)


def combos():
    h = SIZES["button_h"]
    w = 48
    for state, fill, border, arrow in (("normal", "surface", "border", "text_faint"),
                                       ("hot", "surface", "border_strong", "text"),
                                       ("pushed", "accent_tint", "accent", "accent"),
                                       ("disabled", "surface", "rail", "border")):
        s, ctx = surface(w, h)
        framed_rounded(ctx, w, h, SIZES["radius_small"], rgba(fill), rgba(border))
        chevron(ctx, w - 15, h / 2.0, rgba(arrow))
        save(s, "combo_%s.png" % state)


def progress():
    w, h = SIZES["progress"]
    s, ctx = surface(2 * h, h)
    fill_rounded(ctx, 0, 0, 2 * h, h, h / 2.0, rgba("rail"))
    save(s, "progress_bk.png")
    s, ctx = surface(w, h)
    fill_rounded(ctx, 0, 0, w, h, h / 2.0, rgba("accent"))
    save(s, "progress_fore.png")


def dots():
    n = SIZES["dot"]
    c = n / 2.0
    for state in ("normal", "hot", "selected"):
        s, ctx = surface(n, n)
        if state == "selected":
            circle(ctx, c, c, c, rgba("surface"))
            circle(ctx, c, c, c - 2, rgba("accent"))
        else:
            circle(ctx, c, c, c, rgba("text", 0.18))
            circle(ctx, c, c, c - 1, rgba("surface", 0.75 if state == "normal" else 1.0))
        save(s, "dot_%s.png" % state)


def exclamation_glyph(ctx, cx, top, height, colour):
    bar = height * 0.62
    width = max(2.0, height * 0.16)
    fill_rounded(ctx, cx - width / 2, top, width, bar, width / 2, colour)
    circle(ctx, cx, top + height - width / 2, width / 2 + 0.2, colour)


def icons():
    n = SIZES["message_icon"]
    c = n / 2.0
    s, ctx = surface(n, n)
    circle(ctx, c, c, c, rgba("warning"))
    exclamation_glyph(ctx, c, 10, 20, rgba("on_accent"))
    save(s, "message_exclamation.png")

    s, ctx = surface(n, n)
    circle(ctx, c, c, c, rgba("accent"))
    ctx.arc(c, 16, 6, math.pi * 1.05, math.pi * 2.35)
    ctx.line_to(c, 23)
    ctx.line_to(c, 25)
    ctx.set_line_width(3.2)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.set_source_rgba(*rgba("on_accent"))
    ctx.stroke()
    circle(ctx, c, 30.5, 2, rgba("on_accent"))
    save(s, "message_help.png")

    n = SIZES["warning_icon"]
    s, ctx = surface(n, n)
    ctx.move_to(n / 2.0, 1)
    ctx.line_to(n - 0.5, n - 1.5)
    ctx.line_to(0.5, n - 1.5)
    ctx.close_path()
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.set_line_width(1.5)
    ctx.set_source_rgba(*rgba("warning"))
    ctx.fill_preserve()
    ctx.stroke()
    exclamation_glyph(ctx, n / 2.0, 5, 8, rgba("on_accent"))
    save(s, "icon_warning.png")


def message_background():
    w, h = SIZES["message"]
    s, ctx = surface(w, h)
    ctx.set_source_rgba(*rgba("surface"))
    ctx.paint()
    ctx.rectangle(0, 0, w, 3)
    ctx.set_source_rgba(*rgba("accent"))
    ctx.fill()
    save(s, "bg_message.png")


# Built-in banners: one motif each on a tinted backdrop, no text (the
# language files may add texts, which are drawn over the upper middle).
def banner_backdrop(ctx, w, h, seed):
    grad = cairo.LinearGradient(0, 0, 0, h)
    grad.add_color_stop_rgba(0, *rgba("accent_tint"))
    grad.add_color_stop_rgba(1, *rgba("surface"))
    ctx.rectangle(0, 0, w, h)
    ctx.set_source(grad)
    ctx.fill()
    spots = [(90, 60, 140), (560, 250, 160), (600, 40, 90), (60, 270, 110)]
    for i, (x, y, r) in enumerate(spots):
        soft_blob(ctx, x if seed % 2 == 0 else w - x, y, r, "accent", 0.10 + 0.02 * ((seed + i) % 3))
    for i in range(14):
        angle = (seed * 37 + i * 53) % 360
        dist = 150 + (seed * 11 + i * 29) % 140
        x = w / 2 + math.cos(math.radians(angle)) * dist * 1.4
        y = h / 2 + math.sin(math.radians(angle)) * dist * 0.6
        circle(ctx, x, y, 2 + (i % 3), rgba("accent", 0.18))


def card(ctx, x, y, w, h, r=14):
    fill_rounded(ctx, x + 0, y + 4, w, h, r, rgba("accent_pressed", 0.08))
    fill_rounded(ctx, x, y, w, h, r, rgba("surface"))


def banner_download(ctx, w, h):
    cx, cy = w / 2, h / 2 + 10
    circle(ctx, cx, cy, 78, rgba("accent", 0.12))
    circle(ctx, cx, cy, 58, rgba("accent"))
    stroke_path(ctx, [(cx, cy - 26), (cx, cy + 18)], 8, rgba("on_accent"))
    stroke_path(ctx, [(cx - 18, cy + 2), (cx, cy + 20), (cx + 18, cy + 2)], 8, rgba("on_accent"))
    for i, length in enumerate((70, 110, 50)):
        y = cy - 30 + i * 30
        stroke_path(ctx, [(cx - 110 - length, y), (cx - 110, y)], 6, rgba("accent", 0.35 - i * 0.08))
        stroke_path(ctx, [(cx + 110, y), (cx + 110 + length, y)], 6, rgba("accent", 0.35 - i * 0.08))


def banner_shield(ctx, w, h):
    cx, top = w / 2, 72
    ctx.move_to(cx, top)
    ctx.curve_to(cx + 40, top + 18, cx + 70, top + 18, cx + 76, top + 20)
    ctx.curve_to(cx + 78, top + 100, cx + 50, top + 150, cx, top + 176)
    ctx.curve_to(cx - 50, top + 150, cx - 78, top + 100, cx - 76, top + 20)
    ctx.curve_to(cx - 70, top + 18, cx - 40, top + 18, cx, top)
    ctx.close_path()
    grad = cairo.LinearGradient(cx - 76, top, cx + 76, top + 176)
    grad.add_color_stop_rgba(0, *rgba("accent"))
    grad.add_color_stop_rgba(1, *rgba("accent_pressed"))
    ctx.set_source(grad)
    ctx.fill()
    stroke_path(ctx, [(cx - 30, top + 88), (cx - 8, top + 110), (cx + 34, top + 66)], 12, rgba("on_accent"))
    for side in (-1, 1):
        card(ctx, cx + side * 170 - 55, 110, 110, 70)
        fill_rounded(ctx, cx + side * 170 - 40, 128, 50, 8, 4, rgba("accent", 0.8))
        fill_rounded(ctx, cx + side * 170 - 40, 146, 80, 8, 4, rgba("rail"))
        fill_rounded(ctx, cx + side * 170 - 40, 162, 64, 8, 4, rgba("rail"))


def banner_window(ctx, w, h):
    x, y, cw, ch = w / 2 - 150, 60, 300, 190
    card(ctx, x, y, cw, ch)
    ctx.save()
    rounded(ctx, x, y, cw, ch, 14)
    ctx.clip()
    ctx.rectangle(x, y, cw, 30)
    ctx.set_source_rgba(*rgba("accent"))
    ctx.fill()
    ctx.restore()
    for i in range(3):
        circle(ctx, x + 18 + i * 14, y + 15, 4, rgba("on_accent", 0.8))
    for row in range(2):
        for col in range(3):
            tx, ty = x + 20 + col * 90, y + 48 + row * 68
            fill_rounded(ctx, tx, ty, 78, 56, 8, rgba("accent_tint_strong" if (row + col) % 2 else "accent_tint"))
            circle(ctx, tx + 20, ty + 22, 9, rgba("accent", 0.85 if (row + col) % 2 == 0 else 0.5))
            fill_rounded(ctx, tx + 12, ty + 38, 52, 6, 3, rgba("accent", 0.3))


def banner_chart(ctx, w, h):
    x, y, cw, ch = w / 2 - 170, 70, 340, 180
    card(ctx, x, y, cw, ch)
    base = y + ch - 30
    for i, value in enumerate((40, 62, 54, 86, 104, 120)):
        bx = x + 34 + i * 48
        fill_rounded(ctx, bx, base - value, 28, value, 6,
                     rgba("accent", 0.35 + i * 0.12) if i < 5 else rgba("accent"))
    points = [(x + 48 + i * 48, base - v - 16) for i, v in enumerate((40, 62, 54, 86, 104, 120))]
    stroke_path(ctx, points, 3, rgba("accent_pressed"))
    for p in points:
        circle(ctx, p[0], p[1], 5, rgba("surface"))
        circle(ctx, p[0], p[1], 3, rgba("accent_pressed"))
    stroke_path(ctx, [(x + 24, base + 0.5), (x + cw - 24, base + 0.5)], 1, rgba("frame"), cairo.LINE_CAP_BUTT)


def banner_bolt(ctx, w, h):
    cx, cy = w / 2, h / 2 + 10
    for r, a in ((104, 0.08), (82, 0.12)):
        circle(ctx, cx, cy, r, rgba("accent", a))
    circle(ctx, cx, cy, 62, rgba("accent"))
    ctx.move_to(cx + 8, cy - 44)
    ctx.line_to(cx - 24, cy + 6)
    ctx.line_to(cx - 2, cy + 6)
    ctx.line_to(cx - 10, cy + 44)
    ctx.line_to(cx + 24, cy - 8)
    ctx.line_to(cx + 2, cy - 8)
    ctx.close_path()
    ctx.set_source_rgba(*rgba("on_accent"))
    ctx.fill()
    for i, (dx, dy, r) in enumerate(((-150, -50, 10), (160, -60, 7), (140, 70, 12), (-170, 60, 6))):
        sparkle(ctx, cx + dx, cy + dy, r, rgba("accent", 0.6 if i % 2 else 0.9))


def sparkle(ctx, x, y, r, colour):
    ctx.move_to(x, y - r)
    ctx.curve_to(x + r * 0.2, y - r * 0.2, x + r * 0.2, y - r * 0.2, x + r, y)
    ctx.curve_to(x + r * 0.2, y + r * 0.2, x + r * 0.2, y + r * 0.2, x, y + r)
    ctx.curve_to(x - r * 0.2, y + r * 0.2, x - r * 0.2, y + r * 0.2, x - r, y)
    ctx.curve_to(x - r * 0.2, y - r * 0.2, x - r * 0.2, y - r * 0.2, x, y - r)
    ctx.set_source_rgba(*colour)
    ctx.fill()


def banners():
    w, h = SIZES["banner"]
    motifs = [banner_download, banner_shield, banner_window, banner_chart, banner_bolt]
    for index in range(SIZES["banner_count"]):
        s, ctx = surface(w, h)
        banner_backdrop(ctx, w, h, index)
        motifs[index % len(motifs)](ctx, w, h)
        save(s, "anima/%d.png" % (index + 1))


def splash():
    w, h = SIZES["splash"]
    s, ctx = surface(w, h)
    framed_rounded(ctx, w, h, 16, rgba("surface"), rgba("frame"))
    save(s, "waiting.png")
    cx, cy = SIZES["splash_ring_center"]
    radius = SIZES["splash_ring_radius"]
    frames = SIZES["splash_frames"]
    for i in range(frames):
        s, ctx = surface(w, h)
        ctx.arc(cx, cy, radius, 0, 2 * math.pi)
        ctx.set_line_width(4)
        ctx.set_source_rgba(*rgba("rail"))
        ctx.stroke()
        start = -math.pi / 2 + 2 * math.pi * i / frames
        sweep = math.radians(70 + 50 * math.sin(math.pi * i / frames))
        ctx.arc(cx, cy, radius, start, start + sweep)
        ctx.set_line_cap(cairo.LINE_CAP_ROUND)
        ctx.set_source_rgba(*rgba("accent"))
        ctx.stroke()
        save(s, "gif/bg%02d.png" % i)


def write_bmp24(path, width, height, pixels):
    """pixels: rows top to bottom of (r, g, b) tuples."""
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        body += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


def scrollbar():
    """scrollbar.bmp: four 10 x 40 cells: track, thumb normal, hot, pushed.
    A bitmap has no alpha, so the thumbs are drawn onto the panel colour."""
    cell = SIZES["scrollbar_width"]
    height = 40
    s, ctx = surface(cell * 4, height)
    ctx.set_source_rgba(*rgba("surface"))
    ctx.paint()
    for i, role in enumerate(("thumb", "thumb_hover", "thumb_pressed")):
        x = cell * (i + 1)
        fill_rounded(ctx, x + 2, 2, cell - 4, height - 4, (cell - 4) / 2.0, rgba(role))
    s.flush()
    data = s.get_data()
    stride = s.get_stride()
    pixels = []
    for y in range(height):
        row = []
        for x in range(cell * 4):
            b, g, r, _ = data[y * stride + x * 4: y * stride + x * 4 + 4]
            row.append((r, g, b))
        pixels.append(row)
    write_bmp24(os.path.join(SKIN, "scrollbar.bmp"), cell * 4, height, pixels)


# ------------------------------------------------------ layout colour sync --
HEX8 = re.compile(r"(?<![0-9A-Fa-f#])#?([0-9A-Fa-f]{8})(?![0-9A-Fa-f])")


def sync_layout_colours():
    """Replaces, in the layouts, each palette colour that changed since the
    last run by its new value, and warns about layout colours that are not
    in the palette."""
    values = list(PALETTE.values())
    if len(set(v.upper() for v in values)) != len(values):
        sys.exit("palette colours must be distinct so the layouts can follow them")
    previous = {}
    if os.path.exists(PALETTE_RECORD):
        with open(PALETTE_RECORD, encoding="utf-8") as f:
            previous = json.load(f)
    renames = {previous[k].upper(): v.upper() for k, v in PALETTE.items()
               if k in previous and previous[k].upper() != v.upper()}
    known = set(v.upper() for v in values)
    for name in sorted(os.listdir(SKIN)):
        if not name.endswith(".xml"):
            continue
        path = os.path.join(SKIN, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()

        def replace(match):
            value = match.group(1).upper()
            if value in renames:
                return match.group(0).replace(match.group(1), renames[value])
            if value not in known:
                print("%s: colour %s is not in the palette" % (name, value))
            return match.group(0)

        updated = HEX8.sub(replace, text)
        if updated != text:
            with open(path, "w", encoding="utf-8") as f:
                f.write(updated)
    with open(PALETTE_RECORD, "w", encoding="utf-8") as f:
        json.dump(PALETTE, f, indent=2, sort_keys=True)
        f.write("\n")


def main():
    logos()
    window_backgrounds()
    window_buttons()
    buttons()
    checkboxes()
    combos()
    progress()
    dots()
    icons()
    message_background()
    banners()
    splash()
    scrollbar()
    sync_layout_colours()


if __name__ == "__main__":
    main()

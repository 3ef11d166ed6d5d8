#!/usr/bin/python3
"""Draws the program's pictures: splash, button glyphs, icons and the badge.

Run with Debian's python3 and python3-pil; the results are committed, so the
build does not need this script.
"""
import math
import os
from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.join(os.path.dirname(__file__), "..", "resources")
FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
TEAL = (0, 128, 128)
NAVY = (0, 0, 128)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def font(size, bold=True):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(FONT_DIR + name, size)


def save_glyph(img, name, colours=16):
    # 16-colour glyphs with a transparent background
    alpha = img.getchannel("A")
    pal = img.convert("RGB").quantize(colors=colours - 1)
    pal = pal.convert("RGBA")
    pal.putalpha(alpha.point(lambda a: 255 if a > 96 else 0))
    pal.save(os.path.join(ROOT, "glyphs", name + ".png"))


def canvas(size=32):
    return Image.new("RGBA", (size, size), (0, 0, 0, 0))


def glyph_ok():
    img = canvas(); d = ImageDraw.Draw(img)
    d.ellipse((2, 2, 29, 29), fill=(0, 150, 0), outline=(0, 80, 0))
    d.line((8, 16, 14, 22, 24, 9), fill=WHITE, width=4)
    return img


def glyph_cancel():
    img = canvas(); d = ImageDraw.Draw(img)
    d.ellipse((2, 2, 29, 29), fill=(200, 0, 0), outline=(110, 0, 0))
    d.line((10, 10, 21, 21), fill=WHITE, width=4)
    d.line((21, 10, 10, 21), fill=WHITE, width=4)
    return img


def glyph_help():
    img = canvas(); d = ImageDraw.Draw(img)
    d.ellipse((2, 2, 29, 29), fill=(0, 0, 190), outline=NAVY)
    d.text((16, 16), "?", font=font(22), fill=(255, 255, 0), anchor="mm")
    return img


def glyph_preview():
    img = canvas(); d = ImageDraw.Draw(img)
    d.rectangle((3, 4, 24, 27), fill=WHITE, outline=BLACK)
    for y in (9, 13, 17):
        d.line((7, y, 20, y), fill=(90, 90, 90))
    d.ellipse((14, 14, 26, 26), fill=(200, 230, 255), outline=NAVY, width=2)
    d.line((25, 25, 30, 30), fill=NAVY, width=3)
    return img


def glyph_publish():
    img = canvas(); d = ImageDraw.Draw(img)
    d.ellipse((2, 6, 24, 28), fill=(40, 120, 220), outline=NAVY)
    d.arc((6, 6, 20, 28), 0, 360, fill=WHITE)
    d.line((2, 17, 24, 17), fill=WHITE)
    d.polygon(((24, 2), (31, 10), (27, 10), (27, 16), (21, 16), (21, 10), (17, 10)),
              fill=(0, 160, 0), outline=(0, 80, 0))
    return img


def glyph_save():
    img = canvas(); d = ImageDraw.Draw(img)
    d.rectangle((3, 3, 28, 28), fill=(40, 40, 140), outline=BLACK)
    d.rectangle((8, 3, 23, 12), fill=(220, 220, 220), outline=BLACK)
    d.rectangle((18, 5, 21, 10), fill=(40, 40, 140))
    d.rectangle((7, 17, 24, 28), fill=WHITE, outline=BLACK)
    return img


def glyph_online():
    img = canvas(); d = ImageDraw.Draw(img)
    d.ellipse((2, 2, 29, 29), fill=(60, 160, 255), outline=NAVY)
    d.polygon(((8, 8), (15, 6), (17, 12), (12, 17), (7, 14)), fill=(0, 150, 0))
    d.polygon(((18, 16), (25, 15), (26, 22), (20, 26)), fill=(0, 150, 0))
    d.text((16, 17), "Z", font=font(12), fill=WHITE, anchor="mm")
    return img


def icon_key():
    img = canvas(); d = ImageDraw.Draw(img)
    d.ellipse((3, 3, 15, 15), fill=(230, 180, 0), outline=(120, 80, 0), width=2)
    d.ellipse((7, 7, 11, 11), fill=(0, 0, 0, 0))
    d.line((13, 13, 28, 28), fill=(200, 150, 0), width=4)
    d.line((22, 22, 26, 18), fill=(200, 150, 0), width=3)
    d.line((26, 26, 30, 22), fill=(200, 150, 0), width=3)
    return img


def icon_mail():
    img = canvas(); d = ImageDraw.Draw(img)
    d.rectangle((2, 7, 29, 25), fill=WHITE, outline=BLACK)
    d.line((2, 7, 16, 18, 29, 7), fill=BLACK, width=2)
    d.rectangle((23, 9, 27, 13), fill=(200, 0, 0))
    return img


def align_icon(kind):
    img = Image.new("RGBA", (16, 16), (0, 0, 0, 0)); d = ImageDraw.Draw(img)
    for i, w in enumerate((12, 8, 12, 8, 12)):
        y = 2 + i * 3
        if kind == "left":
            x0 = 2
        elif kind == "center":
            x0 = 2 + (12 - w) // 2
        else:
            x0 = 14 - w
        d.line((x0, y, x0 + w, y), fill=BLACK, width=1)
    img.save(os.path.join(ROOT, "icons", "align_" + kind + ".png"))


def media_icon(kind):
    img = Image.new("RGBA", (16, 16), (0, 0, 0, 0)); d = ImageDraw.Draw(img)
    if kind == "play":
        d.polygon(((4, 2), (13, 8), (4, 14)), fill=(0, 120, 0), outline=(0, 60, 0))
    else:
        d.rectangle((3, 3, 12, 12), fill=(40, 40, 40))
    img.save(os.path.join(ROOT, "icons", kind + ".png"))


def icon_link():
    img = canvas(); d = ImageDraw.Draw(img)
    d.rounded_rectangle((3, 11, 18, 21), radius=5, outline=(0, 0, 160), width=3)
    d.rounded_rectangle((13, 11, 28, 21), radius=5, outline=(0, 120, 200), width=3)
    return img


def icon_folder():
    img = Image.new("RGBA", (16, 16), (0, 0, 0, 0)); d = ImageDraw.Draw(img)
    d.polygon(((1, 4), (6, 4), (7, 5), (14, 5), (14, 13), (1, 13)), fill=(240, 200, 60), outline=(140, 100, 0))
    img.save(os.path.join(ROOT, "icons", "folder.png"))


def tree_icons():
    # 0 publication root, 1 HTML page, 2 picture, 3 MIDI, 4 WAV, 5 information, 6 total, 7 time
    looks = [((90, 90, 90), "box"), ((0, 90, 200), "page"), ((0, 150, 0), "picture"), ((150, 0, 150), "note"),
             ((200, 100, 0), "wave"), ((0, 0, 190), "info"), ((100, 100, 100), "sum"), ((0, 128, 128), "clock")]
    for i, (colour, kind) in enumerate(looks):
        img = Image.new("RGBA", (16, 16), (0, 0, 0, 0)); d = ImageDraw.Draw(img)
        if kind == "box":
            d.rectangle((2, 5, 13, 13), fill=(230, 190, 120), outline=colour)
            d.line((2, 5, 7, 2, 13, 5), fill=colour)
        elif kind == "page":
            d.rectangle((3, 1, 12, 14), fill=WHITE, outline=colour)
            for y in (4, 7, 10):
                d.line((5, y, 10, y), fill=colour)
        elif kind == "picture":
            d.rectangle((1, 3, 14, 12), fill=(200, 230, 255), outline=colour)
            d.polygon(((2, 11), (6, 6), (9, 9), (11, 7), (13, 11)), fill=colour)
        elif kind == "note":
            d.ellipse((3, 10, 7, 14), fill=colour); d.line((7, 12, 7, 2, 12, 4), fill=colour, width=2)
        elif kind == "wave":
            pts = [(x, 8 + int(5 * math.sin(x / 2.0))) for x in range(1, 15)]
            d.line(pts, fill=colour, width=2)
        elif kind == "info":
            d.ellipse((1, 1, 14, 14), fill=colour); d.text((8, 8), "i", font=font(10), fill=WHITE, anchor="mm")
        elif kind == "sum":
            d.text((8, 8), "Σ", font=font(13), fill=colour, anchor="mm")
        else:
            d.ellipse((1, 1, 14, 14), fill=WHITE, outline=colour, width=2); d.line((8, 8, 8, 3), fill=colour, width=2)
            d.line((8, 8, 11, 9), fill=colour, width=2)
        img.save(os.path.join(ROOT, "icons", "tree%d.png" % i))


def splash():
    w, h = 350, 330
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / (h - 1)
        d.line((0, y, w, y), fill=(int(0 + 20 * t), int(70 + 60 * t), int(120 + 40 * t)))
    for i in range(9):
        r = 40 + i * 26
        d.arc((w - 120 - r, -60 - r, w - 120 + r, -60 + r), 20, 160, fill=(40, 140, 170))
    d.rectangle((0, 0, w - 1, h - 1), outline=(0, 40, 60))
    d.text((w // 2, 110), "Zentarek", font=font(46), fill=WHITE, anchor="mm")
    d.text((w // 2, 160), "Light", font=font(30), fill=(255, 220, 90), anchor="mm")
    d.text((w // 2, 205), "Generator Stron WWW", font=font(18, False), fill=WHITE, anchor="mm")
    d.line((60, 232, w - 60, 232), fill=(255, 220, 90), width=2)
    d.text((w // 2, 290), "Uruchamianie…", font=font(13, False), fill=(220, 240, 255), anchor="mm")
    d.text((w // 2, 312), "© Quorvel Software", font=font(10, False), fill=(180, 210, 230), anchor="mm")
    img.quantize(colors=256).save(os.path.join(ROOT, "splash.png"))


def badge():
    frames = []
    w, h = 88, 31
    for i in range(12):
        img = Image.new("RGB", (w, h), NAVY)
        d = ImageDraw.Draw(img)
        d.rectangle((0, 0, w - 1, h - 1), outline=(255, 220, 90))
        phase = i / 12 * 2 * math.pi
        cx, cy = 15, 15
        for k in range(6):
            a = phase + k * math.pi / 3
            x = cx + 9 * math.cos(a); y = cy + 9 * math.sin(a)
            d.ellipse((x - 2, y - 2, x + 2, y + 2), fill=(255, 220 - 25 * k, 90))
        d.text((57, 10), "Zentarek", font=font(10), fill=WHITE, anchor="mm")
        d.text((57, 22), "Light", font=font(9, False), fill=(255, 220, 90), anchor="mm")
        frames.append(img.quantize(colors=32))
    frames[0].save(os.path.join(ROOT, "grafika", "animgifs", "zen_anim.gif"), save_all=True,
                   append_images=frames[1:], duration=90, loop=0)


def main():
    for name, fn in (("OK", glyph_ok), ("ANULUJ", glyph_cancel), ("POMOC", glyph_help),
                     ("PODGLAD", glyph_preview), ("PUBLIKUJ", glyph_publish),
                     ("ZAPISZ", glyph_save), ("ONLINE", glyph_online)):
        save_glyph(fn(), name)
    icon_key().save(os.path.join(ROOT, "icons", "klucz.png"))
    icon_mail().save(os.path.join(ROOT, "icons", "koperta.png"))
    icon_link().save(os.path.join(ROOT, "icons", "odnosnik.png"))
    icon_folder()
    tree_icons()
    glyph_online().save(os.path.join(ROOT, "icons", "zentarek.png"))
    for kind in ("left", "center", "right"):
        align_icon(kind)
    for kind in ("play", "stop"):
        media_icon(kind)
    splash()
    badge()


if __name__ == "__main__":
    main()

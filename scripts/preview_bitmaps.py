#!/usr/bin/python3
"""Composes the generated bitmaps into one PNG contact sheet, to judge the look.

    preview_bitmaps.py <folder of the generated bitmaps> <sheet.png>

Reads the files back (so a bitmap that does not decode shows up here first), lays out every
strip frame by frame, and mocks up a welcome page, a page with Next and Back, the busy and
progress displays and the frame, with the program's fonts and colours.
"""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/liberation2"
STRIPS = [  # file, frames
    ("next.bmp", 4), ("back.bmp", 4), ("done.bmp", 4), ("continue.bmp", 4), ("cancel.bmp", 4),
    ("disk_cleanup.bmp", 4), ("launch_explorer.bmp", 4), ("empty_bin.bmp", 5), ("delete_temp.bmp", 5),
    ("change_drive.bmp", 4), ("scan_drives.bmp", 4), ("change_dir.bmp", 4), ("new_member.bmp", 4),
    ("current_member.bmp", 4), ("screen_name.bmp", 4),
]
SURFACE = (200, 224, 240)
BUSY_TEXT = ("We want to make sure you use the best available version of the ZOV software.\n\nWe're now checking "
             "to see if you have a previous version of ZOV already installed on your computer.\n\nThis process "
             "will take a few minutes. Thanks for your patience!")


def font(size, bold=False):
    name = "LiberationSans-Bold.ttf" if bold else "LiberationSans-Regular.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def frame_of(img, i, n):
    w = img.width // n
    return img.crop((i * w, 0, (i + 1) * w, img.height))


def wrap(d, text, fnt, width):
    lines, line = [], ""
    for word in text.split():
        trial = (line + " " + word).strip()
        if d.textlength(trial, font=fnt) > width and line:
            lines.append(line)
            line = word
        else:
            line = trial
    return lines + [line]


def page(bm, title, body, buttons):
    """A wizard page as the program lays it out: title, body, hint and bitmap buttons."""
    img = bm["page.bmp"].convert("RGB")
    d = ImageDraw.Draw(img)
    d.text((16, 18), title, font=font(29 * 3 // 4 + 6, True), fill=(0, 0, 0))
    y = 78
    for line in wrap(d, body, font(13), img.width - 32):
        d.text((16, y), line, font=font(13), fill=(0, 0, 0))
        y += 17
    for name, frame, xy in buttons:
        img.paste(frame_of(bm[name], frame, 4), xy)
    return img


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    folder, out = argv[1], argv[2]
    bm = {n: Image.open(os.path.join(folder, n)).convert("RGB") for n in os.listdir(folder) if n.endswith(".bmp")}
    icons = [Image.open(os.path.join(folder, n)) for n in sorted(os.listdir(folder)) if n.endswith(".ico")]

    sheet = Image.new("RGB", (1900, 2060), (255, 255, 255))
    d = ImageDraw.Draw(sheet)
    label = font(12, True)

    # Strips, each frame apart, at their own size.
    y = 10
    for name, n in STRIPS:
        img = bm[name]
        d.text((10, y), f"{name} {img.width}x{img.height}", font=label, fill=(0, 0, 0))
        x = 10
        for i in range(n):
            f = frame_of(img, i, n)
            sheet.paste(f, (x, y + 16))
            x += f.width + 8
        y += img.height + 26

    # Mock-ups.
    welcome = page(bm, "Welcome to ZOV 9.0 VR!",
                   "In just a few minutes you'll be online! But first, we'll guide you through a short "
                   "installation and registration process.",
                   [("new_member.bmp", 0, (23, 160)), ("current_member.bmp", 2, (23, 222))])
    ImageDraw.Draw(welcome).text((16, 134), "Please click one of the buttons below:", font=font(13, True),
                                 fill=(0, 0, 0))
    sheet.paste(welcome, (10, y))
    member = page(bm, "Current Members", "Please click inside a circle to let us know if you are:",
                  [("back.bmp", 0, (290, 296)), ("next.bmp", 2, (370, 288))])
    md = ImageDraw.Draw(member)
    for i, t in enumerate(["Upgrading to a new version of ZOV on this computer",
                           "Adding your existing ZOV account to this computer",
                           "Creating an additional ZOV account on this computer"]):
        md.ellipse((30, 112 + i * 30, 42, 124 + i * 30), outline=(0, 0, 0), fill=(255, 255, 255))
        md.text((50, 110 + i * 30), t, font=font(13), fill=(0, 0, 0))
    md.text((16, 262), "Click Next to continue.", font=font(13, True), fill=(0, 0, 0))
    sheet.paste(member, (500, y))
    name = page(bm, "Welcome to ZOV 9.0 VR!", "In just a few minutes you'll be online!",
                [("screen_name.bmp", 2, (23, 110)), ("new_member.bmp", 1, (23, 170)),
                 ("current_member.bmp", 0, (23, 230))])
    ImageDraw.Draw(name).text((23 + 216, 110 + 26), "ZOVFan2008", font=font(16, True), fill=(0, 0, 0),
                              anchor="mm")
    sheet.paste(name, (990, y))
    y += 350

    frame = Image.new("RGB", (800, 560), (255, 255, 255))
    frame.paste(bm["frame.bmp"], (10, 10))
    small_page = welcome.resize((welcome.width * 3 // 4, welcome.height * 3 // 4))
    frame.paste(small_page, ((800 - small_page.width) // 2, 150))
    sheet.paste(frame, (10, y))
    d.rectangle((9, y - 1, 810, y + 560), outline=(0, 0, 0))

    run = Image.new("RGB", (800, 560), (255, 255, 255))
    run.paste(bm["frame_progress.bmp"], (10, 10))
    rd = ImageDraw.Draw(run)
    rd.text((216, 23), "Welcome to ZOV\u00ae 9.0 VR", font=font(30, True), fill=(0, 48, 96))
    for i, t in enumerate(["Sign on faster and find everything in one simple, clean layout.",
                           "Mail with built-in spam protection and room for all your photos."]):
        rd.text((216, 90 + i * 22), t, font=font(16, True), fill=(0, 48, 96))
    prog = Image.new("RGB", (313, 189), SURFACE)
    pd = ImageDraw.Draw(prog)
    pd.text((60, 58), "Total Installation:", font=font(13), fill=(0, 0, 0))
    pd.rectangle((60, 80, 290, 98), fill=(255, 255, 255), outline=(120, 120, 120))
    pd.rectangle((61, 81, 61 + 130, 97), fill=(40, 120, 255))
    prog.paste(frame_of(bm["progress_animation.bmp"], 3, 8), (16, 64))
    prog.paste(frame_of(bm["cancel.bmp"], 0, 4), (128, 150))
    run.paste(prog, (800 - 313 - 10, 560 - 189 - 10))
    sheet.paste(run, (830, y))
    d.rectangle((829, y - 1, 1630, y + 560), outline=(0, 0, 0))
    y += 580

    for i, (bg, anim) in enumerate((("busy.bmp", 0), ("busy_features.bmp", 12))):
        b = bm[bg].copy()
        b.paste(frame_of(bm["busy_animation.bmp"], anim, 25), (14, 16))
        bd = ImageDraw.Draw(b)
        y2 = 16
        for para in BUSY_TEXT.split("\n"):
            for line in wrap(bd, para, font(16), 316) if para else [""]:
                bd.text((66, y2), line, font=font(16), fill=(0, 0, 0))
                y2 += 18
        sheet.paste(b, (10 + i * 410, y))
    sheet.paste(bm["progress.bmp"], (840, y))
    x = 1170
    anim = bm["busy_animation.bmp"]
    for i in range(25):
        sheet.paste(frame_of(anim, i, 25), (x + (i % 9) * 44, y + (i // 9) * 44))
    pa = bm["progress_animation.bmp"]
    for i in range(8):
        sheet.paste(frame_of(pa, i, 8), (x + i * 38, y + 140))
    sheet.paste(bm["folders.bmp"].resize((64, 32), Image.Resampling.NEAREST), (x, y + 180))
    x = x + 80
    for ico in icons:
        for size in (32, 16):
            ico.size = (size, size)
            im = ico.convert("RGBA")
            sheet.paste(im, (x, y + 180), im)
            x += size + 8
    sheet.save(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

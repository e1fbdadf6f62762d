#!/usr/bin/python3
"""Writes the frame's movies, one per media.ini section, in the movie control's text format
(docs/notes/issue-14.md describes it).

    make_movies.py <output folder>
    make_movies.py --list          the file names it writes, one a line

The movies are drawn in a 640 x 480 space that the control scales to the frame, keeping the
proportions. The progress movies draw the setup's progress from the variables the frame
sets (MainProgress, SecProgress, ShowSec, LE) and carry a cancel button that raises the
"cancel" command.
"""

import os
import sys

NAVY = "003060"
SURFACE = "C8E0F0"
ICE = "DEF1FA"
SKY = "62BAE3"
BLUE = "2878FF"
WHITE = "FFFFFF"
TRACK = "1C4A78"
LEAF = "4EAE04"


def header(frames, rate=12, background=NAVY):
    return ["zmovie 1", "size 640 480", "rate %d" % rate, "frames %d" % frames, "background %s" % background]


def backdrop(frames):
    """The product's backdrop: a sky band, the brand line and a light floor."""
    last = frames - 1
    return [
        "rect 0 %d 0 0 640 120 %s" % (last, TRACK),
        "rect 0 %d 0 120 640 4 %s" % (last, SKY),
        "rect 0 %d 0 400 640 80 %s" % (last, "0A2A4A"),
        'text 0 %d 24 30 40 %s "ZOV 9.0 VR"' % (last, WHITE),
    ]


def sweep(frames, y, colour=SKY, width=60):
    """A light that runs across the screen once per loop of the movie."""
    step = (640 + width) // frames + 1
    return ["rect 0 %d %d %d %d 6 %s %d 0" % (frames - 1, -width, y, width, colour, step)]


def start():
    # An intro of twelve frames, then the calm wizard background, where the movie stops.
    frames = 13
    lines = header(frames) + backdrop(frames)
    lines += ["label start 0", "label wizardback 12", "stop 12"]
    lines += ["rect 0 11 0 300 40 6 %s 52 0" % SKY]
    lines += ['text 0 12 24 80 18 %s "Online in just a few minutes"' % ICE]
    return lines


def waiting(title, note):
    frames = 24
    lines = header(frames) + backdrop(frames) + ["label start 0"]
    lines += ['text 0 23 40 180 28 %s "%s"' % (WHITE, title), 'text 0 23 40 230 16 %s "%s"' % (ICE, note)]
    lines += sweep(frames, 300)
    return lines


def progress(title, note):
    frames = 36
    last = frames - 1
    lines = header(frames) + backdrop(frames) + ["label start 0"]
    lines += [
        'text 0 %d 40 150 28 %s "%s"' % (last, WHITE, title),
        'text 0 %d 40 190 16 %s "%s"' % (last, ICE, note),
        # The movie's own progress display, once the frame hands it the progress (Flash
        # progress); otherwise the progress dialog shows it over the movie.
        'text 0 %d 40 240 16 %s "Total installation: {MainProgress}%%" if MainProgress!=' % (last, WHITE),
        "bar 0 %d 40 265 560 22 %s %s MainProgress if MainProgress!=" % (last, TRACK, BLUE),
        'text 0 %d 40 305 16 %s "Adding new features: {SecProgress}%%" if ShowSec=1' % (last, WHITE),
        "bar 0 %d 40 330 560 14 %s %s SecProgress if ShowSec=1" % (last, TRACK, LEAF),
        'text 0 %d 40 420 14 %s "Light edition for computers with little memory" if LE=1' % (last, ICE),
        'button 0 %d 500 420 100 32 %s %s "Cancel" cancel if MainProgress!=' % (last, SURFACE, NAVY),
    ]
    lines += sweep(frames, 380)
    return lines


def ending():
    lines = waiting("Starting ZOV ...", "Your new ZOV software is ready. Welcome aboard!")
    return lines


MOVIES = {
    "start.zmv": start,
    "initializing.zmv": lambda: waiting("Getting ready ...", "Checking your computer. This takes a few moments."),
    "searching.zmv": lambda: waiting("Looking for ZOV ...", "Searching for an earlier version on this computer."),
    "newmember.zmv": lambda: progress("Installing ZOV 9.0 VR", "Welcome! In just a few minutes you'll be online."),
    "upgrade.zmv": lambda: progress("Upgrading ZOV", "Your settings and files come along to the new version."),
    "ending.zmv": ending,
    "bband.zmv": lambda: progress("Installing ZOV 9.0 VR", "A broadband connection was found: the fast way in."),
    "bband2.zmv": lambda: progress("Installing ZOV 9.0 VR", "Broadband: getting the newest features for you."),
}


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    if argv[1] == "--list":
        print("\n".join(MOVIES))
        return
    os.makedirs(argv[1], exist_ok=True)
    for name, make in MOVIES.items():
        with open(os.path.join(argv[1], name), "w", newline="\r\n") as f:
            f.write("# %s: drawn by scripts/make_movies.py\n" % name)
            f.write("\n".join(make()) + "\n")


if __name__ == "__main__":
    main(sys.argv)

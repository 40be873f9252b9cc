#!/usr/bin/env python3
"""Writes a large XMLTV guide for the guide bench: by default 500 channels over 14 days from
today, some 100,000 programmes and 60 MB, with descriptions, credits and categories as a real
guide carries them. --gzip writes it compressed."""
import argparse
import datetime as dt
import gzip
import random
import sys

WORDS = ("journal météo série épisode documentaire nature voyage cuisine histoire science sport "
         "match concert magazine enquête portrait famille ville mer montagne été hiver nuit "
         "soirée jeunesse dessin animé cinéma comédie drame policier débat invité").split()


def sentence(rng, words):
    return " ".join(rng.choice(WORDS) for _ in range(words)).capitalize() + "."


def xmltv_time(t):
    return t.strftime("%Y%m%d%H%M%S +0100")


def write_guide(out, channels, days, seed):
    rng = random.Random(seed)
    tz = dt.timezone(dt.timedelta(hours=1))
    start = dt.datetime.now(tz).replace(hour=0, minute=0, second=0, microsecond=0)
    end = start + dt.timedelta(days=days)
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE tv SYSTEM "xmltv.dtd">\n'
              '<tv generator-info-name="make-guide">\n')
    for c in range(channels):
        out.write(f'  <channel id="c{c}.bench"><display-name>Chaîne {c}</display-name></channel>\n')
    count = 0
    for c in range(channels):
        t = start
        while t < end:
            # About 14 programmes a day: from 20 minutes to three hours.
            length = dt.timedelta(minutes=rng.choice((20, 30, 45, 60, 90, 100, 120, 150, 180, 205)))
            stop = t + length
            title = sentence(rng, rng.randint(1, 4))[:-1]
            out.write(
                f'  <programme start="{xmltv_time(t)}" stop="{xmltv_time(stop)}" channel="c{c}.bench">\n'
                f'    <title lang="fr">{title}</title>\n'
                f'    <sub-title lang="fr">{sentence(rng, 3)}</sub-title>\n'
                f'    <desc lang="fr">{" ".join(sentence(rng, 12) for _ in range(2))}</desc>\n'
                f'    <credits><director>{sentence(rng, 2)}</director><actor>{sentence(rng, 2)}</actor>'
                f'<actor>{sentence(rng, 2)}</actor></credits>\n'
                f'    <category lang="fr">{rng.choice(WORDS)}</category>\n'
                f'    <episode-num system="onscreen">S{rng.randint(1, 9)}E{rng.randint(1, 30)}</episode-num>\n'
                f'  </programme>\n')
            count += 1
            t = stop
    out.write("</tv>\n")
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    parser.add_argument("--channels", type=int, default=500)
    parser.add_argument("--days", type=int, default=14)
    parser.add_argument("--gzip", action="store_true")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    opener = (lambda p: gzip.open(p, "wt", encoding="utf-8", compresslevel=6)) if args.gzip else \
        (lambda p: open(p, "w", encoding="utf-8"))
    with opener(args.output) as out:
        count = write_guide(out, args.channels, args.days, args.seed)
    print(f"{args.output}: {args.channels} channels, {count} programmes", file=sys.stderr)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes a large XMLTV guide for the guide bench: by default 500 channels over 14 days from
today, some 130,000 programmes and 120 MB; --channels 2000 writes some 530,000 programmes and
470 MB, the size of the biggest guides people load. Each programme has its title, description
and category in French and in English (the French ones given second half the time), credits,
an icon and a rating, as a real guide carries them; titles repeat as series do. --gzip writes it
compressed."""
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


def localised(rng, tag, french, english):
    pair = [f'<{tag} lang="fr">{french}</{tag}>', f'<{tag} lang="en">{english}</{tag}>']
    if rng.random() < 0.5:
        pair.reverse()
    return "".join(pair)


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
        # A channel's series: most of its programmes are episodes of a few dozen titles.
        series = [sentence(rng, rng.randint(1, 4))[:-1] for _ in range(40)]
        t = start
        while t < end:
            # About 18 programmes a day: from 15 minutes to three hours.
            length = dt.timedelta(minutes=rng.choice((15, 20, 30, 30, 45, 60, 60, 90, 110, 120, 150, 180)))
            stop = t + length
            title = rng.choice(series) if rng.random() < 0.8 else sentence(rng, rng.randint(1, 4))[:-1]
            french = " ".join(sentence(rng, 12) for _ in range(2))
            english = sentence(rng, 12)
            category = rng.choice(WORDS)
            out.write(
                f'  <programme start="{xmltv_time(t)}" stop="{xmltv_time(stop)}" channel="c{c}.bench">\n'
                f'    {localised(rng, "title", title, title.upper())}\n'
                f'    {localised(rng, "desc", french, english)}\n'
                f'    <credits><director>{sentence(rng, 2)}</director><actor>{sentence(rng, 2)}</actor>'
                f'<actor>{sentence(rng, 2)}</actor></credits>\n'
                f'    {localised(rng, "category", category, category.upper())}\n'
                f'    <icon src="http://img.example.net/c{c}/{count}.jpg"/>\n'
                f'    <episode-num system="onscreen">S{rng.randint(1, 9)}E{rng.randint(1, 30)}</episode-num>\n'
                f'    <rating system="CSA"><value>-{rng.choice((10, 12, 16))}</value></rating>\n'
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

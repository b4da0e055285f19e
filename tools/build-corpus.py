#!/usr/bin/env python3
"""Builds the placeholder corpus: real English messages from the gettext
catalogs Debian installs, the --help texts of its GNU catalogs, plus the
hand-written Qt, ICU, Python and Ruby messages of bench/corpus/extras.jsonl.

    tools/build-corpus.py [OUTPUT] [--size N] [--help-texts N] [--locale-dir DIR]

OUTPUT (default build/corpus.jsonl) gets one JSON object per line:
{"catalog": ..., "text": ...}. The sample is the same on every run over the
same catalogs: every placeholder class the service knows first (up to a
quota each, spread over the catalogs), then the catalogs in turn; then up to
N more --help texts (option lines, usage lines) of the GNU catalogs, spread
over them the same way.
"""

import argparse
import json
import pathlib
import random
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# What a message must hold to count for a class. Rough on purpose: these
# choose messages, the service's own grammar judges them.
CLASSES = {
    "printf": r"%[-+ #0']*\d*(?:\.\d+)?(?:hh|h|ll|l|L|j|z|t)?[diouxXsc]",
    "printf star": r"%[-+ #0']*(?:\*|\d*\.\*)",
    "printf positional": r"%\d+\$",
    "printf quote flag": r"%'",
    "printf length": r"%[-+ #0']*\d*(?:\.\d+)?(?:hh|h|ll|l|L|q|j|z|Z|t|I64)[a-zA-Z]",
    "printf float": r"%[-+ #0']*\d*(?:\.\d+)?[eEfFgG]",
    "gettext PRI macro": r"%[^%\s]*<PRI",
    "printf %m": r"%m",
    "percent sign": r"%%",
    "python named": r"%\([A-Za-z_]\w*\)",
    "python braces": r"\{\w*(?:![rsa])?(?::[^{}]*)?\}",
    "qt numbered": r"%L?[1-9](?![0-9]*\$)",
    "shell variable": r"\$\{?[A-Za-z_]\w*",
    "shell expansion": r"\$(?:\{[^A-Za-z_]|\{\w+[:#%/^,]|\(|[0-9])",
    "command-line list": r"[{<][\w.+-]+(?:[|,][\w.+-]+)+[}>]",
    "double braces": r"\{\{",
    "markup tag": r"</?[A-Za-z][^<>]*>",
    "character reference": r"&(?:#?\w+);",
    "backslash escape": r"\\[nt\"]",
    "url": r"(?:https?|ftp)://",
    "e-mail": r"[\w.+-]+@[\w-]+\.[\w.]+",
    "long option": r"(?<![\w-])--[a-z]",
    "identifier": r"\b\w*_\w+\b|\b[a-z]+[A-Z]\w*\b",
    "quoted literal": r"['`‘][\w./-]+['’]",
    "space run": r"\S(?: {2,}|\t)\S",
    "lowercase start": r"^[a-z]",
    "line breaks": r"\n.",
}
PER_CLASS = 60
# Classes that real catalogs hold only a few dozen of: every one is taken.
EVERY_ONE = {"shell expansion", "command-line list"}
DEFAULT_SIZE = 2000
DEFAULT_HELP_TEXTS = 400

# The GNU packages among the catalogs Debian installs (binutils' parts, the
# gnulib-based tools), whose --help texts are option lists a user types from.
GNU_DOMAINS = {
    "bash", "bfd", "binutils", "coreutils", "cpio", "diffutils", "findutils", "gas", "gawk", "gettext-runtime",
    "gettext-tools", "gnucobol", "gnupg2", "gnutls30", "gold", "gprof", "grep", "gzip", "ld", "libc", "libidn2",
    "make", "man-db-gnulib", "opcodes", "parted", "sed", "tar", "texinfo", "wget", "wget-gnulib",
}
# An option line ("  -k, --key=KEYDEF") or a usage line.
HELP_TEXT = re.compile(r"(?m)^\s*(?:-{1,2}[A-Za-z0-9]|[Uu]sage:)")


C_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}


def po_string(lines):
    """The value of a PO string continued over several quoted lines (C escapes)."""

    def unescape(match):
        escaped = match.group(1)
        if escaped[0] in "01234567":
            return chr(int(escaped, 8))
        return C_ESCAPES.get(escaped, escaped)

    return "".join(re.sub(r'\\([0-7]{1,3}|.)', unescape, line.strip()[1:-1]) for line in lines)


def messages_of(mo_file):
    """The msgids (and plural msgids) of one compiled catalog."""
    po = subprocess.run(["msgunfmt", "--no-wrap", str(mo_file)], capture_output=True, text=True, check=True).stdout
    found, current, key = [], [], None
    for line in po.splitlines() + [""]:
        if line.startswith(("msgid ", "msgid_plural ", "msgstr", "msgctxt ")) or not line.strip():
            if key in ("msgid", "msgid_plural") and current:
                found.append(po_string(current))
            key, current = None, []
            if line.startswith(("msgid ", "msgid_plural ")):
                key, value = line.split(" ", 1)
                current = [value]
        elif line.startswith('"') and key:
            current.append(line)
    return [text for text in found if text.strip()]


def catalogs(locale_dir):
    """The largest compiled catalog of each domain: a .mo holds only the
    messages its translators finished."""
    largest = {}
    for mo in pathlib.Path(locale_dir).glob("*/LC_MESSAGES/*.mo"):
        domain = mo.stem
        if domain not in largest or mo.stat().st_size > largest[domain].stat().st_size:
            largest[domain] = mo
    return dict(sorted(largest.items()))


def sample(by_catalog, size, rng):
    chosen, seen = [], set()

    def take(catalog, text):
        if text not in seen:
            seen.add(text)
            chosen.append({"catalog": catalog, "text": text})

    for name, pattern in CLASSES.items():
        regex = re.compile(pattern)
        matching = {c: [t for t in texts if regex.search(t)] for c, texts in by_catalog.items()}
        matching = {c: rng.sample(ts, len(ts)) for c, ts in matching.items() if ts}
        quota = sum(map(len, matching.values())) if name in EVERY_ONE else PER_CLASS
        while quota > 0 and any(matching.values()):
            for catalog in sorted(matching):
                if matching[catalog] and quota > 0:
                    take(catalog, matching[catalog].pop())
                    quota -= 1
    pools = {c: rng.sample(ts, len(ts)) for c, ts in by_catalog.items()}
    while len(chosen) < size and any(pools.values()):
        for catalog in sorted(pools):
            if pools[catalog] and len(chosen) < size:
                take(catalog, pools[catalog].pop())
    return chosen


def help_texts(by_catalog, count, rng, seen):
    """Up to `count` --help texts of the GNU catalogs not in `seen`, the
    catalogs in turn."""
    pools = {c: [t for t in texts if HELP_TEXT.search(t) and t not in seen]
             for c, texts in by_catalog.items() if c in GNU_DOMAINS}
    pools = {c: rng.sample(ts, len(ts)) for c, ts in pools.items() if ts}
    chosen = []
    while len(chosen) < count and any(pools.values()):
        for catalog in sorted(pools):
            if pools[catalog] and len(chosen) < count:
                chosen.append({"catalog": catalog, "text": pools[catalog].pop()})
    return chosen


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("output", nargs="?", default=str(ROOT / "build" / "corpus.jsonl"))
    parser.add_argument("--size", type=int, default=DEFAULT_SIZE)
    parser.add_argument("--help-texts", type=int, default=DEFAULT_HELP_TEXTS)
    parser.add_argument("--locale-dir", default="/usr/share/locale")
    args = parser.parse_args()

    by_catalog = {}
    for domain, mo in catalogs(args.locale_dir).items():
        try:
            by_catalog[domain] = sorted(set(messages_of(mo)))
        except (subprocess.CalledProcessError, ValueError) as error:
            print(f"skipping {mo}: {error}", file=sys.stderr)
    corpus = sample(by_catalog, args.size, random.Random(12))
    corpus += help_texts(by_catalog, args.help_texts, random.Random(19), {e["text"] for e in corpus})
    extras = ROOT / "bench" / "corpus" / "extras.jsonl"
    corpus += [json.loads(line) for line in extras.read_text(encoding="utf-8").splitlines() if line.strip()]

    pathlib.Path(args.output).parent.mkdir(parents=True, exist_ok=True)
    with open(args.output, "w", encoding="utf-8") as out:
        for entry in corpus:
            out.write(json.dumps(entry, ensure_ascii=False) + "\n")
    counts = {name: sum(bool(re.search(p, e["text"])) for e in corpus) for name, p in CLASSES.items()}
    print(f"{len(corpus)} messages from {len({e['catalog'] for e in corpus})} catalogs -> {args.output}")
    print("  ".join(f"{name}: {count}" for name, count in counts.items()))
    missing = [name for name, count in counts.items() if count == 0]
    if missing:
        sys.exit("no message of: " + ", ".join(missing))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""chrF (Popovic's: character n-grams of 1 to 6 without spaces, precision
and recall averaged over the orders, beta 2, summed over the whole corpus)
of a filled catalog against the people's translation of the same package,
entry by entry matched on context and msgid; entries the fill left empty
count as empty hypotheses.
    chrf.py FILLED.po HUMAN.po"""
import collections
import sys

from translate.storage import po

ORDER, BETA = 6, 2


def ngrams(text, n):
    text = text.replace(" ", "")
    return collections.Counter(text[i:i + n] for i in range(len(text) - n + 1))


def units(path):
    store = po.pofile.parsefile(path)
    return {(u.getcontext(), u.source): u.target for u in store.units
            if not u.isheader() and not u.isobsolete() and u.source}


def main(filled_path, human_path):
    filled, human = units(filled_path), units(human_path)
    matched = [0.0] * ORDER
    hyp = [0.0] * ORDER
    ref = [0.0] * ORDER
    pairs = 0
    for key, reference in human.items():
        if not reference or isinstance(reference, list):
            continue
        hypothesis = filled.get(key) or ""
        pairs += 1
        for n in range(1, ORDER + 1):
            h, r = ngrams(hypothesis, n), ngrams(reference, n)
            matched[n - 1] += sum((h & r).values())
            hyp[n - 1] += sum(h.values())
            ref[n - 1] += sum(r.values())
    scores = []
    for n in range(ORDER):
        p = matched[n] / hyp[n] if hyp[n] else 0.0
        r = matched[n] / ref[n] if ref[n] else 0.0
        scores.append((p, r))
    p = sum(s[0] for s in scores) / ORDER
    r = sum(s[1] for s in scores) / ORDER
    f = (1 + BETA ** 2) * p * r / (BETA ** 2 * p + r) if p + r else 0.0
    print(f"chrF {100 * f:.1f} over {pairs} entries")


if __name__ == "__main__":
    main(*sys.argv[1:3])

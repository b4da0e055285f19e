# Reads two TMX files with translate-toolkit (the reader its converters use)
# and says whether the second holds every translation of the first: the same
# source text has the same target (a later unit for a text replaces an
# earlier one, as an import does). Prints "same N" or what differs.
import sys

from translate.storage import tmx


def pairs(path):
    found = {}
    for unit in tmx.tmxfile.parsefile(path).units:
        found[str(unit.source)] = str(unit.target)
    return found


before, after = pairs(sys.argv[1]), pairs(sys.argv[2])
if before == after:
    print("same", len(before))
else:
    lost = {k: v for k, v in before.items() if after.get(k) != v}
    added = {k: v for k, v in after.items() if before.get(k) != v}
    print("differ: lost", repr(lost)[:400], "added", repr(added)[:400])

"""Generated lists of names for the tests and the benchmarks: full names from
a few dozen first names and surnames, a fair share misspelt (a letter
dropped, doubled, swapped, or replaced by one that sounds alike), so that a
list holds near-duplicates and many pairs with little in common."""

import random

FIRST = (
    "James Mary John Patricia Robert Jennifer Michael Linda William Elizabeth David Barbara Richard Susan "
    "Joseph Jessica Thomas Sarah Charles Karen Christopher Nancy Daniel Lisa Matthew Margaret Anthony Sandra "
    "Mark Ashley Steven Kimberly Andrew Emily Joshua Michelle Kenneth Dorothy Kevin Carol Brian Amanda George "
    "Melissa Timothy Deborah Stephen Catherine Zoë Łukasz José Björn"
).split()
LAST = (
    "Smith Johnson Williams Brown Jones Garcia Miller Davis Rodriguez Martinez Hernandez Lopez Gonzalez Wilson "
    "Anderson Thomas Taylor Moore Jackson Martin Lee Perez Thompson White Harris Sanchez Clark Ramirez Lewis "
    "Robinson Walker Young Allen King Wright Scott Torres Nguyen Hill Flores Green Adams Nelson Baker Hall "
    "Rivera Campbell Mitchell Carter Roberts Phillips Evans Turner Parker Collins Edwards Stewart Morris Murphy "
    "Cook Rogers MacDonald O'Neill Schneider Müller"
).split()
SOUND_ALIKE = (("ph", "f"), ("c", "k"), ("y", "i"), ("s", "z"), ("ck", "k"), ("ee", "ea"), ("th", "t"))


def misspell(rng: random.Random, name: str) -> str:
    for _ in range(rng.randrange(3)):
        at = 1 + rng.randrange(len(name) - 1)
        kind = rng.randrange(4)
        if kind == 0:
            name = name[:at] + name[at + 1 :]
        elif kind == 1:
            name = name[:at] + name[at - 1] + name[at:]
        elif kind == 2 and at + 1 < len(name):
            name = name[:at] + name[at + 1] + name[at] + name[at + 2 :]
        else:
            old, new = rng.choice(SOUND_ALIKE)
            name = name.replace(old, new, 1)
    return name


def names(count: int, seed: int = 1) -> list:
    rng = random.Random(seed)
    return [misspell(rng, f"{rng.choice(FIRST)} {rng.choice(LAST)}") for _ in range(count)]

#!/usr/bin/env python3
"""Writes data/customers.csv, the sample customer file of the main job.

About 2,000 rows (id, name, city, email) of made-up people, among them a few
hundred duplicates planted the way real lists get them: a nickname for the
first name, two letters transposed, a letter doubled or dropped, the middle
name left out, accents written or not, another case. The seed is fixed, so
the file is the same every time: python3 tools/make_customers.py > data/customers.csv
"""
import csv
import random
import sys
import unicodedata

SEED = 20240613
ROWS = 2000
DUPLICATES = 300

FIRST = {
    "Catherine": ["Kathy", "Cathy", "Kate"], "Elizabeth": ["Liz", "Beth", "Eliza"], "William": ["Bill", "Will"],
    "Robert": ["Bob", "Rob"], "Margaret": ["Maggie", "Peggy"], "Richard": ["Rick", "Dick"],
    "Jennifer": ["Jenny", "Jen"], "Michael": ["Mike", "Mick"], "Joseph": ["Joe"], "Thomas": ["Tom"],
    "Christopher": ["Chris"], "Patricia": ["Pat", "Patty"], "Alexander": ["Alex", "Sasha"], "Daniel": ["Dan"],
    "Susan": ["Sue", "Susie"], "Anthony": ["Tony"], "Rebecca": ["Becky"], "Nicholas": ["Nick"],
    "Stephen": ["Steve"], "Victoria": ["Vicky"], "Andrew": ["Andy"], "Katherine": ["Kathy", "Kate"],
    "Edward": ["Ed", "Ted"], "Samantha": ["Sam"], "Benjamin": ["Ben"], "Frederick": ["Fred"],
    "José": [], "Zoë": [], "Renée": [], "André": [], "Chloé": [], "Søren": [], "Łukasz": [], "Agnès": [],
    "Jürgen": [], "Mónica": [], "François": [], "Hélène": [], "Émile": [], "Inés": [],
    "Mohammed": [], "Aisha": [], "Priya": [], "Hiroshi": [], "Olivia": [], "Liam": [], "Noah": [], "Emma": [],
    "Sophia": [], "Lucas": [], "Mia": [], "Ethan": [], "Amelia": [], "Oscar": [], "Isla": [], "Hugo": [],
}
MIDDLE = ["Anne", "Marie", "James", "John", "Louise", "Rose", "Lee", "Grace", "Paul", "Jane"]
LAST = [
    "Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller", "Davis", "Rodríguez", "Martínez",
    "Hernández", "López", "González", "Wilson", "Anderson", "Thomas", "Taylor", "Moore", "Jackson", "Martin",
    "Lee", "Pérez", "Thompson", "White", "Harris", "Sánchez", "Clark", "Ramírez", "Lewis", "Robinson",
    "Walker", "Young", "Allen", "King", "Wright", "Scott", "Torres", "Nguyen", "Hill", "Flores", "Green",
    "Adams", "Nelson", "Baker", "Hall", "Rivera", "Campbell", "Mitchell", "Carter", "Roberts", "Müller",
    "Schröder", "Dubois", "Lefèvre", "Østergaard", "Nowak", "Kowalski", "O'Neill", "McDonald", "MacLeod",
    "Fitzgerald", "Okafor", "Tanaka", "Sato", "Rossi", "Bianchi", "Fernández", "Jiménez", "Björk", "Novák",
]
CITIES = ["London", "Paris", "Lyon", "Berlin", "München", "Madrid", "Sevilla", "Lisbon", "Oslo", "København",
          "Warszawa", "Kraków", "Dublin", "Cork", "Zürich", "Genève", "Milano", "Roma", "Amsterdam", "Bruxelles",
          "New York", "Boston", "Toronto", "Montréal", "Sydney"]
# Letters that are not a base letter and a combining accent.
UNDECOMPOSED = str.maketrans({"ø": "o", "Ø": "O", "ł": "l", "Ł": "L", "ß": "ss"})


def plain(text):
    """The text with its accents left off, as a keyboard without them writes it."""
    decomposed = unicodedata.normalize("NFD", text.translate(UNDECOMPOSED))
    return "".join(c for c in decomposed if not unicodedata.combining(c))


def email(first, last, rng):
    user = plain(f"{first}.{last}").lower().replace("'", "").replace(" ", "")
    return f"{user}{rng.randrange(100) if rng.random() < 0.3 else ''}@{rng.choice(['example.com', 'example.org', 'mail.example'])}"


def person(rng):
    first = rng.choice(list(FIRST))
    middle = rng.choice(MIDDLE) if rng.random() < 0.25 else None
    last = rng.choice(LAST)
    return first, middle, last


def full(first, middle, last):
    return " ".join(part for part in (first, middle, last) if part)


def typo(word, rng):
    if len(word) < 4:
        return word
    at = rng.randrange(1, len(word) - 2)
    kind = rng.choice(["swap", "double", "drop"])
    if kind == "swap":
        return word[:at] + word[at + 1] + word[at] + word[at + 2:]
    if kind == "double":
        return word[:at] + word[at] + word[at:]
    return word[:at] + word[at + 1:]


def variant(first, middle, last, rng):
    """A way the same person shows up again in a list."""
    kinds = ["typo_last", "typo_first", "accents", "case"]
    if FIRST[first]:
        kinds += ["nickname", "nickname"]
    if middle:
        kinds += ["no_middle", "no_middle"]
    kind = rng.choice(kinds)
    if kind == "nickname":
        return full(rng.choice(FIRST[first]), None, last)
    if kind == "no_middle":
        return full(first, None, last)
    if kind == "typo_last":
        return full(first, middle, typo(last, rng))
    if kind == "typo_first":
        return full(typo(first, rng), middle, last)
    if kind == "accents":
        name = full(first, middle, last)
        changed = plain(name)
        return changed if changed != name else full(first, middle, typo(last, rng))
    return full(first, middle, last).upper() if rng.random() < 0.5 else full(first, middle, last).lower()


def main():
    rng = random.Random(SEED)
    # Distinct people have distinct first and last names here, so that every
    # duplicate of the file is one that was planted.
    originals, seen = [], set()
    while len(originals) < ROWS - DUPLICATES:
        first, middle, last = person(rng)
        if (first, last) not in seen:
            seen.add((first, last))
            originals.append((first, middle, last))
    rows = []
    for first, middle, last in originals:
        rows.append([full(first, middle, last), rng.choice(CITIES), email(first, last, rng)])
    for _ in range(DUPLICATES):
        first, middle, last = rng.choice(originals)
        rows.append([variant(first, middle, last, rng), rng.choice(CITIES), email(first, last, rng)])
    rng.shuffle(rows)
    writer = csv.writer(sys.stdout, lineterminator="\r\n")
    writer.writerow(["id", "name", "city", "email"])
    for number, row in enumerate(rows, start=1):
        writer.writerow([f"C{number:05d}"] + row)


if __name__ == "__main__":
    main()

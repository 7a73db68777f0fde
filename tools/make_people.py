#!/usr/bin/env python3
"""Writes a file of made-up people with planted duplicates and their ground truth.

data/people.csv, the sample of record linkage, is written by:

    python3 tools/make_people.py --count 5000 --seed 20240723 --out data/people.csv

Columns: id,given_name,surname,birth_date,street,town,postcode,email,phone,person_id.
`id` is unique per row; rows with the same `person_id` are one person (the
truth a linkage is measured against).

About a quarter of the people appear 2 to 4 times, each extra row carrying what
a second registration of a person carries: typos, a nickname, given name and
surname swapped, empty fields, day and month swapped, a move to a new address,
another e-mail provider, other case, accents dropped or written, the phone
written another way. The file is hard on purpose where real files are hard:
families share a surname, an address and often a phone and e-mail provider (a
father and a son may even share a given name); twins share a birth date too; and
the commonest given names and surnames repeat among strangers (a Zipf-like
frequency, plus a share of people drawn from the very commonest names only).

The same --seed writes the same bytes on every run and machine: one random
generator drawn in a fixed order, no iteration over sets or hashes.
"""
import argparse
import bisect
import csv
import functools
import io
import os
import random
import sys
import unicodedata
from datetime import date

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import people_names  # noqa: E402  (the lists beside this script)


def cumulative(weights):
    total, out = 0.0, []
    for weight in weights:
        total += weight
        out.append(total)
    return out


def table(pairs):
    """The values and cumulative weights of [(value, weight), ...], as Draws.weighted takes them."""
    return [v for v, _ in pairs], cumulative(w for _, w in pairs)


HEADER = ["id", "given_name", "surname", "birth_date", "street", "town", "postcode", "email", "phone", "person_id"]
GIVEN, SURNAME, BIRTH, STREET, TOWN, POSTCODE, EMAIL, PHONE = range(1, 9)

# Shares of the plan; changing one changes every file written with a seed.
SHARE_WITH_DUPLICATES = 0.25
EXTRA_ROWS = table([(1, 60), (2, 28), (3, 12)])
SHARE_HOUSEHOLDS = 0.11       # of the draws: a household instead of one person
SHARE_COMMON_NAMES = 0.06     # of single people: given name and surname from the very commonest
SHARE_PLAIN_SPELLING = 0.25   # accented names written without their accents in the first row
SHARE_NO_EMAIL = 0.12
SHARE_NO_PHONE = 0.08

# Kinds of change in a duplicate row, with weights; 1 to 3 of them per row.
CHANGES = [("typo", 30), ("nickname", 12), ("swap_names", 4), ("missing", 14), ("swap_day_month", 6),
           ("moved", 8), ("email_domain", 7), ("case", 7), ("accents", 30), ("phone_format", 12)]
CHANGE_COUNT = table([(1, 55), (2, 33), (3, 12)])
# The fields a typo lands in, by weight.
TYPO_FIELDS = table([(GIVEN, 34), (SURNAME, 34), (STREET, 14), (EMAIL, 8), (TOWN, 5), (POSTCODE, 5)])
CHILDREN = table([(0, 20), (1, 30), (2, 32), (3, 18)])

# Letters next to each other on a QWERTY keyboard, for typos people make.
KEYBOARD = ["qwertyuiop", "asdfghjkl", "zxcvbnm"]
NEIGHBOURS = {}
for _r, _row in enumerate(KEYBOARD):
    for _c, _letter in enumerate(_row):
        _near = [_row[i] for i in (_c - 1, _c + 1) if 0 <= i < len(_row)]
        # Each row sits half a key right of the one above it.
        for _other, _cols in ((_r - 1, (_c, _c + 1)), (_r + 1, (_c - 1, _c))):
            if 0 <= _other < len(KEYBOARD):
                _near += [KEYBOARD[_other][i] for i in _cols if 0 <= i < len(KEYBOARD[_other])]
        NEIGHBOURS[_letter] = "".join(_near)

# Letters that are not a base letter and a combining accent.
UNDECOMPOSED = str.maketrans({"ø": "o", "Ø": "O", "ł": "l", "Ł": "L", "ß": "ss", "æ": "ae", "Æ": "AE"})
# The letters of a postcode's last two places: all but C, I, K, M, O and V, which look like others.
POSTCODE_LETTERS = "ABDEFGHJLNPQRSTUWXYZ"
POSTCODE_ENDS = [a + b for a in POSTCODE_LETTERS for b in POSTCODE_LETTERS]
# How people make an e-mail address of their names.
EMAIL_STYLES = ("{g}.{s}", "{g[0]}{s}", "{g}{s}", "{g}_{s}", "{s}.{g}", "{g}.{s[0]}")


@functools.lru_cache(maxsize=None)
def day_range(first_year, last_year):
    """The first day of a range of whole years and its number of days."""
    start = date(first_year, 1, 1).toordinal()
    return start, date(last_year, 12, 31).toordinal() - start + 1


def plain(text):
    """The text with its accents left off, as a keyboard without them writes it."""
    decomposed = unicodedata.normalize("NFD", text.translate(UNDECOMPOSED))
    return unicodedata.normalize("NFC", "".join(c for c in decomposed if not unicodedata.combining(c)))


@functools.lru_cache(maxsize=None)
def email_user(text):
    return "".join(c for c in plain(text).lower() if c.isalnum())


class Tables:
    """The lists as the generator draws from them: cumulative weights, plain forms, short forms."""

    def __init__(self):
        self.male = people_names.given_names(people_names.MALE)
        self.female = people_names.given_names(people_names.FEMALE)
        self.short_forms = {name: short for name, short in self.male + self.female}
        self.surnames = people_names.surnames()
        self.towns = people_names.towns()
        self.street_names = people_names.street_names()
        kinds = people_names.weighted(people_names.STREET_KINDS)
        self.street_kinds, self.street_kind_weights = [k for k, _ in kinds], cumulative(w for _, w in kinds)
        domains = people_names.weighted(people_names.EMAIL_DOMAINS)
        self.domains, self.domain_weights = [d for d, _ in domains], cumulative(w for _, w in domains)
        # Zipf-like by rank, flattened at the top so the commonest surname is
        # about 2.5 % of people and the commonest given name about 5 % of its
        # sex, before the share drawn from the commonest names alone.
        self.surname_weights = cumulative(1.0 / (rank + 12) for rank in range(len(self.surnames)))
        self.male_weights = cumulative(1.0 / (rank + 6) for rank in range(len(self.male)))
        self.female_weights = cumulative(1.0 / (rank + 6) for rank in range(len(self.female)))
        self.plain = {}
        for name in [n for n, _ in self.male + self.female] + self.surnames:
            self.plain[name] = plain(name)
        self.changes, self.change_weights = [k for k, _ in CHANGES], cumulative(w for _, w in CHANGES)


class Draws(random.Random):
    """The generator's random draws, simpler and faster than the library's general ones.

    A million rows take tens of millions of draws; these cost one random() each.
    """

    def choice(self, seq):
        return seq[int(self.random() * len(seq))]

    def randrange(self, start, stop=None):
        if stop is None:
            start, stop = 0, start
        return start + int(self.random() * (stop - start))

    def weighted(self, values, cum_weights):
        return values[bisect.bisect_right(cum_weights, self.random() * cum_weights[-1])]


# Typos: one edit of one kind, at a letter (not the first) of the word.
def typo(word, rng, kind=None):
    """The word with one substitution, deletion, insertion or adjacent transposition."""
    if len(word) < 3:
        return word + word[-1:] if word else word
    kind = kind or rng.choice(("substitute", "delete", "insert", "transpose"))
    at = rng.randrange(1, len(word) - 1)
    letter = word[at]
    near = NEIGHBOURS.get(letter.lower(), "") or "aeiou"
    if kind == "substitute":
        new = rng.choice(near)
        return word[:at] + (new.upper() if letter.isupper() else new) + word[at + 1:]
    if kind == "delete":
        return word[:at] + word[at + 1:]
    if kind == "insert":
        new = letter if rng.random() < 0.5 else rng.choice(near)
        return word[:at] + new + word[at:]
    if word[at] == word[at + 1]:
        at -= 1
    return word[:at] + word[at + 1] + word[at] + word[at + 2:]


# Phones are kept as the national number without its leading 0 (10 digits)
# and written in one of the ways people write them.
PHONE_LAYOUTS = [
    (lambda n: f"0{n[:4]} {n[4:]}", 30),
    (lambda n: f"0{n}", 22),
    (lambda n: f"+44 {n[:4]} {n[4:]}", 14),
    (lambda n: f"+44{n}", 8),
    (lambda n: f"0044 {n[:4]} {n[4:]}", 4),
    (lambda n: f"0{n[:4]}-{n[4:7]}-{n[7:]}", 8),
    (lambda n: f"(0{n[:4]}) {n[4:]}", 6),
    (lambda n: n, 4),
    (lambda n: f"+44 (0){n[:4]} {n[4:]}", 4),
]
PHONE_LAYOUT_WEIGHTS = cumulative(w for _, w in PHONE_LAYOUTS)


def phone_digits(written):
    """The national number of a phone however it is written (the inverse of the layouts)."""
    digits = "".join(c for c in written.replace("(0)", "") if c.isdigit())
    for prefix in ("0044", "44", "0"):
        if digits.startswith(prefix) and len(digits) == 10 + len(prefix):
            return digits[len(prefix):]
    return digits


class Person:
    __slots__ = ("given", "surname", "born", "written_given", "written_surname", "street", "town", "postcode",
                 "email", "phone", "layout", "sex", "household")

    def row(self):
        return ["", self.written_given, self.written_surname, self.born.isoformat(), self.street, self.town,
                self.postcode, self.email, PHONE_LAYOUTS[self.layout][0](self.phone) if self.phone else "", ""]


class Generator:
    def __init__(self, seed):
        self.rng = Draws(seed)
        # An address belongs to one person: a provider never gives the same
        # one to two, however alike their names.
        self.emails_taken = set()
        self.t = Tables()
        # The commonest names: strangers drawn from these share given name and surname.
        self.common_male = [n for n, _ in self.t.male[:5]]
        self.common_female = [n for n, _ in self.t.female[:5]]
        self.common_surnames = self.t.surnames[:4]

    # Drawing the parts of a person.
    def given_name(self, sex):
        names, weights = (self.t.male, self.t.male_weights) if sex == "m" else (self.t.female, self.t.female_weights)
        return self.rng.weighted(names, weights)[0]

    def surname(self):
        return self.rng.weighted(self.t.surnames, self.t.surname_weights)

    def written(self, name):
        if self.t.plain[name] != name and self.rng.random() < SHARE_PLAIN_SPELLING:
            return self.t.plain[name]
        return name

    def birth(self, first_year, last_year):
        start, days = day_range(first_year, last_year)
        return date.fromordinal(start + int(self.rng.random() * days))

    def address(self):
        rng = self.rng
        town, area, districts = rng.choice(self.t.towns)
        kind = rng.weighted(self.t.street_kinds, self.t.street_kind_weights)
        street = f"{rng.randrange(1, 200)} {rng.choice(self.t.street_names)} {kind}"
        postcode = f"{area}{rng.randrange(1, districts + 1)} {rng.randrange(1, 10)}{rng.choice(POSTCODE_ENDS)}"
        return street, town, postcode

    def domain(self):
        return self.rng.weighted(self.t.domains, self.t.domain_weights)

    def email(self, person, domain=None):
        rng = self.rng
        given, surname = email_user(person.given), email_user(person.surname)
        style = rng.randrange(len(EMAIL_STYLES))
        user = EMAIL_STYLES[style].format(g=given, s=surname)
        if rng.random() < 0.35:
            user += str(rng.choice((rng.randrange(1, 100), person.born.year % 100, person.born.year)))
        domain = domain or self.domain()
        base = user
        while f"{user}@{domain}" in self.emails_taken:
            user = f"{base}{rng.randrange(1, 1000)}"
        self.emails_taken.add(f"{user}@{domain}")
        return f"{user}@{domain}"

    def mobile(self):
        return f"7{self.rng.randrange(10**9):09d}"

    def landline(self, postcode):
        # One area code per postcode area, so a family's landline looks local.
        area = sum(ord(c) for c in postcode.split()[0] if c.isalpha())
        return f"1{area % 1000:03d}{self.rng.randrange(10**6):06d}"

    def person(self, sex, given, surname, born, address, household):
        p = Person()
        p.sex, p.given, p.surname, p.born, p.household = sex, given, surname, born, household
        p.written_given, p.written_surname = self.written(given), self.written(surname)
        p.street, p.town, p.postcode = address
        p.email = "" if self.rng.random() < SHARE_NO_EMAIL else self.email(p)
        p.phone = "" if self.rng.random() < SHARE_NO_PHONE else self.mobile()
        p.layout = self.layout()
        return p

    def layout(self, other_than=None):
        while True:
            layout = self.rng.weighted(range(len(PHONE_LAYOUTS)), PHONE_LAYOUT_WEIGHTS)
            if layout != other_than:
                return layout

    # Drawing people: one alone, or a household.
    def single(self):
        rng = self.rng
        sex = "m" if rng.random() < 0.5 else "f"
        if rng.random() < SHARE_COMMON_NAMES:
            given = rng.choice(self.common_male if sex == "m" else self.common_female)
            surname = rng.choice(self.common_surnames)
        else:
            given, surname = self.given_name(sex), self.surname()
        return [self.person(sex, given, surname, self.birth(1935, 2006), self.address(), None)]

    def household(self, number):
        """Parents and children at one address, sharing a surname and often a phone and a provider.

        Returns the people and the planted pairs: (kind, a, b) with indexes into the list.
        """
        rng = self.rng
        surname, address = self.surname(), self.address()
        father_born = self.birth(1940, 1985)
        members = [("m", self.given_name("m"), father_born)]
        if rng.random() < 0.85:
            members.append(("f", self.given_name("f"), self.birth(father_born.year - 5, father_born.year + 5)))
        pairs = []
        children = rng.weighted(*CHILDREN)
        twins = children >= 2 and rng.random() < 0.3
        # A son named after his father: the last child, unless that one is a twin.
        named_after_father = children >= 1 and not (twins and children == 2) and rng.random() < 0.3
        first_child = len(members)
        for child in range(children):
            sex = "m" if rng.random() < 0.5 else "f"
            if twins and child == 1:
                born = members[first_child][2]
                pairs.append(("twins", first_child, len(members)))
            else:
                born = self.birth(father_born.year + 20, min(father_born.year + 40, 2008))
            if named_after_father and child == children - 1:
                sex, given = "m", members[0][1]
                pairs.append(("father_son", 0, len(members)))
            else:
                given = self.given_name(sex)
                while any(given == m[1] for m in members):
                    given = self.given_name(sex)
            members.append((sex, given, born))
        landline = self.landline(address[2]) if rng.random() < 0.7 else ""
        shared_domain = self.domain() if rng.random() < 0.6 else ""
        people = []
        for sex, given, born in members:
            p = self.person(sex, given, surname, born, address, number)
            if landline and rng.random() < 0.75:
                p.phone = landline
            if shared_domain and p.email:
                moved = p.email.split("@")[0] + "@" + shared_domain
                if moved not in self.emails_taken:
                    self.emails_taken.discard(p.email)
                    self.emails_taken.add(moved)
                    p.email = moved
            people.append(p)
        return people, pairs

    # Duplicates.
    def duplicate(self, person):
        """Another row of the person, and the kinds of change it carries."""
        rng = self.rng
        row = person.row()
        wanted = rng.weighted(*CHANGE_COUNT)
        done = []
        tries = 0
        while len(done) < wanted and tries < 20:
            tries += 1
            kind = rng.weighted(self.t.changes, self.t.change_weights)
            if kind not in done and self.change(kind, person, row):
                done.append(kind)
        return row, done

    def change(self, kind, person, row):
        """Applies one kind of change to the row; False when it does not apply to this person."""
        rng = self.rng
        if kind == "typo":
            field = rng.weighted(*TYPO_FIELDS)
            if len(row[field]) < 3:
                return False
            if field == EMAIL:
                user, _, domain = row[EMAIL].partition("@")
                row[EMAIL] = typo(user, rng) + "@" + domain
            else:
                row[field] = typo(row[field], rng)
            return True
        if kind == "nickname":
            short = self.t.short_forms.get(person.given)
            if not short or row[GIVEN] != person.written_given:
                return False
            row[GIVEN] = rng.choice(short)
            return True
        if kind == "swap_names":
            row[GIVEN], row[SURNAME] = row[SURNAME], row[GIVEN]
            return True
        if kind == "missing":
            fields = rng.sample((GIVEN, BIRTH, STREET, TOWN, POSTCODE, EMAIL, PHONE), rng.choice((1, 1, 1, 2)))
            if all(row[f] == "" for f in fields):
                return False
            for field in fields:
                row[field] = ""
            return True
        if kind == "swap_day_month":
            born = person.born
            if born.day > 12 or born.day == born.month or row[BIRTH] != born.isoformat():
                return False
            row[BIRTH] = f"{born.year:04d}-{born.day:02d}-{born.month:02d}"
            return True
        if kind == "moved":
            row[STREET], row[TOWN], row[POSTCODE] = self.address()
            return True
        if kind == "email_domain":
            user, at, domain = row[EMAIL].partition("@")
            if not at:
                return False
            while True:
                other = self.domain()
                if other != domain:
                    break
            row[EMAIL] = f"{user}@{other}"
            return True
        if kind == "case":
            how = rng.randrange(3)
            if how == 0:
                row[SURNAME] = row[SURNAME].upper()
            elif how == 1:
                row[GIVEN], row[SURNAME] = row[GIVEN].lower(), row[SURNAME].lower()
            else:
                row[GIVEN], row[SURNAME] = row[GIVEN].upper(), row[SURNAME].upper()
            return True
        if kind == "accents":
            changed = False
            for field, name, written in ((GIVEN, person.given, person.written_given),
                                         (SURNAME, person.surname, person.written_surname)):
                if self.t.plain[name] != name and row[field] == written:
                    row[field] = self.t.plain[name] if written == name else name
                    changed = True
            return changed
        if kind == "phone_format":
            if not person.phone or not row[PHONE]:
                return False
            row[PHONE] = PHONE_LAYOUTS[self.layout(person.layout)][0](person.phone)
            return True
        raise ValueError(kind)


def generate(count, seed):
    """The rows (without header) of a file of `count` rows, and the stats of what is planted in them."""
    gen = Generator(seed)
    rng = gen.rng
    people, rows, planted, households = [], [], [], 0
    changes = {kind: 0 for kind in gen.t.changes}
    while len(rows) < count:
        if rng.random() < SHARE_HOUSEHOLDS:
            households += 1
            drawn, pairs = gen.household(households)
            planted += [(kind, len(people) + a, len(people) + b) for kind, a, b in pairs]
        else:
            drawn = gen.single()
        for person in drawn:
            number = len(people)
            people.append(person)
            first = person.row()
            first[-1] = number
            rows.append(first)
            if rng.random() < SHARE_WITH_DUPLICATES:
                for _ in range(rng.weighted(*EXTRA_ROWS)):
                    row, done = gen.duplicate(person)
                    row[-1] = number
                    rows.append((row, done))
    # A file of exactly `count` rows: the last people drawn may lose rows or
    # go entirely; the stats count what is written.
    del rows[count:]
    written = [r[0] if isinstance(r, tuple) else r for r in rows]
    for r in rows:
        if isinstance(r, tuple):
            for kind in r[1]:
                changes[kind] += 1
    present = written[-1][-1] + 1 if written else 0
    stats = plan_stats(people[:present], written, [p for p in planted if p[2] < present], changes)
    rng.shuffle(written)
    digits = max(7, len(str(count)))
    for number, row in enumerate(written, start=1):
        row[0] = f"R{number:0{digits}d}"
        row[-1] = f"P{row[-1] + 1:0{digits}d}"
    return written, stats


def plan_stats(people, rows, planted, changes):
    """Counts of what is in the file: people, duplicates, changes, and hard non-matching pairs."""
    per_person = [0] * len(people)
    for row in rows:
        per_person[row[-1]] += 1
    stats = {"rows": len(rows), "entities": len(people), "duplicates": len(rows) - len(people)}
    for extra in (0, 1, 2, 3):
        stats[f"entities_with_{extra}_duplicates"] = sum(1 for n in per_person if n == extra + 1)
    for kind, n in changes.items():
        stats[f"change_{kind}"] = n
    # Pairs of different people that a linkage must keep apart.
    by_household, same_name = {}, {}
    for person in people:
        if person.household is not None:
            by_household[person.household] = by_household.get(person.household, 0) + 1
        key = (person.given, person.surname)
        same_name[key] = same_name.get(key, 0) + 1
    stats["households"] = len(by_household)
    stats["pairs_relatives_at_one_address"] = sum(n * (n - 1) // 2 for n in by_household.values())
    stats["pairs_father_son_same_given_name"] = sum(1 for kind, _, _ in planted if kind == "father_son")
    stats["pairs_twins"] = sum(1 for kind, _, _ in planted if kind == "twins")
    stats["pairs_same_given_name_and_surname"] = sum(n * (n - 1) // 2 for n in same_name.values())
    return stats


def write_csv(rows, stream):
    writer = csv.writer(stream, lineterminator="\n")
    writer.writerow(HEADER)
    writer.writerows(rows)


def render(count, seed):
    rows, stats = generate(count, seed)
    buffer = io.StringIO()
    write_csv(rows, buffer)
    return buffer.getvalue(), stats


# The checks of --self-test: the parts on tables of cases, then a whole file.
def edit_distance(a, b):
    """Optimal string alignment distance: substitutions, deletions, insertions, adjacent transpositions."""
    previous2, previous = None, list(range(len(b) + 1))
    for i in range(1, len(a) + 1):
        current = [i] + [0] * len(b)
        for j in range(1, len(b) + 1):
            cost = 0 if a[i - 1] == b[j - 1] else 1
            current[j] = min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost)
            if i > 1 and j > 1 and a[i - 1] == b[j - 2] and a[i - 2] == b[j - 1]:
                current[j] = min(current[j], previous2[j - 2] + 1)
        previous2, previous = previous, current
    return previous[len(b)]


def check(condition, what, failures):
    if not condition:
        failures.append(what)


def check_parts(failures):
    rng = random.Random(1)
    for word in ("Margaret", "Bob", "Lee", "Østergaard", "O'Brien", "12 Mill Lane"):
        for kind in ("substitute", "delete", "insert", "transpose"):
            for _ in range(20):
                changed = typo(word, rng, kind)
                check(edit_distance(word, changed) == 1, f"typo {kind} of {word!r} gave {changed!r}", failures)
                check(changed[:1] == word[:1] or kind == "transpose",
                      f"typo {kind} of {word!r} changed the first letter: {changed!r}", failures)
    for letter, near in NEIGHBOURS.items():
        for other in near:
            check(letter in NEIGHBOURS[other], f"keyboard: {letter} is next to {other} but not back", failures)
    for number in ("7700900123", "1132496018"):
        for index, (layout, _) in enumerate(PHONE_LAYOUTS):
            written = layout(number)
            check(phone_digits(written) == number, f"phone layout {index}: {written!r} reads back wrong", failures)
    for accented, expected in (("José", "Jose"), ("Łukasz", "Lukasz"), ("Østergaard", "Ostergaard"),
                               ("Zoë", "Zoe"), ("Smith", "Smith"), ("Weiß", "Weiss"), ("Çelik", "Celik")):
        check(plain(accented) == expected, f"plain({accented!r}) is {plain(accented)!r}", failures)
    for a, b, distance in (("", "", 0), ("abc", "abc", 0), ("abc", "acb", 1), ("abc", "ab", 1), ("ab", "abc", 1),
                           ("abc", "xbc", 1), ("kitten", "sitting", 3), ("ca", "abc", 3)):
        check(edit_distance(a, b) == distance, f"edit distance {a!r} {b!r}", failures)


def parse_date(text):
    try:
        return date.fromisoformat(text)
    except ValueError:
        return None


FORMAL = {}
for _name, _short in people_names.given_names(people_names.MALE + people_names.FEMALE):
    for _form in _short:
        FORMAL.setdefault(_form.lower(), []).append(plain(_name).lower())


def forms(name):
    """The name in lower case without accents, and the names it may be short for."""
    name = plain(name).lower()
    return [name] + FORMAL.get(name, [])


def check_file(rows, stats, count, failures):
    check(len(rows) == count, f"{len(rows)} rows, not {count}", failures)
    check(len({r[0] for r in rows}) == len(rows), "row ids are not unique", failures)
    check(all(len(r) == len(HEADER) for r in rows), "a row has the wrong number of fields", failures)
    groups = {}
    for row in rows:
        groups.setdefault(row[-1], []).append(row)
    sizes = [len(g) for g in groups.values()]
    check(stats["entities"] == len(groups), "entities differ from the person ids written", failures)
    check(stats["rows"] == stats["entities"] + stats["duplicates"], "rows are not entities plus duplicates", failures)
    for extra in (0, 1, 2, 3):
        check(stats[f"entities_with_{extra}_duplicates"] == sizes.count(extra + 1),
              f"people with {extra} duplicates miscounted", failures)
    with_duplicates = 1 - stats["entities_with_0_duplicates"] / stats["entities"]
    check(0.2 <= with_duplicates <= 0.3, f"{with_duplicates:.3f} of people have duplicates", failures)
    for key, value in stats.items():
        check(value > 0 or key == "entities_with_0_duplicates" and count == 0, f"nothing planted: {key}", failures)
    # Every row of a person says the same person: one phone number, one birth
    # date up to day and month, the same surname up to one typo in each row.
    for person, group in groups.items():
        phones = {phone_digits(r[PHONE]) for r in group if r[PHONE]}
        check(len(phones) <= 1, f"{person}: phones {sorted(phones)}", failures)
        births = {d for d in (parse_date(r[BIRTH]) for r in group if r[BIRTH]) if d}
        ordered = sorted((d.year, min(d.month, d.day), max(d.month, d.day)) for d in births)
        check(len(set(ordered)) <= 1, f"{person}: birth dates {sorted(births)}", failures)
        # Either row may have its names swapped, and a given name may be a short form.
        names = [forms(r[GIVEN]) + forms(r[SURNAME]) for r in group]
        for other in names[1:]:
            check(min(edit_distance(a, b) for a in names[0] for b in other) <= 2,
                  f"{person}: names {names[0]!r} and {other!r}", failures)
    # An e-mail address is one person's. Two people meet on one only where a
    # duplicate's typo or changed provider happens to write another's.
    owners = {}
    for row in rows:
        if row[EMAIL]:
            owners.setdefault(row[EMAIL].lower(), set()).add(row[-1])
    shared = sum(len(people) > 1 for people in owners.values())
    check(shared <= len(owners) // 200, f"{shared} of {len(owners)} e-mail addresses are written for several people",
          failures)
    # The hard non-matches are in the rows: other people at one address with
    # the surname, twins sharing the birth date, fathers and sons the given name.
    by_address = {}
    for row in rows:
        if row[STREET] and row[POSTCODE]:
            by_address.setdefault((row[STREET], row[POSTCODE], plain(row[SURNAME]).lower()), {}) \
                .setdefault(row[-1], []).append(row)
    twins = father_son = 0
    for people in by_address.values():
        ids = sorted(people)
        for i, a in enumerate(ids):
            for b in ids[i + 1:]:
                pairs = [(x, y) for x in people[a] for y in people[b]]
                twins += any(x[BIRTH] and x[BIRTH] == y[BIRTH] for x, y in pairs)
                father_son += any(x[GIVEN] == y[GIVEN] and x[BIRTH] and y[BIRTH]
                                  and abs(int(x[BIRTH][:4]) - int(y[BIRTH][:4])) >= 20 for x, y in pairs)
    check(twins >= stats["pairs_twins"] * 0.8, f"{twins} twin pairs found, {stats['pairs_twins']} planted", failures)
    check(father_son >= stats["pairs_father_son_same_given_name"] * 0.8,
          f"{father_son} father and son pairs found, {stats['pairs_father_son_same_given_name']} planted", failures)


def self_test():
    failures = []
    check_parts(failures)
    count = 4000
    text, stats = render(count, 4)
    check(render(count, 4)[0] == text, "the same seed wrote other bytes", failures)
    check(render(count, 5)[0] != text, "another seed wrote the same bytes", failures)
    rows = list(csv.reader(io.StringIO(text)))
    check(rows[0] == HEADER, f"header {rows[0]}", failures)
    check_file(rows[1:], stats, count, failures)
    for failure in failures[:40]:
        print(f"make_people self-test: {failure}", file=sys.stderr)
    if failures:
        print(f"make_people self-test: {len(failures)} checks failed", file=sys.stderr)
        return 1
    print("make_people self-test: all checks passed", file=sys.stderr)
    return 0


def positive(text):
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1: {text!r}")
    return value


def main(argv=None):
    parser = argparse.ArgumentParser(description="Writes made-up people with planted duplicates and ground truth.")
    parser.add_argument("--count", type=positive, default=5000, help="rows to write (default 5000)")
    parser.add_argument("--seed", type=int, default=20240723, help="the seed; the same seed writes the same bytes")
    parser.add_argument("--out", help="the file to write (default: standard output)")
    parser.add_argument("--stats", action="store_true", help="print what was planted to standard error")
    parser.add_argument("--self-test", action="store_true", help="run the generator's own checks and exit")
    args = parser.parse_args(argv)
    if args.self_test:
        return self_test()
    rows, stats = generate(args.count, args.seed)
    try:
        if args.out:
            # Into a file beside the target, then renamed: a failed write leaves the old file whole.
            temporary = f"{args.out}.tmp{os.getpid()}"
            try:
                with open(temporary, "w", encoding="utf-8", newline="") as stream:
                    write_csv(rows, stream)
                os.replace(temporary, args.out)
            except BaseException:
                if os.path.exists(temporary):
                    os.remove(temporary)
                raise
        else:
            # UTF-8 and "\n" whatever the locale and the platform say.
            stream = io.TextIOWrapper(sys.stdout.buffer, encoding="utf-8", newline="")
            write_csv(rows, stream)
            stream.flush()
            stream.detach()
    except OSError as error:
        print(f"make_people: cannot write {args.out or 'standard output'}: {error.strerror or error}", file=sys.stderr)
        return 1
    if args.stats:
        width = max(len(key) for key in stats)
        for key, value in stats.items():
            print(f"{key:<{width}}  {value}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes a list of generated full names, one a line, for the bulk-matching benchmark.

Each line is a first name and a last name, drawn from a few hundred common
ones plus surnames built from syllables (so that a long list has a long tail
of rare names, as real registers do). A fair share of the lines are
misspelt: a letter dropped, doubled, swapped with its neighbour, replaced by
a key next to it or by a spelling that sounds alike; a few lose a capital or
carry a middle initial; some names are written with letters outside ASCII.
The same count and seed always give the same list, on every platform.

Usage: tools/generate_names.py COUNT [--seed N] > names.txt
"""
import argparse
import random
import sys

FIRST = """
James Mary John Patricia Robert Jennifer Michael Linda William Elizabeth David Barbara Richard Susan
Joseph Jessica Thomas Sarah Charles Karen Christopher Nancy Daniel Lisa Matthew Margaret Anthony Sandra
Mark Ashley Donald Kimberly Steven Emily Paul Donna Andrew Michelle Joshua Carol Kenneth Amanda Kevin
Dorothy Brian Melissa George Deborah Timothy Stephanie Ronald Rebecca Edward Sharon Jason Laura Jeffrey
Cynthia Ryan Kathleen Jacob Amy Gary Angela Nicholas Shirley Eric Anna Jonathan Brenda Stephen Pamela
Larry Emma Justin Nicole Scott Helen Brandon Samantha Benjamin Katherine Samuel Christine Gregory Debra
Alexander Rachel Frank Carolyn Patrick Janet Raymond Catherine Jack Maria Dennis Heather Jerry Diane
Tyler Ruth Aaron Julie Jose Olivia Adam Joyce Nathan Virginia Henry Victoria Douglas Kelly Zachary Lauren
Peter Christina Kyle Joan Ethan Evelyn Walter Judith Noah Megan Jeremy Andrea Christian Cheryl Keith
Hannah Roger Jacqueline Terry Martha Gerald Gloria Harold Teresa Sean Ann Austin Sara Carl Madison
Arthur Frances Lawrence Kathryn Dylan Janice Jesse Jean Jordan Abigail Bryan Alice Billy Judy Joe Sophia
Bruce Grace Gabriel Denise Logan Amber Albert Doris Willie Marilyn Alan Danielle Juan Beverly Wayne Isabella
Elijah Theresa Randy Diana Roy Natalie Vincent Brittany Ralph Charlotte Eugene Marie Russell Kayla Bobby
Alexis Mason Lori Philip Geoffrey Zoe Mohammed Muhammad Fatima Aisha Omar Ahmed Wei Li Hiroshi Yuki
Priya Rahul Anil Sunita Olga Ivan Dmitri Sven Ingrid Lars Pierre Chloe Mateo Lucia Giovanni Francesca
""".split()

LAST = """
Smith Johnson Williams Brown Jones Garcia Miller Davis Rodriguez Martinez Hernandez Lopez Gonzalez Wilson
Anderson Thomas Taylor Moore Jackson Martin Lee Perez Thompson White Harris Sanchez Clark Ramirez Lewis
Robinson Walker Young Allen King Wright Scott Torres Nguyen Hill Flores Green Adams Nelson Baker Hall
Rivera Campbell Mitchell Carter Roberts Gomez Phillips Evans Turner Diaz Parker Cruz Edwards Collins Reyes
Stewart Morris Morales Murphy Cook Rogers Gutierrez Ortiz Morgan Cooper Peterson Bailey Reed Kelly Howard
Ramos Kim Cox Ward Richardson Watson Brooks Chavez Wood James Bennett Gray Mendoza Ruiz Hughes Price
Alvarez Castillo Sanders Patel Myers Long Ross Foster Jimenez Powell Jenkins Perry Russell Sullivan Bell
Coleman Butler Henderson Barnes Gonzales Fisher Vasquez Simmons Romero Jordan Patterson Alexander Hamilton
Graham Reynolds Griffin Wallace Moreno West Cole Hayes Bryant Herrera Gibson Ellis Tran Medina Aguilar
Stevens Murray Ford Castro Marshall Owens Harrison Fernandez McDonald Woods Washington Kennedy Wells
Vargas Henry Chen Freeman Webb Tucker Guzman Burns Crawford Olson Simpson Porter Hunter Gordon Mendez
Silva Shaw Snyder Mason Dixon Munoz Hunt Hicks Holmes Palmer Wagner Black Robertson Boyd Rose Stone
Salazar Fox Warren Mills Meyer Rice Schmidt Garza Daniels Ferguson Nichols Stephens Soto Weaver Ryan
Gardner Payne Grant Dunn Kelley Spencer Hawkins Arnold Pierce Vazquez Hansen Peters Santos Hart Bradley
Knight Elliott Cunningham Duncan Armstrong Hudson Carroll Lane Riley Andrews Alvarado Ray Delgado Berry
Perkins Hoffman Johnston Matthews Pena Richards Contreras Willis Carpenter Lawrence Sandoval MacDonald
O'Neill O'Brien Schneider Becker Fischer Weber Schulz Rahman Khan Ali Singh Kumar Sharma Wang Zhang Liu
Yamamoto Tanaka Suzuki Ivanov Petrov Novak Kowalski Nowak Jensen Nielsen Larsen Andersson Johansson
Rossi Russo Ferrari Esposito Bianchi Romano Dubois Laurent Lefebvre Moreau Fontaine
""".split()

# Names with letters outside ASCII, drawn now and then.
ACCENTED_FIRST = "José Zoë Chloé Renée André Björn Søren Jürgen Łukasz Małgorzata François Inés".split()
ACCENTED_LAST = "Müller Schäfer Größer Nuñez Peña Jiménez Dvořák Wójcik Lewandowski Ødegård Çelik Öztürk".split()

# Syllables of made-up surnames: the long tail of a real register.
ONSETS = "b br c ch cl d dr f g gr h j k kl l m n p pr r s sh st t tr v w z".split()
VOWELS = "a e i o u ai ea ou y".split()
CODAS = ["", "", "n", "r", "l", "s", "t", "ck", "nd", "rt", "ll", "m"]
ENDINGS = "son sen man mann berg stein ton ford ley field wood well er ez ski ova ini".split()

SOUND_ALIKE = [("ph", "f"), ("f", "ph"), ("c", "k"), ("k", "c"), ("y", "i"), ("i", "y"), ("s", "z"), ("ck", "k"),
               ("ee", "ea"), ("th", "t"), ("ie", "y"), ("ou", "ow"), ("er", "or"), ("an", "en"), ("mac", "mc")]

KEYBOARD = ["qwertyuiop", "asdfghjkl", "zxcvbnm"]


def neighbours(letter):
    lower = letter.lower()
    for row in KEYBOARD:
        at = row.find(lower)
        if at >= 0:
            near = row[max(at - 1, 0):at] + row[at + 1:at + 2]
            return near.upper() if letter.isupper() else near
    return letter


def made_up_surname(rng):
    name = rng.choice(ONSETS) + rng.choice(VOWELS) + rng.choice(CODAS)
    if rng.random() < 0.5:
        name += rng.choice(ONSETS) + rng.choice(VOWELS)
    name += rng.choice(ENDINGS)
    return name.capitalize()


def misspell(name, rng):
    at = rng.randrange(1, len(name)) if len(name) > 1 else 0
    kind = rng.random()
    if kind < 0.2:
        return name[:at] + name[at + 1:]  # a letter dropped
    if kind < 0.4:
        return name[:at] + name[at] + name[at:]  # a letter doubled
    if kind < 0.55 and at + 1 < len(name):
        return name[:at] + name[at + 1] + name[at] + name[at + 2:]  # two letters swapped
    if kind < 0.7:
        near = neighbours(name[at])
        return name[:at] + rng.choice(near) + name[at + 1:]  # a key next to it
    lower = name.lower()
    options = [(a, b) for a, b in SOUND_ALIKE if a in lower]
    if not options:
        return name[:at] + name[at + 1:]
    source, target = rng.choice(options)
    found = lower.find(source)
    replaced = name[:found] + target + name[found + len(source):]
    return replaced[0].upper() + replaced[1:] if name[0].isupper() else replaced


def generate(count, seed):
    rng = random.Random(seed)
    people = []  # earlier people, so that some come back (with or without typos)
    for _ in range(count):
        if people and rng.random() < 0.15:
            first, last = rng.choice(people)
        else:
            roll = rng.random()
            first = rng.choice(ACCENTED_FIRST) if roll < 0.02 else rng.choice(FIRST)
            roll = rng.random()
            if roll < 0.02:
                last = rng.choice(ACCENTED_LAST)
            elif roll < 0.55:
                last = rng.choice(LAST)
            else:
                last = made_up_surname(rng)
            if len(people) < 100000:
                people.append((first, last))
            else:
                people[rng.randrange(len(people))] = (first, last)
        for _ in range(rng.choice((0, 0, 0, 1, 1, 2))):
            if rng.random() < 0.5:
                first = misspell(first, rng)
            else:
                last = misspell(last, rng)
        name = first + " " + last
        roll = rng.random()
        if roll < 0.03:
            name = first + " " + rng.choice("ABCDEFGHJKLMNPRSTW") + ". " + last
        elif roll < 0.05:
            name = name.lower()
        elif roll < 0.06:
            name = name.upper()
        yield name


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("count", type=int)
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    out = open(sys.stdout.fileno(), "w", encoding="utf-8", newline="\n", closefd=False)
    for name in generate(arguments.count, arguments.seed):
        out.write(name + "\n")
    out.flush()


if __name__ == "__main__":
    main()

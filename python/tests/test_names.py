"""Names as people write them: vantel.compare and vantel.match with order,
nicknames, aliases and transliterate give the vantel command's answers."""

import pytest

import vantel

DATA = "tests/names/data"


def read_pairs(root, name):
    lines = (root / DATA / name).read_text(encoding="utf-8").splitlines()
    return [tuple(line.split("\t")) for line in lines if line]


OPTION_SETS = [
    ({"order": "any"}, ["--order", "any"]),
    ({"nicknames": True}, ["--nicknames"]),
    ({"transliterate": True}, ["--transliterate"]),
    ({"order": "any", "nicknames": True, "transliterate": True}, ["--order", "any", "--nicknames", "--transliterate"]),
]


@pytest.mark.parametrize("options, flags", OPTION_SETS)
def test_compare_gives_the_commands_answers(cli, root, options, flags):
    pairs = []
    for table in ("reordered.tsv", "nicknames.tsv", "transliterated.tsv", "different_nicknames.tsv"):
        pairs += read_pairs(root, table)[:40]
    text = "".join(f"{a}\t{b}\n" for a, b in pairs)
    for method in (0, 2):
        lines = cli("compare", "--method", str(method), *flags, "--pairs", "-", input=text).splitlines()
        assert [float(line.rsplit("\t", 1)[1]) for line in lines] == [
            vantel.compare(a, b, method, **options) for a, b in pairs
        ]


def test_compare_without_options_is_compare():
    assert vantel.compare("SMITH, John", "John Smith", 2) == vantel.CompareUS().compare("SMITH, John", "John Smith", 2)
    assert vantel.compare("SMITH, John", "John Smith", 2, order="any") == 100.0
    assert vantel.compare("SMITH, John", "John Smith", 2, order="given") < 100.0
    assert vantel.compare("Bob Smith", "Robert Smith", 2, nicknames=True) == 100.0


@pytest.mark.parametrize("options, flags", OPTION_SETS)
@pytest.mark.parametrize("threshold", [70, 90])
def test_match_gives_the_commands_pairs(cli, root, options, flags, threshold):
    names = [name for pair in read_pairs(root, "nicknames.tsv")[:30] + read_pairs(root, "reordered.tsv")[:20] for name in pair]
    names += [name for pair in read_pairs(root, "transliterated.tsv")[::4] for name in pair]
    text = "".join(name + "\n" for name in names)
    out = cli("match", "--threshold", str(threshold), "--threads", "2", "--quiet", *flags, "-", input=text)
    expected = [(int(q) - 1, int(c) - 1, float(line.rsplit("\t", 1)[1])) for line in out.splitlines() for q, c in [line.split("\t")[:2]]]
    for workers in (1, 2):
        found = vantel.match(names, threshold=threshold, workers=workers, **options)
        assert [(int(q), int(c), float(a)) for q, c, a in found] == expected


def test_aliases_come_from_a_file_or_a_table(tmp_path):
    path = tmp_path / "aliases.csv"
    path.write_text("# ours\nOlumide,Olu\n", encoding="utf-8")
    table = vantel.NameTable.read(str(path))
    assert table.group_count == 1
    assert table.formal_names("OLU") == ["Olumide"]
    for aliases in (str(path), path, table):
        assert vantel.compare("Olu Ade", "Olumide Ade", 2, aliases=aliases) == 100.0
        assert vantel.compare("Bob Ade", "Robert Ade", 2, aliases=aliases) < 100.0
        assert vantel.compare("Bob Ade", "Robert Ade", 2, aliases=aliases, nicknames=True) == 100.0
    found = vantel.match(["Olu Ade", "Olumide Ade", "Bob Ade"], threshold=95, aliases=path)
    assert [(int(q), int(c)) for q, c, _ in found] == [(0, 1)]
    assert vantel.name_forms("Bob Smith", nicknames=True)[:2] == ["Bob Smith", "Robert Smith"]
    assert vantel.NameTable.english().group_count >= 400


def test_bad_options_and_aliases_are_named(tmp_path):
    bad = tmp_path / "aliases.csv"
    bad.write_text("Robert,Bob\n,,\n", encoding="utf-8")
    with pytest.raises(vantel.VantelError) as refused:
        vantel.compare("a", "b", aliases=bad)
    assert refused.value.number == 5
    assert refused.value.description == f"{bad} line 2: empty group"
    with pytest.raises(vantel.VantelError, match="cannot be read"):
        vantel.match(["a"], aliases=str(tmp_path / "missing.csv"))
    with pytest.raises(ValueError, match="order must be 'given' or 'any', not 'random'"):
        vantel.compare("a", "b", order="random")
    with pytest.raises(ValueError, match="order must be"):
        vantel.match(["a"], order="sorted")
    with pytest.raises(TypeError, match="aliases must be a path or a vantel.NameTable"):
        vantel.compare("a", "b", aliases=42)

"""vantel.groups: the connected components of the kept pairs, found here
independently by a breadth-first search over compare, and the groups of
`vantel match --groups`."""

from collections import deque

import pytest

import vantel
from namegen import names

LIST = names(200, seed=21) + ["", "Catherine Johnson", "Katherine Johnson", "Kathryn Jonson", "y" * 80]


def expected_groups(strings, method, threshold, all_strings):
    comparable = [0 < len(s.encode("utf-16-le")) // 2 <= 70 for s in strings]
    links = {i: [] for i in range(len(strings))}
    for i in range(len(strings)):
        for j in range(i + 1, len(strings)):
            if comparable[i] and comparable[j]:
                answer = vantel.compare(strings[i], strings[j], method)
                if answer >= threshold:
                    links[i].append((j, answer))
                    links[j].append((i, answer))
    members, group, seen = [], 0, set()
    for start in range(len(strings)):
        if start in seen or not comparable[start] or (not links[start] and not all_strings):
            continue
        group += 1
        component, queue = [], deque([start])
        seen.add(start)
        while queue:
            at = queue.popleft()
            component.append(at)
            for other, _ in links[at]:
                if other not in seen:
                    seen.add(other)
                    queue.append(other)
        for member in sorted(component):
            if links[member]:
                partner, answer = min(links[member], key=lambda link: (-link[1], link[0]))
            else:
                partner, answer = -1, -1.0
            members.append((group, member, partner, answer))
    return members


@pytest.mark.parametrize("method", [0, 1, 2, 3, 99])
@pytest.mark.parametrize("threshold", [65, 85])
def test_groups_are_the_connected_components_of_compare(method, threshold):
    for all_strings in (False, True):
        expected = expected_groups(LIST, method, threshold, all_strings)
        assert len({group for group, *_ in expected}) >= 3
        for workers in (1, 2):
            found = vantel.groups(LIST, method=method, threshold=threshold, workers=workers, all=all_strings)
            assert list(found) == expected
    assert [r.position for r in found.rejected] == [200, 204]


def test_groups_as_a_frame_carry_keys_strings_and_partners():
    pandas = pytest.importorskip("pandas")
    series = pandas.Series(["Catherine Johnson", None, "Bob", "Katherine Johnson"], index=["a", "b", "c", "d"])
    frame = vantel.groups(series, all=True, as_frame=True)
    assert frame["group"].tolist() == [1, 1, 2]
    assert frame["key"].tolist() == ["a", "d", "c"]
    assert frame["string"].tolist() == ["Catherine Johnson", "Katherine Johnson", "Bob"]
    assert frame["partner"].tolist() == ["d", "a", None]
    assert frame["answer"].tolist()[:2] == [94.73, 94.73] and pandas.isna(frame["answer"].iloc[2])
    assert frame.attrs["rejected"] == [vantel.Rejection("queries", 1, "b", "missing value")]


def _command_groups(cli, path, extra=()):
    help_text = cli("match", "--help")
    if "--groups" not in help_text:
        pytest.skip("this vantel command has no --groups")
    return [line.split("\t") for line in cli("match", "--groups", *extra, str(path)).splitlines()]


def test_groups_equal_the_command_on_the_sample_list(cli, root):
    path = root / "data" / "names.txt"
    strings = path.read_text(encoding="utf-8").splitlines()
    rows = _command_groups(cli, path)
    found = vantel.groups(strings)
    # The command numbers lines from 1.
    assert [(int(g), int(i) - 1, s, int(p) - 1, float(a)) for g, i, s, p, a in rows] == [
        (g, m, strings[m], p, a) for g, m, p, a in found
    ]
    assert len(rows) > 10


@pytest.mark.parametrize("options", [("--method", "2", "--threshold", "85"), ("--threshold", "80", "--all")])
def test_groups_equal_the_command_on_the_customer_file(cli, root, options):
    pandas = pytest.importorskip("pandas")
    path = root / "data" / "customers.csv"
    customers = pandas.read_csv(path, dtype=str, keep_default_na=False).set_index("id")
    lines = _command_groups(cli, path, ("--column", "name", "--id", "id", *options))
    assert lines[0] == ["group", "id", "name", "partner_id", "answer"]
    method = int(options[1]) if options[0] == "--method" else 0
    threshold = float(options[options.index("--threshold") + 1])
    frame = vantel.groups(
        customers["name"], method=method, threshold=threshold, all="--all" in options, as_frame=True
    )
    expected = [
        [str(g), k, s, "" if p is None else p, None if a != a else a]
        for g, k, s, p, a in frame.itertuples(index=False)
    ]
    # Answers as numbers: the command writes the shortest decimal that reads back the same.
    rows = [row[:4] + [float(row[4]) if row[4] else None] for row in lines[1:]]
    assert rows == expected and len(rows) > 100

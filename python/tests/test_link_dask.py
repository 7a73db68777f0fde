"""vantel.dask.link and link_groups on a LocalCluster of two worker
processes: the pairs and groups equal those of vantel.link row for row, for
de-duplication and linking, several partitionings (unequal ones, an empty
one), with and without top, a model given or trained on the client; a
worker killed mid-run changes nothing."""

import os
import signal
import time

import pytest

pandas = pytest.importorskip("pandas")
dask = pytest.importorskip("dask")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import vantel  # noqa: E402
from conftest import partitionings  # noqa: E402
import vantel.dask as vdask  # noqa: E402

FIELDS = {"given_name": "name", "surname": "name", "birth_date": "date", "postcode": "code", "email": "email"}
SAMPLE = 50_000


@pytest.fixture(scope="module")
def people(root):
    frame = pandas.read_csv(root / "data" / "people.csv", dtype=str).iloc[:900]
    frame.index = [f"r{i * 2}" for i in range(len(frame))]
    # A row that cannot be read: left out everywhere, and reported.
    frame.iloc[40, frame.columns.get_loc("surname")] = "Bad\udcffname"
    return frame


@pytest.fixture(scope="module")
def model(people):
    return vantel.Model.train(people, fields=FIELDS, sample=SAMPLE)


def layouts(frame):
    return partitionings(frame, {"three": 3})


def rejections_of(frame):
    return [vantel.Rejection(*row) for row in frame.itertuples(index=False)]


@pytest.mark.parametrize("layout", ["one", "three", "unequal"])
def test_dedupe_on_the_cluster_equals_one_machine(client, people, model, layout):
    data = layouts(people)[layout]
    cases = [(0.9, {}), (0.3, {"block": ["birth_date", "phonetic(surname)"], "scan": ["surname:90"]})]
    lazy = [vdask.link(data, model=model, threshold=t, **rules) for t, rules in cases]
    computed = dask.compute(*lazy, *[pairs.rejected for pairs in lazy])
    for at, (threshold, rules) in enumerate(cases):
        expected = vantel.link(people, model=model, threshold=threshold, **rules)
        assert len(expected) > 30
        pandas.testing.assert_frame_equal(computed[at].reset_index(drop=True), expected)
        assert rejections_of(computed[len(cases) + at]) == expected.attrs["rejected"]
        assert [r.key for r in expected.attrs["rejected"]] == ["r80"]


@pytest.mark.parametrize("layout", ["one", "unequal"])
def test_linking_on_the_cluster_equals_one_machine(client, people, model, layout):
    first, second = people.iloc[:500], people.iloc[500:]
    queries = layouts(first)[layout]
    candidates = dd.from_pandas(second, npartitions=3, sort=False)
    rules = {"scan": ["surname:88"], "block": ["birth_date", "phonetic(given_name)+postcode"]}
    for top, threshold, given in [(None, 0.5, {}), (1, 0.0, {}), (2, 0.5, {}), (None, 0.5, rules), (1, 0.2, rules)]:
        lazy = vdask.link(queries, candidates, model=model, threshold=threshold, top=top, id="id", **given)
        expected = vantel.link(first, second, model=model, threshold=threshold, top=top, id="id", **given)
        assert len(expected) > 20
        pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)
    # Each rule's keys in one bucket, or in more buckets than partitions: the same pairs.
    for buckets in (1, 7):
        lazy = vdask.link(queries, candidates, model=model, threshold=0.2, top=1, id="id", buckets=buckets, **rules)
        pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)


# Block rules meet their keys in buckets: no task of the run pairs one
# partition with another unless a scan rule asks for it.
def test_block_rules_never_pair_all_partitions(people, model):
    data = layouts(people)["three"]

    def task_names(lazy):
        return {str(key[0] if isinstance(key, tuple) else key) for key in lazy.__dask_graph__().keys()}

    blocked = task_names(vdask.link(data, model=model, block=["birth_date", "postcode"]))
    assert len([name for name in blocked if name.startswith("vantel-link-bucket-")]) > 0
    assert not [name for name in blocked if name.startswith("vantel-link-pair-")]
    scanned = task_names(vdask.link(data, model=model, scan=["surname:90"], block=["birth_date"]))
    assert len([name for name in scanned if name.startswith("vantel-link-pair-")]) == 6  # i <= j of three partitions


# Each field's values, level and weight, as one machine explains them; a
# partition left empty, and values missing as None and as NaN.
@pytest.mark.parametrize("layout", ["unequal", "three"])
def test_explained_pairs_on_the_cluster_equal_one_machine(client, people, model, layout):
    frame = people.copy()
    frame.iloc[3, frame.columns.get_loc("email")] = None
    frame.iloc[5, frame.columns.get_loc("postcode")] = float("nan")
    data = layouts(frame)[layout]
    first, second = frame.iloc[:450], frame.iloc[450:]
    cases = [
        (vdask.link(data, model=model, threshold=0.5, explain=True),
         vantel.link(frame, model=model, threshold=0.5, explain=True)),
        (
            vdask.link(layouts(first)[layout], dd.from_pandas(second, npartitions=2, sort=False), model=model,
                       threshold=0.5, top=2, explain=True),
            vantel.link(first, second, model=model, threshold=0.5, top=2, explain=True),
        ),
    ]
    for lazy, expected in cases:
        assert len(expected) > 20 and "email_level" in expected.columns
        assert list(lazy.columns) == list(expected.columns)
        pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)


# Names crossed with each other's field and compared within one edit, phones
# by their tail: a partition compares a name that it holds only in the other
# field by the whole file's text of it, as one machine does.
def test_swapped_names_on_the_cluster_equal_one_machine(client, people):
    fields = [
        vantel.Field("given_name", "name", swap="surname", edits=True),
        vantel.Field("surname", "name", swap="given_name", edits=True, tf=False),
        vantel.Field("birth_date", "date"),
        vantel.Field("email", "email", edits=True),
        vantel.Field("phone", "code", tail=10),
    ]
    model = vantel.Model.train(people, fields=fields, sample=SAMPLE)
    expected = vantel.link(people, model=model, threshold=0.5, explain=True)
    assert "swapped" in set(expected["given_name_level"])
    for layout in ("three", "unequal"):
        lazy = vdask.link(layouts(people)[layout], model=model, threshold=0.5, explain=True)
        pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)


# "MacDonald" is a given name only in the second partition, and before it
# the first holds "MACDONALD" as a surname alone: the whole file compares
# the name by its given name's text, and so must every partition.
def test_a_name_held_only_crosswise_in_an_earlier_partition_compares_as_on_one_machine(client, people):
    fields = [
        vantel.Field("given_name", "name", swap="surname"),
        vantel.Field("surname", "name", swap="given_name"),
        vantel.Field("birth_date", "date"),
    ]
    model = vantel.Model.train(people, fields=fields, sample=SAMPLE)
    frame = pandas.DataFrame(
        {
            "given_name": ["Ann", "Ann", "MacDonald", "Ann", "McDonald"],
            "surname": ["MACDONALD", "Lee", "Lee", "MacDonald", "Ann"],
            "birth_date": ["1980-01-01"] * 5,
        },
        index=[f"r{i}" for i in range(5)],
    )
    expected = vantel.link(frame, model=model, threshold=0.0, explain=True)
    pair = expected[(expected["query"] == "r3") & (expected["candidate"] == "r4")]
    assert pair["given_name_level"].tolist() == ["swapped"]
    data = dd.concat([dd.from_pandas(frame.iloc[:2], npartitions=1, sort=False),
                      dd.from_pandas(frame.iloc[2:], npartitions=1, sort=False)])
    lazy = vdask.link(data, model=model, threshold=0.0, explain=True)
    pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)


def test_a_model_trained_on_the_client_is_that_of_one_machine(client, people):
    part = people.iloc[:400]
    lazy = vdask.link(part, fields=FIELDS, npartitions=3, sample=SAMPLE)
    expected = vantel.link(part, fields=FIELDS, sample=SAMPLE)
    assert lazy.model.to_json() == expected.attrs["model"].to_json()
    pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)
    # On a sample of the rows, another model, and still the pairs it scores.
    sampled = vdask.link(part, fields=FIELDS, npartitions=3, sample=SAMPLE, training_rows=300)
    assert sampled.model.to_json() != expected.attrs["model"].to_json()
    again = vantel.link(part, model=sampled.model)
    pandas.testing.assert_frame_equal(sampled.compute().reset_index(drop=True), again)


@pytest.mark.parametrize("layout", ["three", "unequal"])
def test_groups_on_the_cluster_equal_one_machine(client, people, model, layout):
    data = layouts(people)[layout]
    for all_rows, buckets in ((False, None), (True, 2)):
        groups = vdask.link_groups(data, model=model, threshold=0.5, all=all_rows, buckets=buckets)
        expected = vantel.link_groups(people, model=model, threshold=0.5, all=all_rows)
        assert expected["size"].max() > 1
        pandas.testing.assert_frame_equal(groups, expected)
        assert groups.attrs["rejected"] == expected.attrs["rejected"]


# Linking, the groups hold rows of both frames; rows left out of either
# (one in each here) shift no one's place.
@pytest.mark.parametrize("layout", ["one", "unequal"])
def test_linked_groups_on_the_cluster_equal_one_machine(client, people, model, layout):
    frame = people.copy()
    frame.iloc[610, frame.columns.get_loc("given_name")] = "Bad\udcffname"
    first, second = frame.iloc[:500], frame.iloc[500:]
    candidates = dd.from_pandas(second, npartitions=3, sort=False)
    for all_rows in (False, True):
        groups = vdask.link_groups(layouts(first)[layout], candidates, model=model, threshold=0.5, all=all_rows)
        expected = vantel.link_groups(first, second, model=model, threshold=0.5, all=all_rows)
        assert expected["size"].max() > 1 and set(expected["file"]) == {1, 2}
        pandas.testing.assert_frame_equal(groups, expected)
        assert groups.attrs["rejected"] == expected.attrs["rejected"]
        assert [r.list for r in expected.attrs["rejected"]] == ["frame", "other"]


def test_bad_input_is_named_before_any_task(client, people, model):
    data = layouts(people)["three"]
    with pytest.raises(ValueError, match="nickname"):
        vdask.link(data, fields={"nickname": "name"})
    with pytest.raises(ValueError, match="top"):
        vdask.link(data, model=model, top=1)
    with pytest.raises(TypeError, match="npartitions"):
        vdask.link(people, model=model)
    with pytest.raises(ValueError, match="does not fit"):
        vdask.link(data, fields={"surname": "name"}, model=model).compute()


def test_a_worker_killed_mid_run_does_not_change_the_result(client, root):
    people = pandas.read_csv(root / "data" / "people.csv", dtype=str)
    model = vantel.Model.train(people, fields=FIELDS, sample=SAMPLE)
    expected = vantel.link(people, model=model, threshold=0.5)
    pids = client.run(os.getpid)
    future = client.compute(vdask.link(people, model=model, threshold=0.5, npartitions=6))
    killed = None
    deadline = time.monotonic() + 60
    while killed is None and time.monotonic() < deadline and not future.done():
        for worker, keys in client.processing().items():
            if any(str(key).startswith("vantel-link-") for key in keys) and worker in pids:
                os.kill(pids[worker], signal.SIGKILL)
                killed = worker
                break
        time.sleep(0.005)
    assert killed is not None, "no task of the run was seen on a worker"
    result = future.result(timeout=120)
    pandas.testing.assert_frame_equal(result.reset_index(drop=True), expected)
    client.wait_for_workers(2, timeout=60)
    assert pids[killed] not in client.run(os.getpid).values()


# Labels that pandas would read otherwise (ints in an object index), and a
# partition none of whose rows can take part: the answers of one machine,
# labels of the same dtype.
def test_odd_labels_and_a_partition_left_out_whole_equal_one_machine(client, people, model):
    frame = people.iloc[:600].copy()
    frame.index = pandas.Index(list(range(1000, 1600)), dtype=object)
    # Rows of even and odd number: a person's duplicate follows the person.
    first, second = frame.iloc[0::2].copy(), frame.iloc[1::2].copy()
    column = second.columns.get_loc("surname")
    for row in range(200, 300):
        second.iloc[row, column] = "Bad\udcffname"
    candidates = dd.concat([dd.from_pandas(second.iloc[:200], npartitions=2, sort=False),
                            dd.from_pandas(second.iloc[200:], npartitions=1, sort=False)])
    for rules in ({}, {"scan": ["surname:88"], "block": ["birth_date"]}):
        expected = vantel.link(first, second, model=model, threshold=0.5, **rules)
        assert len(expected) > 5 and expected["query"].dtype == object
        lazy = vdask.link(dd.from_pandas(first, npartitions=2, sort=False), candidates, model=model, threshold=0.5,
                          **rules)
        pandas.testing.assert_frame_equal(lazy.compute().reset_index(drop=True), expected)
        groups = vdask.link_groups(dd.from_pandas(first, npartitions=2, sort=False), candidates, model=model,
                                   threshold=0.5, all=True, **rules)
        pandas.testing.assert_frame_equal(groups, vantel.link_groups(first, second, model=model, threshold=0.5,
                                                                     all=True, **rules))
    # An other frame that is empty, or whose rows all fail: nothing is linked.
    with pytest.raises(ValueError, match="other has no rows to link"):
        vdask.link(first, second.iloc[:0], model=model, npartitions=2).compute()
    left_out = second.iloc[200:]
    assert len(vantel.link(first, left_out, model=model, threshold=0.0)) == 0
    with pytest.raises(ValueError, match="no row that can take part"):
        vantel.link(first, left_out, fields=FIELDS)
    assert len(vdask.link(first, left_out, model=model, threshold=0.0, npartitions=2).compute()) == 0

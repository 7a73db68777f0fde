"""vantel.link, vantel.link_groups and vantel.Model against the vantel link
command on the sample people: the same pairs, probabilities and groups, bit
for bit, and models that pass between the two."""

import io
import json
import math

import numpy as np
import pandas as pd
import pytest

import vantel

FIELDS = {"given_name": "name", "surname": "name", "birth_date": "date", "postcode": "code", "email": "email"}
FIELD_ARGS = [arg for column, kind in FIELDS.items() for arg in ("--field", f"{column}:{kind}")]
SAMPLE = 100_000


@pytest.fixture(scope="module")
def people(root):
    # Empty cells are NaN here: missing, as they are to the command.
    return pd.read_csv(root / "data" / "people.csv", dtype=str).iloc[:1600].reset_index(drop=True)


@pytest.fixture(scope="module")
def people_csv(people, tmp_path_factory):
    folder = tmp_path_factory.mktemp("people")
    paths = {}
    for name, part in {"all": people, "first": people.iloc[:800], "second": people.iloc[800:]}.items():
        paths[name] = folder / f"{name}.csv"
        part.to_csv(paths[name], index=False)
    return paths


def read_cli(text):
    return pd.read_csv(io.StringIO(text), dtype=str, keep_default_na=False)


def assert_same_pairs(result, cli_frame, explain_columns=()):
    assert len(result) == len(cli_frame)
    assert result["query"].tolist() == cli_frame["query_id"].tolist()
    assert result["candidate"].tolist() == cli_frame["candidate_id"].tolist()
    # The command writes the shortest text that reads back as the same double.
    assert result["probability"].tolist() == [float(text) for text in cli_frame["probability"]]
    assert result["weight"].tolist() == [float(text) for text in cli_frame["weight"]]
    for column in explain_columns:
        assert result[f"{column}_level"].tolist() == cli_frame[f"{column}_level"].tolist()
        assert result[f"{column}_weight"].tolist() == [float(text) for text in cli_frame[f"{column}_weight"]]


CASES = [
    # name, linking, python keywords, command arguments
    ("default rules", False, {}, []),
    ("scan and block, explained", False, {"scan": ["surname:88"], "block": ["birth_date", "phonetic(given_name)+postcode"], "explain": True},
     ["--scan", "surname:88", "--block", "birth_date", "--block", "phonetic(given_name)+postcode", "--explain"]),
    ("linking, best of each", True, {"top": 1, "threshold": 0.5}, ["--top", "1", "--threshold", "0.5"]),
    ("linking, low threshold", True, {"threshold": 0.2, "block": "surname"}, ["--threshold", "0.2", "--block", "surname"]),
]


@pytest.mark.parametrize("name,linking,keywords,args", CASES, ids=[case[0] for case in CASES])
def test_pairs_are_those_of_the_command(cli, people, people_csv, name, linking, keywords, args):
    files = [str(people_csv["first"]), str(people_csv["second"])] if linking else [str(people_csv["all"])]
    frames = (people.iloc[:800], people.iloc[800:]) if linking else (people, None)
    output = cli("link", "--quiet", "--format", "csv", "--id", "id", "--sample", str(SAMPLE), *FIELD_ARGS, *args, *files)
    result = vantel.link(frames[0], frames[1], id="id", fields=FIELDS, sample=SAMPLE, **keywords)
    assert len(result) > 50
    assert_same_pairs(result, read_cli(output), FIELDS if keywords.get("explain") else ())
    assert result.attrs["rejected"] == []
    assert result.attrs["candidates"] >= len(result)
    if keywords.get("explain"):
        # The values shown are the frame's own; a missing one is NaN.
        row = result.iloc[0]
        assert row["surname_query"] == people.set_index("id").loc[row["query"], "surname"]


@pytest.mark.parametrize("linking", [False, True], ids=["dedupe", "linking"])
def test_groups_are_those_of_the_command(cli, people, people_csv, linking):
    files = [str(people_csv["first"]), str(people_csv["second"])] if linking else [str(people_csv["all"])]
    frames = (people.iloc[:800], people.iloc[800:]) if linking else (people, None)
    output = cli("link", "--quiet", "--groups", "--all", "--format", "csv", "--id", "id", "--sample", str(SAMPLE),
                 *FIELD_ARGS, *files)
    expected = read_cli(output)
    groups = vantel.link_groups(frames[0], frames[1], id="id", fields=FIELDS, sample=SAMPLE, all=True)
    assert len(groups) == len(people) == len(expected)
    assert list(groups.columns) == list(expected.columns)
    assert groups["group"].astype(str).tolist() == expected["group"].tolist()
    assert groups["id"].tolist() == expected["id"].tolist()
    assert groups["size"].astype(str).tolist() == expected["size"].tolist()
    assert [f"{d:.3f}" for d in groups["density"]] == expected["density"].tolist()
    if linking:
        assert groups["file"].astype(str).tolist() == expected["file"].tolist()
        assert set(groups.loc[groups["file"] == 2, "id"]) == set(frames[1]["id"])
    grouped = vantel.link_groups(frames[0], frames[1], fields=FIELDS, sample=SAMPLE)
    assert len(grouped) > 20 and (grouped["size"] > 1).all()
    if linking:
        # Every group holds rows of both frames.
        assert grouped.groupby("group")["file"].nunique().eq(2).all()
    else:
        assert set(grouped["id"]) < set(people.index)


# Linking frames labelled differently (numbers, and the id column's texts):
# each member keeps its own frame's label.
def test_linked_groups_keep_each_frames_labels(people):
    first, second = people.iloc[:800], people.iloc[800:].set_index("id")
    groups = vantel.link_groups(first, second, fields=FIELDS, sample=SAMPLE, all=True)
    assert len(groups) == len(people) and groups["id"].dtype == object
    assert set(groups.loc[groups["file"] == 1, "id"]) == set(first.index)
    assert set(groups.loc[groups["file"] == 2, "id"]) == set(second.index)


def test_models_pass_between_python_and_the_command(cli, people, people_csv, tmp_path):
    trained = vantel.Model.train(people, fields=FIELDS, sample=SAMPLE)
    saved_by_cli = tmp_path / "cli.json"
    cli("link", "--quiet", "--id", "id", "--sample", str(SAMPLE), "--save-model", str(saved_by_cli), *FIELD_ARGS,
        str(people_csv["all"]))
    # The same training on the same data: the same model, to the last digit.
    assert json.loads(trained.to_json()) == json.loads(saved_by_cli.read_text())
    saved_by_python = tmp_path / "python.json"
    trained.save(saved_by_python)
    # The command applies the Python model; Python applies the command's.
    by_cli = read_cli(cli("link", "--quiet", "--format", "csv", "--id", "id", "--threshold", "0.5",
                          "--model", str(saved_by_python), *FIELD_ARGS, str(people_csv["all"])))
    loaded = vantel.Model.load(saved_by_cli)
    assert loaded.fields == trained.fields
    assert_same_pairs(vantel.link(people, id="id", model=loaded, threshold=0.5), by_cli)
    # A model given is not trained again, whatever the sample.
    assert_same_pairs(vantel.link(people, id="id", fields=FIELDS, model=str(saved_by_cli), threshold=0.5, sample=10), by_cli)


def test_model_table_and_evaluation(cli, people, people_csv, tmp_path):
    model = vantel.Model.train(people, fields=FIELDS, sample=SAMPLE)
    table = model.to_frame()
    assert list(table.columns) == ["field", "kind", "level", "name", "m", "u", "weight"]
    assert table["field"].unique().tolist() == list(FIELDS)
    assert table.loc[table["field"] == "birth_date", "name"].tolist()[0] == "equal"
    assert np.allclose(table["weight"], np.log2(table["m"] / table["u"]))
    assert ((table["m"] > 0) & (table["m"] <= 1) & (table["u"] > 0) & (table["u"] <= 1)).all()

    report = tmp_path / "evaluation.tsv"
    model_path = tmp_path / "model.json"
    model.save(model_path)
    cli("link", "--quiet", "--model", str(model_path), "--truth", "person_id", "--evaluate", str(report),
        *FIELD_ARGS, str(people_csv["all"]))
    lines = report.read_text().splitlines()
    expected = pd.read_csv(io.StringIO("\n".join(lines[1:])), sep="\t")
    evaluation = model.evaluate(people, truth="person_id")
    assert evaluation["threshold"].tolist() == expected["threshold"].tolist()
    assert evaluation["pairs"].tolist() == expected["pairs"].tolist()
    for column in ["precision", "recall", "f1", "group_precision", "group_recall", "group_f1"]:
        assert [f"{value:.4f}" for value in evaluation[column]] == [f"{value:.4f}" for value in expected[column]]
    assert f"recall {evaluation.attrs['candidate_recall']:.4f}" in lines[0]
    assert evaluation["f1"].max() > 0.8


def test_missing_values_are_missing_whatever_marks_them(people):
    part = people.iloc[:600].copy()
    blanked = part.copy()
    marks = [np.nan, None, pd.NA, ""]
    for number, row in enumerate(range(0, 600, 7)):
        blanked.iloc[row, blanked.columns.get_loc("surname")] = marks[number % 4]
        part.iloc[row, part.columns.get_loc("surname")] = ""
    expected = vantel.link(part, fields=FIELDS, sample=SAMPLE, threshold=0.5)
    result = vantel.link(blanked, fields=FIELDS, sample=SAMPLE, threshold=0.5)
    pd.testing.assert_frame_equal(result, expected)


def test_rows_that_cannot_be_read_are_listed_and_left_out(people):
    part = people.iloc[:400].copy()
    part.loc[5, "surname"] = "Smi\udcfft h"
    result = vantel.link(part, fields=FIELDS, sample=SAMPLE, threshold=0.5)
    rejected = result.attrs["rejected"]
    assert [(r.list, r.position, r.key) for r in rejected] == [("frame", 5, 5)]
    assert "surname" in rejected[0].reason
    assert 5 not in set(result["query"]) | set(result["candidate"])
    # The other rows are linked as they would be without that row.
    alone = vantel.link(part.drop(index=5), fields=FIELDS, sample=SAMPLE, threshold=0.5)
    pd.testing.assert_frame_equal(result, alone)


def test_fields_given_as_objects_or_texts_are_one():
    assert vantel.Field("surname", "name", method=2, levels=[95, 88, 80], tf=True).text == "surname:name:method=2:levels=95,88,80:tf=on"
    assert vantel.Field("surname", "name") == vantel.Field.parse("surname:name:method=2")
    assert vantel.Field("dob", "date", format="DD/MM/YYYY").text.startswith("dob:date:format=DD/MM/YYYY")
    # A field that names another (swap) is read on its own; the other is looked for among the fields.
    assert vantel.Field("given_name", "name", swap="surname", edits=True).text.endswith(":swap=surname:edits=on")
    assert vantel.Field("phone", "code", tail=10).text == "phone:code:tail=10"


BAD = [
    ({"fields": {"nickname": "name"}}, ValueError, "nickname"),
    ({"fields": {"surname": "bogus"}}, ValueError, "bogus"),
    ({"fields": [vantel.Field.parse("surname:name")], "scan": ["surname:eighty"]}, ValueError, "surname:eighty"),
    ({"fields": {"surname": "name"}, "block": ["first(surname)"]}, ValueError, "first(surname)"),
    ({"fields": {"surname": "name"}, "block": ["town_of_birth"]}, ValueError, "town_of_birth"),
    ({"fields": {"surname": "name"}, "threshold": 1.5}, ValueError, "threshold"),
    ({"fields": {"surname": "name"}, "threshold": "high"}, TypeError, "threshold"),
    ({"fields": {"surname": "name"}, "top": 2}, ValueError, "top"),
    ({"fields": {"number": "exact"}}, TypeError, "number"),
    ({"fields": "surname"}, TypeError, "fields"),
    ({}, ValueError, "fields"),
    ({"fields": {"surname": "name"}, "workers": 1025}, ValueError, "workers"),
    ({"fields": {"surname": "name"}, "id": "ident"}, ValueError, "ident"),
    ({"fields": {"surname": "name"}, "model": 3}, TypeError, "model"),
    ({"fields": [vantel.Field("given_name", "name", swap="town")]}, ValueError, "swap=town is not another name field"),
]


@pytest.mark.parametrize("keywords,error,named", BAD, ids=[case[2] for case in BAD])
def test_bad_input_is_named(people, keywords, error, named):
    part = people.iloc[:50].copy()
    part["number"] = range(50)
    with pytest.raises(error, match=named.replace("(", r"\(").replace(")", r"\)")):
        vantel.link(part, **keywords)


def test_bad_fields_and_models_are_named(people, tmp_path):
    with pytest.raises(ValueError, match="colour"):
        vantel.Field("surname", "name", colour="red")
    with pytest.raises(ValueError, match="method"):
        vantel.Field("surname", "name", method="two")
    with pytest.raises(TypeError):
        vantel.link(people.to_dict(), fields=FIELDS)
    model = vantel.Model.train(people.iloc[:300], fields={"surname": "name", "birth_date": "date"}, sample=1000)
    with pytest.raises(ValueError, match="does not fit"):
        vantel.link(people.iloc[:300], fields=FIELDS, model=model)
    broken = tmp_path / "broken.json"
    broken.write_text(model.to_json()[:-40])
    with pytest.raises(ValueError, match="not a vantel link model"):
        vantel.Model.load(broken)


def test_charts_of_a_model(people):
    pytest.importorskip("matplotlib")
    import matplotlib

    matplotlib.use("Agg")
    result = vantel.link(people.iloc[:600], fields=FIELDS, sample=SAMPLE, explain=True)
    model = result.attrs["model"]
    ax = model.plot_waterfall(result.iloc[0])
    heights = [patch.get_height() for patch in ax.patches]
    assert len(heights) == len(FIELDS) + 2
    assert math.isclose(heights[-1], result.iloc[0]["weight"], rel_tol=1e-12)
    ax = model.plot_precision_recall(model.evaluate(people.iloc[:600], truth="person_id"))
    assert len(ax.lines) == 1
    with pytest.raises(ValueError, match="explain"):
        model.plot_waterfall(result.iloc[0][["query", "candidate", "weight"]])

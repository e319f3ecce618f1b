"""to_dict builds the dict form straight from the tree: it must be exactly the
JSON text read back with every object's keys in byte order."""

import json

import pytest

from kelmora import Formulation, parse

HUGE = "1" + "0" * 400

# Every node type, kind, unit and basis; blend terms with and without an
# amount; solutions inside blends and blends inside solutions; non-finite
# amounts and shares.
TEXTS = [
    "EC",
    "Foo",
    "LiPF6",
    "EC:DMC 3:7wt",
    "EC:DMC:EMC 1:1:1mol",
    "DOL:DME 1:1vol",
    "1M LiPF6 in EC:DMC 3:7wt",
    "0.8m LiTFSI in DOL:DME 1:1vol + 1wt% LiNO3 + 0.5mol% Foo",
    "EC + 2vol% VC",
    "2wt% (1M LiPF6 in EC) + EC",
    "1.25M LiPF6 in (EC + 10vol% FEC)",
    "1M LiPF6 in (1M LiFSI in (EC:DMC 1:1wt + 2wt% VC))",
    HUGE + "M LiPF6 in EC",
    "EC:DMC " + HUGE + ":1wt",
    HUGE + "wt% VC + EC",
]


def exact(value):
    """The value with dict order and every type made visible to ==."""
    if isinstance(value, dict):
        return ("dict", [(type(k), k, exact(v)) for k, v in value.items()])
    if isinstance(value, list):
        return ("list", [exact(v) for v in value])
    return (type(value), value)


def sorted_objects(pairs):
    return dict(sorted(pairs))


@pytest.mark.parametrize("text", TEXTS)
def test_equals_the_json_text_with_sorted_keys(text):
    f = parse(text)
    expected = json.loads(f.to_json(), object_pairs_hook=sorted_objects)
    assert exact(f.to_dict()) == exact(expected)


def test_names_keep_their_text():
    data = {"node_type": "compound", "name": "Ethyl\u00e8ne \u2603 \"q\"\\", "kind": "unknown"}
    d = Formulation.from_dict(data).to_dict()
    assert exact(d) == exact({"kind": "unknown", "name": data["name"], "node_type": "compound"})


def test_results_share_nothing_mutable():
    f = parse("1M LiPF6 in EC:DMC 3:7wt + 2wt% VC")
    first = f.to_dict()
    first["terms"][0]["node"]["solute_amount"]["unit"] = "changed"
    first["terms"].clear()
    second = f.to_dict()
    assert second["terms"][0]["node"]["solute_amount"]["unit"] == "M"
    assert len(second["terms"]) == 2
    assert first is not second

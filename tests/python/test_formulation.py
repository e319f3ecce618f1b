"""The class Formulation: its type, members, docstrings and outputs."""

import json
import math

import pytest

from kelmora import Formulation, KelmoraError, parse

CLASS_DOC = (
    "Returned by `parse()`, `from_dict()`, and `from_json()`: a validated canonical tree,\n"
    "plus any non-fatal warnings collected while parsing text (e.g. an unbracketed\n"
    "`in`/`+` mix). `warnings` is always empty for the `from_dict`/`from_json`\n"
    "construction paths, since warnings are a parse-time-only, surface-syntax concept\n"
    "that doesn't apply once starting from already-structured data."
)

DOCS = {
    "to_dict": (
        "($self)",
        "The canonical tree as a Python dict (recursively converted from the same\n"
        "JSON representation used by `to_json`).",
    ),
    "to_json": ("($self)", "The canonical tree as a compact JSON string."),
    "to_battinfo": (
        "($self)",
        "The canonical tree exported as a BattINFO/EMMO-flavored JSON-LD dict. See\n"
        "`battinfo` for the design rationale (no authoritative BattINFO convention exists\n"
        "for a full electrolyte composition, so this defines a reasonable one).",
    ),
    "normalize": (
        "($self)",
        "Render the tree back to canonical shorthand text (may add disambiguating\n"
        "brackets not present in the original input; never loses information).",
    ),
    "from_dict": (
        "(dict)",
        "Construct a `Formulation` from a Python dict shaped like `to_dict()`'s output\n"
        '(e.g. `{"node_type": "compound", "name": "LiPF6", "kind": "salt"}`). Re-runs the\n'
        "same semantic validation that parsing text performs, so a hand-edited or\n"
        "externally-built dict that violates a domain invariant (e.g. two base terms in a\n"
        "Blend, or an `M` amount outside a Solution) is rejected here too, not silently\n"
        "accepted just because it deserializes structurally.",
    ),
    "from_json": (
        "(json)",
        "Construct a `Formulation` from a JSON string shaped like `to_json()`'s output.\n"
        "Same re-validation as `from_dict`.",
    ),
}

PARSE_DOC = (
    "Parse a formulation shorthand string into a validated canonical tree.\n"
    "Raises `kelmora.KelmoraError` on any parse or validation failure. Any non-fatal\n"
    "warnings (e.g. an unrecognized compound, or an unbracketed `in`/`+` mix) are both\n"
    "attached to the returned `Formulation.warnings` AND emitted through Python's\n"
    "standard `logging` module (logger name `\"kelmora\"`), so they're visible to callers\n"
    "who only skim logs/test output and never inspect the returned object."
)


class TestType:
    def test_names(self):
        assert Formulation.__module__ == "builtins"
        assert Formulation.__name__ == "Formulation"
        assert Formulation.__qualname__ == "Formulation"
        assert Formulation.__bases__ == (object,)

    def test_cannot_be_instantiated(self):
        with pytest.raises(TypeError) as caught:
            Formulation()
        assert "builtins.Formulation" in str(caught.value)

    def test_cannot_be_subclassed(self):
        with pytest.raises(TypeError):
            type("Derived", (Formulation,), {})

    def test_no_instance_dict_or_weak_references(self):
        import weakref

        f = parse("EC")
        assert not hasattr(f, "__dict__")
        with pytest.raises(AttributeError):
            f.extra = 1
        with pytest.raises(TypeError):
            weakref.ref(f)

    def test_type_object_is_not_frozen(self):
        Formulation.marker = 1
        try:
            assert parse("EC").marker == 1
        finally:
            del Formulation.marker

    def test_equality_and_hash_by_identity(self):
        a, b = parse("EC"), parse("EC")
        assert a == a and a != b
        assert hash(a) == object.__hash__(a)
        assert str(a) == repr(a)

    def test_members_in_order(self):
        names = [name for name in vars(Formulation) if not name.startswith("__")]
        assert names == ["to_dict", "to_json", "to_battinfo", "normalize", "from_dict", "from_json", "warnings"]
        assert isinstance(vars(Formulation)["from_dict"], staticmethod)
        assert isinstance(vars(Formulation)["from_json"], staticmethod)


class TestDocumentation:
    def test_class_doc(self):
        assert Formulation.__doc__ == CLASS_DOC
        assert Formulation.__text_signature__ is None

    @pytest.mark.parametrize("name", list(DOCS))
    def test_method_docs_and_signatures(self, name):
        signature, doc = DOCS[name]
        member = getattr(Formulation, name)
        assert member.__text_signature__ == signature
        assert member.__doc__ == doc

    def test_parse_doc_and_signature(self):
        assert parse.__text_signature__ == "(text)"
        assert parse.__doc__ == PARSE_DOC

    def test_warnings_property_has_no_doc(self):
        assert Formulation.warnings.__doc__ is None


class TestWarningsProperty:
    def test_each_read_is_a_new_list(self):
        f = parse("EC:Foo 1:1wt")
        first = f.warnings
        assert len(first) == 1
        first.append("changed")
        assert f.warnings == first[:1]
        assert f.warnings is not f.warnings

    def test_read_only(self):
        f = parse("EC")
        with pytest.raises(AttributeError):
            f.warnings = []
        with pytest.raises(AttributeError):
            del f.warnings

    def test_empty_for_data_paths(self):
        f = parse("1M LiPF6 in EC + 2wt% Foo")
        assert len(f.warnings) == 2
        assert Formulation.from_dict(f.to_dict()).warnings == []
        assert Formulation.from_json(f.to_json()).warnings == []


class TestOutputs:
    def test_to_dict_of_a_compound(self):
        d = parse("EC").to_dict()
        assert list(d) == ["kind", "name", "node_type"]
        assert d == {"kind": "solvent", "name": "EC", "node_type": "compound"}

    def test_to_dict_sorted_keys_and_floats(self):
        d = parse("1M LiPF6 in EC:DMC 3:7wt").to_dict()
        assert list(d) == ["node_type", "solute", "solute_amount", "solvent"]
        assert d["solute_amount"] == {"unit": "M", "value": 1.0}
        assert type(d["solute_amount"]["value"]) is float
        shares = [term["share"] for term in d["solvent"]["terms"]]
        assert shares == [3.0, 7.0] and all(type(s) is float for s in shares)

        def check(value):
            if isinstance(value, dict):
                assert list(value) == sorted(value)
                for v in value.values():
                    check(v)
            elif isinstance(value, list):
                for v in value:
                    check(v)

        check(d)

    def test_to_dict_is_a_new_object_each_time(self):
        f = parse("EC")
        a = f.to_dict()
        a["name"] = "changed"
        assert f.to_dict()["name"] == "EC"

    def test_to_json_matches_to_dict(self):
        f = parse("1M LiPF6 in EC:DMC 3:7wt + 2wt% VC")
        text = f.to_json()
        assert isinstance(text, str)
        assert " " not in text.replace("1M LiPF6", "")  # compact layout
        assert json.loads(text) == f.to_dict()
        assert text.startswith('{"node_type":"blend"')

    def test_normalize(self):
        assert parse("1 molar LiPF6 in EC:DMC 3:7 w").normalize() == "1M LiPF6 in EC:DMC 3:7wt"

    def test_to_battinfo_is_a_dict(self):
        doc = parse("1M LiPF6 in EC:DMC 3:7wt").to_battinfo()
        assert isinstance(doc, dict)
        assert "@context" in doc
        assert list(doc) == sorted(doc)

    def test_infinity_is_written_as_null(self):
        f = parse("1" + "0" * 400 + "M LiPF6 in EC")
        assert f.to_dict()["solute_amount"]["value"] is None
        assert '"value":null' in f.to_json()
        with pytest.raises(KelmoraError) as caught:
            Formulation.from_dict(f.to_dict())
        assert caught.value.args == ("invalid type: unit value, expected f64", "DeserializationError")
        with pytest.raises(KelmoraError) as caught:
            Formulation.from_json(f.to_json())
        assert caught.value.args[1] == "DeserializationError"


ROUND_TRIPS = [
    "EC",
    "1M LiPF6 in EC:DMC 3:7wt",
    "1M LiPF6 in EC:DMC 3:7wt + 2wt% VC",
    "(1M LiPF6 in EC) + 2wt% VC",
    "0.8m LiTFSI in DOL:DME 1:1vol + 1wt% LiNO3 + 0.5wt% Foo",
    "EC:DMC:EMC 1:1:1mol",
    "2wt% (1M LiPF6 in EC) + EC",
    "5wt% VC",
    "1.25M LiPF6 in (EC + 10vol% FEC)",
]


@pytest.mark.parametrize("text", ROUND_TRIPS)
def test_round_trips(text):
    f = parse(text)
    for again in (Formulation.from_dict(f.to_dict()), Formulation.from_json(f.to_json())):
        assert again.normalize() == f.normalize()
        assert again.to_dict() == f.to_dict()
        assert again.warnings == []


def test_from_dict_checks_the_tree():
    d = {
        "node_type": "blend",
        "terms": [
            {"node": {"node_type": "compound", "name": "EC", "kind": "solvent"}, "amount": None},
            {"node": {"node_type": "compound", "name": "DMC", "kind": "solvent"}},
        ],
    }
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_dict(d)
    assert caught.value.args[1] == "MultipleBaseBlendTerms"
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_json(json.dumps(d))
    assert caught.value.args[1] == "MultipleBaseBlendTerms"


def test_from_dict_keeps_names_and_kinds_as_written():
    f = Formulation.from_dict({"node_type": "compound", "name": "ec", "kind": "salt"})
    assert f.to_dict() == {"kind": "salt", "name": "ec", "node_type": "compound"}


@pytest.mark.parametrize("text", ["{", "", "[]", '{"node_type":"compound"}', "null"])
def test_from_json_failures_are_deserialization_errors(text):
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_json(text)
    message, kind = caught.value.args
    assert kind == "DeserializationError"
    assert message


def test_from_json_scan_errors_have_a_position():
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_json("{")
    assert " at line 1 column " in caught.value.args[0]
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_json('{"node_type":"compound","name":"EC"}')
    assert caught.value.args[0] == "missing field `kind`"


def test_nan_reaches_the_tree_from_dict():
    f = Formulation.from_dict(
        {
            "node_type": "ratio_mixture",
            "basis": "wt",
            "terms": [{"compound": {"name": "EC", "kind": "solvent"}, "share": math.nan}],
        }
    )
    assert f.to_dict()["terms"][0]["share"] is None


class TestRepresentation:
    def test_plain(self):
        f = parse("1M LiPF6 in EC:DMC 3:7wt")
        assert repr(f) == 'Formulation(normalize="1M LiPF6 in EC:DMC 3:7wt", warnings=[])'

    def test_warnings_listed(self):
        f = parse("EC:Foo 1:1wt")
        (warning,) = f.warnings
        assert repr(f) == f'Formulation(normalize="EC:Foo 1:1wt", warnings=["{warning}"])'

    def test_two_warnings_separated(self):
        f = parse("1M LiPF6 in EC + 2wt% Foo")
        first, second = f.warnings
        assert repr(f).endswith(f'warnings=["{first}", "{second}"])')

    @pytest.mark.parametrize(
        "name, shown",
        [
            ('a"b', 'a\\"b'),
            ("a\\b", "a\\\\b"),
            ("a\nb", "a\\nb"),
            ("a\tb\rc", "a\\tb\\rc"),
            ("a\x00b", "a\\0b"),
            ("it's", "it's"),
            ("a\x1bb\x7f", "a\\u{1b}b\\u{7f}"),
            ("\u00e9\u4e2d", "\u00e9\u4e2d"),
            ("e\u0301", "e\\u{301}"),
            ("a\u200bb", "a\\u{200b}b"),
            ("a\u00a0b", "a\\u{a0}b"),
            ("a\u2028b", "a\\u{2028}b"),
            ("\ue000", "\\u{e000}"),
            ("\U0001f600", "\U0001f600"),
        ],
    )
    def test_escapes(self, name, shown):
        f = Formulation.from_json(json.dumps({"node_type": "compound", "name": name, "kind": "solvent"}))
        assert f.normalize() == name
        assert repr(f) == f'Formulation(normalize="{shown}", warnings=[])'

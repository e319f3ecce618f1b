"""Reading a tree from Python objects (Formulation.from_dict)."""

import collections
import collections.abc
import dataclasses
import decimal
import enum
import fractions
import math
import sys
import types
import typing

import pytest

from kelmora import Formulation, KelmoraError


def compound(name="EC", kind="solvent"):
    return {"node_type": "compound", "name": name, "kind": kind}


def ratio(share, compound_value=None):
    return {
        "node_type": "ratio_mixture",
        "basis": "wt",
        "terms": [{"compound": compound_value or {"name": "EC", "kind": "solvent"}, "share": share}],
    }


def solution(solute=None, solvent=None, unit="M", value=1):
    return {
        "node_type": "solution",
        "solute": solute if solute is not None else compound("LiPF6", "salt"),
        "solvent": solvent if solvent is not None else compound(),
        "solute_amount": {"value": value, "unit": unit},
    }


def failure(data):
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_dict(data)
    message, kind = caught.value.args
    assert kind == "DeserializationError"
    return message


def read(data):
    return Formulation.from_dict(data).to_dict()


class TestTopLevel:
    def test_compound_in_any_order(self):
        expected = {"kind": "solvent", "name": "EC", "node_type": "compound"}
        assert read({"node_type": "compound", "name": "EC", "kind": "solvent"}) == expected
        assert read({"kind": "solvent", "name": "EC", "node_type": "compound"}) == expected
        assert read({"name": "EC", "node_type": "compound", "kind": "solvent"}) == expected

    @pytest.mark.parametrize(
        "data, message",
        [
            ({}, "missing field `node_type`"),
            ({"node_type": "compound", "name": "EC"}, "missing field `kind`"),
            ({"node_type": 1, "name": "EC", "kind": "solvent"}, "dict keys must have type str"),
            ({"node_type": None}, "dict keys must have type str"),
            ({"node_type": b"compound"}, "dict keys must have type str"),
            (
                {"node_type": "Compound"},
                "unknown variant `Compound`, expected one of `compound`, `ratio_mixture`, `solution`, `blend`",
            ),
            ({"node_type": "compound", b"node_type": "compound"}, "duplicate field `node_type`"),
            # The second tag fails before its value is looked at.
            ({b"node_type": "compound", "node_type": object()}, "duplicate field `node_type`"),
            ({True: 1, "node_type": "compound"}, "invalid type: boolean `true`, expected field identifier"),
            (
                {"node_type": "compound", 2**64: 1},
                "invalid type: integer `18446744073709551616` as u128, expected a type tag `node_type` or any other value",
            ),
            (
                {-(2**63) - 1: 1},
                "invalid type: integer `-9223372036854775809` as i128, expected a type tag `node_type` or any other value",
            ),
        ],
    )
    def test_failures(self, data, message):
        assert failure(data) == message

    def test_tag_as_bytes_key(self):
        assert read({b"node_type": "compound", "name": "EC", "kind": "solvent"})["name"] == "EC"

    def test_tag_as_str_enum(self):
        class Tag(enum.StrEnum):
            COMPOUND = "compound"

        assert read({"node_type": Tag.COMPOUND, "name": "EC", "kind": "solvent"})["name"] == "EC"

    def test_extra_keys_are_read_and_ignored(self):
        data = compound() | {"a": {1, 2, 3}, "b": bytearray(b"xy"), "c": [[1, [2]], (3,)], "d": frozenset()}
        assert read(data)["name"] == "EC"

    @pytest.mark.parametrize(
        "value, name",
        [
            (object(), "object"),
            (decimal.Decimal("1.5"), "Decimal"),
            (fractions.Fraction(1, 3), "Fraction"),
            (1j, "complex"),
            (len, "builtin_function_or_method"),
        ],
    )
    def test_unsupported_extra_value(self, value, name):
        assert failure(compound() | {"extra": value}) == f"unsupported type {name}"

    def test_conversion_errors_win_over_replay_errors(self):
        assert failure({"kind": 5, "node_type": "compound", "z": [object()]}) == "unsupported type object"

    def test_dict_subclass_reads_by_its_methods(self):
        class Reordered(dict):
            def keys(self):
                return list(reversed(list(super().keys())))

            def values(self):
                return list(reversed(list(super().values())))

        assert read(Reordered(compound()))["name"] == "EC"


class TestNames:
    @pytest.mark.parametrize(
        "name, message",
        [
            (None, "invalid type: unit value, expected a string"),
            (1.5, "invalid type: floating point `1.5`, expected a string"),
            (2.0, "invalid type: floating point `2.0`, expected a string"),
            (-0.0, "invalid type: floating point `-0.0`, expected a string"),
            (1e20, "invalid type: floating point `100000000000000000000.0`, expected a string"),
            (math.nan, "invalid type: floating point `NaN`, expected a string"),
            (math.inf, "invalid type: floating point `inf`, expected a string"),
            (-math.inf, "invalid type: floating point `-inf`, expected a string"),
            (7, "invalid type: integer `7`, expected a string"),
            (True, "invalid type: boolean `true`, expected a string"),
            ([], "invalid type: sequence, expected a string"),
            ({}, "invalid type: map, expected a string"),
            (b"\xff", "invalid value: byte array, expected a string"),
        ],
    )
    def test_failures(self, name, message):
        assert failure(compound(name)) == message

    def test_bytes_and_bytearray_names(self):
        assert read(compound(b"EC"))["name"] == "EC"

    def test_lone_surrogate(self):
        message = failure(compound("EC\udc80"))
        assert message.startswith("UnicodeEncodeError: 'utf-8' codec can't encode character '\\udc80'")

    def test_str_subclass_name(self):
        class Name(str):
            pass

        assert read(compound(Name("EC")))["name"] == "EC"


class TestNumbers:
    @pytest.mark.parametrize("share", [3, 3.0, True + 2, 255, 256, 2**32, 2**64 - 1, -1, -(2**63)])
    def test_integers_read_as_floats(self, share):
        value = read(ratio(share))["terms"][0]["share"]
        assert type(value) is float and value == float(share)

    def test_int_enum_member(self):
        class Share(enum.IntEnum):
            THREE = 3

        assert read(ratio(Share.THREE))["terms"][0]["share"] == 3.0

    def test_nan_passes_the_checks(self):
        assert read(ratio(math.nan))["terms"][0]["share"] is None

    @pytest.mark.parametrize(
        "share, message",
        [
            (True, "invalid type: boolean `true`, expected f64"),
            (None, "invalid type: unit value, expected f64"),
            ("3", 'invalid type: string "3", expected f64'),
            (2**64, "invalid type: integer `18446744073709551616` as u128, expected any value"),
            (2**128 - 1, f"invalid type: integer `{2**128 - 1}` as u128, expected any value"),
            (-(2**63) - 1, "invalid type: integer `-9223372036854775809` as i128, expected any value"),
            (-(2**127), f"invalid type: integer `{-(2**127)}` as i128, expected any value"),
            (2**128, "OverflowError: Python int larger than 128 bits"),
            (2**200, "OverflowError: Python int larger than 128 bits"),
            (-(2**127) - 1, "OverflowError: Python int larger than 128 bits"),
        ],
    )
    def test_failures(self, share, message):
        assert failure(ratio(share)) == message

    def test_float_subclass(self):
        class Share(float):
            pass

        assert read(ratio(Share(2.5)))["terms"][0]["share"] == 2.5


class TestEnumerations:
    def test_one_pair_dict_kind(self):
        assert read(compound(kind={"solvent": None}))["kind"] == "solvent"
        assert read(compound(kind={"salt": {}}))["kind"] == "salt"

    @pytest.mark.parametrize(
        "kind, message",
        [
            (b"solvent", "invalid type: byte array, expected string or map"),
            ({}, "invalid value: map, expected map with a single key"),
            ({"solvent": 1}, "invalid type: integer `1`, expected unit"),
            (5, "invalid type: integer `5`, expected string or map"),
            ("Solvent", "unknown variant `Solvent`, expected one of `salt`, `solvent`, `unknown`"),
        ],
    )
    def test_failures(self, kind, message):
        assert failure(compound(kind=kind)) == message

    def test_str_enum_unit(self):
        class Unit(enum.StrEnum):
            MOLAR = "M"

        assert read(solution(unit=Unit.MOLAR))["solute_amount"]["unit"] == "M"


class TestContainers:
    def test_blend_term_amount_none_or_missing(self):
        data = {
            "node_type": "blend",
            "terms": [
                {"node": compound(), "amount": None},
                {"node": compound("VC", "unknown"), "amount": {"value": 2, "unit": "wt%"}},
            ],
        }
        without = {"node_type": "blend", "terms": [{"node": compound()}, data["terms"][1]]}
        assert read(data) == read(without)
        assert read(data)["terms"][0]["amount"] is None

    def test_terms_as_tuple_keep_their_order(self):
        data = {
            "node_type": "blend",
            "terms": (
                {"node": compound(), "amount": None},
                {"node": compound("VC", "unknown"), "amount": {"value": 2, "unit": "wt%"}},
            ),
        }
        assert Formulation.from_dict(data).normalize() == "EC + 2wt% VC"

    @pytest.mark.parametrize("form", [list, tuple])
    def test_nested_node_as_sequence(self, form):
        assert read(solution(solvent=form(["compound", "EC", "solvent"])))["solvent"]["name"] == "EC"
        message = failure(solution(solvent=form(["compound", "EC"])))
        assert message == "invalid length 1, expected struct Compound with 2 elements"

    def test_terms_as_frozenset(self):
        data = {"node_type": "ratio_mixture", "basis": "wt", "terms": frozenset({(("EC", "solvent"), 1.5)})}
        assert read(data)["terms"] == [{"compound": {"kind": "solvent", "name": "EC"}, "share": 1.5}]

    def test_set_of_strings_is_read(self):
        assert read(compound() | {"extra": {"a", "b", "c"}})["name"] == "EC"

    @pytest.mark.parametrize(
        "tag, message",
        [
            (4, "invalid value: integer `4`, expected variant index 0 <= i < 4"),
            (300, "invalid type: integer `300`, expected variant identifier"),
            (2**32 - 1, f"invalid type: integer `{2**32 - 1}`, expected variant identifier"),
            (-1, "invalid type: integer `-1`, expected variant identifier"),
            (2**32, f"invalid value: integer `{2**32}`, expected variant index 0 <= i < 4"),
        ],
    )
    def test_nested_integer_tags(self, tag, message):
        solvent = {"node_type": tag, "name": "EC", "kind": "solvent"}
        assert failure(solution(solvent=solvent)) == message

    def test_nested_integer_tag_selects_the_variant(self):
        assert read(solution(solvent={"node_type": 0, "name": "EC", "kind": "solvent"}))["solvent"]["name"] == "EC"
        mixture = {"node_type": 1, "basis": "vol", "terms": []}
        assert read(solution(solvent=mixture))["solvent"]["node_type"] == "ratio_mixture"

    @pytest.mark.parametrize(
        "key, outcome",
        [
            (0, None),
            (255, None),
            (2**40, None),
            (1000, "invalid type: integer `1000`, expected field identifier"),
            (-1, "invalid type: integer `-1`, expected field identifier"),
            (None, "invalid type: unit value, expected field identifier"),
            (1.5, "invalid type: floating point `1.5`, expected field identifier"),
            ((1,), "invalid type: sequence, expected field identifier"),
        ],
    )
    def test_integer_and_other_keys_in_a_struct(self, key, outcome):
        # In a compound's dict the key 0 designates `name`; 255 and 2**40
        # designate no field and are skipped.
        data = {"node_type": "compound", "kind": "solvent", "name": "EC"}
        if key == 0:
            data = {"node_type": "compound", "kind": "solvent", 0: "EC"}
        else:
            data[key] = "ignored"
        if outcome is None:
            assert read(data)["name"] == "EC"
        else:
            assert failure(data) == outcome

    def test_ordered_dict_and_mapping_proxy(self):
        ordered = collections.OrderedDict(compound())
        proxy = types.MappingProxyType(compound("LiPF6", "salt"))
        assert read(solution(solute=proxy, solvent=ordered)) == read(solution())

    def test_abc_sequence_and_mapping(self):
        class Seq(collections.abc.Sequence):
            def __init__(self, items):
                self.items = items

            def __len__(self):
                return len(self.items)

            def __getitem__(self, index):
                return self.items[index]

        class Map(collections.abc.Mapping):
            def __init__(self, data):
                self.data = data

            def __len__(self):
                return len(self.data)

            def __iter__(self):
                return iter(self.data)

            def __getitem__(self, key):
                return self.data[key]

        data = solution(solute=Map(compound("LiPF6", "salt")), solvent=Seq(["compound", "EC", "solvent"]))
        assert read(data) == read(solution())

    def test_sequence_measured_twice(self):
        class Growing(collections.abc.Sequence):
            calls = 0

            def __len__(self):
                Growing.calls += 1
                return Growing.calls

            def __getitem__(self, index):
                raise AssertionError("not reached")

        assert failure(compound() | {"extra": Growing()}) == "expected sequence of length 1, got 2"

    def test_vanishing_element(self):
        class Short(collections.abc.Sequence):
            def __len__(self):
                return 3

            def __getitem__(self, index):
                if index >= 1:
                    raise IndexError("gone")
                return 1

        assert failure(compound() | {"extra": Short()}) == "IndexError: gone"

    def test_mapping_with_fewer_keys_than_its_size(self):
        class Lying(dict):
            def keys(self):
                return ["node_type"]

        # PyMapping_Size is the dict's own size.
        assert failure(Lying(compound())).startswith("IndexError: ")

    @staticmethod
    def mapping_whose_keys_raise(error):
        class Broken(collections.abc.Mapping):
            def __len__(self):
                return 1

            def __iter__(self):
                return iter(())

            def __getitem__(self, key):
                raise KeyError(key)

            def keys(self):
                raise error

        return Broken()

    def test_exception_display(self):
        broken = self.mapping_whose_keys_raise(ValueError("no keys"))
        assert failure(compound() | {"extra": broken}) == "ValueError: no keys"

    def test_exception_whose_str_fails(self):
        class Odd(Exception):
            def __str__(self):
                raise RuntimeError("no text")

        message = failure(compound() | {"extra": self.mapping_whose_keys_raise(Odd())})
        assert message == "TestContainers.test_exception_whose_str_fails.<locals>.Odd: <exception str() failed>"

    def test_raising_isinstance_is_reported_and_false(self):
        class Evil:
            @property
            def __class__(self):
                raise RuntimeError("no class")

        seen = []
        old_hook = sys.unraisablehook
        sys.unraisablehook = lambda report: seen.append(report)
        try:
            message = failure(compound() | {"extra": Evil()})
        finally:
            sys.unraisablehook = old_hook
        assert message.startswith("unsupported type ")
        assert len(seen) == 2
        assert all(isinstance(report.exc_value, RuntimeError) for report in seen)


class TestDataclasses:
    @dataclasses.dataclass
    class Node:
        node_type: str
        name: str
        kind: str

    @dataclasses.dataclass(slots=True)
    class SlotNode:
        node_type: str
        name: str
        kind: str

    def test_instance_reads_like_a_dict(self):
        data = solution(solute=self.Node("compound", "LiPF6", "salt"))
        assert read(data) == read(solution())

    def test_slots_fail_with_attribute_error(self):
        message = failure(solution(solute=self.SlotNode("compound", "LiPF6", "salt")))
        assert message.startswith("AttributeError: ")
        assert "__dict__" in message

    def test_class_object(self):
        message = failure(solution(solute=self.Node))
        assert message == "unexpected type: 'mappingproxy' object is not an instance of 'dict'"

    def test_class_variable_field_fails_with_key_error(self):
        @dataclasses.dataclass
        class WithClassVar:
            node_type: str
            name: str
            kind: str
            note: typing.ClassVar[str] = "shared"

        message = failure(solution(solute=WithClassVar("compound", "LiPF6", "salt")))
        assert message == "KeyError: 'note'"

    @pytest.mark.parametrize("key", [(1,), (), (1, 2)])
    def test_missing_tuple_field_shows_the_key_repr(self, key):
        class Fake:
            __dataclass_fields__ = {key: None}

        assert failure(compound() | {"extra": Fake()}) == f"KeyError: {key!r}"

    def test_fields_that_are_not_a_dict(self):
        class Fake:
            __dataclass_fields__ = ["name"]

        assert failure(compound() | {"extra": Fake()}) == (
            "unexpected type: 'list' object is not an instance of 'dict'"
        )

    def test_top_level_dict_subclass_dataclass(self):
        @dataclasses.dataclass
        class Top(dict):
            node_type: str
            name: str
            kind: str

        assert read(Top("compound", "EC", "solvent"))["name"] == "EC"

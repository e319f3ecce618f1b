"""Nesting limits: deep and self-containing data, deep trees, small stacks."""

import collections.abc
import dataclasses
import threading
import types

import pytest

from kelmora import Formulation, KelmoraError, parse


def compound(name="EC"):
    return {"node_type": "compound", "name": name, "kind": "solvent"}


def nested_lists(depth):
    value = 1
    for _ in range(depth):
        value = [value]
    return value


def deserialization_error(data):
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_dict(data)
    return caught.value.args


def bracket_chain(depth):
    text = "EC"
    for _ in range(depth):
        text = f"2wt% VC + 1M LiPF6 in ({text})"
    return text


def self_containing():
    listed = []
    listed.append(listed)
    mapped = compound()
    mapped["self"] = mapped
    chained = compound()
    chained["a"] = [{"b": (chained,)}]
    return [compound() | {"extra": listed}, mapped, chained]


def check_limits():
    # The top-level dict is the first level, so 511 lists inside it still read.
    assert Formulation.from_dict(compound() | {"extra": nested_lists(511)}).normalize() == "EC"
    assert deserialization_error(compound() | {"extra": nested_lists(512)}) == (
        "recursion limit exceeded",
        "DeserializationError",
    )
    for data in self_containing():
        assert deserialization_error(data) == ("recursion limit exceeded", "DeserializationError")
    f = parse(bracket_chain(64))
    assert Formulation.from_dict(f.to_dict()).to_dict() == f.to_dict()
    return f


def test_limits():
    check_limits()


def test_every_kind_of_container_counts():
    class Seq(collections.abc.Sequence):
        def __init__(self, inner):
            self.inner = inner

        def __len__(self):
            return 1

        def __getitem__(self, index):
            if index:
                raise IndexError(index)
            return self.inner

    @dataclasses.dataclass
    class Box:
        inner: object

    makers = [
        lambda inner: [inner],
        lambda inner: (inner,),
        lambda inner: {"k": inner},
        lambda inner: Seq(inner),
        lambda inner: Box(inner),
        lambda inner: types.MappingProxyType({"k": inner}),
    ]
    value = frozenset({1})
    for level in range(510):
        value = makers[level % len(makers)](value)
    assert Formulation.from_dict(compound() | {"extra": value}).normalize() == "EC"
    assert deserialization_error(compound() | {"extra": [value]})[0] == "recursion limit exceeded"


def test_deep_tree_round_trips_as_dict_not_as_json():
    f = parse(bracket_chain(64))
    again = Formulation.from_dict(f.to_dict())
    assert again.normalize() == f.normalize()
    with pytest.raises(KelmoraError) as caught:
        Formulation.from_json(f.to_json())
    message, kind = caught.value.args
    assert kind == "DeserializationError"
    assert message.startswith("recursion limit exceeded at line 1 column ")


def test_limits_hold_on_a_small_thread_stack():
    outcome = []

    def work():
        try:
            f = check_limits()
            f.to_json()
            f.normalize()
            f.to_battinfo()
            repr(f)
            outcome.append("ok")
        except BaseException as error:  # reported by the main thread
            outcome.append(error)

    old = threading.stack_size(256 * 1024)
    try:
        thread = threading.Thread(target=work)
        thread.start()
        thread.join()
    finally:
        threading.stack_size(old)
    assert outcome == ["ok"]


def test_huge_announced_length_reserves_little():
    class Huge(collections.abc.Sequence):
        def __len__(self):
            return 2**62

        def __getitem__(self, index):
            raise IndexError("nothing here")

    assert deserialization_error(compound() | {"extra": Huge()})[0] == "IndexError: nothing here"


def test_deepest_accepted_solution_chain_on_a_small_thread_stack(python_run):
    # Every level a solution whose solvent is the next: 511 nested dicts, the
    # most the reader accepts, all of them replayed into the tree.
    result = python_run(
        """
        import threading
        from kelmora import Formulation

        data = {"node_type": "compound", "name": "EC", "kind": "solvent"}
        for _ in range(511):
            data = {
                "node_type": "solution",
                "solute": {"node_type": "compound", "name": "LiPF6", "kind": "salt"},
                "solvent": data,
                "solute_amount": {"value": 1, "unit": "M"},
            }
        outcome = []
        threading.stack_size(256 * 1024)
        thread = threading.Thread(target=lambda: outcome.append(Formulation.from_dict(data).to_dict() == data))
        thread.start()
        thread.join()
        print(outcome)
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "[True]"

"""Repeated calls, failing ones included, leak neither references nor memory."""

import collections
import gc
import sys
import tracemalloc
import types

import pytest

from kelmora import Formulation, KelmoraError, parse

TEXT = "1M LiPF6 in EC:DMC 3:7wt + 2wt% Foo"
DATA = parse(TEXT).to_dict()
JSON = parse(TEXT).to_json()


class Dataclassy:
    __dataclass_fields__ = {"node_type": None, "name": None, "kind": None}

    def __init__(self):
        self.node_type, self.name, self.kind = "compound", "EC", "solvent"


def calls():
    f = parse(TEXT)
    odd = {
        "node_type": "compound",
        "name": b"EC",
        "kind": {"solvent": None},
        "x": [{1, 2}, (3.5, None), bytearray(b"z"), types.MappingProxyType({"a": 1})],
        "y": collections.OrderedDict(b=[True]),
    }
    yield lambda: parse(TEXT)
    yield lambda: parse(text=TEXT)
    yield f.to_dict
    yield f.to_json
    yield f.to_battinfo
    yield f.normalize
    yield lambda: f.warnings
    yield lambda: repr(f)
    yield lambda: Formulation.from_dict(DATA)
    yield lambda: Formulation.from_dict(odd)
    yield lambda: Formulation.from_dict({"node_type": "solution", "solute": Dataclassy(), "solvent": Dataclassy(),
                                         "solute_amount": {"value": 1, "unit": "M"}})
    yield lambda: Formulation.from_json(JSON)
    yield lambda: Formulation.from_json(json=JSON)
    # Failing calls.
    yield lambda: parse("EC + DMC")
    yield lambda: parse("1M LiPF6 in (")
    yield lambda: parse(5)
    yield lambda: parse()
    yield lambda: parse("a", "b")
    yield lambda: parse(txt="a")
    yield lambda: parse("EC\udc80")
    yield lambda: Formulation.from_dict([])
    yield lambda: Formulation.from_dict({})
    yield lambda: Formulation.from_dict(DATA | {"extra": object()})
    yield lambda: Formulation.from_dict(DATA | {"extra": 2**200})
    yield lambda: Formulation.from_dict(DATA | {"extra": 2**64})
    yield lambda: Formulation.from_dict({"node_type": "compound", "name": "EC\udc80", "kind": "salt"})
    yield lambda: Formulation.from_dict({"node_type": "blend", "terms": [{"node": DATA}, {"node": DATA}]})
    yield lambda: Formulation.from_dict({"node_type": "compound", "name": None, "kind": "salt"})
    yield lambda: Formulation.from_json("{")
    yield lambda: Formulation.from_json('{"node_type":"compound","name":"EC"}')


def run(call):
    try:
        call()
    except (KelmoraError, TypeError, UnicodeEncodeError):
        pass


@pytest.fixture(autouse=True)
def quiet_logging():
    import logging

    logger = logging.getLogger("kelmora")
    logger.disabled = True
    try:
        yield
    finally:
        logger.disabled = False


def test_inputs_keep_their_reference_counts():
    deep = DATA | {"extra": [DATA, (DATA,), {"k": DATA}]}
    objects = [TEXT, JSON, DATA, deep, DATA["terms"], DATA["terms"][0]]
    gc.collect()
    before = [sys.getrefcount(o) for o in objects]
    for _ in range(200):
        parse(TEXT)
        Formulation.from_json(JSON)
        Formulation.from_dict(DATA)
        Formulation.from_dict(deep)
        run(lambda: Formulation.from_dict(deep | {"z": object()}))
    gc.collect()
    assert [sys.getrefcount(o) for o in objects] == before


def count_held_in_a_local(make):
    result = make()
    return sys.getrefcount(result)


def test_results_are_owned_by_the_caller_alone():
    # What getrefcount reports for an object held by one local name differs
    # between interpreters, so a new object made in Python is held the same
    # way for comparison.
    alone = count_held_in_a_local(lambda: [TEXT])
    f = parse(TEXT)
    makers = (f.to_dict, f.to_battinfo, lambda: f.warnings, f.to_json, f.normalize, lambda: repr(f),
              lambda: parse(TEXT), lambda: Formulation.from_dict(DATA), lambda: Formulation.from_json(JSON))
    assert [count_held_in_a_local(make) for make in makers] == [alone] * len(makers)


def test_no_memory_growth():
    batches = list(calls())
    for call in batches:  # warm every cache first
        for _ in range(20):
            run(call)
    gc.collect()
    tracemalloc.start()
    try:
        for call in batches:
            run(call)
        gc.collect()
        first, _ = tracemalloc.get_traced_memory()
        for call in batches:
            for _ in range(300):
                run(call)
        gc.collect()
        second, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # 300 rounds of 30 calls: a leak of even one small object per call
    # would show as hundreds of kilobytes.
    assert second - first < 64 * 1024


def test_no_native_memory_growth():
    # The trees and warnings live in the library's own memory, which
    # tracemalloc does not see: the resident size must stay flat instead.
    def resident_kib():
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[1]) * 4

    batches = list(calls())
    for _ in range(3):
        for call in batches:
            for _ in range(200):
                run(call)
    gc.collect()
    before = resident_kib()
    for _ in range(5):
        for call in batches:
            for _ in range(200):
                run(call)
    gc.collect()
    # 30000 calls: leaking a tree (a few hundred bytes) each time would add
    # more than 10 MiB.
    assert resident_kib() - before < 4 * 1024

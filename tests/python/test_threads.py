"""Calls from many threads at once, without the GIL."""

import threading

from kelmora import Formulation, KelmoraError, parse

THREADS = 8
ROUNDS = 200
TEXTS = [
    "1M LiPF6 in EC:DMC 3:7wt",
    "1M LiPF6 in EC:DMC 3:7wt + 2wt% VC",
    "0.8m LiTFSI in DOL:DME 1:1vol + 1wt% LiNO3 + 0.5wt% Foo",
    "2wt% (1M LiPF6 in EC) + EC",
]


def results(f):
    return (f.normalize(), f.to_json(), f.to_dict(), f.to_battinfo(), f.warnings, repr(f))


def run_threads(work):
    barrier = threading.Barrier(THREADS)
    failures = []

    def body(index):
        try:
            barrier.wait()
            work(index)
        except BaseException as error:  # collected and reported below
            failures.append(error)

    threads = [threading.Thread(target=body, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == []


def test_every_operation_from_eight_threads():
    shared = [parse(text) for text in TEXTS]
    expected = [results(f) for f in shared]

    def work(index):
        for round_ in range(ROUNDS):
            k = (index + round_) % len(TEXTS)
            # The shared object, read by every thread at once.
            assert results(shared[k]) == expected[k]
            # A separate object per call, made three ways.
            own = parse(TEXTS[k])
            assert results(own) == expected[k]
            from_dict = Formulation.from_dict(expected[k][2])
            assert results(from_dict)[:4] == expected[k][:4]
            from_json = Formulation.from_json(expected[k][1])
            assert results(from_json)[:4] == expected[k][:4]
            assert from_dict.warnings == from_json.warnings == []
            try:
                parse("EC + DMC")
            except KelmoraError as error:
                assert error.args[1] == "MultipleBaseBlendTerms"
            else:
                raise AssertionError("no error")

    run_threads(work)


def test_first_import_first_error_and_first_reading_at_once(python_run):
    result = python_run(
        """
        import sys
        import threading
        import types

        count = 8
        barrier = threading.Barrier(count)
        seen = []

        def body():
            barrier.wait()
            import kelmora._core as core
            try:
                core.Formulation.from_json("{")
            except core.KelmoraError as error:
                seen.append((core, core.KelmoraError, core.Formulation, type(error), error.args[1]))
            # The first reading of a mapping that is not a dict makes the
            # reader's own one-time objects, here in every thread at once.
            solvent = types.MappingProxyType({"node_type": "compound", "name": "EC", "kind": "solvent"})
            data = {
                "node_type": "solution",
                "solute": {"node_type": "compound", "name": "LiPF6", "kind": "salt"},
                "solvent": solvent,
                "solute_amount": {"value": 1, "unit": "M"},
            }
            assert core.Formulation.from_dict(data).normalize() == "1M LiPF6 in EC"

        threads = [threading.Thread(target=body) for _ in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert len(seen) == count, seen
        assert len({id(entry[1]) for entry in seen}) == 1
        assert len({id(entry[2]) for entry in seen}) == 1
        assert all(entry[3] is entry[1] and entry[4] == "DeserializationError" for entry in seen)
        assert not sys._is_gil_enabled()
        print("ok")
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "ok"

"""Small thread stacks: every call completes or raises, the process never
overflows its stack, whatever the nesting of the data the readers accept."""

import pytest

# Runs in a fresh interpreter, so that an overflow shows as a signal and not
# as the end of the test run. Prints one JSON line: for each case and road,
# what the call gave in a thread of the stack size given in argv.
ROADS = r"""
import json, logging, sys, threading
from kelmora import Formulation, KelmoraError, parse

logging.disable(logging.CRITICAL)  # the bracket chain warns once a level


def compound(name, kind):
    return {"node_type": "compound", "name": name, "kind": kind}


def solution_chain(levels):
    data = compound("EC", "solvent")
    for _ in range(levels):
        data = {"node_type": "solution", "solute": compound("LiPF6", "salt"), "solvent": data,
                "solute_amount": {"value": 1, "unit": "M"}}
    return data


def blend_chain(levels):
    data = compound("EC", "solvent")
    for _ in range(levels):
        data = {"node_type": "blend", "terms": [
            {"node": data, "amount": None},
            {"node": compound("VC", "solvent"), "amount": {"value": 2, "unit": "wt%"}}]}
    return data


def bracket_chain(depth):
    text = "EC"
    for _ in range(depth):
        text = f"2wt% VC + 1M LiPF6 in ({text})"
    return text


# The deepest data each reader accepts: 511 solutions (512 levels of dicts),
# 170 blends (510 containers), 126 solutions as JSON (127 levels) and 64
# brackets of shorthand.
DATA = {"solutions": solution_chain(511), "blends": blend_chain(170)}
JSON = {"json": json.dumps(solution_chain(126))}
TEXT = {"brackets": bracket_chain(64)}


def made_in_a_thread_that_ended():
    # An object is released by the thread that made it while that thread
    # lives; once it has ended, by the thread that drops the last reference.
    made = {}

    def make():
        made.update({name: Formulation.from_dict(data) for name, data in DATA.items()})
        made.update({name: Formulation.from_json(text) for name, text in JSON.items()})
        made.update({name: parse(text) for name, text in TEXT.items()})

    small = threading.stack_size(0)
    thread = threading.Thread(target=make)
    thread.start()
    thread.join()
    threading.stack_size(small)
    assert len(made) == 4
    return made


MADE = made_in_a_thread_that_ended()

ROADS = {
    "to_dict": lambda f: f.to_dict(),
    "to_json": lambda f: f.to_json(),
    "normalize": lambda f: f.normalize(),
    "to_battinfo": lambda f: f.to_battinfo(),
    "repr": repr,
}


def attempt(call):
    try:
        return ["ok", call()]
    except (RecursionError, KelmoraError) as error:
        return [type(error).__name__, list(error.args)]


def work(out, made):
    for name, data in DATA.items():
        out[name, "from_dict"] = attempt(lambda: Formulation.from_dict(data).normalize())
    for name, text in JSON.items():
        out[name, "from_json"] = attempt(lambda: Formulation.from_json(text).normalize())
    for name, text in TEXT.items():
        out[name, "parse"] = attempt(lambda: parse(text).normalize())
    for name, f in made.items():
        for road, call in ROADS.items():
            out[name, road] = attempt(lambda: call(f))
    # The last references to the trees go in this thread.
    del f
    made.clear()
    out["all", "deallocation"] = ["ok", None]


def deallocate_where_the_stack_is_short(dropped):
    # Each level enters the interpreter's loop again through a C call, so the
    # stack fills up to the interpreter's own limit (the count of Python
    # frames is lifted out of the way); the handler then drops the last
    # reference, with almost no stack left.
    sys.setrecursionlimit(1_000_000)

    def dive():
        try:
            list(map(lambda _: dive(), [0]))
        except RecursionError:
            dropped.clear()
    dive()


expected = {(name, road): ["ok", call(f)] for name, f in MADE.items() for road, call in ROADS.items()}
expected |= {(name, "from_dict"): ["ok", MADE[name].normalize()] for name in DATA}
expected |= {(name, "from_json"): ["ok", MADE[name].normalize()] for name in JSON}
expected |= {(name, "parse"): ["ok", MADE[name].normalize()] for name in TEXT}
expected["all", "deallocation"] = ["ok", None]

threading.stack_size(int(sys.argv[1]) * 1024)
out = {}
thread = threading.Thread(target=work, args=(out, MADE))
thread.start()
thread.join()
short = made_in_a_thread_that_ended()
thread = threading.Thread(target=deallocate_where_the_stack_is_short, args=(short,))
thread.start()
thread.join()
out["all", "deallocation where the stack is short"] = ["ok", len(short)]
expected["all", "deallocation where the stack is short"] = ["ok", 0]

report = {}
for key, outcome in out.items():
    if outcome == expected[key]:
        outcome = ["ok"]
    report[" ".join(key)] = outcome
print(json.dumps(report))
"""

STOPPED = {
    "from_dict": ["KelmoraError", ["recursion limit exceeded", "DeserializationError"]],
    "from_json": ["KelmoraError", ["recursion limit exceeded", "DeserializationError"]],
}
DEFAULT_STOP = ["RecursionError", ["recursion limit exceeded"]]


def run_roads(python_run, stack_kib):
    import json

    result = python_run(f"import sys; sys.argv = ['-', '{stack_kib}']\n" + ROADS)
    assert result.returncode == 0, result.stderr[-2000:]
    return json.loads(result.stdout)


@pytest.mark.parametrize("stack_kib", [128, 256])
def test_every_road_completes_or_raises_on_a_small_stack(python_run, stack_kib):
    report = run_roads(python_run, stack_kib)
    assert len(report) == 4 * 5 + 2 + 1 + 1 + 2
    for key, outcome in report.items():
        road = key.split(" ", 1)[1]
        # A call that completes gives what it gives on the main thread.
        assert outcome in (["ok"], STOPPED.get(road, DEFAULT_STOP)), (key, outcome)
    if stack_kib == 256:
        # Room enough for the deepest data read from a dict and back.
        assert report["solutions from_dict"] == report["solutions to_dict"] == ["ok"]


def test_an_ordinary_stack_completes_every_road(python_run):
    report = run_roads(python_run, 8 * 1024)
    assert set(map(tuple, report.values())) == {("ok",)}

"""Warnings of a parse are logged through the logger "kelmora"."""

import logging

import pytest

from kelmora import parse

UNKNOWN = (
    "compound '{}' is not recognized in the registry; its kind is being treated as unknown, "
    "so kind-based validation (e.g. ratio same-kind checks) is skipped for it"
)
MIXING = (
    "'{}' mixes 'in' and '+' without brackets around the 'in' expression; by default 'in' binds "
    "tighter than '+' (as if parenthesized). Add explicit parentheses to make this unambiguous."
)


class Recorder(logging.Handler):
    def __init__(self):
        super().__init__(logging.DEBUG)
        self.records = []

    def emit(self, record):
        self.records.append(record)


@pytest.fixture
def recorder():
    logger = logging.getLogger("kelmora")
    handler = Recorder()
    logger.addHandler(handler)
    try:
        yield handler
    finally:
        logger.removeHandler(handler)


def test_each_warning_logged_once_in_order(recorder):
    f = parse("1M LiPF6 in Foo + 2wt% Foo")
    expected = [UNKNOWN.format("Foo"), MIXING.format("1M LiPF6 in Foo"), UNKNOWN.format("Foo")]
    assert f.warnings == expected
    assert [r.getMessage() for r in recorder.records] == expected
    assert all(r.levelno == logging.WARNING and r.name == "kelmora" for r in recorder.records)
    # The text is logged as the message itself, with no format arguments.
    assert all(r.args == () and r.msg == r.getMessage() for r in recorder.records)


def test_no_record_without_warnings(recorder):
    parse("1M LiPF6 in EC:DMC 3:7wt")
    assert recorder.records == []


def test_failed_parse_logs_nothing(recorder):
    with pytest.raises(Exception):
        parse("Foo + Bar")
    assert recorder.records == []


def test_a_raising_handler_does_not_stop_parse(recorder):
    class Raising(logging.Handler):
        def emit(self, record):
            raise RuntimeError("handler failed")

    logger = logging.getLogger("kelmora")
    raising = Raising()
    logger.addHandler(raising)
    # Put the raising handler first so it fails before the recorder sees anything.
    logger.handlers.insert(0, logger.handlers.pop())
    try:
        f = parse("Foo + 2wt% Bar")
    finally:
        logger.removeHandler(raising)
    assert f.normalize() == "Foo + 2wt% Bar"
    assert len(f.warnings) == 2
    # Each warning's own call fails, and the loop goes on with the next one.
    assert recorder.records == []


def test_a_failing_get_logger_is_swallowed():
    def broken(name=None):
        raise RuntimeError("no logger")

    original = logging.getLogger
    logging.getLogger = broken
    try:
        f = parse("EC:Foo 1:1wt")
    finally:
        logging.getLogger = original
    assert f.warnings == [UNKNOWN.format("Foo")]


def test_logging_is_imported_only_for_warnings(python_run):
    result = python_run(
        """
        import sys
        import kelmora
        f = kelmora.parse("1M LiPF6 in EC:DMC 3:7wt")
        print("logging" in sys.modules)
        f = kelmora.parse("EC:Foo 1:1wt")
        print("logging" in sys.modules)
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["False", "True"]

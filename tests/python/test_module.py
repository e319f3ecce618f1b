"""The module object, its exports and the exception type."""

import importlib
import sys

import pytest

import kelmora
from kelmora import _core


def test_all_and_doc():
    assert _core.__all__ == ["parse", "Formulation", "KelmoraError"]
    assert _core.__doc__ == ""
    assert kelmora.parse is _core.parse
    assert kelmora.Formulation is _core.Formulation
    assert kelmora.KelmoraError is _core.KelmoraError


def test_runs_without_the_gil():
    assert sys._is_gil_enabled() is False


def test_kelmora_error_type():
    error = _core.KelmoraError
    assert error.__module__ == "kelmora"
    assert error.__name__ == "KelmoraError"
    assert error.__qualname__ == "KelmoraError"
    assert error.__doc__ is None
    assert issubclass(error, Exception)
    assert error.__bases__ == (Exception,)


def test_parse_is_bound_to_the_module():
    assert _core.parse.__self__ is _core
    assert _core.parse.__module__ == "kelmora._core"
    assert _core.parse.__name__ == "parse"


def test_reimport_gives_the_same_type_objects():
    first = sys.modules.pop("kelmora._core")
    try:
        second = importlib.import_module("kelmora._core")
        assert second is not first
        assert second.KelmoraError is first.KelmoraError
        assert second.Formulation is first.Formulation
        assert second.__all__ == ["parse", "Formulation", "KelmoraError"]
        # An object made through one module object is an instance of the other's class.
        assert isinstance(second.parse("EC"), first.Formulation)
    finally:
        sys.modules["kelmora._core"] = first


@pytest.mark.parametrize(
    "text, kind",
    [
        ("1M LiPF6 in", "ParseError"),
        ("1M LiPF6", "SolutionRelativeUnitOutsideSolution"),
        ("LiPF6 in EC", "MissingSoluteAmount"),
        ("EC:LiPF6 1:1wt", "IncompatibleRatioKinds"),
        ("EC:DMC 1:2:3wt", "RatioShareCountMismatch"),
        ("EC:DMC 3:7", "MissingUnits"),
        ("EC + DMC", "MultipleBaseBlendTerms"),
    ],
)
def test_library_errors_carry_message_and_kind(text, kind):
    with pytest.raises(Exception) as caught:
        _core.parse(text)
    error = caught.value
    assert type(error) is _core.KelmoraError
    message, error_kind = error.args
    assert error_kind == kind
    assert isinstance(message, str) and message
    assert str(error) == str((message, kind))
    # Nothing but the two arguments is set on it.
    assert error.__cause__ is None
    assert not hasattr(error, "__notes__")
    assert vars(error) == {}


@pytest.mark.parametrize(
    "call",
    [
        lambda: _core.parse("EC + DMC"),
        lambda: _core.Formulation.from_dict({}),
        lambda: _core.Formulation.from_json("{"),
    ],
)
def test_raised_while_handling_another_it_chains_onto_it(call):
    try:
        try:
            raise ValueError("first")
        except ValueError:
            call()
    except _core.KelmoraError as error:
        assert type(error.__context__) is ValueError
        assert error.__cause__ is None
        assert error.__suppress_context__ is False
    else:
        pytest.fail("no error raised")


def test_a_legacy_subinterpreter_cannot_load_it(python_run):
    # The module's process-wide objects belong to the main interpreter; a
    # sub-interpreter that loaded it would leave them pointing into itself.
    result = python_run(
        """
        import _interpreters, types
        from kelmora import Formulation

        READ = "Formulation.from_dict(dict(node_type='compound', name='EC', kind='solvent', x=types.MappingProxyType({})))"
        interpreter = _interpreters.create(_interpreters.new_config("legacy"))
        failure = _interpreters.exec(interpreter, "import types; from kelmora import Formulation; " + READ)
        _interpreters.destroy(interpreter)
        print(failure.type.__name__, failure.msg)
        print(eval(READ).normalize())
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "ImportError module kelmora._core does not support loading in subinterpreters",
        "EC",
    ]
    assert result.stderr == ""


def test_an_exception_handler_catches_it():
    try:
        _core.parse("EC:DMC 3:7")
    except Exception as error:  # noqa: BLE001 - the point of the test
        assert error.args[1] == "MissingUnits"
    else:
        pytest.fail("no error raised")


def test_multiple_base_blend_terms_message_has_the_count():
    with pytest.raises(_core.KelmoraError) as caught:
        _core.parse("EC + DMC")
    assert "2" in caught.value.args[0]

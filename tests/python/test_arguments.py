"""Argument checks of parse, from_dict and from_json: counts, keywords, types."""

import pytest

from kelmora import Formulation, parse

CALLABLES = [
    (parse, "parse()", "text", "EC"),
    (Formulation.from_dict, "Formulation.from_dict()", "dict",
     {"node_type": "compound", "name": "EC", "kind": "solvent"}),
    (Formulation.from_json, "Formulation.from_json()", "json",
     '{"node_type":"compound","name":"EC","kind":"solvent"}'),
]


def raised(call):
    with pytest.raises(TypeError) as caught:
        call()
    return caught.value


@pytest.mark.parametrize("function, name, parameter, good", CALLABLES)
def test_count_and_keyword_errors_carry_no_note(function, name, parameter, good):
    cases = [
        (lambda: function(), f"{name} missing 1 required positional argument: '{parameter}'"),
        (lambda: function(good, good), f"{name} takes 1 positional arguments but 2 were given"),
        (lambda: function(good, good, good), f"{name} takes 1 positional arguments but 3 were given"),
        (lambda: function(txt=good), f"{name} got an unexpected keyword argument 'txt'"),
        (lambda: function(good, **{parameter: good}), f"{name} got multiple values for argument '{parameter}'"),
        # The keywords are checked in the order given.
        (lambda: function(**{parameter: good, "zzz": 1}), f"{name} got an unexpected keyword argument 'zzz'"),
    ]
    for call, text in cases:
        error = raised(call)
        assert str(error) == text
        assert not hasattr(error, "__notes__")


@pytest.mark.parametrize("function, name, parameter, good", CALLABLES)
def test_argument_by_keyword(function, name, parameter, good):
    assert isinstance(function(**{parameter: good}), Formulation)


@pytest.mark.parametrize(
    "function, value, text, note",
    [
        (parse, 5, "'int' object is not an instance of 'str'", "while processing 'text'"),
        (parse, None, "'None' is not an instance of 'str'", "while processing 'text'"),
        (parse, b"EC", "'bytes' object is not an instance of 'str'", "while processing 'text'"),
        (Formulation.from_json, 1.5, "'float' object is not an instance of 'str'", "while processing 'json'"),
        (Formulation.from_json, None, "'None' is not an instance of 'str'", "while processing 'json'"),
        (Formulation.from_dict, [], "'list' object is not an instance of 'dict'", "while processing 'dict'"),
        (Formulation.from_dict, None, "'None' is not an instance of 'dict'", "while processing 'dict'"),
        (Formulation.from_dict, "x", "'str' object is not an instance of 'dict'", "while processing 'dict'"),
    ],
)
def test_type_mismatch_has_the_note(function, value, text, note):
    error = raised(lambda: function(value))
    assert type(error) is TypeError
    assert str(error) == text
    assert error.__notes__ == [note]


def test_type_name_is_the_qualified_name():
    class Outer:
        class Inner:
            pass

    error = raised(lambda: parse(Outer.Inner()))
    assert str(error) == "'test_type_name_is_the_qualified_name.<locals>.Outer.Inner' object is not an instance of 'str'"


def test_other_mappings_are_refused_by_from_dict():
    import types

    proxy = types.MappingProxyType({"node_type": "compound", "name": "EC", "kind": "solvent"})
    error = raised(lambda: Formulation.from_dict(proxy))
    assert str(error) == "'mappingproxy' object is not an instance of 'dict'"


def test_subclasses_are_accepted():
    class Text(str):
        pass

    class Data(dict):
        pass

    assert parse(Text("EC")).normalize() == "EC"
    assert Formulation.from_json(Text('{"node_type":"compound","name":"EC","kind":"solvent"}')).normalize() == "EC"
    assert Formulation.from_dict(Data(node_type="compound", name="EC", kind="solvent")).normalize() == "EC"


@pytest.mark.parametrize("function, parameter", [(parse, "text"), (Formulation.from_json, "json")])
def test_lone_surrogate_text_fails_with_unicode_encode_error(function, parameter):
    with pytest.raises(UnicodeEncodeError) as caught:
        function("EC\udc80")
    assert caught.value.__notes__ == [f"while processing '{parameter}'"]


def test_methods_without_arguments_refuse_arguments():
    f = parse("EC")
    for method in (f.to_dict, f.to_json, f.to_battinfo, f.normalize):
        with pytest.raises(TypeError):
            method(1)
        with pytest.raises(TypeError):
            method(x=1)


def test_static_methods_work_on_instances():
    f = parse("EC")
    assert f.from_json(f.to_json()).normalize() == "EC"
    assert f.from_dict(f.to_dict()).normalize() == "EC"

"""Battery-electrolyte formulation shorthand: parse, check and rewrite it."""

from kelmora._core import Formulation, KelmoraError, parse

__all__ = ["parse", "Formulation", "KelmoraError"]

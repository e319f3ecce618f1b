// The benchmark corpus: formulations of the shapes people write, generated
// from a fixed seed so that every run measures the same texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelmora::bench {

// `count` formulations of everyday shape: a salt in a solvent or a solvent
// mixture, with additives, brackets, names in another case and now and
// then a name the table does not know.
std::vector<std::string> everyday_formulations(std::size_t count, std::uint64_t seed);

// A few large ones: a mixture of hundreds of solvents, a solution with
// hundreds of additives, and solutions nested as deep as the brackets go
// while the JSON text still reads back.
std::vector<std::string> large_formulations();

// Names for the registry benchmark, as written in the table, in another case
// than the table's, and names the table does not know.
std::vector<std::string> known_names();
std::vector<std::string> names_in_another_case();
std::vector<std::string> unknown_names();

}  // namespace kelmora::bench

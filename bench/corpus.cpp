#include "corpus.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>
#include <string_view>

namespace kelmora::bench {

namespace {

// splitmix64: the same numbers under every compiler and standard library,
// which the distributions of <random> do not promise.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    template <class List>
    std::string_view pick(const List& list) {
        return list[below(list.size())];
    }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 14> salts = {
    "LiPF6", "LiPF6", "LiPF6", "LiFSI", "LiTFSI", "LiBF4", "LiClO4",
    "LiBOB", "LiDFOB", "NaPF6", "NaFSI", "NaClO4", "KPF6", "Zn(OTf)2",
};
constexpr std::array<std::string_view, 16> solvents = {
    "EC", "EC", "DMC", "DMC", "EMC", "EMC", "DEC", "PC", "FEC", "DME", "DOL", "4Glyme", "2Glyme", "GBL", "MeCN",
    "TwoMeTHF",
};
constexpr std::array<std::string_view, 10> additives = {
    "VC", "VC", "FEC", "LiBOB", "LiDFOB", "LiPO2F2", "LiNO3", "VEC", "TMSPI", "SA",
};
// Widely used names that the table does not hold, one list per role.
constexpr std::array<std::string_view, 2> unlisted_salts = {"LiAsF6", "LiTDI"};
constexpr std::array<std::string_view, 3> unlisted_solvents = {"TTE", "BTFE", "HFE"};
constexpr std::array<std::string_view, 4> unlisted_additives = {"PS", "DTD", "PES", "TMSP"};

constexpr std::array<std::string_view, 8> concentrations = {"1", "1", "1", "1.2", "0.8", "1.5", "2", "0.5"};
constexpr std::array<std::string_view, 7> percents = {"1", "2", "2", "3", "5", "10", "0.5"};
constexpr std::array<std::string_view, 3> bases = {"wt", "vol", "mol"};
constexpr std::array<std::string_view, 3> percent_units = {"wt%", "wt%", "vol%"};

std::string lower(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string upper(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

class Writer {
public:
    explicit Writer(Random& random) : random_(random) {}

    // One name for a role, now and then one the table does not know or one
    // written in another case; never one of `taken`, so that a mixture or an
    // additive list names each compound once.
    template <class Listed, class Unlisted>
    std::string name(const Listed& listed, const Unlisted& unlisted, std::vector<std::string_view>& taken) {
        const bool unknown = random_.chance(2);
        std::string_view chosen;
        do {
            chosen = unknown ? random_.pick(unlisted) : random_.pick(listed);
        } while (std::find(taken.begin(), taken.end(), chosen) != taken.end());
        taken.push_back(chosen);
        if (!unknown && random_.chance(5)) return lower(chosen);
        return std::string(chosen);
    }

    std::string salt() {
        std::vector<std::string_view> taken;
        return name(salts, unlisted_salts, taken);
    }
    std::string solvent() {
        std::vector<std::string_view> taken;
        return name(solvents, unlisted_solvents, taken);
    }

    std::string solvent_mixture() {
        const std::size_t count = 1 + random_.below(3);
        if (count == 1) return solvent();
        std::vector<std::string_view> taken;
        std::string names;
        std::string shares;
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0) {
                names += ':';
                shares += ':';
            }
            names += name(solvents, unlisted_solvents, taken);
            shares += std::to_string(1 + random_.below(9));
        }
        return names + " " + shares + std::string(random_.pick(bases));
    }

    std::string salt_solution() {
        const std::string_view unit = random_.chance(10) ? "m" : "M";
        return std::string(random_.pick(concentrations)) + std::string(unit) + " " + salt() +
               " in " + solvent_mixture();
    }

    std::string additive_terms() {
        std::vector<std::string_view> taken;
        std::string out;
        const std::size_t count = 1 + random_.below(3);
        for (std::size_t i = 0; i < count; ++i) {
            out += " + " + std::string(random_.pick(percents)) + std::string(random_.pick(percent_units)) + " " +
                   name(additives, unlisted_additives, taken);
        }
        return out;
    }

    std::string formulation() {
        const std::size_t shape = random_.below(100);
        if (shape < 35) return salt_solution();
        if (shape < 65) return salt_solution() + additive_terms();
        if (shape < 77) {
            // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on
            // a literal plus a temporary string.
            std::string out(1, '(');
            out += salt_solution();
            out += ')';
            out += additive_terms();
            return out;
        }
        if (shape < 89) {
            return std::string(random_.pick(concentrations)) + "M " + salt() + " in (" +
                   solvent_mixture() + additive_terms() + ")";
        }
        if (shape < 95) return solvent_mixture() + additive_terms();
        std::vector<std::string_view> taken;
        std::string base = name(solvents, unlisted_solvents, taken);
        std::string first = name(solvents, unlisted_solvents, taken);
        std::string second = name(solvents, unlisted_solvents, taken);
        return base + " + " + std::string(random_.pick(percents)) + "wt% (" + first + ":" + second + " 1:1vol)";
    }

private:
    Random& random_;
};

}  // namespace

std::vector<std::string> everyday_formulations(std::size_t count, std::uint64_t seed) {
    Random random(seed);
    Writer writer(random);
    std::vector<std::string> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) out.push_back(writer.formulation());
    return out;
}

std::vector<std::string> large_formulations() {
    std::vector<std::string> out;

    // 400 solvents mixed by ratio.
    std::string names;
    std::string shares;
    for (std::size_t i = 0; i < 400; ++i) {
        if (i != 0) {
            names += ':';
            shares += ':';
        }
        names += solvents[i % solvents.size()];
        shares += std::to_string(1 + i % 9);
    }
    out.push_back("1M LiPF6 in " + names + " " + shares + "wt");

    // A solution with 400 additives.
    std::string blend = "(1M LiPF6 in EC:DMC 3:7wt)";
    for (std::size_t i = 0; i < 400; ++i) {
        blend += " + " + std::string(percents[i % percents.size()]) + "wt% " +
                 std::string(additives[i % additives.size()]);
    }
    out.push_back(blend);

    // Solutions nested 60 brackets deep: one JSON level each, so the text
    // stays within what the JSON reader reads back.
    std::string nested;
    for (std::size_t i = 0; i < 60; ++i) nested += "1M " + std::string(salts[i % salts.size()]) + " in (";
    nested += "EC:DMC 1:1wt";
    nested += std::string(60, ')');
    out.push_back(nested);

    return out;
}

std::vector<std::string> known_names() {
    std::vector<std::string> out;
    for (auto list : {std::span<const std::string_view>(salts), std::span<const std::string_view>(solvents),
                      std::span<const std::string_view>(additives)}) {
        for (std::string_view name : list) out.emplace_back(name);
    }
    return out;
}

std::vector<std::string> names_in_another_case() {
    std::vector<std::string> out;
    std::size_t i = 0;
    for (const std::string& name : known_names()) {
        std::string other = i++ % 2 == 0 ? lower(name) : upper(name);
        if (other == name) other = lower(name);
        out.push_back(std::move(other));
    }
    return out;
}

std::vector<std::string> unknown_names() {
    std::vector<std::string> out;
    // As many as the known list, so both loops make the same number of calls.
    const std::size_t count = known_names().size();
    std::vector<std::string_view> unlisted;
    for (auto list : {std::span<const std::string_view>(unlisted_salts),
                      std::span<const std::string_view>(unlisted_solvents),
                      std::span<const std::string_view>(unlisted_additives)}) {
        for (std::string_view name : list) unlisted.push_back(name);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::string name(unlisted[i % unlisted.size()]);
        if (i >= unlisted.size()) name += std::to_string(i);
        out.push_back(std::move(name));
    }
    return out;
}

}  // namespace kelmora::bench

// The direct reader of the compound-table format: one JSON object from key to
// record, read in one pass without buffering. Records come as objects or as
// arrays of four; every error carries the position where reading stopped.
#include <optional>
#include <string>
#include <utility>

#include "json_scanner.hpp"
#include "kelmora/content.hpp"
#include "kelmora/registry.hpp"

namespace kelmora {

namespace {

using json::Scan;
using json::Syntax;

class TableReader {
public:
    explicit TableReader(std::string_view text) noexcept : sc_(text) {}

    Scan<CompoundTable> read_table() {
        auto first = sc_.begin_value();
        if (!first) return std::unexpected(std::move(first.error()));
        if (*first != '{') return std::unexpected(invalid_type("a map"));
        sc_.advance();
        if (auto entered = sc_.enter(); !entered) return std::unexpected(std::move(entered.error()));

        CompoundTable table;
        for (bool first_key = true;; first_key = false) {
            auto more = sc_.next_key(first_key);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) break;
            auto key = sc_.parse_string();
            if (!key) return std::unexpected(std::move(key.error()));
            std::string name(key->text);
            if (auto colon = sc_.parse_colon(); !colon) return std::unexpected(std::move(colon.error()));
            auto record = read_record();
            if (!record) return std::unexpected(std::move(record.error()));
            // A key given twice keeps its last record.
            table.insert_or_assign(std::move(name), std::move(*record));
        }
        sc_.leave();
        if (auto finished = sc_.finish(); !finished) return std::unexpected(std::move(finished.error()));
        return table;
    }

private:
    // Reads the value at the cursor to say what it is: "invalid type: {},
    // expected {}", positioned after what was read (at the bracket of an
    // array or object, which stays unread).
    ReadError invalid_type(std::string_view expected) {
        auto found = scalar_or_shape();
        if (!found) return std::move(found.error());
        return sc_.error_at(invalid_type_message(*found, expected, ValueStyle::Json), sc_.offset());
    }

    Scan<Content> scalar_or_shape() {
        auto literal = [&](std::string_view word, Content value) -> Scan<Content> {
            if (auto read = sc_.parse_literal(word); !read) return std::unexpected(std::move(read.error()));
            return value;
        };
        auto start = sc_.begin_value();
        if (!start) return std::unexpected(std::move(start.error()));
        switch (*start) {
            case 'n': return literal("null", Content::null());
            case 't': return literal("true", Content(true));
            case 'f': return literal("false", Content(false));
            case '[': return Content(Content::Array{});
            case '{': return Content(Content::Object{});
            case '"': {
                auto text = sc_.parse_string();
                if (!text) return std::unexpected(std::move(text.error()));
                return Content::borrowed_string(text->text);
            }
            default: {
                auto number = sc_.parse_number();
                if (!number) return std::unexpected(std::move(number.error()));
                switch (number->kind) {
                    case json::ScannedNumber::Kind::Unsigned: return Content(number->u);
                    case json::ScannedNumber::Kind::Signed: return Content(number->i);
                    case json::ScannedNumber::Kind::Float: break;
                }
                return Content(number->f);
            }
        }
    }

    Scan<CompoundInfo> read_record() {
        auto first = sc_.begin_value();
        if (!first) return std::unexpected(std::move(first.error()));
        if (*first != '{' && *first != '[') return std::unexpected(invalid_type("struct CompoundInfo"));
        sc_.advance();
        if (auto entered = sc_.enter(); !entered) return std::unexpected(std::move(entered.error()));
        auto record = *first == '{' ? read_record_object() : read_record_array();
        if (record) sc_.leave();
        return record;
    }

    Scan<CompoundInfo> read_record_object() {
        std::optional<CompoundKind> kind;
        std::optional<std::optional<std::string>> emmo_iri;
        std::optional<std::optional<std::string>> pref_label;
        std::optional<std::string> label;
        for (bool first = true;; first = false) {
            auto more = sc_.next_key(first);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) break;
            auto key = sc_.parse_string();
            if (!key) return std::unexpected(std::move(key.error()));
            const std::string_view name = key->text;
            const bool is_kind = name == "kind";
            const bool is_iri = name == "emmo_iri";
            const bool is_pref = name == "pref_label";
            const bool is_label = name == "kelmora_pref_label";
            // A repeated field is refused at once, before its colon, positioned
            // after the key and any whitespace that follows it.
            if ((is_kind && kind) || (is_iri && emmo_iri) || (is_pref && pref_label) || (is_label && label)) {
                std::string message = duplicate_field_message(name);
                sc_.skip_whitespace();
                return std::unexpected(sc_.error_at(std::move(message), sc_.offset()));
            }
            if (auto colon = sc_.parse_colon(); !colon) return std::unexpected(std::move(colon.error()));
            if (is_kind) {
                auto value = read_kind();
                if (!value) return std::unexpected(std::move(value.error()));
                kind = *value;
            } else if (is_iri || is_pref) {
                auto value = read_optional_string();
                if (!value) return std::unexpected(std::move(value.error()));
                (is_iri ? emmo_iri : pref_label) = std::move(*value);
            } else if (is_label) {
                auto value = read_string();
                if (!value) return std::unexpected(std::move(value.error()));
                label = std::move(*value);
            } else if (auto skipped = sc_.skip_value(); !skipped) {
                return std::unexpected(std::move(skipped.error()));
            }
        }
        // Missing fields are reported just after the closing brace.
        const std::size_t closing = sc_.offset();
        if (!kind) return std::unexpected(sc_.error_at(missing_field_message("kind"), closing));
        if (!label) return std::unexpected(sc_.error_at(missing_field_message("kelmora_pref_label"), closing));
        return CompoundInfo{*kind, emmo_iri.value_or(std::nullopt), pref_label.value_or(std::nullopt),
                            std::move(*label)};
    }

    Scan<CompoundInfo> read_record_array() {
        CompoundInfo record;
        for (int index = 0; index < 4; ++index) {
            auto more = sc_.next_element(index == 0);
            if (!more) return std::unexpected(std::move(more.error()));
            if (!*more) {
                // Reported just after the closing bracket.
                return std::unexpected(sc_.error_at("invalid length " + std::to_string(index) +
                                                        ", expected struct CompoundInfo with 4 elements",
                                                    sc_.offset()));
            }
            Scan<void> read;
            switch (index) {
                case 0: read = store(read_kind(), record.kind); break;
                case 1: read = store(read_optional_string(), record.emmo_iri); break;
                case 2: read = store(read_optional_string(), record.pref_label); break;
                default: read = store(read_string(), record.kelmora_pref_label); break;
            }
            if (!read) return std::unexpected(std::move(read.error()));
        }
        // After the fourth element only the closing bracket may follow.
        switch (sc_.peek()) {
            case ']': sc_.advance(); return record;
            case ',':
                sc_.advance();
                if (sc_.peek() == ']') return std::unexpected(sc_.error_after_next(Syntax::TrailingComma));
                return std::unexpected(sc_.error_after_next(Syntax::TrailingCharacters));
            case -1: return std::unexpected(sc_.error_at(Syntax::EofWhileParsingList, sc_.offset()));
            default: return std::unexpected(sc_.error_after_next(Syntax::TrailingCharacters));
        }
    }

    template <class T>
    static Scan<void> store(Scan<T> value, T& into) {
        if (!value) return std::unexpected(std::move(value.error()));
        into = std::move(*value);
        return {};
    }

    // "salt", "solvent" or "unknown", or an object whose one member is named
    // after the kind and holds null.
    Scan<CompoundKind> read_kind() {
        const int c = sc_.peek();
        if (c == '"') return read_kind_name();
        if (c < 0) return std::unexpected(sc_.error_at(Syntax::EofWhileParsingValue, sc_.offset()));
        if (c != '{') return std::unexpected(sc_.error_after_next(Syntax::ExpectedValue));

        sc_.advance();
        if (auto entered = sc_.enter(); !entered) return std::unexpected(std::move(entered.error()));
        const int name_start = sc_.peek();
        if (name_start < 0) return std::unexpected(sc_.error_at(Syntax::EofWhileParsingValue, sc_.offset()));
        if (name_start != '"') return std::unexpected(invalid_type("variant identifier"));
        auto kind = read_kind_name();
        if (!kind) return kind;
        if (auto colon = sc_.parse_colon(); !colon) return std::unexpected(std::move(colon.error()));
        const int value = sc_.peek();
        if (value < 0) return std::unexpected(sc_.error_at(Syntax::EofWhileParsingValue, sc_.offset()));
        if (value != 'n') return std::unexpected(invalid_type("unit"));
        if (auto null = sc_.parse_literal("null"); !null) return std::unexpected(std::move(null.error()));
        // Anything but the closing brace is refused where it stands.
        const int end = sc_.peek();
        if (end < 0) return std::unexpected(sc_.error_at(Syntax::EofWhileParsingObject, sc_.offset()));
        if (end != '}') return std::unexpected(sc_.error_at(Syntax::ExpectedValue, sc_.offset()));
        sc_.advance();
        sc_.leave();
        return kind;
    }

    Scan<CompoundKind> read_kind_name() {
        auto name = sc_.parse_string();
        if (!name) return std::unexpected(std::move(name.error()));
        if (name->text == "salt") return CompoundKind::Salt;
        if (name->text == "solvent") return CompoundKind::Solvent;
        if (name->text == "unknown") return CompoundKind::Unknown;
        return std::unexpected(sc_.error_at(
            "unknown variant `" + std::string(name->text) + "`, expected one of `salt`, `solvent`, `unknown`",
            sc_.offset()));
    }

    Scan<std::string> read_string() {
        const int c = sc_.peek();
        if (c < 0) return std::unexpected(sc_.error_at(Syntax::EofWhileParsingValue, sc_.offset()));
        if (c != '"') return std::unexpected(invalid_type("a string"));
        auto text = sc_.parse_string();
        if (!text) return std::unexpected(std::move(text.error()));
        return std::string(text->text);
    }

    // A string, or null for absent.
    Scan<std::optional<std::string>> read_optional_string() {
        if (sc_.peek() == 'n') {
            if (auto null = sc_.parse_literal("null"); !null) return std::unexpected(std::move(null.error()));
            return std::optional<std::string>();
        }
        auto text = read_string();
        if (!text) return std::unexpected(std::move(text.error()));
        return std::optional<std::string>(std::move(*text));
    }

    json::Scanner sc_;
};

}  // namespace

std::expected<CompoundTable, ReadError> read_compound_table(std::string_view text) {
    return TableReader(text).read_table();
}

}  // namespace kelmora

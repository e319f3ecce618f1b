# Turns registry_data.json into a C++ source that holds its bytes, so the
# library carries the table and reads no file at run time.
# Usage: cmake -DINPUT=registry_data.json -DOUTPUT=registry_data.cpp -P embed_table.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
# Sixteen bytes a line, each written as 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
       "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from registry_data.json by embed_table.cmake; do not edit.
#include \"kelmora/registry.hpp\"

namespace {
constexpr unsigned char table_bytes[${size}] = {
${bytes}};
}  // namespace

std::string_view kelmora::embedded_compound_table() noexcept {
    return {reinterpret_cast<const char*>(table_bytes), ${size}};
}
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")

# Script mode: writes a C++ source holding the skins as stored byte-sets, one after the other.
#   cmake -DOUTPUT=<file.cpp> -DSKINS="<file1>;<file2>;..." -P EmbedSkins.cmake
set(body "")
set(offsets "")
set(offset 0)
string(REPLACE "|" ";" SKINS "${SKINS}")
foreach(skin ${SKINS})
  file(READ ${skin} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  # Stored byte-set layout: u32 dimension count 1, u32 length, then the bytes.
  math(EXPR b0 "${size} & 255")
  math(EXPR b1 "(${size} >> 8) & 255")
  math(EXPR b2 "(${size} >> 16) & 255")
  math(EXPR b3 "(${size} >> 24) & 255")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "1,0,0,0,${b0},${b1},${b2},${b3},\n${bytes}\n")
  list(APPEND offsets ${offset})
  math(EXPR offset "${offset} + 8 + ${size}")
endforeach()
string(REPLACE ";" ", " offsets "${offsets}")
file(WRITE ${OUTPUT} "// Generated from resources/skins by cmake/EmbedSkins.cmake; do not edit.
#include \"app/skin_data.h\"

namespace wavlon::app {
namespace {
const std::uint8_t kBytes[] = {
${body}};
const std::size_t kOffsets[] = {${offsets}};
}  // namespace

std::span<const std::uint8_t> stored_skin(int number) {
    if (number < 1 || number > static_cast<int>(std::size(kOffsets))) {
        return {};
    }
    std::size_t begin = kOffsets[number - 1];
    std::size_t end = number < static_cast<int>(std::size(kOffsets)) ? kOffsets[number] : sizeof kBytes;
    return {kBytes + begin, end - begin};
}

int stored_skin_count() { return static_cast<int>(std::size(kOffsets)); }

}  // namespace wavlon::app
")

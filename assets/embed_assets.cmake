# Writes a C++ source holding the bytes of the given asset files and the lookup `assetBytes`.
#   cmake -DASSET_DIR=<dir> -DASSET_FILES=<a.jpg|b.bmp|...> -DOUTPUT=<file.cpp> -P embed_assets.cmake
string(REPLACE "|" ";" files "${ASSET_FILES}")
list(SORT files)
string(REPEAT "." 64 line)  # 32 bytes per line of the output

set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS files)
  file(READ "${ASSET_DIR}/${name}" hex HEX)
  if(hex STREQUAL "")
    string(APPEND table "    {\"${name}\", {}},\n")
  else()
    string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "const std::uint8_t asset${index}[] = {\n${bytes}};\n")
    string(APPEND table "    {\"${name}\", asset${index}},\n")
  endif()
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}" "// Generated at build time from the files of assets/; do not edit.
#include \"assets/embedded_assets.h\"

namespace kirune {
namespace {

${arrays}
struct Asset {
  std::string_view file;
  std::span<const std::uint8_t> bytes;
};

// Sorted by file name.
const Asset assets[] = {
${table}    {\"\", {}},  // keeps the table non-empty while assets/ has no pictures
};

}  // namespace

std::span<const std::uint8_t> assetBytes(std::string_view file) {
  for (const Asset& asset : assets) {
    if (!asset.file.empty() && asset.file == file) {
      return asset.bytes;
    }
  }
  return {};
}

std::vector<std::string_view> assetFiles() {
  std::vector<std::string_view> files;
  for (const Asset& asset : assets) {
    if (!asset.file.empty()) {
      files.push_back(asset.file);
    }
  }
  return files;
}

}  // namespace kirune
")

#include "server/http_text.h"

#include <cstdint>

namespace kirune::serve {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool decode(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= in.size()) return false;
      const int hi = hexDigit(in[i + 1]);
      const int lo = hexDigit(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  return true;
}

constexpr char kHex[] = "0123456789ABCDEF";

void appendEscaped(std::string& out, unsigned char c) {
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

}  // namespace

bool validUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int length = 0;
    std::uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(length) > n) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char t = s[i + static_cast<std::size_t>(k)];
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

expected<Params, std::string> parseForm(std::string_view text) {
  Params params;
  std::string name;
  std::string value;
  while (!text.empty()) {
    const std::size_t amp = text.find('&');
    const std::string_view pair = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    const std::string_view rawName = pair.substr(0, eq);
    const std::string_view rawValue = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
    std::string decodedName;
    std::string decodedValue;
    if (!decode(rawName, decodedName) || !decode(rawValue, decodedValue))
      return unexpected(std::string("% の書き方が正しくない設定があります"));
    if (!validUtf8(decodedName) || !validUtf8(decodedValue))
      return unexpected(std::string("文字が正しくない設定があります（UTF-8 で送ってください）"));
    params.emplace_back(std::move(decodedName), std::move(decodedValue));
  }
  return params;
}

std::string extValue(std::string_view value) {
  std::string out = "UTF-8''";
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    // attr-char: letters, digits and a few marks go as they are; everything else is escaped.
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '!' || c == '#' || c == '$' || c == '&' || c == '+' || c == '-' || c == '.' ||
                       c == '^' || c == '_' || c == '`' || c == '|' || c == '~';
    if (plain) {
      out += ch;
    } else {
      appendEscaped(out, c);
    }
  }
  return out;
}

std::string logSafe(std::string_view text, std::size_t limit) {
  std::string out;
  // Japanese stays readable where the whole text is UTF-8; raw bytes are escaped.
  const bool utf8 = validUtf8(text);
  for (const char ch : text) {
    if (out.size() >= limit) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8) || c == '"' || c == '\\') {
      appendEscaped(out, c);
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace kirune::serve

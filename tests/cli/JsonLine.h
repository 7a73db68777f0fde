// A strict reader of the JSON lines `vantel match --format json` writes: one
// object of keys and scalar values (strings, numbers, null, true, false) a
// line, as RFC 8259 has them, with strings of valid UTF-8 only. Small and
// plain on purpose: it checks the writer, so it shares none of its code.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace vantel::cli::testing {

// A value as its text: a string's decoded UTF-8, or a number's, null's,
// true's or false's own spelling.
using JsonObject = std::vector<std::pair<std::string, std::string>>;

class JsonLineParser {
 public:
  explicit JsonLineParser(std::string_view line) : text_(line) {}

  // The object the line holds, or nothing when the line is not exactly one.
  std::optional<JsonObject> Parse() {
    JsonObject object;
    if (!Take('{')) return std::nullopt;
    if (!Take('}')) {
      do {
        std::string key, value;
        if (!String(key) || !Take(':') || !Value(value)) return std::nullopt;
        object.emplace_back(std::move(key), std::move(value));
      } while (Take(','));
      if (!Take('}')) return std::nullopt;
    }
    SkipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return object;
  }

 private:
  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
  }
  bool Take(char c) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word, std::string& value) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    value = word;
    return true;
  }
  static bool Digit(char c) { return c >= '0' && c <= '9'; }
  bool Number(std::string& value) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ >= text_.size() || !Digit(text_[at_])) return false;
    if (text_[at_] == '0') {
      ++at_;
    } else {
      while (at_ < text_.size() && Digit(text_[at_])) ++at_;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (at_ >= text_.size() || !Digit(text_[at_])) return false;
      while (at_ < text_.size() && Digit(text_[at_])) ++at_;
    }
    value = text_.substr(start, at_ - start);
    return true;
  }
  bool Value(std::string& value) {
    SkipSpace();
    if (at_ >= text_.size()) return false;
    if (text_[at_] == '"') return String(value);
    return Word("null", value) || Word("true", value) || Word("false", value) || Number(value);
  }
  static void Append(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  bool String(std::string& value) {
    if (!Take('"')) return false;
    value.clear();
    for (;;) {
      if (at_ >= text_.size()) return false;
      const char c = text_[at_++];
      if (c == '"') break;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escaped = text_[at_++];
      switch (escaped) {
        case '"': value += '"'; break;
        case '\\': value += '\\'; break;
        case '/': value += '/'; break;
        case 'b': value += '\b'; break;
        case 'f': value += '\f'; break;
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        case 't': value += '\t'; break;
        case 'u': {
          if (at_ + 4 > text_.size()) return false;
          unsigned code = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            code <<= 4;
            if (Digit(h)) {
              code |= static_cast<unsigned>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
              code |= static_cast<unsigned>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
              code |= static_cast<unsigned>(h - 'A' + 10);
            } else {
              return false;
            }
          }
          if (code >= 0xD800 && code <= 0xDFFF) return false;  // the writer has no use for surrogate pairs
          Append(value, code);
          break;
        }
        default: return false;
      }
    }
    try {
      Utf8ToUtf16(value);
    } catch (const InvalidUtf8&) {
      return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

inline std::optional<JsonObject> ParseJsonLine(std::string_view line) { return JsonLineParser(line).Parse(); }

}  // namespace vantel::cli::testing

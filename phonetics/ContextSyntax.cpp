// Recursive descent over the context text, one character of lookahead. A
// sequence ends at the end of the text, at '|' or at ')', which only a group
// may consume; a quantifier is taken only right after a bracket class, so
// one found anywhere else is outside the dialect. Nesting is capped, so that
// neither this parser nor the automaton builder, which recurses over the
// same tree, can exhaust the stack.

#include "ContextSyntax.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace vantel::phonetics {
namespace {

constexpr bool IsAsciiLetter(char16_t c) noexcept { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  std::optional<ContextSequence> Parse() {
    ContextSequence root;
    // ParseSequence stops at '|' or ')', neither of which may stand at the top.
    if (!ParseSequence(0, root) || pos_ != text_.size()) return std::nullopt;
    return root;
  }

 private:
  bool ParseSequence(std::size_t depth, ContextSequence& out) {
    while (pos_ < text_.size()) {
      const char16_t c = text_[pos_];
      switch (c) {
        case u'|':
        case u')': return true;
        case u'(':
          if (!ParseGroup(depth, out)) return false;
          break;
        case u'[':
          if (!ParseClass(out)) return false;
          break;
        case u'^':
        case u'$': {
          ContextElement anchor;
          anchor.kind = c == u'^' ? ContextElement::Kind::kBegin : ContextElement::Kind::kEnd;
          out.push_back(std::move(anchor));
          ++pos_;
          break;
        }
        // A quantifier reaching this point follows something other than a
        // bracket class, or another quantifier.
        case u'+':
        case u'*':
        case u'?':
        case u'{':
        case u'}':
        case u'.':
        case u'\\':
        case u']': return false;
        default: {
          ContextElement literal;
          literal.chars.Add(c);
          out.push_back(std::move(literal));
          ++pos_;
          break;
        }
      }
    }
    return true;
  }

  bool ParseGroup(std::size_t depth, ContextSequence& out) {
    if (depth >= kMaxContextNesting) return false;
    ++pos_;  // '('
    ContextElement group;
    group.kind = ContextElement::Kind::kGroup;
    for (;;) {
      ContextSequence alternative;
      if (!ParseSequence(depth + 1, alternative)) return false;
      group.alternatives.push_back(std::move(alternative));
      if (pos_ == text_.size()) return false;  // unclosed
      if (text_[pos_++] == u')') break;        // otherwise '|': another alternative
    }
    out.push_back(std::move(group));
    return true;
  }

  bool ParseClass(ContextSequence& out) {
    ++pos_;  // '['
    ContextElement element;
    std::size_t count = 0;
    for (;; ++pos_, ++count) {
      if (pos_ == text_.size()) return false;
      const char16_t c = text_[pos_];
      if (c == u']') break;
      // Ranges, negation, escapes and nested brackets are not part of the dialect.
      if (c == u'-' || c == u'^' || c == u'\\' || c == u'[') return false;
      element.chars.Add(c);
    }
    if (count == 0) return false;
    ++pos_;  // ']'
    if (pos_ < text_.size() && (text_[pos_] == u'+' || text_[pos_] == u'*')) element.quantifier = text_[pos_++];
    out.push_back(std::move(element));
    return true;
  }

  std::u16string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

void CharSet::Add(char16_t c) {
  if (c < 128) {
    ascii_[c >> 6] |= std::uint64_t{1} << (c & 63);
    if (IsAsciiLetter(c)) {
      const auto other = static_cast<char16_t>(c ^ 0x20);
      ascii_[other >> 6] |= std::uint64_t{1} << (other & 63);
    }
    return;
  }
  const auto at = std::lower_bound(others_.begin(), others_.end(), c);
  if (at == others_.end() || *at != c) others_.insert(at, c);
}

bool CharSet::Contains(char16_t c) const noexcept {
  if (c < 128) return ((ascii_[c >> 6] >> (c & 63)) & 1U) != 0;
  return std::binary_search(others_.begin(), others_.end(), c);
}

std::optional<ContextSequence> ParseContext(std::u16string_view text) { return Parser(text).Parse(); }

ContextSequence LiteralThen(std::u16string_view letters, ContextSequence then) {
  ContextSequence sequence;
  sequence.reserve(letters.size() + then.size());
  for (const char16_t c : letters) {
    ContextElement literal;
    literal.chars.Add(c);
    sequence.push_back(std::move(literal));
  }
  std::move(then.begin(), then.end(), std::back_inserter(sequence));
  return sequence;
}

}  // namespace vantel::phonetics

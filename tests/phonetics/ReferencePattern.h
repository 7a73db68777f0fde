// A slow and obviously correct matcher of the rule contexts' dialect, kept
// in the tests to check the automata against: its own parser, and a
// backtracking search that tries every way a pattern can match. Literal
// characters and class members equal either case of an ASCII letter; "^" and
// "$" hold only at the start and the end of the whole subject.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantel::phonetics::testing {

class ReferencePattern {
 public:
  // nullopt when `text` is outside the dialect (groups nested more than 200
  // deep included).
  static std::optional<ReferencePattern> Parse(std::u16string_view text) {
    ReferencePattern pattern;
    std::size_t at = 0;
    if (!ParseSequence(text, at, 0, pattern.root_) || at != text.size()) return std::nullopt;
    return pattern;
  }

  // Some match begins exactly at `start`; false beyond the subject.
  bool MatchesAt(std::u16string_view subject, std::size_t start) const {
    if (start > subject.size()) return false;
    return Match(subject, root_, 0, start, [](std::size_t) { return true; });
  }

  // Some match ends exactly at `end`; false beyond the subject.
  bool MatchesEndingAt(std::u16string_view subject, std::size_t end) const {
    if (end > subject.size()) return false;
    for (std::size_t start = 0; start <= end; ++start) {
      if (Match(subject, root_, 0, start, [end](std::size_t stop) { return stop == end; })) return true;
    }
    return false;
  }

 private:
  struct Node;
  using Sequence = std::vector<Node>;
  struct Node {
    enum class Kind { kChars, kBegin, kEnd, kGroup } kind = Kind::kChars;
    std::u16string members;  // kChars: one literal, or the members of a class
    char16_t quantifier = 0;
    std::vector<Sequence> alternatives;
  };

  // A reference to a callable, so that the search allocates nothing.
  class Then {
   public:
    template <typename F>
    Then(const F& f)
        : object_(&f), call_([](const void* o, std::size_t at) { return (*static_cast<const F*>(o))(at); }) {}
    bool operator()(std::size_t at) const { return call_(object_, at); }

   private:
    const void* object_;
    bool (*call_)(const void*, std::size_t);
  };

  static bool ParseSequence(std::u16string_view text, std::size_t& at, int depth, Sequence& out) {
    while (at < text.size() && text[at] != u'|' && text[at] != u')') {
      const char16_t c = text[at];
      Node node;
      if (c == u'(') {
        if (depth == 200) return false;
        node.kind = Node::Kind::kGroup;
        ++at;
        for (;;) {
          node.alternatives.emplace_back();
          if (!ParseSequence(text, at, depth + 1, node.alternatives.back())) return false;
          if (at == text.size()) return false;
          if (text[at++] == u')') break;
        }
      } else if (c == u'[') {
        const std::size_t close = text.find(u']', at + 1);
        if (close == std::u16string_view::npos || close == at + 1) return false;
        node.members = std::u16string(text.substr(at + 1, close - at - 1));
        if (node.members.find_first_of(u"-^\\[") != std::u16string::npos) return false;
        at = close + 1;
        if (at < text.size() && (text[at] == u'+' || text[at] == u'*')) node.quantifier = text[at++];
      } else if (c == u'^' || c == u'$') {
        node.kind = c == u'^' ? Node::Kind::kBegin : Node::Kind::kEnd;
        ++at;
      } else if (std::u16string_view(u"+*?{}.\\]").find(c) != std::u16string_view::npos) {
        return false;
      } else {
        node.members = std::u16string(1, c);
        ++at;
      }
      out.push_back(std::move(node));
    }
    return true;
  }

  static char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

  static bool IsMember(const Node& node, char16_t c) {
    for (const char16_t member : node.members) {
      if (Fold(member) == Fold(c)) return true;
    }
    return false;
  }

  // Calls `then` with every offset where sequence[index...] can end when it
  // begins at `at`; true as soon as one call answers true.
  static bool Match(std::u16string_view subject, const Sequence& sequence, std::size_t index, std::size_t at,
                    Then then) {
    if (index == sequence.size()) return then(at);
    const Node& node = sequence[index];
    const auto rest = [&](std::size_t next) { return Match(subject, sequence, index + 1, next, then); };
    switch (node.kind) {
      case Node::Kind::kBegin: return at == 0 && rest(at);
      case Node::Kind::kEnd: return at == subject.size() && rest(at);
      case Node::Kind::kGroup:
        for (const Sequence& alternative : node.alternatives) {
          if (Match(subject, alternative, 0, at, rest)) return true;
        }
        return false;
      case Node::Kind::kChars: break;
    }
    // Every count of repetitions the quantifier allows, as long as the
    // characters are members.
    const std::size_t least = node.quantifier == u'*' ? 0 : 1;
    const std::size_t most = node.quantifier == 0 ? 1 : subject.size();
    for (std::size_t count = 0; count <= most; ++count) {
      if (count >= least && rest(at + count)) return true;
      if (at + count == subject.size() || !IsMember(node, subject[at + count])) return false;
    }
    return false;
  }

  Sequence root_;
};

}  // namespace vantel::phonetics::testing

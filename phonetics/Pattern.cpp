// Pattern engine: parse once, decide every test with one table lookup per
// character.
//
// Rule contexts are a few characters long and are tested several times per
// letter of every word transcribed, so all the work that can be is done at
// compile time. The pattern is parsed into a small tree and built into two
// Thompson automata: one for the pattern as written, read forwards from the
// start position (MatchesAt, Search), and one for its mirror image (sequences
// reversed, "^" and "$" swapped), read backwards from the end position
// (MatchesEndingAt). Each test therefore scans only the text next to its
// anchor point and stops as soon as the answer is known.
//
// "^" and "$" are zero-width conditions on the offset. Between two consumed
// characters neither can hold, so they only matter at the first and the last
// step of a scan: each automaton state carries one answer for "accept here,
// not at the end" and one for "accept here, at the end", and a scan that
// starts at offset 0 (or, mirrored, at the end) gets an initial state of its
// own. This is exact for anchors anywhere in the pattern ("$$", "a^b").
//
// Subset construction over Glushkov position sets then yields a DFA over the
// pattern's character classes: characters that no part of the pattern can
// tell apart share a class, and both cases of an ASCII letter share one.
// Accepting and dead states are absorbing, which gives the early exit. Should
// a DFA exceed a state cap (patterns such as "[ab]*a[ab][ab][ab]..." blow up),
// that entry point simulates the Thompson automaton on state sets instead:
// slower, but still linear in the subject and without backtracking.
#include "Pattern.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantel::phonetics {
namespace {

// Deeper nesting is refused rather than risking the stack in the recursive
// parser and builders.
constexpr std::size_t kMaxNesting = 200;
// Position sets of the subset construction are fixed-size bit sets.
constexpr std::size_t kMaxDfaPositions = 256;
// Bounds one DFA table (entries of 4 bytes) whatever the number of classes.
constexpr std::size_t kMaxTableEntries = std::size_t{1} << 18;
// Patterns listing this many distinct non-ASCII characters go to the
// simulation; this also keeps class numbers within 16 bits.
constexpr std::size_t kMaxClasses = 1024;

constexpr bool IsAsciiLetter(char16_t c) noexcept { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// The characters one literal or bracket class stands for.
struct CharSet {
  std::array<std::uint64_t, 2> ascii{};  // both cases of each ASCII letter
  std::vector<char16_t> others;          // sorted, no duplicates

  void Add(char16_t c) {
    if (c < 128) {
      SetAscii(c);
      if (IsAsciiLetter(c)) SetAscii(static_cast<char16_t>(c ^ 0x20));
    } else {
      others.push_back(c);
    }
  }
  void Seal() {
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
  }
  bool Contains(char16_t c) const noexcept {
    if (c < 128) return (ascii[c >> 6] >> (c & 63)) & 1U;
    return std::binary_search(others.begin(), others.end(), c);
  }

 private:
  void SetAscii(char16_t c) noexcept { ascii[c >> 6] |= std::uint64_t{1} << (c & 63); }
};

// ---------------------------------------------------------------------------
// Syntax tree

struct Element;
using Sequence = std::vector<Element>;

struct Element {
  enum class Kind : std::uint8_t { kChars, kBegin, kEnd, kGroup };
  Kind kind = Kind::kChars;
  char16_t quantifier = 0;             // 0, '+' or '*'; only on bracket classes
  std::uint32_t set = 0;               // kChars: index into the pattern's sets
  std::vector<Sequence> alternatives;  // kGroup
};

class Parser {
 public:
  Parser(std::u16string_view text, std::vector<CharSet>& sets) : text_(text), sets_(sets) {}

  std::optional<Sequence> Parse() {
    Sequence root;
    // ParseSequence stops at '|' or ')', neither of which may stand at the top.
    if (!ParseSequence(0, root) || pos_ != text_.size()) return std::nullopt;
    return root;
  }

 private:
  bool ParseSequence(std::size_t depth, Sequence& out) {
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
          Element anchor;
          anchor.kind = c == u'^' ? Element::Kind::kBegin : Element::Kind::kEnd;
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
        default:
          AddChars(out, c);
          ++pos_;
          break;
      }
    }
    return true;
  }

  bool ParseGroup(std::size_t depth, Sequence& out) {
    if (depth >= kMaxNesting) return false;
    ++pos_;  // '('
    Element group;
    group.kind = Element::Kind::kGroup;
    for (;;) {
      Sequence alternative;
      if (!ParseSequence(depth + 1, alternative)) return false;
      group.alternatives.push_back(std::move(alternative));
      if (pos_ == text_.size()) return false;  // unclosed
      if (text_[pos_++] == u')') break;        // otherwise '|': another alternative
    }
    out.push_back(std::move(group));
    return true;
  }

  bool ParseClass(Sequence& out) {
    ++pos_;  // '['
    CharSet members;
    std::size_t count = 0;
    for (;; ++pos_, ++count) {
      if (pos_ == text_.size()) return false;
      const char16_t c = text_[pos_];
      if (c == u']') break;
      // Ranges, negation, escapes and nested brackets are not part of the dialect.
      if (c == u'-' || c == u'^' || c == u'\\' || c == u'[') return false;
      members.Add(c);
    }
    if (count == 0) return false;
    ++pos_;  // ']'
    Element element;
    element.set = AddSet(std::move(members));
    if (pos_ < text_.size() && (text_[pos_] == u'+' || text_[pos_] == u'*')) {
      element.quantifier = text_[pos_++];
    }
    out.push_back(std::move(element));
    return true;
  }

  void AddChars(Sequence& out, char16_t c) {
    CharSet single;
    single.Add(c);
    Element element;
    element.set = AddSet(std::move(single));
    out.push_back(std::move(element));
  }

  std::uint32_t AddSet(CharSet&& set) {
    set.Seal();
    sets_.push_back(std::move(set));
    return static_cast<std::uint32_t>(sets_.size() - 1);
  }

  std::u16string_view text_;
  std::vector<CharSet>& sets_;
  std::size_t pos_ = 0;
};

// ---------------------------------------------------------------------------
// Thompson automaton

enum class NodeKind : std::uint8_t { kConsume, kSplit, kBegin, kEnd, kAccept };

struct Node {
  NodeKind kind = NodeKind::kAccept;
  std::uint32_t next = 0;
  std::uint32_t alt = 0;       // kSplit: the second way on
  std::uint32_t set = 0;       // kConsume
  std::uint32_t position = 0;  // kConsume: 0, 1, ... in creation order
};

struct Nfa {
  std::vector<Node> nodes;
  std::uint32_t start = 0;
  std::uint32_t positions = 0;  // number of kConsume nodes
};

class NfaBuilder {
 public:
  // `mirrored` builds the automaton of the pattern read right to left, with
  // the roles of "^" and "$" exchanged.
  static Nfa Build(const Sequence& root, bool mirrored) {
    NfaBuilder builder(mirrored);
    const std::uint32_t accept = builder.Add(Node{});
    builder.nfa_.start = builder.BuildSequence(root, accept);
    return std::move(builder.nfa_);
  }

 private:
  explicit NfaBuilder(bool mirrored) : mirrored_(mirrored) {}

  std::uint32_t Add(const Node& node) {
    nfa_.nodes.push_back(node);
    return static_cast<std::uint32_t>(nfa_.nodes.size() - 1);
  }

  // Built from the continuation backwards: returns the entry of `sequence`
  // when it is followed by `next`.
  std::uint32_t BuildSequence(const Sequence& sequence, std::uint32_t next) {
    if (mirrored_) {
      for (const Element& element : sequence) next = BuildElement(element, next);
    } else {
      for (auto it = sequence.rbegin(); it != sequence.rend(); ++it) next = BuildElement(*it, next);
    }
    return next;
  }

  std::uint32_t BuildElement(const Element& element, std::uint32_t next) {
    switch (element.kind) {
      case Element::Kind::kBegin:
      case Element::Kind::kEnd: {
        const bool begin = (element.kind == Element::Kind::kBegin) != mirrored_;
        return Add(Node{begin ? NodeKind::kBegin : NodeKind::kEnd, next, 0, 0, 0});
      }
      case Element::Kind::kGroup: {
        std::uint32_t entry = BuildSequence(element.alternatives.back(), next);
        for (std::size_t i = element.alternatives.size() - 1; i-- > 0;) {
          const std::uint32_t first = BuildSequence(element.alternatives[i], next);
          entry = Add(Node{NodeKind::kSplit, first, entry, 0, 0});
        }
        return entry;
      }
      case Element::Kind::kChars: break;
    }
    if (element.quantifier == 0) return AddConsume(element.set, next);
    // Both loops go through a consuming node, so no cycle is free of input.
    const std::uint32_t split = Add(Node{NodeKind::kSplit, 0, next, 0, 0});
    const std::uint32_t consume = AddConsume(element.set, split);
    nfa_.nodes[split].next = consume;
    return element.quantifier == u'+' ? consume : split;
  }

  std::uint32_t AddConsume(std::uint32_t set, std::uint32_t next) {
    return Add(Node{NodeKind::kConsume, next, 0, set, nfa_.positions++});
  }

  bool mirrored_;
  Nfa nfa_;
};

// ---------------------------------------------------------------------------
// Position sets and the closure over zero-width steps

// Most patterns have at most 64 positions and get by with one word.
template <std::size_t kWords>
struct Bits {
  std::array<std::uint64_t, kWords> words{};

  void Set(std::size_t i) noexcept { words[i >> 6] |= std::uint64_t{1} << (i & 63); }
  bool Test(std::size_t i) const noexcept { return (words[i >> 6] >> (i & 63)) & 1U; }
  bool Empty() const noexcept {
    return std::all_of(words.begin(), words.end(), [](std::uint64_t w) { return w == 0; });
  }
  Bits& operator|=(const Bits& o) noexcept {
    for (std::size_t i = 0; i < words.size(); ++i) words[i] |= o.words[i];
    return *this;
  }
  friend Bits operator&(const Bits& a, const Bits& b) noexcept {
    Bits r;
    for (std::size_t i = 0; i < r.words.size(); ++i) r.words[i] = a.words[i] & b.words[i];
    return r;
  }
  friend bool operator==(const Bits& a, const Bits& b) noexcept {
    for (std::size_t i = 0; i < kWords; ++i) {
      if (a.words[i] != b.words[i]) return false;
    }
    return true;
  }

  template <typename F>
  void ForEach(F&& f) const {
    for (std::size_t i = 0; i < words.size(); ++i) {
      for (std::uint64_t w = words[i]; w != 0; w &= w - 1) {
        f(i * 64 + static_cast<std::size_t>(std::countr_zero(w)));
      }
    }
  }
  std::size_t Hash() const noexcept {
    std::uint64_t h = 0;
    for (const std::uint64_t w : words) h = (h ^ w) * 0x9e3779b97f4a7c15ULL;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

using WideBits = Bits<kMaxDfaPositions / 64>;

// Walks the nodes reachable without consuming input, where "^" may be passed
// only if `atBegin` and "$" only if `atEnd`.
class Closure {
 public:
  explicit Closure(const Nfa& nfa) : nfa_(nfa), marks_(nfa.nodes.size(), 0) { stack_.reserve(nfa.nodes.size()); }

  // Adds the consuming positions reached to `positions`; true if the accepting
  // node is reached.
  template <typename B>
  bool Walk(std::uint32_t from, bool atBegin, bool atEnd, B& positions) {
    ++generation_;
    bool accept = false;
    Push(from);
    while (!stack_.empty()) {
      const Node& node = nfa_.nodes[stack_.back()];
      stack_.pop_back();
      switch (node.kind) {
        case NodeKind::kConsume: positions.Set(node.position); break;
        case NodeKind::kAccept: accept = true; break;
        case NodeKind::kSplit:
          Push(node.next);
          Push(node.alt);
          break;
        case NodeKind::kBegin:
          if (atBegin) Push(node.next);
          break;
        case NodeKind::kEnd:
          if (atEnd) Push(node.next);
          break;
      }
    }
    return accept;
  }

 private:
  void Push(std::uint32_t node) {
    if (marks_[node] == generation_) return;
    marks_[node] = generation_;
    stack_.push_back(node);
  }

  const Nfa& nfa_;
  std::vector<std::uint32_t> marks_;
  std::vector<std::uint32_t> stack_;
  std::uint32_t generation_ = 0;
};

// What the subset construction needs of an automaton, per position: the
// positions that may consume the next character, and whether the match may
// end right after it (in the middle of the subject, or at its end).
template <typename B>
struct Glushkov {
  std::vector<B> follow;
  B lastMid;
  B lastEnd;
  B firstMid;                // a scan starting elsewhere than at offset 0
  B firstBegin;              // a scan starting at offset 0
  bool nullable[2][2] = {};  // [at begin][at end]
};

template <typename B>
Glushkov<B> Analyse(const Nfa& nfa) {
  Glushkov<B> g;
  g.follow.resize(nfa.positions);
  Closure closure(nfa);
  B unused;
  for (const Node& node : nfa.nodes) {
    if (node.kind != NodeKind::kConsume) continue;
    if (closure.Walk(node.next, false, false, g.follow[node.position])) g.lastMid.Set(node.position);
    if (closure.Walk(node.next, false, true, unused)) g.lastEnd.Set(node.position);
  }
  g.nullable[0][0] = closure.Walk(nfa.start, false, false, g.firstMid);
  g.nullable[1][0] = closure.Walk(nfa.start, true, false, g.firstBegin);
  g.nullable[0][1] = closure.Walk(nfa.start, false, true, unused);
  g.nullable[1][1] = closure.Walk(nfa.start, true, true, unused);
  return g;
}

// ---------------------------------------------------------------------------
// Character classes

struct ClassMap {
  std::array<std::uint16_t, 128> ascii{};
  std::vector<std::pair<char16_t, std::uint16_t>> others;  // sorted by character
  std::vector<WideBits> members;                           // per class: the sets containing it (class 0: none)

  std::uint16_t Of(char16_t c) const noexcept {
    if (c < 128) return ascii[c];
    if (others.empty()) return 0;
    const auto it = std::lower_bound(others.begin(), others.end(), c,
                                     [](const auto& entry, char16_t key) { return entry.first < key; });
    return it != others.end() && it->first == c ? it->second : std::uint16_t{0};
  }
  std::size_t Count() const noexcept { return members.size(); }

  // Requires at most kMaxDfaPositions sets; nullopt beyond kMaxClasses classes.
  static std::optional<ClassMap> Build(const std::vector<CharSet>& sets) {
    ClassMap map;
    map.members.emplace_back();
    std::array<std::uint64_t, 2> mentioned{};
    std::vector<std::pair<char16_t, std::size_t>> otherMembership;  // (character, set)
    for (std::size_t s = 0; s < sets.size(); ++s) {
      mentioned[0] |= sets[s].ascii[0];
      mentioned[1] |= sets[s].ascii[1];
      for (const char16_t c : sets[s].others) otherMembership.emplace_back(c, s);
    }
    // Characters no set mentions stay in class 0. Both cases of a letter are
    // always mentioned together, and the upper case comes first.
    for (std::size_t word = 0; word < 2; ++word) {
      for (std::uint64_t bits = mentioned[word]; bits != 0; bits &= bits - 1) {
        const auto c = static_cast<char16_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
        if (c >= u'a' && c <= u'z') {
          map.ascii[c] = map.ascii[c - 32];
          continue;
        }
        WideBits signature;
        for (std::size_t s = 0; s < sets.size(); ++s) {
          if (sets[s].Contains(c)) signature.Set(s);
        }
        map.ascii[c] = map.ClassFor(signature);
      }
    }
    std::sort(otherMembership.begin(), otherMembership.end());
    for (std::size_t i = 0; i < otherMembership.size();) {
      const char16_t c = otherMembership[i].first;
      WideBits signature;
      for (; i < otherMembership.size() && otherMembership[i].first == c; ++i) signature.Set(otherMembership[i].second);
      map.others.emplace_back(c, map.ClassFor(signature));
      if (map.members.size() > kMaxClasses) return std::nullopt;
    }
    return map;
  }

 private:
  std::uint16_t ClassFor(const WideBits& signature) {
    const auto found = static_cast<std::size_t>(std::find(members.begin(), members.end(), signature) - members.begin());
    if (found == members.size()) members.push_back(signature);
    return static_cast<std::uint16_t>(found);
  }
};

// ---------------------------------------------------------------------------
// Deterministic automaton

// Rows of `stride` entries: one per class, giving the row offset of the next
// state, then one telling whether the state accepts at the end of the subject.
// Row 0 is the dead state, row 1 (offset `stride`) the accepting one; both
// are absorbing, so a scan stops on reaching either.
struct Dfa {
  std::vector<std::uint32_t> table;
  std::uint32_t stride = 0;
  std::uint32_t initMid = 0;    // a scan starting elsewhere than at offset 0
  std::uint32_t initBegin = 0;  // a scan starting at offset 0

  bool Built() const noexcept { return stride != 0; }
};

template <typename B>
class DfaBuilder {
 public:
  // `search` lets a new match start at every offset (an unanchored search).
  static bool Build(const Glushkov<B>& g, const std::vector<B>& classPositions, bool search, std::size_t maxStates,
                    Dfa& dfa) {
    DfaBuilder builder(g, classPositions, search, maxStates);
    return builder.Run(dfa);
  }

 private:
  struct Key {
    B set;
    bool atEnd = false;
    bool operator==(const Key&) const = default;
    std::size_t Hash() const noexcept { return set.Hash() ^ static_cast<std::size_t>(atEnd); }
  };

  DfaBuilder(const Glushkov<B>& g, const std::vector<B>& classPositions, bool search, std::size_t maxStates)
      : g_(g),
        classPositions_(classPositions),
        search_(search),
        classes_(static_cast<std::uint32_t>(classPositions.size())),
        stride_(classes_ + 1),
        maxStates_(std::min(maxStates, kMaxTableEntries / stride_)) {}

  bool Run(Dfa& dfa) {
    table_.assign(2 * std::size_t{stride_}, 0);
    std::fill(table_.begin() + static_cast<std::ptrdiff_t>(stride_), table_.end(), stride_);
    table_[2 * std::size_t{stride_} - 1] = 1;

    const auto initBegin = Intern(g_.firstBegin, g_.nullable[1][0], g_.nullable[1][1]);
    const auto initMid = Intern(g_.firstMid, g_.nullable[0][0], g_.nullable[0][1]);
    if (!initBegin || !initMid) return false;

    for (std::size_t state = 2; state < keys_.size() + 2; ++state) {
      const Key key = keys_[state - 2];
      table_[state * stride_ + classes_] = key.atEnd ? 1U : 0U;
      for (std::uint32_t c = 0; c < classes_; ++c) {
        const B consumed = key.set & classPositions_[c];
        B next;
        if (search_) next = g_.firstMid;
        consumed.ForEach([&](std::size_t q) { next |= g_.follow[q]; });
        const bool now = (search_ && g_.nullable[0][0]) || !(consumed & g_.lastMid).Empty();
        const bool atEnd = (search_ && g_.nullable[0][1]) || !(consumed & g_.lastEnd).Empty();
        const auto target = Intern(next, now, atEnd);
        if (!target) return false;
        table_[state * stride_ + c] = *target;
      }
    }
    dfa.table = std::move(table_);
    dfa.stride = stride_;
    dfa.initBegin = *initBegin;
    dfa.initMid = *initMid;
    return true;
  }

  // The row offset of the state, adding it if new; nullopt past the cap.
  std::optional<std::uint32_t> Intern(const B& set, bool now, bool atEnd) {
    if (now) return stride_;  // accepting here implies accepting at the end too
    if (set.Empty() && !atEnd) return 0;
    const Key key{set, atEnd};
    if (slots_.empty()) slots_.resize(16);
    std::size_t slot = Probe(key);
    if (slots_[slot] != 0) return static_cast<std::uint32_t>((slots_[slot] + 1) * stride_);
    if (keys_.size() >= maxStates_) return std::nullopt;
    keys_.push_back(key);
    table_.resize(table_.size() + stride_, 0);
    const auto entry = static_cast<std::uint32_t>(keys_.size());
    if (keys_.size() * 2 > slots_.size()) {
      // Keep the index at most half full.
      std::vector<std::uint32_t> old(slots_.size() * 2, 0);
      old.swap(slots_);
      for (const std::uint32_t e : old) {
        if (e != 0) slots_[Probe(keys_[e - 1])] = e;
      }
      slot = Probe(key);
    }
    slots_[slot] = entry;
    return (entry + 1) * stride_;
  }

  // The slot holding `key`, or the empty one where it belongs.
  std::size_t Probe(const Key& key) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = key.Hash() & mask;
    while (slots_[slot] != 0 && !(keys_[slots_[slot] - 1] == key)) slot = (slot + 1) & mask;
    return slot;
  }

  const Glushkov<B>& g_;
  const std::vector<B>& classPositions_;
  bool search_;
  std::uint32_t classes_;
  std::uint32_t stride_;
  std::size_t maxStates_;
  std::vector<std::uint32_t> table_;
  std::vector<Key> keys_;             // of states 2, 3, ...
  std::vector<std::uint32_t> slots_;  // open addressing: index into keys_ + 1, 0 when empty
};

template <typename B>
std::vector<B> ClassPositions(const Nfa& nfa, const ClassMap& classes) {
  std::vector<B> result(classes.Count());
  for (const Node& node : nfa.nodes) {
    if (node.kind != NodeKind::kConsume) continue;
    for (std::size_t c = 0; c < classes.Count(); ++c) {
      if (classes.members[c].Test(node.set)) result[c].Set(node.position);
    }
  }
  return result;
}

// A scan over the subject, forwards from `from` or backwards from it. Offset
// 0 of the scan is "at begin" when it sits at the subject's start (forwards)
// or end (backwards), which is where the automaton's own "^" holds; the last
// offset of the scan always lies at the other edge of the subject, where its
// "$" holds.
template <bool kBackward>
struct Scan {
  const char16_t* cursor;
  const char16_t* stop;
  bool atBegin;

  Scan(std::u16string_view subject, std::size_t from) noexcept
      : cursor(subject.data() + from),
        stop(kBackward ? subject.data() : subject.data() + subject.size()),
        atBegin(kBackward ? from == subject.size() : from == 0) {}

  bool Done() const noexcept { return cursor == stop; }
  bool LastStep() const noexcept { return (kBackward ? cursor - 1 : cursor + 1) == stop; }
  char16_t Next() noexcept { return kBackward ? *--cursor : *cursor++; }
};

template <bool kBackward>
bool RunDfa(const Dfa& dfa, const ClassMap& classes, std::u16string_view subject, std::size_t from) {
  Scan<kBackward> scan(subject, from);
  const std::uint32_t* table = dfa.table.data();
  const std::uint32_t accept = dfa.stride;
  std::uint32_t state = scan.atBegin ? dfa.initBegin : dfa.initMid;
  while (state > accept) {
    if (scan.Done()) return table[state + accept - 1] != 0;
    state = table[state + classes.Of(scan.Next())];
  }
  return state == accept;
}

// Working memory of the simulation: inline for automata of ordinary size, so
// that only very large patterns allocate while matching.
class SimulationMemory {
 public:
  explicit SimulationMemory(std::size_t nodes) {
    if (nodes * 4 > inline_.size()) heap_.resize(nodes * 4);
    std::uint32_t* base = heap_.empty() ? inline_.data() : heap_.data();
    std::fill(base, base + nodes, 0U);
    marks = base;
    stack = base + nodes;
    current = base + 2 * nodes;
    next = base + 3 * nodes;
  }
  std::uint32_t* marks;
  std::uint32_t* stack;
  std::uint32_t* current;  // consuming nodes of the current state set
  std::uint32_t* next;     // nodes entered by the last character

 private:
  std::array<std::uint32_t, 1024> inline_;
  std::vector<std::uint32_t> heap_;
};

template <bool kBackward>
bool Simulate(const Nfa& nfa, const std::vector<CharSet>& sets, std::u16string_view subject, std::size_t from,
              bool search) {
  const std::vector<Node>& nodes = nfa.nodes;
  SimulationMemory memory(nodes.size());
  std::uint32_t generation = 0;
  std::size_t currentCount = 0;

  // Replaces the current set by the closure of `seeds`; true if it accepts.
  auto close = [&](const std::uint32_t* seeds, std::size_t seedCount, bool atBegin, bool atEnd) {
    ++generation;
    currentCount = 0;
    bool accept = false;
    std::size_t depth = 0;
    auto push = [&](std::uint32_t node) {
      if (memory.marks[node] == generation) return;
      memory.marks[node] = generation;
      memory.stack[depth++] = node;
    };
    for (std::size_t i = 0; i < seedCount; ++i) push(seeds[i]);
    while (depth > 0) {
      const std::uint32_t index = memory.stack[--depth];
      const Node& node = nodes[index];
      switch (node.kind) {
        case NodeKind::kConsume: memory.current[currentCount++] = index; break;
        case NodeKind::kAccept: accept = true; break;
        case NodeKind::kSplit:
          push(node.next);
          push(node.alt);
          break;
        case NodeKind::kBegin:
          if (atBegin) push(node.next);
          break;
        case NodeKind::kEnd:
          if (atEnd) push(node.next);
          break;
      }
    }
    return accept;
  };

  Scan<kBackward> scan(subject, from);
  bool accept = close(&nfa.start, 1, scan.atBegin, scan.Done());
  for (;;) {
    if (accept) return true;
    if (scan.Done()) return false;
    const bool last = scan.LastStep();
    const char16_t c = scan.Next();
    std::size_t nextCount = 0;
    for (std::size_t i = 0; i < currentCount; ++i) {
      const Node& node = nodes[memory.current[i]];
      if (sets[node.set].Contains(c)) memory.next[nextCount++] = node.next;
    }
    if (search) memory.next[nextCount++] = nfa.start;
    if (nextCount == 0) return false;
    accept = close(memory.next, nextCount, false, last);
  }
}

}  // namespace

// ---------------------------------------------------------------------------

struct Pattern::Impl {
  ClassMap classes;
  Dfa forward;   // MatchesAt
  Dfa backward;  // MatchesEndingAt, on the mirrored pattern
  Dfa search;    // Search
  // Kept only when some entry point has no DFA.
  std::vector<CharSet> sets;
  Nfa forwardNfa;
  Nfa backwardNfa;
};

namespace {

template <typename B>
void BuildAutomata(const Nfa& forwardNfa, const Nfa& backwardNfa, std::size_t maxStates, Pattern::Impl& impl) {
  const Glushkov<B> forward = Analyse<B>(forwardNfa);
  const Glushkov<B> backward = Analyse<B>(backwardNfa);
  const std::vector<B> forwardClasses = ClassPositions<B>(forwardNfa, impl.classes);
  const std::vector<B> backwardClasses = ClassPositions<B>(backwardNfa, impl.classes);
  DfaBuilder<B>::Build(forward, forwardClasses, false, maxStates, impl.forward);
  DfaBuilder<B>::Build(backward, backwardClasses, false, maxStates, impl.backward);
  DfaBuilder<B>::Build(forward, forwardClasses, true, maxStates, impl.search);
}

}  // namespace

std::optional<Pattern> Pattern::Compile(std::u16string_view text) { return Compile(text, kDefaultMaxAutomatonStates); }

std::optional<Pattern> Pattern::Compile(std::u16string_view text, std::size_t maxAutomatonStates) {
  std::vector<CharSet> sets;
  const std::optional<Sequence> tree = Parser(text, sets).Parse();
  if (!tree) return std::nullopt;

  auto impl = std::make_shared<Impl>();
  Nfa forwardNfa = NfaBuilder::Build(*tree, false);
  Nfa backwardNfa = NfaBuilder::Build(*tree, true);

  std::optional<ClassMap> classes;
  if (maxAutomatonStates > 0 && sets.size() <= kMaxDfaPositions) classes = ClassMap::Build(sets);
  if (classes) {
    impl->classes = std::move(*classes);
    if (sets.size() <= 64) {
      BuildAutomata<Bits<1>>(forwardNfa, backwardNfa, maxAutomatonStates, *impl);
    } else {
      BuildAutomata<WideBits>(forwardNfa, backwardNfa, maxAutomatonStates, *impl);
    }
  }
  if (!impl->forward.Built() || !impl->search.Built()) impl->forwardNfa = std::move(forwardNfa);
  if (!impl->backward.Built()) impl->backwardNfa = std::move(backwardNfa);
  if (!impl->forward.Built() || !impl->backward.Built() || !impl->search.Built()) impl->sets = std::move(sets);
  return Pattern(std::move(impl));
}

bool Pattern::MatchesAt(std::u16string_view subject, std::size_t start) const {
  if (start > subject.size()) return false;
  const Impl& impl = *impl_;
  if (impl.forward.Built()) return RunDfa<false>(impl.forward, impl.classes, subject, start);
  return Simulate<false>(impl.forwardNfa, impl.sets, subject, start, false);
}

bool Pattern::MatchesEndingAt(std::u16string_view subject, std::size_t end) const {
  if (end > subject.size()) return false;
  const Impl& impl = *impl_;
  if (impl.backward.Built()) return RunDfa<true>(impl.backward, impl.classes, subject, end);
  return Simulate<true>(impl.backwardNfa, impl.sets, subject, end, false);
}

bool Pattern::Search(std::u16string_view subject) const {
  const Impl& impl = *impl_;
  if (impl.search.Built()) return RunDfa<false>(impl.search, impl.classes, subject, 0);
  return Simulate<false>(impl.forwardNfa, impl.sets, subject, 0, true);
}

bool Pattern::IsDeterministic() const noexcept {
  return impl_->forward.Built() && impl_->backward.Built() && impl_->search.Built();
}

}  // namespace vantel::phonetics

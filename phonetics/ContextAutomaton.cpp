// From pattern trees to one deterministic automaton for a whole set.
//
// Each pattern is built into a Thompson automaton of its own, all in one
// node array, each ending in an accepting node that carries the pattern's
// bit; a backward automaton is built from the mirrored tree (sequences
// reversed, "^" and "$" swapped). The consuming nodes are the positions of a
// Glushkov construction: for each position, the positions that may consume
// the next character and the patterns that match right after it, found by a
// closure over the zero-width nodes.
//
// "^" and "$" are zero-width conditions on the offset. Between two characters
// neither can hold, so they only matter at the two ends of a walk: the
// closure after a character is taken twice, with "$" passable (the subject
// ends there) and without, and a walk that begins at the subject's edge has a
// start state of its own in which "^" is passable. This is exact for anchors
// anywhere in a pattern ("$$", "a^b").
//
// Subset construction then yields the states: a set of positions plus the
// patterns matched on entering it, inside the subject and at its end. A
// pattern that has matched inside the subject is decided, since only the
// existence of a match counts, so its positions are dropped from the state;
// this keeps the states few and lets a walk stop as soon as no pattern it
// still cares about has a position left. Characters are mapped to classes
// first (those that no position tells apart share one), so that a state's
// row of the table has one entry a class. Past kMaxStates states, or 256
// classes, the set is refused rather than matched some slower way.

#include "ContextAutomaton.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <map>
#include <tuple>

namespace vantel::phonetics {
namespace {

// ---------------------------------------------------------------------------
// Thompson automaton of the whole set

enum class NodeKind : std::uint8_t { kConsume, kSplit, kBegin, kEnd, kAccept };

struct Node {
  NodeKind kind = NodeKind::kAccept;
  std::uint32_t next = 0;
  std::uint32_t alt = 0;           // kSplit: the second way on
  std::uint32_t position = 0;      // kConsume: 0, 1, ... in creation order
  std::uint64_t bit = 0;           // kConsume, kAccept: the pattern's bit
  const CharSet* chars = nullptr;  // kConsume
};

class NfaBuilder {
 public:
  explicit NfaBuilder(ScanDirection direction) : mirrored_(direction == ScanDirection::kBackward) {}

  // Adds one pattern; returns its start node.
  std::uint32_t AddPattern(const ContextSequence& pattern, unsigned bit) {
    bit_ = std::uint64_t{1} << bit;
    const std::uint32_t accept = Add(Node{NodeKind::kAccept, 0, 0, 0, bit_, nullptr});
    return BuildSequence(pattern, accept);
  }

  std::vector<Node> nodes;
  std::uint32_t positions = 0;

 private:
  std::uint32_t Add(const Node& node) {
    nodes.push_back(node);
    return static_cast<std::uint32_t>(nodes.size() - 1);
  }

  // Built from the continuation backwards: the entry of `sequence` when it is
  // followed by `next`.
  std::uint32_t BuildSequence(const ContextSequence& sequence, std::uint32_t next) {
    if (mirrored_) {
      for (const ContextElement& element : sequence) next = BuildElement(element, next);
    } else {
      for (auto it = sequence.rbegin(); it != sequence.rend(); ++it) next = BuildElement(*it, next);
    }
    return next;
  }

  std::uint32_t BuildElement(const ContextElement& element, std::uint32_t next) {
    switch (element.kind) {
      case ContextElement::Kind::kBegin:
      case ContextElement::Kind::kEnd: {
        const bool begin = (element.kind == ContextElement::Kind::kBegin) != mirrored_;
        return Add(Node{begin ? NodeKind::kBegin : NodeKind::kEnd, next, 0, 0, 0, nullptr});
      }
      case ContextElement::Kind::kGroup: {
        std::uint32_t entry = BuildSequence(element.alternatives.back(), next);
        for (std::size_t i = element.alternatives.size() - 1; i-- > 0;) {
          const std::uint32_t first = BuildSequence(element.alternatives[i], next);
          entry = Add(Node{NodeKind::kSplit, first, entry, 0, 0, nullptr});
        }
        return entry;
      }
      case ContextElement::Kind::kChars: break;
    }
    if (element.quantifier == 0) return AddConsume(element.chars, next);
    // Both loops go through a consuming node, so no cycle is free of input.
    const std::uint32_t split = Add(Node{NodeKind::kSplit, 0, next, 0, 0, nullptr});
    const std::uint32_t consume = AddConsume(element.chars, split);
    nodes[split].next = consume;
    return element.quantifier == u'+' ? consume : split;
  }

  std::uint32_t AddConsume(const CharSet& chars, std::uint32_t next) {
    return Add(Node{NodeKind::kConsume, next, 0, positions++, bit_, &chars});
  }

  bool mirrored_;
  std::uint64_t bit_ = 0;
};

// ---------------------------------------------------------------------------
// Position sets

// A set of positions as words of bits; every set of one build has as many words.
using Positions = std::vector<std::uint64_t>;

void Insert(Positions& set, std::size_t position) { set[position >> 6] |= std::uint64_t{1} << (position & 63); }

template <typename F>
void ForEach(const Positions& set, F&& f) {
  for (std::size_t word = 0; word < set.size(); ++word) {
    for (std::uint64_t bits = set[word]; bits != 0; bits &= bits - 1) {
      f(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
    }
  }
}

// What a closure over the zero-width nodes reaches.
struct Reach {
  Positions positions;
  std::uint64_t accepts = 0;
};

// Walks the nodes reachable without consuming input, where "^" may be passed
// only if `atBegin` and "$" only if `atEnd`.
class Closure {
 public:
  Closure(const std::vector<Node>& nodes, std::size_t words) : nodes_(nodes), marks_(nodes.size(), 0), words_(words) {}

  Reach Walk(std::span<const std::uint32_t> from, bool atBegin, bool atEnd) {
    ++generation_;
    Reach reach{Positions(words_, 0), 0};
    for (const std::uint32_t node : from) Push(node);
    while (!stack_.empty()) {
      const Node& node = nodes_[stack_.back()];
      stack_.pop_back();
      switch (node.kind) {
        case NodeKind::kConsume: Insert(reach.positions, node.position); break;
        case NodeKind::kAccept: reach.accepts |= node.bit; break;
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
    return reach;
  }

 private:
  void Push(std::uint32_t node) {
    if (marks_[node] == generation_) return;
    marks_[node] = generation_;
    stack_.push_back(node);
  }

  const std::vector<Node>& nodes_;
  std::vector<std::uint32_t> marks_;
  std::vector<std::uint32_t> stack_;
  std::size_t words_;
  std::uint32_t generation_ = 0;
};

// ---------------------------------------------------------------------------
// Glushkov analysis

// A state of the subset construction: the positions that may consume the
// next character, and the patterns matched on entering it.
struct Key {
  Positions set;
  std::uint64_t inside = 0;
  std::uint64_t atEnd = 0;

  friend bool operator<(const Key& a, const Key& b) {
    return std::tie(a.set, a.inside, a.atEnd) < std::tie(b.set, b.inside, b.atEnd);
  }
};

struct Glushkov {
  std::size_t words = 0;
  std::vector<Positions> follow;           // per position
  std::vector<std::uint64_t> matchInside;  // per position: patterns matched right after it
  std::vector<std::uint64_t> matchAtEnd;   // the same, when the subject ends right after it
  std::vector<std::uint64_t> bitOf;        // per position: its pattern's bit
  std::vector<const CharSet*> charsOf;     // per position
  std::array<Positions, 64> positionsOf;   // per pattern bit
  std::array<Key, 2> start;                // [at the subject's edge]
};

Glushkov Analyse(const NfaBuilder& nfa, std::span<const std::uint32_t> starts) {
  Glushkov g;
  const std::size_t positions = nfa.positions;
  g.words = (positions + 63) / 64;
  g.follow.resize(positions);
  g.matchInside.resize(positions);
  g.matchAtEnd.resize(positions);
  g.bitOf.resize(positions);
  g.charsOf.resize(positions);
  for (Positions& set : g.positionsOf) set.assign(g.words, 0);
  Closure closure(nfa.nodes, g.words);
  for (const Node& node : nfa.nodes) {
    if (node.kind != NodeKind::kConsume) continue;
    const std::uint32_t after[] = {node.next};
    Reach inside = closure.Walk(after, false, false);
    g.follow[node.position] = std::move(inside.positions);
    g.matchInside[node.position] = inside.accepts;
    g.matchAtEnd[node.position] = closure.Walk(after, false, true).accepts;
    g.bitOf[node.position] = node.bit;
    g.charsOf[node.position] = node.chars;
    Insert(g.positionsOf[static_cast<std::size_t>(std::countr_zero(node.bit))], node.position);
  }
  for (const bool atEdge : {false, true}) {
    Reach first = closure.Walk(starts, atEdge, false);
    g.start[atEdge ? 1 : 0] =
        Key{std::move(first.positions), first.accepts, closure.Walk(starts, atEdge, true).accepts};
  }
  return g;
}

// ---------------------------------------------------------------------------
// Character classes

struct Classes {
  std::array<std::uint8_t, 128> ascii{};
  std::vector<std::pair<char16_t, std::uint8_t>> others;
  std::vector<Positions> members;  // per class: the positions that consume it
};

std::optional<Classes> BuildClasses(const Glushkov& g) {
  Classes classes;
  std::map<Positions, std::uint8_t> index;
  classes.members.emplace_back(g.words, 0);
  index.emplace(classes.members.back(), 0);
  const auto classOf = [&](char16_t c) -> std::optional<std::uint8_t> {
    Positions signature(g.words, 0);
    for (std::size_t p = 0; p < g.charsOf.size(); ++p) {
      if (g.charsOf[p]->Contains(c)) Insert(signature, p);
    }
    const auto [found, added] = index.try_emplace(signature, static_cast<std::uint8_t>(classes.members.size()));
    if (added) {
      if (classes.members.size() == 256) return std::nullopt;
      classes.members.push_back(std::move(signature));
    }
    return found->second;
  };
  for (char16_t c = 0; c < 128; ++c) {
    const std::optional<std::uint8_t> found = classOf(c);
    if (!found) return std::nullopt;
    classes.ascii[c] = *found;
  }
  std::vector<char16_t> named;
  for (const CharSet* chars : g.charsOf) named.insert(named.end(), chars->others().begin(), chars->others().end());
  std::sort(named.begin(), named.end());
  named.erase(std::unique(named.begin(), named.end()), named.end());
  for (const char16_t c : named) {
    const std::optional<std::uint8_t> found = classOf(c);
    if (!found) return std::nullopt;
    classes.others.emplace_back(c, *found);
  }
  return classes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Subset construction

std::optional<ContextAutomaton> ContextAutomaton::Build(std::span<const ContextMember> members,
                                                        ScanDirection direction) {
  NfaBuilder nfa(direction);
  std::vector<std::uint32_t> starts;
  for (const ContextMember& member : members) starts.push_back(nfa.AddPattern(*member.pattern, member.bit));
  const Glushkov g = Analyse(nfa, starts);
  std::optional<Classes> classes = BuildClasses(g);
  if (!classes) return std::nullopt;

  ContextAutomaton automaton;
  automaton.ascii_ = classes->ascii;
  automaton.others_ = std::move(classes->others);
  automaton.classes_ = static_cast<std::uint32_t>(classes->members.size());

  std::map<Key, std::uint32_t> ids;
  std::vector<Key> keys;
  std::vector<State> states;           // by id
  std::vector<std::uint32_t> targets;  // [id * classes + class]: the id of the next state
  // The id of the state, added if new; nullopt past the cap.
  const auto intern = [&](Key key) -> std::optional<std::uint32_t> {
    // A pattern matched inside the subject is decided: its positions go.
    for (std::uint64_t bits = key.inside; bits != 0; bits &= bits - 1) {
      const Positions& drop = g.positionsOf[static_cast<std::size_t>(std::countr_zero(bits))];
      for (std::size_t w = 0; w < g.words; ++w) key.set[w] &= ~drop[w];
    }
    const auto found = ids.find(key);
    if (found != ids.end()) return found->second;
    if (keys.size() == kMaxStates) return std::nullopt;
    const auto id = static_cast<std::uint32_t>(keys.size());
    std::uint64_t open = 0;
    ForEach(key.set, [&](std::size_t p) { open |= g.bitOf[p]; });
    states.push_back({key.inside, key.atEnd | key.inside, open});
    ids.emplace(key, id);
    keys.push_back(std::move(key));
    return id;
  };

  const std::optional<std::uint32_t> atEdge = intern(g.start[1]);
  const std::optional<std::uint32_t> inside = intern(g.start[0]);
  if (!atEdge || !inside) return std::nullopt;
  automaton.startAtEdge_ = *atEdge;
  automaton.startInside_ = *inside;

  for (std::size_t state = 0; state < keys.size(); ++state) {
    const Positions set = keys[state].set;  // keys grows below
    for (std::uint32_t c = 0; c < automaton.classes_; ++c) {
      Key next{Positions(g.words, 0), 0, 0};
      const Positions& consumers = classes->members[c];
      for (std::size_t w = 0; w < g.words; ++w) {
        for (std::uint64_t bits = set[w] & consumers[w]; bits != 0; bits &= bits - 1) {
          const std::size_t q = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
          for (std::size_t v = 0; v < g.words; ++v) next.set[v] |= g.follow[q][v];
          next.inside |= g.matchInside[q];
          next.atEnd |= g.matchAtEnd[q];
        }
      }
      const std::optional<std::uint32_t> target = intern(std::move(next));
      if (!target) return std::nullopt;
      targets.push_back(*target);
    }
  }

  // Lay the states out as rows of the table, named by their offsets.
  const std::uint32_t stride = kStateWords + automaton.classes_;
  automaton.table_.reserve(states.size() * stride);
  for (std::size_t id = 0; id < states.size(); ++id) {
    for (const std::uint64_t word : {states[id].acceptInside, states[id].acceptAtEnd, states[id].open}) {
      std::uint32_t entries[2];
      std::memcpy(entries, &word, sizeof word);
      automaton.table_.insert(automaton.table_.end(), std::begin(entries), std::end(entries));
    }
    for (std::uint32_t c = 0; c < automaton.classes_; ++c)
      automaton.table_.push_back(targets[id * automaton.classes_ + c] * stride);
  }
  automaton.startAtEdge_ *= stride;
  automaton.startInside_ *= stride;
  return automaton;
}

std::uint32_t ContextAutomaton::ClassBeyondAscii(char16_t unit) const noexcept {
  const auto found = std::lower_bound(others_.begin(), others_.end(), unit,
                                      [](const auto& entry, char16_t key) { return entry.first < key; });
  return found != others_.end() && found->first == unit ? found->second : 0U;
}

}  // namespace vantel::phonetics

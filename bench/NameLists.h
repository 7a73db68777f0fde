// Lists of full names for the bulk-matching benchmarks: names drawn from a few
// dozen first names and surnames, a fair share of them misspelt (a letter
// dropped, doubled, swapped or replaced by one that sounds alike), so that
// the lists hold both near-duplicates and many pairs that have little in common.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vantel::bench {

inline std::vector<std::u16string> NameList(std::uint32_t seed, std::size_t count) {
  static constexpr std::u16string_view kFirst[] = {
      u"James",   u"Mary",      u"John",    u"Patricia", u"Robert",      u"Jennifer", u"Michael", u"Linda",
      u"William", u"Elizabeth", u"David",   u"Barbara",  u"Richard",     u"Susan",    u"Joseph",  u"Jessica",
      u"Thomas",  u"Sarah",     u"Charles", u"Karen",    u"Christopher", u"Nancy",    u"Daniel",  u"Lisa",
      u"Matthew", u"Margaret",  u"Anthony", u"Sandra",   u"Mark",        u"Ashley",   u"Steven",  u"Kimberly",
      u"Andrew",  u"Emily",     u"Joshua",  u"Michelle", u"Kenneth",     u"Dorothy",  u"Kevin",   u"Carol",
      u"Brian",   u"Amanda",    u"George",  u"Melissa",  u"Timothy",     u"Deborah",  u"Stephen", u"Catherine"};
  static constexpr std::u16string_view kLast[] = {
      u"Smith",     u"Johnson",  u"Williams",  u"Brown",   u"Jones",    u"Garcia",    u"Miller",   u"Davis",
      u"Rodriguez", u"Martinez", u"Hernandez", u"Lopez",   u"Gonzalez", u"Wilson",    u"Anderson", u"Thomas",
      u"Taylor",    u"Moore",    u"Jackson",   u"Martin",  u"Lee",      u"Perez",     u"Thompson", u"White",
      u"Harris",    u"Sanchez",  u"Clark",     u"Ramirez", u"Lewis",    u"Robinson",  u"Walker",   u"Young",
      u"Allen",     u"King",     u"Wright",    u"Scott",   u"Torres",   u"Nguyen",    u"Hill",     u"Flores",
      u"Green",     u"Adams",    u"Nelson",    u"Baker",   u"Hall",     u"Rivera",    u"Campbell", u"Mitchell",
      u"Carter",    u"Roberts",  u"Phillips",  u"Evans",   u"Turner",   u"Parker",    u"Collins",  u"Edwards",
      u"Stewart",   u"Morris",   u"Murphy",    u"Cook",    u"Rogers",   u"MacDonald", u"O'Neill",  u"Schneider"};
  static constexpr std::u16string_view kSoundAlike[][2] = {{u"ph", u"f"}, {u"c", u"k"},   {u"y", u"i"}, {u"s", u"z"},
                                                           {u"ck", u"k"}, {u"ee", u"ea"}, {u"th", u"t"}};

  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::vector<std::u16string> names;
  names.reserve(count);
  while (names.size() < count) {
    std::u16string name(kFirst[pick(std::size(kFirst))]);
    name += u' ';
    name += kLast[pick(std::size(kLast))];
    for (std::size_t edits = pick(3); edits > 0; --edits) {
      const std::size_t at = 1 + pick(name.size() - 1);
      switch (pick(4)) {
        case 0: name.erase(at, 1); break;
        case 1: name.insert(at, 1, name[at - 1]); break;
        case 2:
          if (at + 1 < name.size()) std::swap(name[at], name[at + 1]);
          break;
        default: {
          const auto& [from, to] = kSoundAlike[pick(std::size(kSoundAlike))];
          if (const std::size_t found = name.find(from); found != std::u16string::npos)
            name.replace(found, from.size(), to);
        }
      }
    }
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace vantel::bench

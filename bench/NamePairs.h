// Name pairs for the benchmarks: spellings of the same name, and names that
// merely look alike, 3 to 20 characters long.
#pragma once

#include <string_view>
#include <utility>

namespace vantel::bench {

inline constexpr std::pair<std::u16string_view, std::u16string_view> kNamePairs[] = {
    {u"Smith", u"Smyth"},
    {u"Catherine", u"Kathryn"},
    {u"Jon", u"John"},
    {u"Stephen", u"Steven"},
    {u"Philips", u"Phillips"},
    {u"Thompson", u"Thomson"},
    {u"MacDonald", u"McDonald"},
    {u"Schneider", u"Snyder"},
    {u"Geoffrey", u"Jeffrey"},
    {u"Christopher", u"Kristofer"},
    {u"Aaron", u"Erin"},
    {u"Elizabeth", u"Elisabeth"},
    {u"Nicholas", u"Nikolas"},
    {u"Sean", u"Shaun"},
    {u"Zoe", u"Zoey"},
    {u"Muhammad", u"Mohammed"},
    {u"Katherine Johnson", u"Catherine Jonson"},
    {u"O'Neil", u"O'Neill"},
    {u"Wright", u"Right"},
    {u"Knight", u"Night"},
    {u"Bartholomew", u"Bartholomeu"},
    {u"Fitzgerald", u"Fitzgerold"},
    {u"Alexandra Whitfield", u"Alexander Whitfeld"},
    {u"Lee", u"Leigh"},
    {u"Ann", u"Anne"},
    {u"Margaret", u"Marguerite"},
    {u"Pearson", u"Pierson"},
    {u"Baker", u"Becker"},
    {u"Anderson", u"Andersen"},
    {u"Gonzalez", u"Gonzales"},
    {u"Rodriguez", u"Rodrigues"},
    {u"Theodore", u"Teodor"},
};

}  // namespace vantel::bench

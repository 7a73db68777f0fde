// CompareUS: how alike two short strings are, in spelling and in sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "vantel/Errors.h"

namespace vantel {

namespace detail {
struct ObjectState;
}

// One comparison object. It loads and compiles its own copy of the built-in
// English letter-to-sound rules on first use and keeps them. Objects share
// only the automata compiled from those rules, which are immutable and built
// once in the process; one object must not be used by two threads at the
// same time, and different objects may be used on different threads.
//
// Strings are UTF-16; lengths count UTF-16 code units. The UTF-8 overloads
// convert their arguments first and throw InvalidUtf8 for malformed input.
// Run-time errors are thrown as RuntimeError; the object stays usable.
class CompareUS {
 public:
  // Strings longer than this, or empty, are not compared (the answer is kRefused).
  static constexpr std::size_t kMaxLength = 70;
  static constexpr double kRefused = -1.0;

  CompareUS();
  ~CompareUS();
  CompareUS(CompareUS&&) noexcept;
  CompareUS& operator=(CompareUS&&) noexcept;
  CompareUS(const CompareUS&) = delete;
  CompareUS& operator=(const CompareUS&) = delete;

  // A percentage from 0 to 100 cut to two decimals, or kRefused. LaMethode:
  // 3 sound alone, 99 spelling alone, 1 the smaller, 2 the mean, and 0 or any
  // other value the larger of the two measures.
  double Compare(std::u16string_view Lachaine1, std::u16string_view Lachaine2, std::int16_t LaMethode);
  double Compare(std::string_view Lachaine1, std::string_view Lachaine2, std::int16_t LaMethode);

  // Loads and compiles the rule set (again, if it was already loaded).
  void InitVT();

  // The string of phoneme codes that the sound measure compares.
  std::u16string PhoneticForm(std::u16string_view word);
  std::string PhoneticForm(std::string_view word);

  bool Initialized() const noexcept;

 private:
  std::unique_ptr<detail::ObjectState> state_;
};

// The version of the library, "1.0.0".
std::string_view Version() noexcept;

}  // namespace vantel

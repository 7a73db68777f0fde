// A program built against the installed library: prints the spelling answer
// for two fixed strings, which the install check compares.
#include <vantel/CompareUS.h>

#include <iostream>

int main() {
  vantel::CompareUS comparer;
  std::cout << comparer.Compare("WIKIMEDIA", "wikimania", 99) << ' ' << vantel::Version() << '\n';
  return 0;
}

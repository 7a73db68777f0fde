#include "LookupList.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

#include "vantel/CompareUS.h"
#include "vantel/Errors.h"
#include "vantel/Utf8.h"

namespace vantel::server {
namespace {

// How often a running lookup checks its deadline.
constexpr std::chrono::milliseconds kDeadlineInterval{20};

bool Transcribable(std::u16string_view text) { return !text.empty() && text.size() <= CompareUS::kMaxLength; }

}  // namespace

LookupList::LookupList(std::vector<LookupRecord> records, std::vector<std::string> fieldNames, bool numberedIds,
                       unsigned threads)
    : records_(std::move(records)), fieldNames_(std::move(fieldNames)), numberedIds_(numberedIds) {
  strings_.reserve(records_.size());
  for (const LookupRecord& record : records_) strings_.push_back(Utf8ToUtf16(record.text));

  std::vector<std::u16string_view> distinct;
  {
    std::unordered_map<std::u16string_view, bool> seen;
    for (const std::u16string& text : strings_) {
      if (Transcribable(text) && seen.emplace(text, true).second) distinct.emplace_back(text);
    }
  }
  // Each worker transcribes every n-th string into a list of its own.
  const std::size_t workers = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, distinct.size() / 256));
  std::vector<std::vector<std::pair<std::size_t, std::u16string>>> made(workers);
  {
    std::vector<std::jthread> running;
    for (std::size_t worker = 0; worker < workers; ++worker) {
      running.emplace_back([&, worker] {
        CompareUS comparer;
        for (std::size_t at = worker; at < distinct.size(); at += workers) {
          try {
            made[worker].emplace_back(at, comparer.PhoneticForm(distinct[at]));
          } catch (const RuntimeError&) {
            // Left to the Matcher, which refuses the string with this error.
          }
        }
      });
    }
  }
  forms_.reserve(distinct.size());
  for (auto& list : made) {
    for (auto& [at, form] : list) forms_.emplace(distinct[at], std::move(form));
  }
}

std::vector<std::vector<ScoredPair>> LookupList::Find(const std::vector<std::u16string>& queries,
                                                      const MatchOptions& options,
                                                      std::chrono::steady_clock::time_point deadline) const {
  const PhoneticFormFunction knownForm = [this](CompareUS& comparer, std::u16string_view text) {
    if (const auto found = forms_.find(text); found != forms_.end()) return found->second;
    return comparer.PhoneticForm(text);
  };
  const auto checkDeadline = [deadline](std::uint64_t) {
    if (std::chrono::steady_clock::now() > deadline) throw LookupTimedOut();
  };
  MatchOptions bounded = options;
  bounded.checkpoint = [&checkDeadline] { checkDeadline(0); };
  const Matcher matcher(queries, strings_, bounded, knownForm);
  std::vector<std::vector<ScoredPair>> found(queries.size());
  matcher.Run([&](const ScoredPair& pair) { found[pair.query].push_back(pair); }, checkDeadline, kDeadlineInterval);
  return found;
}

}  // namespace vantel::server

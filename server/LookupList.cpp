#include "LookupList.h"

#include <algorithm>
#include <charconv>
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
// A worker's transcriptions cost far more than starting it only for long lists.
constexpr std::size_t kStringsPerWorker = 256;

bool Transcribable(std::u16string_view text) { return !text.empty() && text.size() <= CompareUS::kMaxLength; }

std::uint64_t NumberOf(std::string_view id) {
  std::uint64_t number = 0;
  std::from_chars(id.data(), id.data() + id.size(), number);
  return number;
}

}  // namespace

LookupList::FormTable LookupList::MakeForms(const std::vector<std::u16string>& strings, unsigned threads,
                                            const FormTable* known) {
  std::vector<std::u16string_view> distinct;
  {
    std::unordered_map<std::u16string_view, bool> seen;
    for (const std::u16string& text : strings) {
      if (Transcribable(text) && (known == nullptr || !known->contains(text)) && seen.emplace(text, true).second) {
        distinct.emplace_back(text);
      }
    }
  }
  // Each worker transcribes every n-th string into a list of its own.
  const std::size_t workers =
      std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, distinct.size() / kStringsPerWorker));
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
  FormTable forms;
  forms.reserve(distinct.size());
  for (auto& list : made) {
    for (auto& [at, form] : list) forms.emplace(distinct[at], std::move(form));
  }
  return forms;
}

LookupList::LookupList(std::vector<LookupRecord> records, std::vector<std::string> fieldNames, bool numberedIds,
                       unsigned threads)
    : records_(std::move(records)), fieldNames_(std::move(fieldNames)), numberedIds_(numberedIds) {
  for (const LookupRecord& record : records_) {
    if (numberedIds_) mostNumber_ = std::max(mostNumber_, NumberOf(record.id));
  }
  forms_ = std::make_shared<const FirstForms>(MakeForms(Strings(), threads, nullptr));
  addedForms_ = std::make_shared<const FormTable>();
  Prepare(threads);
}

LookupList::FirstForms::FirstForms(FormTable forms) : table_(std::move(forms)) {
  std::call_once(made_, [] {});
}

LookupList::FirstForms::FirstForms(std::shared_ptr<const PreparedCandidates> stored) : stored_(std::move(stored)) {}

const LookupList::FormTable& LookupList::FirstForms::table() const {
  std::call_once(made_, [this] {
    // A form that failed is left out, to fail again where it is needed.
    const PreparedCandidates::Parts parts = stored_->parts();
    std::vector<char> failed(parts.texts.size(), 0);
    for (const auto& failure : parts.failures) failed[failure.first] = 1;
    table_.reserve(parts.texts.size());
    for (std::size_t text = 0; text < parts.texts.size(); ++text) {
      if (!failed[text]) table_.emplace(parts.texts[text], parts.forms[text]);
    }
  });
  return table_;
}

LookupList::LookupList(std::shared_ptr<const Index> index)
    : fieldNames_(index->keepNames().begin(), index->keepNames().end()), numberedIds_(index->numberedIds()) {
  fromIndex_.resize(index->size());
  for (std::size_t at = 0; at < index->size(); ++at) {
    fromIndex_[at] = static_cast<std::uint32_t>(at);
    if (numberedIds_) mostNumber_ = std::max(mostNumber_, NumberOf(index->id(at)));
  }
  // The stored forms serve the lists that later changes make, as those
  // worked out at start do.
  forms_ = std::make_shared<const FirstForms>(index->candidates());
  addedForms_ = std::make_shared<const FormTable>();
  prepared_ = index->candidates();
  // A compacted index remembers ids removed before it was written.
  if (numberedIds_ && index->nextNumber() > 0) removedMost_ = index->nextNumber() - 1;
  index_ = std::move(index);
}

RecordView LookupList::record(std::size_t at) const noexcept {
  if (at < fromIndex_.size()) {
    const std::size_t position = fromIndex_[at];
    return {index_->id(position), index_->text(position), index_->line(position), nullptr, index_.get(), position};
  }
  const LookupRecord& own = records_[at - fromIndex_.size()];
  return {own.id, own.text, own.line, &own, nullptr, 0};
}

std::vector<std::u16string> LookupList::Strings() const {
  std::vector<std::u16string> strings;
  strings.reserve(size());
  for (std::size_t at = 0; at < size(); ++at) strings.push_back(Utf8ToUtf16(record(at).text));
  return strings;
}

void LookupList::Prepare(unsigned threads) {
  const PhoneticFormFunction knownForm = [forms = forms_, added = addedForms_](CompareUS& comparer,
                                                                               std::u16string_view text) {
    // A lookup of a view: the tables' keys are strings.
    thread_local std::u16string key;
    key.assign(text);
    const FormTable& first = forms->table();
    if (const auto found = first.find(key); found != first.end()) return found->second;
    if (const auto found = added->find(key); found != added->end()) return found->second;
    return comparer.PhoneticForm(text);
  };
  prepared_ = std::make_shared<const PreparedCandidates>(Strings(), MatchOptions{.threads = threads}, knownForm);
}

LookupList LookupList::WithAdded(std::vector<LookupRecord> added) const {
  LookupList changed = *this;
  std::vector<std::u16string> strings;
  for (LookupRecord& record : added) {
    strings.push_back(Utf8ToUtf16(record.text));
    if (numberedIds_) changed.mostNumber_ = std::max(changed.mostNumber_, NumberOf(record.id));
    changed.records_.push_back(std::move(record));
  }
  FormTable forms = *addedForms_;
  forms.merge(MakeForms(strings, 1, &forms_->table()));
  changed.addedForms_ = std::make_shared<const FormTable>(std::move(forms));
  changed.Prepare(1);
  return changed;
}

LookupList LookupList::WithRemoved(std::string_view id) const {
  LookupList changed;
  changed.fieldNames_ = fieldNames_;
  changed.numberedIds_ = numberedIds_;
  changed.forms_ = forms_;
  changed.addedForms_ = addedForms_;
  changed.mostNumber_ = mostNumber_;
  changed.removedMost_ = removedMost_;
  changed.index_ = index_;
  const auto removed = [&](std::string_view held) {
    if (held != id) return false;
    if (numberedIds_) changed.removedMost_ = std::max(changed.removedMost_, NumberOf(id));
    return true;
  };
  changed.fromIndex_.reserve(fromIndex_.size());
  for (const std::uint32_t position : fromIndex_) {
    if (!removed(index_->id(position))) changed.fromIndex_.push_back(position);
  }
  changed.records_.reserve(records_.size());
  for (const LookupRecord& own : records_) {
    if (!removed(own.id)) changed.records_.push_back(own);
  }
  changed.Prepare(1);
  return changed;
}

bool LookupList::Holds(std::string_view id) const noexcept {
  for (std::size_t at = 0; at < size(); ++at) {
    if (record(at).id == id) return true;
  }
  return false;
}

std::vector<std::vector<ScoredPair>> LookupList::Find(const std::vector<std::u16string>& queries,
                                                      const MatchOptions& options,
                                                      std::chrono::steady_clock::time_point deadline) const {
  const auto checkDeadline = [deadline](std::uint64_t) {
    if (std::chrono::steady_clock::now() > deadline) throw LookupTimedOut();
  };
  MatchOptions bounded = options;
  bounded.checkpoint = [&checkDeadline] { checkDeadline(0); };
  const Matcher matcher(queries, prepared_, bounded);
  std::vector<std::vector<ScoredPair>> found(queries.size());
  matcher.Run([&](const ScoredPair& pair) { found[pair.query].push_back(pair); }, checkDeadline, kDeadlineInterval);
  return found;
}

}  // namespace vantel::server

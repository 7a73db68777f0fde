// The HTTP side of `vantel serve`: the routes, their limits, and the pool of
// threads that answers them, over one LookupList that every request reads.
//
//   POST /v1/match      candidates of a query, or of a batch of queries
//   GET  /v1/health     {"status": "ok", "records": N}
//   GET  /metrics       Prometheus' text format
//   GET|POST /reconcile the reconciliation protocol (version 0.2)
//   GET  /              the search page
//   POST /v1/records, DELETE /v1/records/{id}
//                       changes, with the bearer token, journalled first
//
// Every error is answered with a JSON body {"error": "...", "number": N}.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "Journal.h"
#include "LookupList.h"
#include "MatchApi.h"
#include "RecordModel.h"

namespace vantel::server {

struct ServerSettings {
  std::string host = "127.0.0.1";
  int port = 8080;  // 0: any free port (LookupServer::Bind says which)
  MatchDefaults defaults;
  unsigned threads = 4;                              // requests answered at once
  std::size_t mostBodyBytes = std::size_t{1} << 20;  // a larger body is answered 413
  std::chrono::milliseconds requestTime{10000};      // a lookup that runs longer is answered 503
  std::chrono::seconds readTimeout{5};               // a client that sends nothing for this long is dropped
  std::string name = "Vantel";                       // the service's name in the reconciliation manifest
  // Changes need "Authorization: Bearer TOKEN" (else 401) and are written to
  // the journal before they are acknowledged; without a token none is taken.
  std::optional<std::string> token;
  std::string journalPath;
  // The journal, opened (and so locked) by the caller before it read the list
  // and replayed the journal; otherwise the server opens journalPath itself.
  std::shared_ptr<Journal> journal;
  // With a linkage model, reconciliation weighs whole records (see Reconcile).
  std::shared_ptr<const RecordModel> model;
};

class LookupServer {
 public:
  LookupServer(std::shared_ptr<const LookupList> list, ServerSettings settings);
  ~LookupServer();
  LookupServer(const LookupServer&) = delete;
  LookupServer& operator=(const LookupServer&) = delete;

  // The list is the one of the file with the journal already replayed
  // (ReplayJournal); a journal that cannot be opened throws JournalError.
  // Takes the address and returns the port; throws std::runtime_error
  // naming the address when it cannot be had. Connections wait in the
  // system's queue until Serve runs.
  int Bind();
  // Answers requests until Stop; returns false when it could not listen.
  bool Serve();
  // From any thread: ends Serve once the requests under way are answered.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantel::server

// Routes are small: each binds its request (MatchApi.h, Reconciliation.h),
// asks the shared list, and writes JSON. Whatever a handler throws is turned
// into a JSON error here, once, so that no request can end the server or
// leave a client without an answer.

#include "LookupServer.h"

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>
#include <utility>

#include "ApiError.h"
#include "Journal.h"
#include "Metrics.h"
#include "Reconciliation.h"
#include "RecordsApi.h"
#include "vantel/Errors.h"

namespace vantel::server {

// The search page (SearchPage.html), built in by EmbedPage.cmake.
extern const char kSearchPage[];
extern const std::size_t kSearchPageSize;

namespace {

using json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

constexpr const char* kJson = "application/json";

// When the request that this thread is answering arrived; none for a
// request refused before routing (a body over the limit).
thread_local std::optional<Clock::time_point> requestStart;

Endpoint EndpointOf(const std::string& path) {
  if (path == "/v1/match") return Endpoint::Match;
  if (path.rfind("/v1/records", 0) == 0) return Endpoint::Records;
  if (path == "/reconcile") return Endpoint::Reconcile;
  if (path == "/v1/health") return Endpoint::Health;
  if (path == "/metrics") return Endpoint::Metrics;
  if (path == "/") return Endpoint::Page;
  return Endpoint::Other;
}

void SendJson(httplib::Response& response, const json& body, int status = 200) {
  response.status = status;
  // Text that is not UTF-8 (which the records never hold) is replaced, not thrown.
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), kJson);
}

void SendError(httplib::Response& response, int status, std::int32_t number, const std::string& message) {
  SendJson(response, {{"error", message}, {"number", number}}, status);
}

// The reason phrase of the statuses that the server answers without a
// handler of its own.
std::string DescribeStatus(int status) {
  switch (status) {
    case 400: return "the request is not valid HTTP";
    case 401: return "a bearer token is needed";
    case 404: return "no such endpoint";
    case 405: return "the endpoint does not take this method";
    case 408: return "the request took too long to arrive";
    case 413: return "the body is larger than the limit";
    case 414: return "the request line is too long";
    default: return "HTTP status " + std::to_string(status);
  }
}

// A JSONP callback's name: letters, digits, '_', '$' and '.', which no
// script can break out of.
bool IsCallbackName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool fits =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '.';
    if (!fits) return false;
  }
  return true;
}

// Whether two texts are equal, in a time that does not tell how much of
// them agrees.
bool SameText(std::string_view a, std::string_view b) {
  unsigned char differ = a.size() == b.size() ? 0 : 1;
  for (std::size_t at = 0; at < a.size(); ++at) {
    differ = static_cast<unsigned char>(differ | (a[at] ^ (at < b.size() ? b[at] : 0)));
  }
  return differ == 0;
}

}  // namespace

struct LookupServer::State {
  State(std::shared_ptr<const LookupList> lookupList, ServerSettings serverSettings)
      : settings(std::move(serverSettings)), list(WarmedUp(std::move(lookupList))) {
    if (settings.token) journal = settings.journal ? settings.journal : std::make_shared<Journal>(settings.journalPath);
  }

  // The list with the scan's layout for the default method made: a list lays
  // itself out for a method on its first lookup of it, which on a long list
  // takes far longer than a lookup, so that the first request after the start
  // or a change would wait for it.
  std::shared_ptr<const LookupList> WarmedUp(std::shared_ptr<const LookupList> made) const {
    const MatchOptions options{.method = settings.defaults.method, .threshold = 100.0, .top = 1, .threads = 1};
    made->Find({u"a"}, options, std::chrono::steady_clock::time_point::max());
    return made;
  }

  // The list as the last change left it: what a request reads throughout.
  std::shared_ptr<const LookupList> Current() const {
    const std::lock_guard lock(listMutex);
    return list;
  }
  void Publish(std::shared_ptr<const LookupList> changed) {
    const std::lock_guard lock(listMutex);
    list = std::move(changed);
  }
  // Counts an answered request, once.
  void Count(const httplib::Request& request, const httplib::Response& response) {
    const Clock::duration elapsed = requestStart ? Clock::now() - *requestStart : Clock::duration::zero();
    requestStart.reset();
    metrics.Count(EndpointOf(request.path), response.status < 0 ? 200 : response.status, elapsed);
  }
  // Throws ApiError 401 unless the request bears the token.
  void Authorize(const httplib::Request& request) const;

  void Route();
  // Runs a handler, answering whatever it throws as a JSON error.
  template <typename Handler>
  void Guarded(const httplib::Request& request, httplib::Response& response, const Handler& handler) const;
  Clock::time_point Deadline() const { return Clock::now() + settings.requestTime; }

  ServerSettings settings;
  mutable std::mutex listMutex;
  std::shared_ptr<const LookupList> list;
  std::mutex changeMutex;  // one change at a time, in the journal's order
  std::shared_ptr<Journal> journal;
  httplib::Server http;
  Metrics metrics;
  std::atomic<bool> serving{false}, stopping{false};
};

void LookupServer::State::Authorize(const httplib::Request& request) const {
  const std::string given = request.get_header_value("Authorization");
  constexpr std::string_view kScheme = "Bearer ";
  if (!settings.token || given.rfind(kScheme, 0) != 0 ||
      !SameText(std::string_view(given).substr(kScheme.size()), *settings.token)) {
    throw ApiError(401, error::kInvalidProcedureCall,
                   settings.token ? "a valid bearer token is needed (Authorization: Bearer ...)"
                                  : "this server takes no changes (it was started without --token-file)");
  }
}

template <typename Handler>
void LookupServer::State::Guarded(const httplib::Request& request, httplib::Response& response,
                                  const Handler& handler) const {
  try {
    handler(request, response);
  } catch (const ApiError& refused) {
    SendError(response, refused.status(), refused.number(), refused.what());
  } catch (const JournalError& failure) {
    SendError(response, 500, error::kInvalidProcedureCall, std::string("the change was not made: ") + failure.what());
  } catch (const LookupTimedOut&) {
    SendError(response, 503, error::kInvalidProcedureCall,
              "the lookup took longer than " + std::to_string(settings.requestTime.count()) + " ms");
  } catch (const RuntimeError& failure) {
    SendError(response, 500, failure.number(), failure.what());
  } catch (const std::bad_alloc&) {
    SendError(response, 503, error::kOutOfMemory, "out of memory");
  } catch (const std::exception& failure) {
    SendError(response, 500, error::kInvalidProcedureCall, failure.what());
  }
}

void LookupServer::State::Route() {
  // Counted before the answer is written, so that a client that has its
  // answer finds it in the metrics.
  const auto route = [this](auto handler) {
    return [this, handler](const httplib::Request& request, httplib::Response& response) {
      Guarded(request, response, handler);
      Count(request, response);
    };
  };

  http.Post("/v1/match", route([this](const httplib::Request& request, httplib::Response& response) {
              const MatchRequest bound = BindMatchRequest(request.body, settings.defaults);
              SendJson(response, AnswerMatch(*Current(), bound, Deadline()));
            }));

  http.Get("/v1/health", route([this](const httplib::Request&, httplib::Response& response) {
             SendJson(response, {{"status", "ok"}, {"records", Current()->size()}});
           }));

  http.Get("/metrics", route([this](const httplib::Request&, httplib::Response& response) {
             response.set_content(metrics.Render(Current()->size()), "text/plain; version=0.0.4");
           }));

  // Changes: the new list is made (and laid out) first, so that a failure to
  // make it leaves no journal line behind; then the change goes on the journal,
  // then the list is the one that later requests read.
  http.Post("/v1/records", route([this](const httplib::Request& request, httplib::Response& response) {
              Authorize(request);
              const std::lock_guard lock(changeMutex);
              const std::shared_ptr<const LookupList> current = Current();
              std::vector<LookupRecord> added = BindNewRecords(request.body, *current, settings.defaults);
              std::string lines;
              json ids = json::array();
              for (const LookupRecord& record : added) {
                if (!lines.empty()) lines += '\n';
                lines += AddedLine(record, current->fieldNames());
                ids.push_back({{"id", IdJson(*current, record.id)}});
              }
              auto changed = WarmedUp(std::make_shared<const LookupList>(current->WithAdded(std::move(added))));
              journal->Append(lines);
              Publish(std::move(changed));
              SendJson(response, {{"records", std::move(ids)}}, 201);
            }));
  http.Delete(R"(/v1/records/(.+))", route([this](const httplib::Request& request, httplib::Response& response) {
                Authorize(request);
                const std::string id = request.matches[1];
                const std::lock_guard lock(changeMutex);
                const std::shared_ptr<const LookupList> current = Current();
                if (!current->Holds(id))
                  throw ApiError(404, error::kSubscriptOutOfRange, "no record has the id '" + id + "'");
                auto changed = WarmedUp(std::make_shared<const LookupList>(current->WithRemoved(id)));
                journal->Append(RemovedLine(id));
                Publish(std::move(changed));
                SendJson(response, {{"removed", id}});
              }));

  // The manifest without `queries`; a batch with it, from GET or from a POST form.
  const auto reconcile = route([this](const httplib::Request& request, httplib::Response& response) {
    json answer;
    if (request.has_param("queries")) {
      answer = Reconcile(*Current(), request.get_param_value("queries"), settings.defaults, Deadline(),
                         settings.model.get());
    } else {
      answer = ReconciliationManifest(settings.name, settings.defaults.mostQueries);
    }
    if (request.has_param("callback")) {
      const std::string callback = request.get_param_value("callback");
      if (!IsCallbackName(callback)) {
        throw BadValue("'callback' must be a name of letters, digits, '_', '$' and '.'");
      }
      response.set_content(callback + "(" + answer.dump() + ");", "application/javascript");
      return;
    }
    SendJson(response, answer);
  });
  http.Get("/reconcile", reconcile);
  http.Post("/reconcile", reconcile);
  // A browser asks before it sends a cross-origin POST.
  http.Options(R"(/.*)", route([](const httplib::Request&, httplib::Response& response) {
                 response.set_header("Access-Control-Allow-Methods", "GET, POST, DELETE, OPTIONS");
                 response.set_header("Access-Control-Allow-Headers", "Content-Type, Authorization");
                 response.status = 204;
               }));

  http.Get("/", route([](const httplib::Request&, httplib::Response& response) {
             response.set_content(std::string(kSearchPage, kSearchPageSize), "text/html; charset=utf-8");
           }));

  // Statuses that httplib sets itself (no route, a body too large, a request
  // it cannot read) get the JSON body of every other error; a handler's own
  // error keeps its body.
  http.set_error_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (!response.body.empty()) return;  // a route's own error, counted by the route
    SendError(response, response.status, error::kInvalidProcedureCall, DescribeStatus(response.status));
    Count(request, response);
  });

  http.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    requestStart = Clock::now();
    return httplib::Server::HandlerResponse::Unhandled;
  });

  http.set_default_headers({{"Access-Control-Allow-Origin", "*"}});
  http.set_payload_max_length(settings.mostBodyBytes);
  http.set_read_timeout(settings.readTimeout.count(), 0);
  http.set_keep_alive_timeout(settings.readTimeout.count());
  http.set_write_timeout(settings.readTimeout.count(), 0);
  // An answer goes out as two writes (head, then body); with Nagle's
  // algorithm on, the body waits for the client's delayed acknowledgement of
  // the head, 40 ms on Linux, on every request of a kept-alive connection.
  http.set_tcp_nodelay(true);
  const unsigned threads = settings.threads == 0 ? 1 : settings.threads;
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
}

LookupServer::LookupServer(std::shared_ptr<const LookupList> list, ServerSettings settings)
    : state_(std::make_unique<State>(std::move(list), std::move(settings))) {
  state_->Route();
}

LookupServer::~LookupServer() = default;

int LookupServer::Bind() {
  const ServerSettings& settings = state_->settings;
  const std::string address = settings.host + ":" + std::to_string(settings.port);
  if (settings.port == 0) {
    const int port = state_->http.bind_to_any_port(settings.host);
    if (port <= 0) throw std::runtime_error("cannot listen on " + address);
    return port;
  }
  if (!state_->http.bind_to_port(settings.host, settings.port)) {
    throw std::runtime_error("cannot listen on " + address);
  }
  return settings.port;
}

bool LookupServer::Serve() {
  state_->serving = true;
  bool served = true;
  if (!state_->stopping) served = state_->http.listen_after_bind();
  state_->serving = false;
  return served;
}

void LookupServer::Stop() {
  // httplib's stop does nothing until its loop runs: asked again until
  // Serve has ended, or Serve sees the request before it starts.
  state_->stopping = true;
  while (state_->serving) {
    state_->http.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace vantel::server

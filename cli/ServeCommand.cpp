// vantel serve: reads the record file as `vantel match` does, prepares the
// list once, and answers lookups over HTTP until SIGINT or SIGTERM.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "Cli.h"
#include "Commands.h"
#include "RecordFile.h"
#include "StopSignals.h"
#include "server/Journal.h"
#include "server/LookupList.h"
#include "server/LookupServer.h"
#include "server/RecordModel.h"
#include "vantel/Index.h"
#include "vantel/LinkModel.h"

namespace vantel::cli {
namespace {

constexpr std::string_view kServeHelp =
    "Usage: vantel serve [OPTIONS] FILE\n"
    "       vantel serve [OPTIONS] --index NAME.vidx\n"
    "\n"
    "Answers lookups of the strings of FILE (one string a line, or a CSV or TSV\n"
    "file of records) over HTTP with JSON, until SIGINT or SIGTERM:\n"
    "  POST /v1/match   {\"query\": \"Jon Smith\", \"top\": 3, \"threshold\": 75,\n"
    "                   \"method\": 2, \"explain\": true}, or {\"queries\": [...]}:\n"
    "                   the candidates that 'vantel match --top' gives\n"
    "  GET  /v1/health  GET /metrics (Prometheus)  GET / (a search page)\n"
    "  /reconcile       the reconciliation protocol that OpenRefine speaks\n"
    "\n"
    "  --index F        serve the list of the index F that 'vantel index' wrote,\n"
    "                   with its record options, instead of a FILE; changes go\n"
    "                   to F.journal\n"
    "  --listen H:P     the address to listen on (default 127.0.0.1:8080; port 0\n"
    "                   takes any free port, which is reported)\n"
    "  --method N       the method of requests that give none (default 0)\n"
    "  --threshold T    the threshold of requests that give none (default 80)\n"
    "  --top K          the candidates of a query that give no top (default 10)\n"
    "  --most-top K     the largest top a request may ask (default 1000)\n"
    "  --most-queries N the most queries in one request (default 100)\n"
    "  --request-time MS  a lookup that runs longer is answered 503 (default 10000)\n"
    "  --most-body B    a larger request body is answered 413 (default 1048576)\n"
    "  --threads N      connections served at once (default 8, or one per\n"
    "                   processor when there are more)\n"
    "  --model F        a linkage model ('vantel link --save-model F'): the\n"
    "                   reconciliation API weighs whole records with it, the\n"
    "                   query's properties (other columns, by name) included;\n"
    "                   its columns are kept with the records\n"
    "  --token-file F   take changes from requests that bear the token in F\n"
    "                   (Authorization: Bearer TOKEN); without it, none:\n"
    "                   POST /v1/records  {\"records\": [{\"string\": ..., \"id\": ...,\n"
    "                                     \"fields\": {...}}]}\n"
    "                   DELETE /v1/records/ID\n"
    "                   Changes are written to FILE.journal before they are\n"
    "                   acknowledged, and the journal is replayed at start.\n"
    "\n"
    "Records: --input, --no-header, --column, --id, --keep and --delimiter as\n"
    "'vantel match' takes them. A row that cannot take part is reported on\n"
    "standard error with its line number and is left out.\n";

struct ServeSettings {
  server::ServerSettings server;
  RecordSelection records;
  std::optional<std::string> tokenFile;
  std::optional<std::string> index;
  std::optional<std::string> model;
};

// The linkage model in the file `path`; its refusal names the file.
LinkModel ReadModel(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file && !file.eof()) throw InputError(path + ": cannot read the model");
  try {
    return ModelFromJson(text);
  } catch (const std::invalid_argument& refused) {
    throw InputError(path + ": not a linkage model: " + refused.what());
  }
}

// The token is the file's text without the line end and spaces around it.
std::string ReadToken(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string token((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file && !file.eof()) throw InputError("--token-file: " + path + ": cannot be read");
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!token.empty() && isSpace(token.back())) token.pop_back();
  std::size_t first = 0;
  while (first < token.size() && isSpace(token[first])) ++first;
  token.erase(0, first);
  if (token.empty()) throw InputError("--token-file: " + path + " holds no token");
  return token;
}

void ParseListen(std::string_view text, server::ServerSettings& settings) {
  const std::size_t colon = text.rfind(':');
  const auto bad = [&] {
    return UsageError("--listen: '" + std::string(text) + "' is not HOST:PORT with a port from 0 to 65535");
  };
  if (colon == std::string_view::npos || colon == 0) throw bad();
  const std::string_view port = text.substr(colon + 1);
  int value = 0;
  const auto [stop, failure] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || failure != std::errc() || stop != port.data() + port.size() || value < 0 || value > 65535) {
    throw bad();
  }
  settings.host = std::string(text.substr(0, colon));
  settings.port = value;
}

ServeSettings ParseServeOptions(ArgumentCursor& args, std::vector<std::string_view>& files, bool& helpAsked) {
  ServeSettings settings;
  server::ServerSettings& server = settings.server;
  // A connection kept alive holds its thread while it waits: more threads
  // than processors, so that a few idle clients keep no one else waiting.
  server.threads = std::max(8u, std::thread::hardware_concurrency());
  while (!args.AtEnd()) {
    const auto option = args.PeekOption();
    if (!option) {
      if (!args.AtEnd()) files.push_back(args.TakeOperand());
      continue;
    }
    if (TakeRecordOption(args, *option, settings.records)) {
      continue;
    } else if (*option == "--listen") {
      ParseListen(args.TakeValue(*option), server);
    } else if (*option == "--method") {
      server.defaults.method = ParseMethod(args.TakeValue(*option));
    } else if (*option == "--threshold") {
      server.defaults.threshold = ParseThreshold(args.TakeValue(*option));
    } else if (*option == "--top") {
      server.defaults.top = ParseCount(args.TakeValue(*option), *option, SIZE_MAX);
    } else if (*option == "--most-top") {
      server.defaults.mostTop = ParseCount(args.TakeValue(*option), *option, SIZE_MAX);
    } else if (*option == "--most-queries") {
      server.defaults.mostQueries = ParseCount(args.TakeValue(*option), *option, 1000000);
    } else if (*option == "--request-time") {
      server.requestTime = std::chrono::milliseconds(ParseCount(args.TakeValue(*option), *option, 3600000));
    } else if (*option == "--most-body") {
      server.mostBodyBytes = ParseCount(args.TakeValue(*option), *option, std::size_t{1} << 30);
    } else if (*option == "--threads") {
      server.threads = static_cast<unsigned>(ParseCount(args.TakeValue(*option), *option, 1024));
    } else if (*option == "--index") {
      settings.index = std::string(args.TakeValue(*option));
    } else if (*option == "--model") {
      settings.model = std::string(args.TakeValue(*option));
    } else if (*option == "--token-file") {
      settings.tokenFile = std::string(args.TakeValue(*option));
    } else if (*option == "--help" || *option == "-h") {
      args.TakeFlag(*option);
      helpAsked = true;
    } else {
      throw UsageError("unknown option '" + std::string(*option) + "'");
    }
  }
  if (server.defaults.top > server.defaults.mostTop) {
    throw UsageError("--top (" + std::to_string(server.defaults.top) + ") is more than --most-top (" +
                     std::to_string(server.defaults.mostTop) + ")");
  }
  return settings;
}

// The records of the file as the server holds them, ids and kept fields as
// `vantel match` writes them.
std::shared_ptr<const server::LookupList> PrepareList(const RecordFile& file, unsigned threads,
                                                      std::vector<Problem>& problems) {
  std::vector<server::LookupRecord> records;
  records.reserve(file.rows.size());
  for (std::size_t at = 0; at < file.rows.size(); ++at) {
    const std::size_t row = file.rows[at];
    server::LookupRecord record;
    record.id = file.id ? std::string(file.table.field(row, *file.id)) : std::to_string(row + 1);
    record.text = std::string(file.table.field(row, file.column));
    for (const std::size_t keep : file.keeps) record.fields.emplace_back(file.table.field(row, keep));
    if (file.strings[at].empty()) problems.push_back({0, file.table.line(row), "empty string"});
    records.push_back(std::move(record));
  }
  return std::make_shared<const server::LookupList>(std::move(records), file.keepNames, !file.id, threads);
}

}  // namespace

int RunServe(ArgumentCursor& args, Streams& streams) {
  std::ostream& err = streams.err;
  std::vector<std::string_view> files;
  bool helpAsked = false;
  ServeSettings settings = ParseServeOptions(args, files, helpAsked);
  if (helpAsked) {
    streams.out.Put(kServeHelp);
    return kExitOk;
  }
  if (settings.index && !files.empty()) {
    throw UsageError("with --index, no FILE: got " + std::to_string(files.size()) + " file arguments");
  }
  if (!settings.index && files.size() != 1) {
    throw UsageError("expected one FILE, got " + std::to_string(files.size()) + " file arguments");
  }
  if (!settings.index && files[0] == "-") {
    throw UsageError("FILE must be a file: the server reads it whole before it answers");
  }

  std::optional<LinkModel> model;
  if (settings.model) {
    model = ReadModel(*settings.model);
    // The model's columns travel with the records, besides the one matched.
    if (!settings.index) {
      for (const FieldModel& field : model->fields) {
        const std::string& column = field.comparison.column;
        std::vector<std::string>& keep = settings.records.keep;
        if (column != settings.records.column && std::find(keep.begin(), keep.end(), column) == keep.end())
          keep.push_back(column);
      }
    }
  }

  const std::string listPath = settings.index ? *settings.index : std::string(files[0]);
  settings.server.journalPath = listPath + ".journal";
  // A server that takes changes holds its journal from before it reads the
  // list to its end, so that no compaction can fold the journal in between.
  // (A list that is not there is refused below, and gets no journal.)
  if (settings.tokenFile) settings.server.token = ReadToken(*settings.tokenFile);
  if (settings.tokenFile && std::filesystem::exists(listPath)) {
    try {
      settings.server.journal = std::make_shared<server::Journal>(settings.server.journalPath);
    } catch (const server::JournalError& refused) {
      throw InputError(refused.what());
    }
  }

  std::vector<Problem> problems;
  std::shared_ptr<const server::LookupList> list;
  std::string listName;
  std::string stringName;
  std::shared_ptr<const Index> index;
  if (settings.index) {
    try {
      index = Index::Open(*settings.index);
    } catch (const IndexError& refused) {
      throw InputError(refused.what());
    }
    listName = index->sourceName();
    stringName = std::string(index->stringName());
    // The rows set aside on reading, and the strings the matcher refuses, as serving the file reports them.
    for (const auto& [line, reason] : index->problems()) problems.push_back({0, line, std::string(reason)});
    for (const Rejection& rejection : index->candidates()->parts().rejections) {
      problems.push_back({0, index->line(rejection.index), rejection.reason});
    }
    list = std::make_shared<const server::LookupList>(index);
  } else {
    Input input = OpenInput(files[0], streams, "FILE");
    const RecordFile file = ReadRecordFile(input, 0, settings.records, problems);
    listName = file.name;
    stringName = file.stringName;
    list = PrepareList(file, settings.server.threads, problems);
  }
  std::stable_sort(problems.begin(), problems.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  for (const Problem& problem : problems) {
    err << "vantel serve: " << listName << " line " << problem.line << ": " << problem.reason << '\n';
  }

  try {
    bool cutShort = false;
    list = server::ReplayJournal(settings.server.journalPath, list, cutShort, index.get());
    if (cutShort) {
      err << "vantel serve: " << settings.server.journalPath
          << ": its last line was cut short before it was acknowledged, and is left out\n";
    }
  } catch (const server::JournalError& damaged) {
    err << "vantel serve: " << damaged.what() << '\n';
    return kExitFailure;
  }

  if (model) {
    try {
      settings.server.model = std::make_shared<const server::RecordModel>(*model, stringName, *list);
    } catch (const std::invalid_argument& refused) {
      throw InputError(*settings.model + ": " + refused.what());
    }
  }

  // Held back before any thread of the server starts, so that every one inherits that.
  StopSignals signals;
  std::optional<server::LookupServer> lookups;
  int port = 0;
  try {
    lookups.emplace(list, settings.server);
    port = lookups->Bind();
  } catch (const std::runtime_error& failure) {  // the journal or the address
    err << "vantel serve: " << failure.what() << '\n';
    return kExitFailure;
  }
  err << "vantel serve: " << list->size() << " records of " << listName << "; listening on http://"
      << settings.server.host << ':' << port << "/" << std::endl;

  std::atomic<bool> served = true;
  std::thread serving([&] {
    served = lookups->Serve();
    StopSignals::Raise();  // ends the wait below when serving ends of itself
  });
  signals.Wait();
  lookups->Stop();
  serving.join();
  if (!served) {
    err << "vantel serve: could not go on listening on " << settings.server.host << ':' << port << '\n';
    return kExitFailure;
  }
  err << "vantel serve: stopped" << std::endl;
  return kExitOk;
}

}  // namespace vantel::cli

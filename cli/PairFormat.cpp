#include "PairFormat.h"

#include <charconv>

#include "Arguments.h"

namespace vantel::cli {
namespace {

void WriteNumber(Output& out, std::size_t number) {
  char text[24];
  const auto written = std::to_chars(text, text + sizeof text, number);
  out.Put(std::string_view(text, static_cast<std::size_t>(written.ptr - text)));
}

void WriteTsvField(Output& out, std::string_view text) {
  if (text.find_first_of("\t\r\n\\") == std::string_view::npos) {
    out.Put(text);
    return;
  }
  for (const char c : text) {
    switch (c) {
      case '\t': out.Put("\\t"); break;
      case '\r': out.Put("\\r"); break;
      case '\n': out.Put("\\n"); break;
      case '\\': out.Put("\\\\"); break;
      default: out.Put(c);
    }
  }
}

void WriteCsvField(Output& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.Put(text);
    return;
  }
  out.Put('"');
  for (const char c : text) {
    if (c == '"') out.Put('"');
    out.Put(c);
  }
  out.Put('"');
}

void WriteJsonString(Output& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.Put('"');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out.Put("\\\""); break;
      case '\\': out.Put("\\\\"); break;
      case '\t': out.Put("\\t"); break;
      case '\r': out.Put("\\r"); break;
      case '\n': out.Put("\\n"); break;
      default:
        // The text is valid UTF-8, so only control characters need escaping.
        if (byte < 0x20) {
          out.Put("\\u00");
          out.Put(kHex[byte >> 4]);
          out.Put(kHex[byte & 0xF]);
        } else {
          out.Put(c);
        }
    }
  }
  out.Put('"');
}

}  // namespace

PairFormat ParsePairFormat(std::string_view text) {
  if (text == "tsv") return PairFormat::Tsv;
  if (text == "csv") return PairFormat::Csv;
  if (text == "json") return PairFormat::Json;
  throw UsageError("--format: '" + std::string(text) + "' is not tsv, csv or json");
}

void WritePair(Output& out, PairFormat format, const MatchedLine& pair) {
  switch (format) {
    case PairFormat::Tsv:
      WriteNumber(out, pair.queryLine);
      out.Put('\t');
      WriteNumber(out, pair.candidateLine);
      out.Put('\t');
      WriteTsvField(out, pair.query);
      out.Put('\t');
      WriteTsvField(out, pair.candidate);
      out.Put('\t');
      out.Put(pair.answer);
      out.Put('\n');
      return;
    case PairFormat::Csv:
      WriteNumber(out, pair.queryLine);
      out.Put(',');
      WriteNumber(out, pair.candidateLine);
      out.Put(',');
      WriteCsvField(out, pair.query);
      out.Put(',');
      WriteCsvField(out, pair.candidate);
      out.Put(',');
      out.Put(pair.answer);
      out.Put("\r\n");
      return;
    case PairFormat::Json:
      out.Put("{\"query_line\":");
      WriteNumber(out, pair.queryLine);
      out.Put(",\"candidate_line\":");
      WriteNumber(out, pair.candidateLine);
      out.Put(",\"query\":");
      WriteJsonString(out, pair.query);
      out.Put(",\"candidate\":");
      WriteJsonString(out, pair.candidate);
      out.Put(",\"answer\":");
      out.Put(pair.answer);
      out.Put("}\n");
      return;
  }
}

}  // namespace vantel::cli

#include "PairFormat.h"

#include <ostream>

#include "Arguments.h"

namespace vantel::cli {
namespace {

void WriteTsvField(std::ostream& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\t': out << "\\t"; break;
      case '\r': out << "\\r"; break;
      case '\n': out << "\\n"; break;
      case '\\': out << "\\\\"; break;
      default: out << c;
    }
  }
}

void WriteCsvField(std::ostream& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out << text;
    return;
  }
  out << '"';
  for (const char c : text) {
    if (c == '"') out << '"';
    out << c;
  }
  out << '"';
}

void WriteJsonString(std::ostream& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out << '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out << "\\\""; break;
      case '\\': out << "\\\\"; break;
      case '\t': out << "\\t"; break;
      case '\r': out << "\\r"; break;
      case '\n': out << "\\n"; break;
      default:
        // The text is valid UTF-8, so only control characters need escaping.
        if (byte < 0x20) {
          out << "\\u00" << kHex[byte >> 4] << kHex[byte & 0xF];
        } else {
          out << c;
        }
    }
  }
  out << '"';
}

}  // namespace

PairFormat ParsePairFormat(std::string_view text) {
  if (text == "tsv") return PairFormat::Tsv;
  if (text == "csv") return PairFormat::Csv;
  if (text == "json") return PairFormat::Json;
  throw UsageError("--format: '" + std::string(text) + "' is not tsv, csv or json");
}

void WritePair(std::ostream& out, PairFormat format, const MatchedLine& pair) {
  switch (format) {
    case PairFormat::Tsv:
      out << pair.queryLine << '\t' << pair.candidateLine << '\t';
      WriteTsvField(out, pair.query);
      out << '\t';
      WriteTsvField(out, pair.candidate);
      out << '\t' << pair.answer << '\n';
      return;
    case PairFormat::Csv:
      out << pair.queryLine << ',' << pair.candidateLine << ',';
      WriteCsvField(out, pair.query);
      out << ',';
      WriteCsvField(out, pair.candidate);
      out << ',' << pair.answer << "\r\n";
      return;
    case PairFormat::Json:
      out << "{\"query_line\":" << pair.queryLine << ",\"candidate_line\":" << pair.candidateLine << ",\"query\":";
      WriteJsonString(out, pair.query);
      out << ",\"candidate\":";
      WriteJsonString(out, pair.candidate);
      out << ",\"answer\":" << pair.answer << "}\n";
      return;
  }
}

}  // namespace vantel::cli

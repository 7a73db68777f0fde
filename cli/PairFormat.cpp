#include "PairFormat.h"

#include "Arguments.h"
#include "vantel/Utf8.h"

namespace vantel::cli {
namespace {

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
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      // Fields are checked as they are read; a header's names are not, and a
      // line that no JSON reader accepts would cost the whole output.
      const std::size_t length = Utf8SequenceLength(text, at);
      if (length == 0) {
        out.Put("\uFFFD");
      } else {
        out.Put(text.substr(at, length));
        at += length - 1;
      }
      continue;
    }
    switch (c) {
      case '"': out.Put("\\\""); break;
      case '\\': out.Put("\\\\"); break;
      case '\t': out.Put("\\t"); break;
      case '\r': out.Put("\\r"); break;
      case '\n': out.Put("\\n"); break;
      default:
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

void WriteHeader(Output& out, PairFormat format, const std::vector<std::string>& names) {
  if (format == PairFormat::Json) return;
  std::vector<OutputField> fields;
  fields.reserve(names.size());
  for (const std::string& name : names) fields.push_back({name, false});
  WriteRow(out, format, names, fields);
}

void WriteRow(Output& out, PairFormat format, const std::vector<std::string>& names,
              const std::vector<OutputField>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const OutputField& field = fields[i];
    switch (format) {
      case PairFormat::Tsv:
        if (i > 0) out.Put('\t');
        WriteTsvField(out, field.text);
        break;
      case PairFormat::Csv:
        if (i > 0) out.Put(',');
        WriteCsvField(out, field.text);
        break;
      case PairFormat::Json:
        out.Put(i == 0 ? "{" : ",");
        WriteJsonString(out, names[i]);
        out.Put(':');
        if (!field.bare) {
          WriteJsonString(out, field.text);
        } else if (field.text.empty()) {
          out.Put("null");  // a number that is not there: an unmatched row's
        } else {
          out.Put(field.text);
        }
        break;
    }
  }
  switch (format) {
    case PairFormat::Tsv: out.Put('\n'); return;
    case PairFormat::Csv: out.Put("\r\n"); return;
    case PairFormat::Json: out.Put("}\n"); return;
  }
}

}  // namespace vantel::cli

// POST /v1/records: a body of records to add, bound once into records the
// list can take, their ids given:
//   {"records": [{"string": "Jon Smith", "id": "C2001", "fields": {"city": "Oslo"}}]}
// With numbered ids (the list's rows), a record gives no id: the server
// numbers it after the largest id ever held.
#pragma once

#include <string_view>
#include <vector>

#include "LookupList.h"
#include "MatchApi.h"

namespace vantel::server {

// Throws ApiError: 400 saying what is wrong with the body, 409 for an id
// that the list holds already or that the body gives twice.
std::vector<LookupRecord> BindNewRecords(std::string_view body, const LookupList& list, const MatchDefaults& limits);

}  // namespace vantel::server

// The columns of the two table formats, CSV and XLSX: the header row names them (any order and
// letter case), each later row is one entry. docs/exchange.md lists the names; "source", "target"
// and one of "ID", "context", "location" must be there.
#pragma once

#include <string>
#include <vector>

#include "exchange/exchange_units.h"

namespace exchange {

class TableColumns {
 public:
  // Takes the header's names. False with `error` set when a known name repeats; true otherwise,
  // even when required columns are missing (complete() tells).
  [[nodiscard]] bool Name(const std::vector<std::string>& header, std::string& error);
  bool hasTexts() const { return source >= 0 && target >= 0; }
  bool complete() const { return hasTexts() && (id >= 0 || context >= 0 || location >= 0); }
  bool hasId() const { return id >= 0; }
  // The index of each column, -1 when absent.
  int source = -1, target = -1, id = -1, context = -1, location = -1, fuzzy = -1;
  int comments = -1, notes = -1, previous = -1;

  // One row (as many fields as the header) into `unit`, its texts moved out of `fields`. False
  // with `error` set when the row has no line ID, a fuzzy value neither true nor false, or a NUL.
  [[nodiscard]] bool ToUnit(std::vector<std::string>& fields, ImportUnit& unit,
                            std::string& error) const;
};

}  // namespace exchange

// Writes the tables as a C++ source file of constant arrays.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "model/generator/table_builder.h"

namespace morvane::modelgen {

// A value in millionths as a float literal with six decimals, e.g.
// "-0.432658f"; zero is always "0.000000f", never a negative zero. The
// compiler turns it into the nearest float.
std::string floatLiteral(std::int64_t micro);

void emitSource(std::ostream& out, const ModelTables& tables);

}  // namespace morvane::modelgen

// The per-operation figures of the SOAP binding (operation_bench.cpp).
#pragma once

#include <map>
#include <string>

#include "contract/records.h"

namespace tindrel::bench {

// The session's token as the benchmarks send it.
void FillBenchToken(ORVSecurityToken2& token);

// Registers Write/<operation>, Read/<operation> and Parse/<operation> for
// the twelve operations; throws when a sample reply does not read.
void RegisterOperationBenchmarks();

// One line per operation from the medians (by benchmark name, in us).
void PrintOperationTable(const std::map<std::string, double>& medians);

}  // namespace tindrel::bench

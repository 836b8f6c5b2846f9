#pragma once

#include "SqlDialect.h"

#include <span>
#include <string_view>

// The words each target refuses as a bare table or column name, lower case
// and sorted. Tested against the real engines where one is at hand.
std::span<const std::string_view> ReservedWords(SqlDialect dialect);

#pragma once
// A program run refused as bad input: status 2, nothing on standard output, and `message` on
// standard error.

#include <gmock/gmock.h>

#include <string>

#include "support/run_program.h"

MATCHER_P(Refused, message,
          "exits with status 2, writes nothing and says " + std::string(message)) {
  return arg.status == 2 && arg.out.empty() && arg.err.find(message) != std::string::npos;
}

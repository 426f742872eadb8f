#pragma once

#include "tests/support/Errors.hpp"
#include "tests/support/FakeClock.hpp"
#include "tests/support/QuickClient.hpp"
#include "tests/support/TempDir.hpp"

#include <string>

namespace tavolune::evmtest {

using testsupport::FakeClock;
using testsupport::quickClient;
using testsupport::tavoluneErrorOf;
using testsupport::TempDir;

inline const std::string contractA = "0x1111111111111111111111111111111111111111";
inline const std::string ownerA = "0xAbCdEf0123456789abcdef0123456789ABCDEF01";

}  // namespace tavolune::evmtest

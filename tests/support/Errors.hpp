#pragma once

#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"

#include <gtest/gtest.h>

namespace tavolune::testsupport {

// The TavoluneError that f throws; a test failure when it throws none.
template <class F>
TavoluneError tavoluneErrorOf(F&& f) {
  try {
    f();
  } catch (const TavoluneError& e) {
    return e;
  }
  ADD_FAILURE() << "no TavoluneError thrown";
  return TavoluneError::timeout();
}

// The TransportError that f throws; a test failure when it throws none.
template <class F>
TransportError transportErrorOf(F&& f) {
  try {
    f();
  } catch (const TransportError& e) {
    return e;
  }
  ADD_FAILURE() << "no TransportError thrown";
  return TransportError(0, 0, "", "");
}

}  // namespace tavolune::testsupport

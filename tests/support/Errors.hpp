#pragma once

#include "core/base/TavoluneError.hpp"
#include "core/base/TransportError.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace tavolune::testsupport {

// The E that f throws; a test failure, and nothing, when it throws none.
template <class E, class F>
std::optional<E> thrownBy(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "nothing of the expected type thrown";
  return std::nullopt;
}

template <class F>
TavoluneError tavoluneErrorOf(F&& f) {
  return thrownBy<TavoluneError>(std::forward<F>(f)).value_or(TavoluneError::timeout());
}

template <class F>
TransportError transportErrorOf(F&& f) {
  return thrownBy<TransportError>(std::forward<F>(f)).value_or(TransportError(0, 0, "", ""));
}

}  // namespace tavolune::testsupport

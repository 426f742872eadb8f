#pragma once

#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace tavolune {

// Runs body(0) .. body(n - 1) at the same time, each on its own thread (the
// caller's thread takes index 0), and returns once all have finished. Used
// for the providers' small fixed-size batches, never for unbounded lists.
// What a body throws is caught and returned at its index.
template <class Body>
std::vector<std::exception_ptr> concurrently(std::size_t n, Body&& body) {
  std::vector<std::exception_ptr> errors(n);
  auto run = [&](std::size_t i) {
    try {
      body(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  if (n == 0) return errors;
  {
    std::vector<std::jthread> threads;
    threads.reserve(n - 1);
    for (std::size_t i = 1; i < n; ++i) threads.emplace_back(run, i);
    run(0);
  }
  return errors;
}

}  // namespace tavolune

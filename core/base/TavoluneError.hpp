#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavolune {

// The core's one error type, with the short user sentences the application
// shows after a label and ": ".
class TavoluneError : public std::exception {
 public:
  enum class Kind { invalidInput, notFound, http, decoding, allProvidersFailed, timeout };

  static TavoluneError invalidInput(std::string text) { return {Kind::invalidInput, std::move(text)}; }
  static TavoluneError notFound(std::string text) { return {Kind::notFound, std::move(text)}; }
  static TavoluneError http(int status, std::string url) { return {status, std::move(url)}; }
  static TavoluneError decoding(std::string text) { return {Kind::decoding, std::move(text)}; }
  static TavoluneError allProvidersFailed(std::string text) { return {Kind::allProvidersFailed, std::move(text)}; }
  static TavoluneError timeout() { return {Kind::timeout, {}}; }

  Kind kind() const { return kind_; }
  // The text payload (empty for http and timeout).
  const std::string& text() const { return text_; }
  // http only; 0 otherwise.
  int status() const { return status_; }
  const std::string& url() const { return url_; }
  bool isHTTP(int status) const { return kind_ == Kind::http && status_ == status; }

  // The user sentence, e.g. "OpenSea is busy, Tavolune will try again later".
  const std::string& errorDescription() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

  // "OpenSea" for a host containing "opensea"; the host itself when no key
  // occurs. The first row of the table wins when two keys occur.
  static std::string serviceName(std::string_view host);
  static std::string describe(int status, std::string_view service);

  // Any error as a short sentence: transport errors by their group, every
  // other error by its description.
  static std::string plain(const std::exception& error);
  static std::string plain(std::exception_ptr error);

  friend bool operator==(const TavoluneError& a, const TavoluneError& b) {
    return a.kind_ == b.kind_ && a.text_ == b.text_ && a.status_ == b.status_ && a.url_ == b.url_;
  }

 private:
  TavoluneError(Kind kind, std::string text);
  TavoluneError(int status, std::string url);

  Kind kind_;
  std::string text_;
  int status_ = 0;
  std::string url_;
  std::string description_;
};

// The calling operation was cancelled through its std::stop_token.
class CancellationError : public std::runtime_error {
 public:
  CancellationError() : std::runtime_error("cancelled") {}
};

}  // namespace tavolune

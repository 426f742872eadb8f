#include "core/network/AddressResolver.hpp"

#include "core/network/GraphQLRequest.hpp"
#include "core/network/GraphQLResponse.hpp"
#include "core/network/URLMake.hpp"
#include "core/text/Text.hpp"
#include "core/base/TavoluneError.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

namespace tavolune {
namespace {

enum class Subject { trimmed, lowered };

struct Rule {
  const char* pattern;
  Subject subject;
  AddressInput::Form form;
};

// Tried in this order; the first match decides. Each pattern anchors itself.
constexpr std::array<Rule, 6> rules{{
    {"^0x[0-9a-fA-F]{40}$", Subject::trimmed, AddressInput::Form::evmAddress},
    {"^(tz[1-4]|KT1)[1-9A-HJ-NP-Za-km-z]{33}$", Subject::trimmed, AddressInput::Form::tezosAddress},
    {"^([a-z0-9-]+\\.)+eth$", Subject::lowered, AddressInput::Form::ensName},
    {"^([a-z0-9-]+\\.)+tez$", Subject::lowered, AddressInput::Form::tezosDomain},
    {"^bc1[ac-hj-np-z02-9]{11,87}$", Subject::lowered, AddressInput::Form::bitcoinAddress},
    {"^[13][1-9A-HJ-NP-Za-km-z]{25,34}$", Subject::trimmed, AddressInput::Form::bitcoinAddress},
}};

// Compiled once; a compiled pattern is immutable and safe to share across
// threads, each search makes its own matcher.
const std::array<std::unique_ptr<icu::RegexPattern>, rules.size()>& compiledRules() {
  static const auto compiled = [] {
    std::array<std::unique_ptr<icu::RegexPattern>, rules.size()> out;
    for (std::size_t i = 0; i < rules.size(); ++i) {
      UErrorCode status = U_ZERO_ERROR;
      UParseError parseError;
      out[i].reset(icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(rules[i].pattern), 0, parseError, status));
      if (U_FAILURE(status) || !out[i]) throw std::logic_error("address pattern does not compile");
    }
    return out;
  }();
  return compiled;
}

bool searches(const icu::RegexPattern& pattern, const icu::UnicodeString& subject) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(subject, status));
  if (U_FAILURE(status) || !matcher) return false;
  bool found = matcher->find(status);
  return U_SUCCESS(status) && found;
}

}  // namespace

std::optional<AddressInput> AddressResolver::detect(std::string_view text) {
  std::string trimmed = text::trimWhitespaceAndNewlines(text);
  if (trimmed.empty()) return std::nullopt;
  std::string lowered = text::lowercased(trimmed);
  // Invalid UTF-8 turns into U+FFFD here, which no pattern accepts.
  const auto trimmedU = icu::UnicodeString::fromUTF8(trimmed);
  const auto loweredU = icu::UnicodeString::fromUTF8(lowered);

  const auto& compiled = compiledRules();
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const bool onTrimmed = rules[i].subject == Subject::trimmed;
    if (searches(*compiled[i], onTrimmed ? trimmedU : loweredU)) {
      return AddressInput{rules[i].form, onTrimmed ? std::move(trimmed) : std::move(lowered)};
    }
  }
  return std::nullopt;
}

namespace {

using json::Json;

// GET /ens/resolve/<name or address>
struct ENSRecord {
  std::optional<std::string> address;
  std::optional<std::string> name;

  static ENSRecord fromJson(const Json& j) {
    json::expectObject(j);
    return {json::optional<std::string>(j, "address"), json::optional<std::string>(j, "name")};
  }
  Json toJson() const {
    Json j = Json::object();
    json::put(j, "address", address);
    json::put(j, "name", name);
    return j;
  }
};

// The data of { domain(name:$n){ address } }.
struct TezosDomainsData {
  struct Domain {
    std::optional<std::string> address;
    static Domain fromJson(const Json& j) {
      json::expectObject(j);
      return {json::optional<std::string>(j, "address")};
    }
    Json toJson() const {
      Json j = Json::object();
      json::put(j, "address", address);
      return j;
    }
  };
  std::optional<Domain> domain;

  static TezosDomainsData fromJson(const Json& j) {
    json::expectObject(j);
    return {json::optional<Domain>(j, "domain")};
  }
  Json toJson() const {
    Json j = Json::object();
    json::put(j, "domain", domain);
    return j;
  }
};

// One entry of TzKT's /v1/domains?select=address.
struct TzKTDomain {
  std::optional<std::string> address;

  static TzKTDomain fromJson(const Json& j) {
    json::expectObject(j);
    const Json* a = json::member(j, "address");
    if (!a || a->is_null()) return {};
    // The account object {"address": ...}; TzKT's select also gives the
    // account's fields at the top level, so a bare text is taken as well.
    if (a->is_string()) return {a->get<std::string>()};
    return {json::required<std::string>(*a, "address")};
  }
  Json toJson() const {
    Json j = Json::object();
    if (address) j["address"] = Json{{"address", *address}};
    return j;
  }
};

bool isEVMAddress(std::string_view s) {
  if (s.size() != 42 || !s.starts_with("0x")) return false;
  return std::all_of(s.begin() + 2, s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); });
}

// Exactly a Tezos account or contract address, as detect reads one.
bool isTezosAddress(const std::string& s) {
  auto form = AddressResolver::detect(s);
  return form && form->form == AddressInput::Form::tezosAddress && form->text == s;
}

Url requestURL(const std::string& text) {
  auto url = Url::parse(text);
  if (!url) throw TavoluneError::invalidInput(text);
  return *url;
}

}  // namespace

AddressResolver::AddressResolver(HTTPClient http, Endpoints endpoints, Timeouts timeouts)
    : http(std::move(http)), endpoints(std::move(endpoints)), timeouts(timeouts) {}

ResolvedAddress AddressResolver::resolve(std::string_view text, std::stop_token stop) const {
  auto input = detect(text);
  if (!input) throw TavoluneError::invalidInput(std::string(text));
  switch (input->form) {
    case AddressInput::Form::evmAddress: {
      std::optional<std::string> name;
      try {
        name = reverseENS(input->text, stop);
      } catch (const CancellationError&) {
        throw;
      } catch (...) {
        // The name is a courtesy: the address stands without it.
      }
      return {input->text, std::move(name), ChainFamily::evm};
    }
    case AddressInput::Form::ensName: return {resolveENS(input->text, stop), input->text, ChainFamily::evm};
    case AddressInput::Form::tezosAddress: return {input->text, std::nullopt, ChainFamily::tezos};
    case AddressInput::Form::tezosDomain: return {resolveTez(input->text, stop), input->text, ChainFamily::tezos};
    case AddressInput::Form::bitcoinAddress: return {input->text, std::nullopt, ChainFamily::bitcoin};
  }
  throw TavoluneError::invalidInput(std::string(text));
}

std::optional<std::string> AddressResolver::reverseENS(const std::string& address, std::stop_token stop) const {
  auto url = requestURL(endpoints.ens + "/ens/resolve/" + address);
  return http.getJSON<ENSRecord>(url, {}, timeouts.reverseENS, stop).name;
}

std::string AddressResolver::resolveENS(const std::string& name, std::stop_token stop) const {
  auto url = requestURL(endpoints.ens + "/ens/resolve/" + name);
  auto record = http.getJSON<ENSRecord>(url, {}, timeouts.forwardENS, stop);
  // Anything but a whole EVM address would become a wallet that can never sync.
  if (!record.address || !isEVMAddress(*record.address)) throw TavoluneError::notFound(name);
  return *record.address;
}

std::string AddressResolver::resolveTez(const std::string& domain, std::stop_token stop) const {
  try {
    GraphQLRequest request{"query($n:String!){ domain(name:$n){ address } }", JSONValue::Object{{"n", domain}}};
    auto url = requestURL(endpoints.tezosDomains + "/graphql");
    auto answer = http.postJSON<GraphQLResponse<TezosDomainsData>>(url, request, timeouts.tezos, stop);
    if (answer.data && answer.data->domain && answer.data->domain->address &&
        isTezosAddress(*answer.data->domain->address)) {
      return *answer.data->domain->address;
    }
  } catch (const CancellationError&) {
    throw;
  } catch (...) {
    // Tezos Domains down or silent: TzKT indexes the same records.
  }
  auto url = url::make(endpoints.tzkt + "/v1/domains", {{"name", domain}, {"select", "address"}});
  if (!url) throw TavoluneError::invalidInput(domain);
  auto entries = http.getJSON<std::vector<TzKTDomain>>(*url, {}, timeouts.tezos, stop);
  // As with ENS: an answer that is no Tezos address would make a wallet
  // that can never sync.
  if (entries.empty() || !entries.front().address || !isTezosAddress(*entries.front().address)) {
    throw TavoluneError::notFound(domain);
  }
  return *entries.front().address;
}

}  // namespace tavolune

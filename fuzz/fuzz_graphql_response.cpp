// Any bytes as a GraphQL answer: decoding either fails with a DecodeError or
// gives an envelope of valid text; a typed page never decodes where the
// generic envelope does not.
#include "core/network/GraphQLResponse.hpp"
#include "core/text/Text.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

using namespace tavolune;

namespace {

struct Page {
  std::vector<std::string> ids;
  static Page fromJSONValue(const JSONValue& v) {
    Page p;
    for (const auto& t : v["tokens"].array()) {
      auto id = t["token_id"].string();
      if (!id) throw json::DecodeError("token without id");
      p.ids.push_back(*id);
    }
    return p;
  }
};

template <class T>
std::optional<GraphQLResponse<T>> decode(std::string_view text) {
  try {
    return jsoncoding::decode<GraphQLResponse<T>>(text);
  } catch (const json::DecodeError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto typed = decode<Page>(text);
  auto generic = decode<JSONValue>(text);
  if (typed && !generic) std::abort();
  if (typed && typed->data.has_value() != generic->data.has_value()) std::abort();
  if (generic && generic->errors) {
    for (const auto& e : *generic->errors) {
      if (!text::isValidUTF8(e.message)) std::abort();
    }
  }
  if (typed && typed->data) {
    for (const auto& id : typed->data->ids) {
      if (id.empty()) std::abort();
    }
  }
  return 0;
}

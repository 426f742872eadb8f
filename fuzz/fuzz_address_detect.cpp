// Wallet text straight from the add-wallet field.
#include "core/network/AddressResolver.hpp"
#include "core/text/Text.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto form = tavolune::AddressResolver::detect(input);
  if (!form) return 0;
  const auto& text = form->text;
  // What comes back is trimmed, plain ASCII from the patterns' alphabets,
  // and is itself recognised again as the same form.
  if (text.empty() || text.size() > input.size()) std::abort();
  for (unsigned char c : text) {
    bool allowed = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-';
    if (!allowed) std::abort();
  }
  if (form->needsResolution() && tavolune::text::lowercased(text) != text) std::abort();
  auto again = tavolune::AddressResolver::detect(text);
  if (!again || *again != *form) std::abort();
  (void)form->hint();
  (void)form->family();
  return 0;
}

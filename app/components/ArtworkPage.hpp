#pragma once
// The one rule for opening a work's page from the indexer's URL: only an
// http or https URL with a host. file:, javascript:, custom schemes, bare
// paths and host-less URLs are never opened. Pure; any thread.

#include <QUrl>

#include <optional>
#include <string>

namespace tavolune {

std::optional<QUrl> artworkPage(const std::optional<std::string>& externalURL);

}  // namespace tavolune

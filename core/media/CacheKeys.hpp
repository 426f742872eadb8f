#pragma once
// The keys of the media cache, in two namespaces that never meet. A media
// URI from token data is its own key, and only a URI that
// MediaResolver::parse takes is looked up for token data
// (ContentFetcher::fetch). The program's own entries begin with a word no
// such URI can begin with, before or after its white space is trimmed: a live
// page's files "ipfs/" or "onchfs/", rendered stills "still:", the
// empty-render marker "still-empty:". Pure functions; any thread.

#include <string>
#include <string_view>

namespace tavolune::cachekeys {

// "<kind>/<id>/<rest>": a file a live page loaded through the local scheme.
std::string pageFile(std::string_view kind, std::string_view id, std::string_view rest);
// "still:<artwork id>:<width>x<height>": a work's rendered still of that size.
std::string still(std::string_view artworkID, int width, int height);
// "still-empty:<artwork id>": the work's page rendered blank at every size.
std::string emptyStill(std::string_view artworkID);

}  // namespace tavolune::cachekeys

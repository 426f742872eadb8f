#pragma once
// The build's own constants: version, build number and the feedback
// repository ("owner/name"). A plain value; thread-safe.

#include <QString>

namespace tavolune {

struct BuildInfo {
  QString shortVersion;  // "1.4.0"; empty when the build has none
  QString build;         // "212"
  QString feedbackRepo;  // "owner/name"; empty when the build names none
};

}  // namespace tavolune

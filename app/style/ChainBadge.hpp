#pragma once
// The chain's short name ("ETH", "BASE", ...) in white on its chain colour.
// GUI thread only.

#include "app/style/CapsuleBadge.hpp"
#include "core/model/Chain.hpp"

namespace tavolune {

class ChainBadge final : public CapsuleBadge {
  Q_OBJECT
 public:
  explicit ChainBadge(Chain chain, QWidget* parent = nullptr);
  Chain chain() const { return chain_; }

  static QString label(Chain chain);
  static Look look(Chain chain);

 private:
  Chain chain_;
};

}  // namespace tavolune

#pragma once
// An app model on a library file in a folder of the benchmark's own, with
// no gateways (nothing leaves the machine), loaded before it is returned.
// GUI thread only.

#include "app/model/AppModel.hpp"

#include <QEventLoop>

#include <filesystem>
#include <memory>

namespace tavolune::bench {

inline std::unique_ptr<AppModel> loadedModel(const std::filesystem::path& root) {
  AppModel::Options o;
  o.storeURL = root / "library.json";
  o.cacheDirectory = root / "Media";
  o.services.gateways = {};
  auto model = std::make_unique<AppModel>(o);
  QEventLoop loaded;
  QObject::connect(model.get(), &AppModel::loadedChanged, &loaded, &QEventLoop::quit);
  model->load();
  if (!model->isLoaded()) loaded.exec();
  return model;
}

}  // namespace tavolune::bench

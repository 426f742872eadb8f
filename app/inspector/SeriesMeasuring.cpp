#include "app/inspector/SeriesMeasuring.hpp"

#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"

#include <QPointer>

namespace tavolune {

SeriesMeasuring::SeriesMeasuring(AppModel& model) : QObject(&model), model_(model) {
  setObjectName(QStringLiteral("SeriesMeasuring"));
}

SeriesMeasuring& SeriesMeasuring::of(AppModel& model) {
  if (auto* existing = model.findChild<SeriesMeasuring*>(QStringLiteral("SeriesMeasuring"), Qt::FindDirectChildrenOnly)) {
    return *existing;
  }
  return *new SeriesMeasuring(model);
}

void SeriesMeasuring::remeasure(const Artwork& artwork) {
  const std::string key = artwork.seriesKey();
  if (!measuring_.insert(key).second) return;
  emit changed(qt::str(key));
  // The answer may come after this object is gone (the model is going).
  QPointer<SeriesMeasuring> self(this);
  model_.formats().remeasure(artwork, [self, key] {
    if (self) self->finished(key);
  });
}

void SeriesMeasuring::finished(const std::string& seriesKey) {
  if (measuring_.erase(seriesKey) == 0) return;
  emit changed(qt::str(seriesKey));
}

}  // namespace tavolune

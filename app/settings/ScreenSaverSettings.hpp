#pragma once
// The Screen Saver tab: the idle delay, what the screen saver does, one
// work of the collection as a preview card, and "Preview". The preview work
// is the first generative work of the screen saver's pool, else its first
// work, else none (no card). The pool is looked at only while the tab is
// shown, and again only after the library changed. GUI thread only.

#include "app/settings/SettingsServices.hpp"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QPushButton;

namespace tavolune {

class ArtworkImage;
class ValuePicker;

class ScreenSaverSettings final : public QWidget {
  Q_OBJECT
 public:
  struct Delay {
    const char* label;
    double seconds;
  };
  static constexpr std::array<Delay, 7> delays{{{"Never", 0},
                                                {"1 minute", 60},
                                                {"2 minutes", 120},
                                                {"5 minutes", 300},
                                                {"10 minutes", 600},
                                                {"20 minutes", 1200},
                                                {"30 minutes", 1800}}};

  explicit ScreenSaverSettings(const SettingsServices& services, QWidget* parent = nullptr);

  ValuePicker* delayPicker() const { return delay_; }
  // The card's work; nothing when the pool is empty (no card).
  const std::optional<Artwork>& previewWork() const { return preview_; }
  QWidget* previewCard() const { return card_; }
  ArtworkImage* previewImage() const { return image_; }
  QPushButton* previewButton() const { return previewButton_; }
  // Times the pool was looked at.
  std::size_t poolReads() const { return poolReads_; }

  // The pool's first generative work, else its first; null for an empty pool.
  static const Artwork* previewWork(const std::vector<const Artwork*>& pool);

  void load();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void refreshPreview();

  SettingsServices services_;
  ValuePicker* delay_;
  QWidget* card_;
  ArtworkImage* image_;
  QPushButton* previewButton_;
  std::optional<Artwork> preview_;
  std::optional<std::uint64_t> previewRevision_;  // the library the card was chosen from
  std::size_t poolReads_ = 0;
};

}  // namespace tavolune

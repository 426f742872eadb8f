#pragma once
// Desktop picture on a plain X11 session: a pixmap on the root window,
// announced through _XROOTPMAP_ID and ESETROOT_PMAP_ID, that outlives our
// connection; the previous one is freed so rotations do not grow the X
// server. The pixmap covers every display, each with its latest picture.
// GUI thread only; decoding and the upload run on the global thread pool
// over a connection of their own.

#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/linux/SpannedPicture.hpp"
#include "app/qt/PoolJobs.hpp"

#include <QImage>

#include <cstdint>
#include <optional>

namespace tavolune {

class RootWallpaper final : public WallpaperBackend {
  Q_OBJECT
 public:
  explicit RootWallpaper(SystemLog& log, QObject* parent = nullptr);
  // Waits for a running upload.
  ~RootWallpaper() override;
  QString name() const override { return QStringLiteral("X11 root window"); }

  // How a picture's pixels went to the server: through shared memory where
  // it takes that, else in requests over the connection.
  enum class Transfer { sharedMemory, requests };

  // Blocks: composes the pieces and puts them on the root window, then reads
  // the root property back. None on success, else why not; on success the
  // pixmap goes to `pixmap` and the way the pixels went to `transfer`, when
  // given. Refuses when a desktop window of another program covers one of
  // the pieces: the picture would never show.
  static WallpaperBackend::Outcome setRoot(const std::vector<SpannedPiece>& pieces, std::uint32_t* pixmap = nullptr,
                                           Transfer* transfer = nullptr);
  // Blocks: puts an image the size of the root window on it (as setRoot).
  static WallpaperBackend::Outcome setRootImage(const QImage& image, std::uint32_t* pixmap = nullptr,
                                                Transfer* transfer = nullptr);
  // Blocks: the pixmap the root window announces, none when it cannot be read.
  static std::optional<std::uint32_t> rootPixmap();

 protected:
  void apply(const WallpaperRequest& request, Done finish) override;
  // The file only while the root still shows the pixmap we last set: a
  // picture of another program is never taken for ours.
  void read(const Display& display, int workspace, Shown finish) override;

 private:
  SpannedPicture spanned_;
  PoolJobs jobs_{this};
};

}  // namespace tavolune

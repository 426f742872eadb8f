#pragma once
// Pictures put on an X drawable through shared memory (MIT-SHM 1.2, the
// memory passed as a file descriptor) where the server has it and runs on
// this machine: it copies them out of memory instead of reading tens of
// megabytes off its socket. The memory is kept between uploads, so its pages
// are not faulted in afresh each time. Blocks; thread-safe (uploads take
// turns on the memory).

#include <xcb/xcb.h>

#include <QImage>
#include <QPoint>

#include <vector>

namespace tavolune::xcb {

struct Placed {
  const QImage* image;  // 32 bits per pixel, as the server's 24-bit depth takes it
  QPoint at;
};

// Puts every image on the drawable at depth 24 and waits until the server
// has read them. False, with nothing drawn or only part of it, when the
// server cannot take shared memory from us: the caller sends the pixels
// itself.
bool putShared(xcb_connection_t* c, xcb_drawable_t drawable, xcb_gcontext_t gc, const std::vector<Placed>& images);

}  // namespace tavolune::xcb

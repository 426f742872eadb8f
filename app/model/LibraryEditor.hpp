#pragma once
// The app model's way in for its parts (wallet sync, series formats): they
// read the library and change it only through this, so that every change
// is journalled, saved and reported by the model. The model hands it to
// the parts it owns; nothing else reaches it. GUI thread only.

#include "app/model/LibraryChange.hpp"
#include "app/model/LibraryWriter.hpp"
#include "core/model/LibraryState.hpp"

#include <functional>
#include <optional>
#include <string>

namespace tavolune {

class LibraryEditor {
 public:
  // A change already made here: the patch that makes it again on the
  // writer's copy, and what it changed.
  struct Merged {
    LibraryWriter::Patch replay;
    LibraryChange change;
  };

  virtual const LibraryState& state() const = 0;
  // Changes the library (see LibraryWriter::Patch for what the patch may
  // depend on); saved and reported after this turn.
  virtual void edit(LibraryWriter::Patch patch, LibraryChange change) = 0;
  // A change whose result depends on the state it meets (a sync merge):
  // made here by merge, then replayed on the writer's copy.
  virtual void merge(const std::function<Merged(LibraryState&)>& merge) = 0;
  // Reports a change with no edit of its own, the desktop looking again.
  virtual void desktopLooksAgain(LibraryChange change) = 0;
  virtual void setNotice(std::optional<std::string> notice) = 0;

 protected:
  ~LibraryEditor() = default;
};

}  // namespace tavolune

#pragma once
// Whether a tray host (a panel that shows status icons) is there, and a
// signal when one appears or goes: at login the panel may start after us,
// and a panel that restarts forgets the icons it had. GUI thread only;
// asking never blocks, the first answer arrives later.

#include <QObject>

namespace tavolune {

class TrayHostWatch : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~TrayHostWatch() override = default;
  // False until a host is known to run.
  virtual bool available() const = 0;

 signals:
  // A host appeared (true) or went away (false); a host replaced by a new
  // one reports false and then true.
  void availableChanged(bool available);
};

}  // namespace tavolune

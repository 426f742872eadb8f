#pragma once
// The tray icon: the idle or playing picture, opening the popover on a
// click. The icon is made only once a tray host runs, and made again when
// the host comes back after a restart; it is drawn again in the other ink
// when the desktop turns light or dark. GUI thread only.

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QSystemTrayIcon;
class QWidget;

namespace tavolune {

class PopoverHost;
class TrayHostWatch;

class MenuBarExtra final : public QObject {
  Q_OBJECT

 public:
  // The watch outlives this. content builds the popover's content, once.
  MenuBarExtra(TrayHostWatch& tray, std::function<QWidget*()> content, QObject* parent = nullptr);
  ~MenuBarExtra() override;

  // The playing picture while a live work plays.
  void setLivePlaying(bool playing);

  // The icon now in a tray, or null.
  QSystemTrayIcon* icon() const { return icon_.get(); }
  // The popover, made on the first click.
  PopoverHost* popover() const;
  void togglePopover();

 signals:
  // An icon was put into a tray host.
  void iconShown();

 private:
  void hostChanged(bool available);

  TrayHostWatch& tray_;
  std::function<QWidget*()> content_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QPointer<PopoverHost> popover_;
  bool playing_ = false;
};

}  // namespace tavolune

#pragma once
// The tray popover's content, also the "menu" window's: the work on the
// main display with its quick actions and live note, the sync warning and
// the notice, the rotation transport and live-policy picker, the rotation
// summary and status row, and the command rows with the version line.
// It keeps no state of its own: it reads the app model and the desktop
// controller again on each of their changes, while it is on screen; hidden,
// it only notes that it is out of date (no timers, no rebuilds). Controls
// that edit stay disabled until the library is loaded; the rows that open
// windows never are. GUI thread only.

#include "app/components/ImageServices.hpp"
#include "app/model/BuildInfo.hpp"
#include "app/style/Motion.hpp"
#include "core/base/Date.hpp"
#include "core/model/Artwork.hpp"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;

namespace tavolune {

class AppModel;
class ArtworkImage;
class DesktopController;
class LimitedText;
class MenuRow;
class NextChangeBar;
class OneLineLabel;
class PictureBlock;
class PillButton;
class RoundButton;
class Spinner;
class Updater;
class WindowManager;

class MenuBarContent final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int contentWidth = 320;

  // Everything outlives the view. The hooks may be empty where noted.
  struct Services {
    AppModel& model;
    DesktopController& desktop;
    WindowManager& windows;
    ImageServices images;
    BuildInfo build;
    // The updater, made on first use; no update row when it has no usable feed.
    std::function<Updater*()> updater;
    // Opens the feedback form; used when the build names a repository.
    std::function<void()> sendFeedback;
    // Starts the screen saver; empty: the row stays disabled.
    std::function<void()> showScreenSaver;
    // Ends the program; empty: the application's quit.
    std::function<void()> quit;
    // What the main display shows now, in one line.
    std::function<QString()> statusLine;
    std::function<Date()> now = &tavolune::now;
  };

  explicit MenuBarContent(Services services, QWidget* parent = nullptr);
  ~MenuBarContent() override;

  // Builds the view for the "menu" window each time that window opens.
  static void registerWith(WindowManager& windows, std::function<Services()> services);

  // Whether the view reads the state again at the next show.
  bool isStale() const { return stale_; }
  // How often the view has read the state since it was made.
  int refreshCount() const { return refreshes_; }
  // How often it counted the works in rotation.

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // MenuBarContent.cpp: layout, refresh, rows.
  void changed();
  void refresh();
  QWidget* buildRows();
  void closePopup();
  void runPill(int kind, bool flag);

  // MenuBarHeader.cpp: the current work, empty state, warning and notice.
  QWidget* buildCurrentWork();
  QWidget* buildEmptyState();
  QWidget* buildWarning();
  QWidget* buildNotice();
  void refreshHeader(const std::optional<Artwork>& current);

  // MenuBarControls.cpp: transport, picker and footer.
  QWidget* buildControls();
  QWidget* buildFooter();
  void refreshControls();
  void refreshFooter();
  void step(bool forward);

  // The work on the main display changes, comes or goes: 0.35 s ease-in-out.
  static Curve workChange() { return Curve::timed(0.35, Ease::inOut); }

  Services s_;
  bool stale_ = true;
  bool playing_ = false;  // the refresh under way animates
  int refreshes_ = 0;
  std::optional<std::string> shownID_;
  bool checking_ = false;  // an update check this view started

  // header
  QWidget* currentWork_ = nullptr;
  PictureBlock* picture_ = nullptr;
  ArtworkImage* image_ = nullptr;
  NextChangeBar* bar_ = nullptr;
  OneLineLabel* title_ = nullptr;
  OneLineLabel* artist_ = nullptr;
  OneLineLabel* details_ = nullptr;
  std::vector<PillButton*> pills_;
  QWidget* liveNote_ = nullptr;
  QLabel* liveNoteText_ = nullptr;
  QWidget* emptyState_ = nullptr;
  QLabel* emptyText_ = nullptr;
  QPushButton* addWallet_ = nullptr;
  QWidget* warning_ = nullptr;
  LimitedText* warningText_ = nullptr;
  QWidget* notice_ = nullptr;
  QLabel* noticeText_ = nullptr;

  // controls and footer
  QWidget* controls_ = nullptr;
  RoundButton* previous_ = nullptr;
  RoundButton* pause_ = nullptr;
  RoundButton* next_ = nullptr;
  QWidget* picker_ = nullptr;
  QButtonGroup* policies_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* liveDot_ = nullptr;
  std::optional<bool> dotPlaying_;
  Spinner* spinner_ = nullptr;
  OneLineLabel* status_ = nullptr;
  QLabel* count_ = nullptr;

  // rows
  MenuRow* libraryRow_ = nullptr;
  MenuRow* screenSaverRow_ = nullptr;
  MenuRow* settingsRow_ = nullptr;
};

}  // namespace tavolune

#pragma once
// The desktop engine's one controller: which work each display shows, its
// live window and wall label, and the state views observe (the displays,
// the user's pause, whether live art plays, the works being prepared).
// Created in main after the app model and destroyed before the application
// object. GUI thread only; nothing here blocks.

#include "app/desktop/PowerPolicy.hpp"
#include "app/platform/DisplaySource.hpp"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolune {

class AppModel;
class CartelPanel;
class PowerSources;
class SessionWatch;
class StageWindow;
class WindowCoverage;

class DesktopController final : public QObject {
  Q_OBJECT

 public:
  // One connected display as views see it: equal only when every field is.
  struct ScreenInfo {
    QString id;  // the screen key
    std::uint32_t displayID = 0;
    QString name;
    bool isMain = false;
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
  };

  // The platform services the controller reads; they outlive it.
  struct Services {
    DisplaySource& displays;
    SessionWatch& session;
    PowerSources& power;
    WindowCoverage& coverage;
  };

  // What was last set as a display's desktop picture.
  struct AppliedPicture {
    std::filesystem::path file;
    QString options;
    friend bool operator==(const AppliedPicture&, const AppliedPicture&) = default;
  };

  // Makes the wallpapers folder (a failure is left to the writes into it)
  // and builds the power policy, which does nothing until started.
  DesktopController(AppModel& model, Services services, std::filesystem::path wallpaperDir,
                    QObject* parent = nullptr);
  ~DesktopController() override;

  // --- published ---
  const std::vector<ScreenInfo>& screens() const { return screens_; }
  void setScreens(std::vector<ScreenInfo> screens);
  bool userPaused() const { return userPaused_; }
  void setUserPaused(bool paused);
  bool isLivePlaying() const { return isLivePlaying_; }
  void setLivePlaying(bool playing);
  // Renders under way per artwork id.
  const std::map<std::string, int>& preparing() const { return preparing_; }
  bool isPreparing(const std::string& artworkID) const;
  void beginPreparing(const std::string& artworkID);
  void endPreparing(const std::string& artworkID);

  // --- display identity ---
  // The connected display with that key (exact comparison), or nothing.
  // A copy: look it up again after every asynchronous step.
  std::optional<Display> display(const QString& key) const;
  static ScreenInfo screenInfo(const Display& display);

  AppModel& model;
  PowerPolicy power;
  const std::filesystem::path wallpaperDir;

 signals:
  void screensChanged();
  void userPausedChanged(bool paused);
  void livePlayingChanged(bool playing);
  void preparingChanged();

 private:
  Services services_;
  std::vector<ScreenInfo> screens_;
  bool userPaused_ = false;
  bool isLivePlaying_ = false;
  std::map<std::string, int> preparing_;

  // Per display, by screen key.
  std::map<QString, QPointer<StageWindow>> liveWindows_;
  std::map<QString, QPointer<CartelPanel>> cartels_;
  std::map<QString, std::vector<std::string>> history_;
  std::map<QString, std::uint64_t> renderGeneration_;
  std::map<QString, std::string> upcoming_;
  std::map<QString, AppliedPicture> applied_;
  std::map<QString, QString> renderedSignature_;
  std::map<QString, std::unique_ptr<QTimer>> releaseTasks_;

  std::unique_ptr<QTimer> rotationTimer_;
  std::unique_ptr<QTimer> measureTimer_;
  bool started_ = false;
};

}  // namespace tavolune

#pragma once
// The popover over a loaded app model and a desktop controller on fake
// displays (DesktopRig), with a window manager that records what opens.

#include "app/menubar/MenuBarContent.hpp"
#include "app/menubar/MenuRow.hpp"
#include "app/menubar/PillButton.hpp"
#include "app/menubar/RoundButton.hpp"
#include "app/model/Updater.hpp"
#include "app/model/WindowManager.hpp"
#include "tests/app/desktop/DesktopRig.hpp"
#include "tests/support/fakes/FakeUpdateFeed.hpp"

#include <QLabel>
#include <QThreadPool>

#include <map>
#include <memory>
#include <vector>

namespace tavolune::testsupport {

struct PopoverRig : DesktopRig {
  WindowManager manager;
  std::vector<QString> opened;
  testsupport::FakeUpdateFeed feed = testsupport::FakeUpdateFeed::failing(QStringLiteral("offline"));
  std::map<QString, std::unique_ptr<Updater>> updaters;  // by feed address
  int quits = 0;
  int feedbacks = 0;

  PopoverRig() {
    for (const char* id : {"library", "settings", "welcome"}) {
      manager.registerContent(QString::fromLatin1(id), [this, id] {
        opened.push_back(QString::fromLatin1(id));
        return new QWidget;
      });
    }
  }
  ~PopoverRig() {
    // Closed windows delete themselves once the loop runs again.
    for (const char* id : {"library", "settings", "welcome"}) delete manager.window(QString::fromLatin1(id));
  }

  MenuBarContent::Services services(BuildInfo build = {QStringLiteral("1.4.0"), QStringLiteral("212"),
                                                       QStringLiteral("owner/name")},
                                    QString feedURL = QStringLiteral("https://updates.test/appcast.xml")) {
    auto& slot = updaters[feedURL];
    if (!slot) slot = std::make_unique<Updater>(feed, feedURL, QStringLiteral("1.4.0"));
    Updater* updater = slot.get();
    return {.model = *model,
            .desktop = *controller,
            .windows = manager,
            .images = {model->media().images(), *QThreadPool::globalInstance(), {}},
            .build = std::move(build),
            .updater = [updater] { return updater; },
            .sendFeedback = [this] { ++feedbacks; },
            .showScreenSaver = {},
            .quit = [this] { ++quits; },
            .statusLine = [] { return QStringLiteral("Showing a still"); },
            .now = [this] { return clock; }};
  }

  template <class W = QWidget>
  static W* part(const QWidget& content, const char* name) {
    return content.findChild<W*>(QString::fromLatin1(name));
  }
  static QString text(const QWidget& content, const char* name) {
    const auto* label = part<QLabel>(content, name);
    return label ? label->text() : QStringLiteral("<missing>");
  }
};

}  // namespace tavolune::testsupport

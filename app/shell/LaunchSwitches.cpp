#include "app/shell/LaunchSwitches.hpp"

namespace tavolune {

LaunchSwitches LaunchSwitches::from(const QStringList& arguments) {
  const QStringList switches = arguments.mid(1);
  LaunchSwitches out;
  out.uiPreview = switches.contains(QLatin1String(uiPreviewSwitch), Qt::CaseSensitive);
  out.screenSaver = out.uiPreview && switches.contains(QLatin1String(screenSaverSwitch), Qt::CaseSensitive);
  for (const QString& argument : switches) {
    if (!argument.startsWith(QLatin1String(settingsTabPrefix), Qt::CaseSensitive)) continue;
    const QByteArray value = argument.mid(qsizetype(std::char_traits<char>::length(settingsTabPrefix))).toUtf8();
    out.settingsTab = tavolune::settingsTab(std::string_view(value.constData(), std::size_t(value.size())))
                          .value_or(SettingsTab::general);
    break;
  }
  return out;
}

}  // namespace tavolune

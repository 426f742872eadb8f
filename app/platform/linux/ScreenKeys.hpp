#pragma once
// Display identity: what a monitor's EDID says about itself, and the rule
// that turns the connected displays into unique screen keys. Thread-safe
// (pure functions).

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavolune {

struct MonitorIdentity {
  QString manufacturer;  // the three-letter PNP id
  QString model;         // the monitor's name, else its product code in hex
  QString serial;        // the serial text, else the serial number; empty when neither
  QString name;          // the monitor's name; empty when the EDID has none

  bool empty() const { return manufacturer.isEmpty() && model.isEmpty() && serial.isEmpty(); }
};

// nullopt when the bytes are not an EDID block.
std::optional<MonitorIdentity> parseEdid(const QByteArray& edid);

struct KeyedDisplay {
  std::uint32_t number = 0;
  QString connector;
  std::optional<MonitorIdentity> identity;
};

// One key per display, in order: an upper-case name-based UUID over the
// identity (with the connector added where two displays share an identity),
// else "display-" + number. Keys never repeat.
std::vector<QString> screenKeys(const std::vector<KeyedDisplay>& displays);

}  // namespace tavolune

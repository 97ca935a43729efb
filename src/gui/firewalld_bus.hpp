// firewalld on a given system bus.
#pragma once

#include <memory>

#include <QDBusConnection>

#include "gui/firewall_ports.hpp"

namespace orv {

std::unique_ptr<FirewallBus> MakeFirewalldBus(const QDBusConnection& bus);

}  // namespace orv

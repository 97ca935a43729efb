// The desktop's notification server on a given session bus.
#pragma once

#include <memory>

#include <QDBusConnection>

#include "gui/desktop_notifier.hpp"

namespace orv {

std::unique_ptr<NotificationBus> MakeFreedesktopNotifications(const QDBusConnection& bus);

}  // namespace orv

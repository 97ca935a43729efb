// The desktop's idle time sources on a given session bus.
#pragma once

#include <memory>

#include <QDBusConnection>

#include "gui/idle_time_sources.hpp"

namespace orv {

std::unique_ptr<IdleTimeProbe> MakeScreenSaverIdleTime(const QDBusConnection& bus);
std::unique_ptr<IdleTimeProbe> MakeMutterIdleTime(const QDBusConnection& bus);

}  // namespace orv

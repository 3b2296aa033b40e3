// Desktop notifications: org.freedesktop.Notifications on the user's session bus, through GIO.
#pragma once
#include <string>

namespace zun {

// Sends a notice (the body may hold the notification markup's escapes: &amp; &lt; &gt;) without
// waiting for the service's answer. False when it could not be sent: no session bus, or the bus
// failed. Never starts a bus of its own.
bool ShowDesktopNotice(const std::string& summary, const std::string& body);

}  // namespace zun

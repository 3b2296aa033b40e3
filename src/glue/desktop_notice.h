// Desktop notifications: org.freedesktop.Notifications on the user's session bus, through GIO.
#pragma once
#include <string>

namespace zun {

// Shows a notice (the body may hold the notification markup's escapes: &amp; &lt; &gt;). False
// when it could not be shown: no session bus, no notification service, no answer within two
// seconds. Never starts a bus of its own.
bool ShowDesktopNotice(const std::string& summary, const std::string& body);

}  // namespace zun

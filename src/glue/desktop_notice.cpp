#include "glue/desktop_notice.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>

namespace zun {
namespace {

// The session bus's address: as the environment names it, or the user's bus in XDG_RUNTIME_DIR
// (systemd's). GIO would otherwise start a bus of its own (dbus-launch) for a program that has
// none, which would outlive it.
std::string SessionBusAddress() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0') {
    return address;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime != '/') return {};  // unset, or relative: ignored
  const std::string socket = std::string(runtime) + "/bus";
  struct stat info {};
  if (::stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return {};
  g_autofree char* escaped = g_dbus_address_escape_value(socket.c_str());
  return std::string("unix:path=") + escaped;
}

}  // namespace

bool ShowDesktopNotice(const std::string& summary, const std::string& body) {
  const std::string address = SessionBusAddress();
  if (address.empty()) return false;
  g_autoptr(GError) error = nullptr;
  g_autoptr(GDBusConnection) bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (bus == nullptr) return false;
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));  // normal
  g_autoptr(GDBusMessage) notify = g_dbus_message_new_method_call(
      "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify");
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
  g_dbus_message_set_body(notify, g_variant_new("(susssasa{sv}i)", "ZUN2", 0U, "zun2", summary.c_str(), body.c_str(),
                                                &actions, &hints, -1));
  // Sent, not awaited: a notification service that is slow or hung never holds up a run, a stop
  // asked for by a signal, or the window.
  g_dbus_message_set_flags(notify, G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
  const bool sent = g_dbus_connection_send_message(bus, notify, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, &error) &&
                    g_dbus_connection_flush_sync(bus, nullptr, &error);
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  return sent;
}

}  // namespace zun

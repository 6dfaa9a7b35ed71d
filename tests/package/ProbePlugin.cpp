// A Qt plugin of the kind an attacker would have the window load through its environment: its
// constructor runs as soon as Qt opens the library, and copies the process's /proc/self/status
// (capabilities included) to $QUARVO_PROBE_DIR/<kind>.<pid>. Built once per plugin kind, each
// with the interface that its variable makes Qt look for under the key "quarvoprobe".
#include <fcntl.h>
#include <unistd.h>

#include <QObject>
#include <QtPlugin>
#include <cstdio>
#include <cstdlib>

namespace {

__attribute__((constructor)) void RecordStatus() {
  const char* folder = std::getenv("QUARVO_PROBE_DIR");
  if (folder == nullptr) return;
  char path[4096];
  std::snprintf(path, sizeof path, "%s/%s.%d", folder, QUARVO_PROBE_KIND, static_cast<int>(getpid()));
  const int in = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  const int out = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  char buffer[8192];
  ssize_t size;
  while (in >= 0 && out >= 0 && (size = read(in, buffer, sizeof buffer)) > 0) {
    if (write(out, buffer, static_cast<size_t>(size)) != size) break;
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
}

}  // namespace

class ProbePlugin : public QObject {
  Q_OBJECT
#if defined(QUARVO_PROBE_GENERIC)
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QGenericPluginFactoryInterface" FILE "ProbePlugin.json")
#elif defined(QUARVO_PROBE_PLATFORMS)
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "ProbePlugin.json")
#elif defined(QUARVO_PROBE_PLATFORMTHEMES)
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformThemeFactoryInterface.5.1" FILE "ProbePlugin.json")
#elif defined(QUARVO_PROBE_STYLES)
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QStyleFactoryInterface" FILE "ProbePlugin.json")
#else
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPlatformInputContextFactoryInterface.5.1" FILE "ProbePlugin.json")
#endif
};

#include "ProbePlugin.moc"

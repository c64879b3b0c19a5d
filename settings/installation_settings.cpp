#include "settings/installation_settings.h"

namespace tollwick {

InstallationSettings& installationSettings() {
  static InstallationSettings settings;
  return settings;
}

void resetInstallationSettings() { installationSettings() = InstallationSettings{}; }

}  // namespace tollwick

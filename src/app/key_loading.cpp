#include "app/key_loading.hpp"

#include <memory>

#include "identity/key_file.hpp"

namespace orv {

bool LoadUserKey(UiPort& ui, AppContext& ctx, const std::string& path) {
  auto record = std::make_unique<KeyRecord>(ctx.key());
  const KeyFileLoad result = LoadKeyFile(path, *record);
  if (result != KeyFileLoad::kLoaded)
    ui.ShowMessage(kTitleWarning, KeyFileLoadMessage(result, path), MessageIcon::kWarning);
  const bool loaded = result == KeyFileLoad::kLoaded || result == KeyFileLoad::kBadCertificate;
  if (loaded) {
    std::lock_guard<std::mutex> lock(ctx.app_lock());
    ctx.key() = *record;
  }
  WipeKeyRecord(*record);
  WipeCertificate(record->certificate);
  return loaded;
}

}  // namespace orv

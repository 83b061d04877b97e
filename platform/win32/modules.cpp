// The module registry behind LoadLibraryA and GetProcAddress.
#include "win32/modules.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

namespace {

thread_local DWORD lastError = 0;

struct LoadedModule {
  std::string name;
  std::shared_ptr<const ModuleEntryPoints> entryPoints;
  int loadCount = 0;
};

struct ModuleRegistry {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<const ModuleEntryPoints>> known;
  // One loaded instance per name while its load count is above 0.
  std::map<std::string, std::unique_ptr<LoadedModule>> loaded;

  static ModuleRegistry& instance() {
    static ModuleRegistry registry;
    return registry;
  }
};

std::string foldCase(LPCSTR name) {
  std::string folded = name ? name : "";
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}

LoadedModule* findLoaded(ModuleRegistry& r, HMODULE module) {
  for (auto& [name, entry] : r.loaded)
    if (entry.get() == module) return entry.get();
  return nullptr;
}

}  // namespace

void RegisterModuleA(LPCSTR name, ModuleEntryPoints entryPoints) {
  auto& r = ModuleRegistry::instance();
  std::lock_guard guard(r.lock);
  r.known[foldCase(name)] = std::make_shared<const ModuleEntryPoints>(std::move(entryPoints));
}

void UnregisterModuleA(LPCSTR name) {
  auto& r = ModuleRegistry::instance();
  std::lock_guard guard(r.lock);
  r.known.erase(foldCase(name));
}

HMODULE LoadLibraryA(LPCSTR fileName) {
  auto& r = ModuleRegistry::instance();
  std::lock_guard guard(r.lock);
  std::string key = foldCase(fileName);
  auto& slot = r.loaded[key];
  if (!slot) {
    auto known = r.known.find(key);
    if (known == r.known.end()) {
      r.loaded.erase(key);
      lastError = ERROR_MOD_NOT_FOUND;
      return nullptr;
    }
    slot = std::make_unique<LoadedModule>(LoadedModule{key, known->second, 0});
  }
  ++slot->loadCount;
  return slot.get();
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  auto& r = ModuleRegistry::instance();
  std::lock_guard guard(r.lock);
  LoadedModule* loaded = findLoaded(r, module);
  if (!loaded) {
    lastError = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  auto it = procName ? loaded->entryPoints->find(procName) : loaded->entryPoints->end();
  if (it == loaded->entryPoints->end()) {
    lastError = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  return it->second;
}

BOOL FreeLibrary(HMODULE module) {
  auto& r = ModuleRegistry::instance();
  std::lock_guard guard(r.lock);
  LoadedModule* loaded = findLoaded(r, module);
  if (!loaded) {
    lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  if (--loaded->loadCount == 0) r.loaded.erase(loaded->name);
  return TRUE;
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD errorCode) { lastError = errorCode; }
